#pragma once

// frmReport: the report window. Its sheet lists bands with a description, a series type
// and a scan value and computes each band's expression in per cent of its series'
// control band; its own command bar drives it.

#include "core/sheetlayout.h"
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
    static constexpr int Columns = ReportSheet::Columns;
    static constexpr const int (&StartColumnWidths)[Columns] = ReportSheet::StartColumnWidths;
    static constexpr int StartRows = ReportSheet::StartRows;
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
    // Adds a row below the last one when the cell cursor reaches it.
    void keepSpareRow(int row);
};

} // namespace kesto
