#pragma once

// File -> Export Figure... and File -> Export Report (PDF)...: the session as a figure (the
// picture at the window's display levels, with lane labels, size ticks, band outlines, a
// levels bar and a caption as the person chooses) and as the analysis report.

namespace kesto {

class frmScan;

namespace commands {

// Asks for the overlays, then for the file (.png, .svg or .pdf) and writes the figure.
// False when cancelled or when the figure could not be written (the person is told why).
bool exportFigure(frmScan& form);
// Asks for a .pdf file and writes the session's analysis report, with the report window's
// table when the window exists.
bool exportReportPdf(frmScan& form);

} // namespace commands
} // namespace kesto
