#pragma once

// frmReport: the report window. Its sheet lists bands with a description, a series type
// and a scan value and computes each band's expression in per cent of its series'
// control band; its own command bar drives it.

#include "report/reportbar.h"

#include <QWidget>

#include <vector>

namespace kesto {

class CommandBar;
class Tool;
class Worksheet;

class frmReport : public QWidget, public ReportCommands
{
    Q_OBJECT
public:
    static constexpr int Columns = 5;
    // Start widths of "#", "Description", "Type", "Scan (rel.units)", "Expression (%)" in
    // 1/256 of a character width.
    static constexpr int StartColumnWidths[Columns] = {1097, 10203, 4462, 3767, 3913};
    // Room for a gel's worth of bands to be typed in; Paste grows the sheet as needed.
    static constexpr int StartRows = 100;
    // The window's stored size in pixels.
    static constexpr int StoredWidth = 720;
    static constexpr int StoredHeight = 420;

    explicit frmReport(QWidget* parent = nullptr);
    ~frmReport() override;

    // The one report window: created hidden on first use, then shown, restored from
    // minimized and raised. Its data stays between showings.
    static frmReport& showReport();
    // The window if it was created and still exists, else nullptr.
    static frmReport* existing();

    // Fills the "Expression (%)" column from the series' control rows.
    void Calculate();

    CommandBar* tbrReport = nullptr;
    Worksheet* f1Report = nullptr;

    // Each column's width divided by the window's inner width, taken at load.
    std::vector<double> ColumnRatios;

    // The band's own copy of a tool.
    Tool& tool(int band, const QString& name) const;

    // The commands of the bar (see dispatchReportTool).
    void saveReport() override;
    void printReport() override;
    void closeReport() override;
    void minimizeReport() override;
    void maximizeReport() override;
    void normalizeReport() override;
    void copySelection() override;
    void pasteSelection() override;
    void deleteRow() override;
    void editTitle() override;
    void sortSelection() override;
    void calculateReport() override;
    void refreshBar() override;
    void showError(const Error& error) override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Load();
    void Form_Resize();
    // Offers Normalize and withdraws Maximize when maximized, the other way round when not.
    void setWindowStateTools(bool maximized);
    void tellUser(const QString& text);
};

} // namespace kesto
