#pragma once

// The starting shape of the two sheets, shared by the windows and the batch mode so a
// sheet written without a window matches the window's byte for byte.

namespace kesto {

namespace MainSheet {
// Enough rows for a whole gel with its controls; the sheet grows when the working cell
// reaches the last row.
inline constexpr int StartRows = 100;
inline constexpr int Columns = 4;
// Start widths of "#", "Band", "Int.Ctrl", "% to Ctrl" in 1/256 of a character width.
inline constexpr int StartColumnWidths[Columns] = {1400, 4500, 4500, 3800};
} // namespace MainSheet

namespace ReportSheet {
inline constexpr int Columns = 5;
// Start widths of "#", "Description", "Type", "Scan (rel.units)", "Expression (%)" in
// 1/256 of a character width.
inline constexpr int StartColumnWidths[Columns] = {1097, 10203, 4462, 3767, 3913};
// Room for a gel's worth of bands to be typed in; Paste grows the sheet as needed.
inline constexpr int StartRows = 100;
} // namespace ReportSheet

} // namespace kesto
