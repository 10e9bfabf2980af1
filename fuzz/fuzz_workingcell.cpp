// The working-cell read-out parser: any caption gives a cell or {0, 0}, never a crash, an
// escaping exception or an overflow (UndefinedBehaviorSanitizer watches the conversions),
// and every caption the program writes reads back as its cell.

#include "core/workingsheet.h"
#include "fuzzsupport.h"

#include <cstring>

using namespace kesto;
using kesto::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString caption = kesto::fuzz::textOf(data, size);
    (void)parseWorkingCell(caption);
    // The caption after the read-out's own prefix, as a person might edit it.
    (void)parseWorkingCell(QStringLiteral("Working Cell: R") + caption);

    if (size >= 8) {
        std::int32_t row = 0;
        std::int32_t column = 0;
        std::memcpy(&row, data, 4);
        std::memcpy(&column, data + 4, 4);
        const CellAddress back = parseWorkingCell(workingCellCaption(row, column));
        check(back.row == row && back.column == column, "a written caption reads back",
              workingCellCaption(row, column));
    }
    return 0;
}
