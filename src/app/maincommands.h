#pragma once

// The main window's commands, started by the tool-click dispatcher.

#include "commands/framemoves.h"

namespace kesto {

class frmScan;

namespace commands {

// Checks the chosen channel's tool and unchecks the other two, in the toolbar and then in
// the Image menu. The sheet is not recalculated.
void chooseChannel(frmScan& form, const QString& channelTool);
// Checks the channel tool (in the toolbar and the Picture menu) without changing the channel.
void showChannel(frmScan& form, const QString& channelTool);
// Every red, green and blue byte c of the picture becomes 255 - c; then the frame is
// integrated at once.
void invertColors(frmScan& form);
// The picked background colour in decimal and hexadecimal, in a message box.
void showBackground(frmScan& form);
// Places or steps the scan frame; the handle follows. No integration, no read-outs.
void moveScanFrame(frmScan& form, FrameMove move);

// The result commands.
void clearTable(frmScan& form);
// Asks for a path with the sheet's save dialog and writes the sheet; a failed write says
// why and keeps the sheet (and any file already at that path) as it was.
bool saveReport(frmScan& form);
void printReport(frmScan& form);
// "Expression", the column headings and every row as tab-separated text on the clipboard.
void copyReport(frmScan& form);
QString reportText(const frmScan& form);
// A picture on the clipboard becomes the picture; anything else does nothing.
void pastePicture(frmScan& form);
void showAbout(frmScan& form);
// Appends each sheet row with a band and a control value to the report window's table,
// as a band row and a control row of the series "Row N", and shows the window.
void sendRowsToReport(frmScan& form);

} // namespace commands
} // namespace kesto
