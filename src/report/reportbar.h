#pragma once

// The report window's command bar: its layout table and the tool-click dispatcher.

#include "components/commandbar.h"

#include <QStringList>

namespace kesto {

class Error;

// Band indexes of the report bar, in the stored order.
enum ReportBand : int {
    ReportBandMain = 0,
    ReportBandFile = 1,
    ReportBandEdit = 2,
    ReportBandToolBar = 3,
};

BarLayout reportBarLayout();

// The command names in dispatch order.
const QStringList& reportCommandNames();

// What the report commands act on; the report window implements it.
class ReportCommands
{
public:
    virtual ~ReportCommands();

    virtual void saveReport() = 0;
    virtual void printReport() = 0;
    virtual void closeReport() = 0;
    virtual void minimizeReport() = 0;
    virtual void maximizeReport() = 0;
    virtual void normalizeReport() = 0;
    virtual void copySelection() = 0;
    virtual void pasteSelection() = 0;
    virtual void deleteRow() = 0;
    virtual void editTitle() = 0;
    virtual void sortSelection() = 0;
    virtual void calculateReport() = 0;

    // Repaints the bar after every click.
    virtual void refreshBar() = 0;
    // Tells the user about an error that ended a command.
    virtual void showError(const Error& error) = 0;
};

// Runs the command named by the clicked tool: exact, case-sensitive comparison in the
// order of reportCommandNames(); any other name runs nothing. The bar is refreshed after
// every click, and an Error that ends a command is shown rather than passed on.
void dispatchReportTool(ReportCommands& target, const QString& toolName);

} // namespace kesto
