#pragma once

// The Mark as Ladder dialog: which ladder a lane runs, from the presets and the person's own
// ladders, which it also keeps: a new ladder, one edited (a preset edited becomes an own
// ladder), one removed, ladders imported from or exported to a ladder file. Own ladders are
// kept in the user's settings. Every question goes through Prompts, one list at a time, so
// the whole dialog is driven from the keyboard.

#include "core/ladders.h"

#include <QString>

#include <memory>
#include <optional>

class QSettings;
class QWidget;

namespace kesto {

// The settings own ladders are kept in: the program's, or the file a test names ("" goes
// back to the program's).
void setLadderSettingsFile(const QString& path);
std::unique_ptr<QSettings> ladderSettings();

struct LadderChoice
{
    enum class Kind { Cancelled, NotLadder, Chosen };
    Kind kind = Kind::Cancelled;
    Ladder ladder; // Chosen
};

// Asks which ladder lane `lane` (from 0) runs; marked is the ladder it runs now, if any.
LadderChoice chooseLadder(QWidget* parent, int lane, const std::optional<Ladder>& marked);

// "1 kb DNA (14 sizes, 10 000 bp to 250 bp)", as the list shows a ladder.
QString ladderDescription(const Ladder& ladder);

} // namespace kesto
