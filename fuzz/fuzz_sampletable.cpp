// Sample tables: the reader either refuses a text with a SampleTableError that names where,
// or gives a table whose rows keep the row rules, which the writer writes back to the same
// table. Checking the table against a few lane counts never throws.

#include "core/sampletable.h"
#include "fuzzsupport.h"

using namespace kesto;
using kesto::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString source = QStringLiteral("fuzz.tsv");
    const QString text = kesto::fuzz::textOf(data, size);
    SampleTable table;
    try {
        table = parseSampleTable(text, source);
    } catch (const SampleTableError& error) {
        check(error.message().startsWith(source + QLatin1Char(':')),
              "a sample table error starts with where it came from", error.message());
        return 0;
    }
    check(!table.isEmpty(), "a table that reads holds a lane");
    for (const SampleRow& row : table.rows())
        check(sampleRowFault(row).isEmpty(), "every row read keeps the rules", sampleRowFault(row));
    const QString written = sampleTableText(table);
    check(parseSampleTable(written, source) == table, "the written table reads back the same", written);
    for (const std::vector<int>& counts : {std::vector<int>{}, std::vector<int>{0}, std::vector<int>{12, 3}})
        sampleTableFault(table, counts);
    return 0;
}
