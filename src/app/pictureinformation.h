#pragma once

// The picture's file as it describes itself: which page to open of a file of several,
// and Image > Picture Information.

#include <QString>

#include <optional>

class QWidget;

namespace kesto {

class frmScan;

// The page (from 1) of a file of several pages to open, asked through Prompts with a line
// per page (size, depth, description); 0 for a file of one picture; nullopt when the
// person cancels.
std::optional<int> askPicturePage(QWidget* parent, const QString& path);

// Image > Picture Information: the open picture's file (its page) as it describes itself;
// for a pasted picture, what the picture itself tells.
void showPictureInformation(frmScan& form);

} // namespace kesto
