#pragma once

// The main window's commands, started by the tool-click dispatcher.

#include "commands/framemoves.h"

namespace kesto {

class frmScan;

namespace commands {

// Checks the chosen channel's tool and unchecks the other two, in the toolbar and then in
// the Image menu. The sheet is not recalculated.
void chooseChannel(frmScan& form, const QString& channelTool);
// Every red, green and blue byte c of the picture becomes 255 - c; then the frame is
// integrated at once.
void invertColors(frmScan& form);
// The picked background colour in decimal and hexadecimal, in a message box.
void showBackground(frmScan& form);
// Places or steps the scan frame; the handle follows. No integration, no read-outs.
void moveScanFrame(frmScan& form, FrameMove move);

} // namespace commands
} // namespace kesto
