#pragma once

// View > Display Levels: how the picture is shown, never what is measured.

namespace kesto {

class frmScan;

// Asks for "auto" or "BLACK WHITE [GAMMA]" (the levels in use as the default) and shows the
// picture at them; bad values get a message and leave the levels as they were.
void chooseDisplayLevels(frmScan& form);

// Ends the window title with the levels in use (" [levels auto 305-3913]") when they are
// not the picture's counts as they are, and with nothing otherwise.
void showLevelsInTitle(frmScan& form);

} // namespace kesto
