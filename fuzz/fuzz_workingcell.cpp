// The working-cell read-out parser: any caption gives a cell or {0, 0}, never a crash or
// an exception, and every caption the program writes reads back as its cell.

#include "app/workingsheet.h"
#include "fuzzsupport.h"

#include <cstring>
#include <limits>

using namespace kesto;
using kesto::fuzz::check;

namespace {

bool fits16(int value)
{
    return value >= std::numeric_limits<std::int16_t>::min() &&
           value <= std::numeric_limits<std::int16_t>::max();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString caption = kesto::fuzz::textOf(data, size);
    const CellAddress cell = parseWorkingCell(caption);
    check(fits16(cell.row) && fits16(cell.column), "a parsed cell holds 16-bit numbers", caption);
    // The caption after the read-out's own prefix, as a person might edit it.
    const CellAddress edited = parseWorkingCell(QStringLiteral("Working Cell: R") + caption);
    check(fits16(edited.row) && fits16(edited.column), "an edited caption holds 16-bit numbers",
          caption);

    if (size >= 4) {
        std::int16_t row = 0;
        std::int16_t column = 0;
        std::memcpy(&row, data, 2);
        std::memcpy(&column, data + 2, 2);
        const CellAddress back = parseWorkingCell(workingCellCaption(row, column));
        check(back.row == row && back.column == column, "a written caption reads back",
              workingCellCaption(row, column));
    }
    return 0;
}
