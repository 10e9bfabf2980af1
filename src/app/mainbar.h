#pragma once

// The main window's command bar: its layout table and the tool-click dispatcher.

#include "components/commandbar.h"

namespace kesto {

class frmScan;

// Band indexes the commands rely on.
enum MainBand : int {
    BandMain = 0,
    BandFile = 1,
    BandToolbar = 2,
    BandImage = 3,
    BandOptions = 4,
    BandPicture = 5,
    BandMove = 6,
    BandEdit = 7,
    BandView = 8,
};

BarLayout mainBarLayout();

// The command names in dispatch order: the main bar's 26 commands, then Report -> Show.
const QStringList& mainCommandNames();

// Runs the command named by the clicked tool: exact, case-sensitive comparison in the
// order of mainCommandNames(), then the View menu's and the found bands' commands; any
// other name does nothing.
void dispatchMainTool(frmScan& form, const QString& toolName);

} // namespace kesto
