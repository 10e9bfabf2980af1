#pragma once

// Size ladders: the bands of known size run beside the samples, and a small text form to
// export and import them.
//
// The text form, one instruction a line, '#' outside quotes starting a comment:
//
//     # Ladders of our lab
//     ladder "1 kb DNA"
//     unit bp
//     sizes 10000 8000 6000 5000 4000 3500 3000 2500 2000
//     sizes 1500 1000 750 500 250
//
// `ladder "NAME"` starts a ladder (a quote or a backslash in the name is written \" or \\);
// `unit` (bp, kb or kDa) follows once, and `sizes` one or more times, each line continuing
// the list, largest first. A ladder ends at the next `ladder` or at the file's end.

#include "core/error.h"

#include <QString>
#include <QStringList>

class QSettings;

#include <optional>
#include <vector>

namespace kesto {

enum class SizeUnit { BasePairs, KiloBases, KiloDaltons };

QString sizeUnitText(SizeUnit unit); // "bp", "kb", "kDa"
// "bp", "kb", "kDa" in any letter case; nullopt with a reason in *error for anything else.
std::optional<SizeUnit> parseSizeUnit(const QString& text, QString* error = nullptr);

struct Ladder
{
    QString name;
    SizeUnit unit = SizeUnit::BasePairs;
    std::vector<double> sizes; // largest first

    friend bool operator==(const Ladder& a, const Ladder& b)
    {
        return a.name == b.name && a.unit == b.unit && a.sizes == b.sizes;
    }
    friend bool operator!=(const Ladder& a, const Ladder& b) { return !(a == b); }
};

// Limits the text form and the editor keep to.
constexpr int MaxLadderNameLength = 80;
constexpr int MaxLadderSizes = 200;
constexpr double MaxLadderSize = 1e9;

// Why a ladder cannot be used, as a person reads it; empty when it can: a name of 1 to 80
// characters without control characters, and 2 to 200 sizes, each a finite number above 0
// and at most 1e9, strictly decreasing.
QString ladderFault(const Ladder& ladder);

// The ladders the program ships: a 1 kb and a 100 bp DNA ladder and a broad-range protein
// ladder, with generic sizes.
const std::vector<Ladder>& presetLadders();
// The preset of that name, in any letter case.
std::optional<Ladder> presetLadder(const QString& name);
QStringList presetLadderNames();

// A ladder file or a ladder list that cannot be read; the message names the place.
class LadderError : public Error
{
public:
    explicit LadderError(const QString& message) : Error(Error::InvalidValue, message) {}
};

// Reads the text form; source names the file in messages ("ladders.txt:4: ..."). Throws
// LadderError naming the line and the fault of the first one found; a text without a ladder,
// and two ladders of the same name (in any letter case), are refused too. Every ladder
// returned passes ladderFault.
std::vector<Ladder> parseLadders(const QString& text, const QString& source);
// The text form of the ladders, which parseLadders reads back as they are. Throws
// LadderError for a ladder that ladderFault refuses, so that no unreadable file is written.
QString ladderText(const std::vector<Ladder>& ladders);

// The command line's SIZES: a comma-separated list of sizes, largest first (the ladder is
// then named "sizes" and its unit is bp), or the name of a preset. Throws LadderError saying
// what was expected.
Ladder parseLadderSizes(const QString& text);

// Sizes typed in a list, largest first, separated by commas or blanks ("10000, 8000 6000").
// Throws LadderError saying which entry is not a size.
std::vector<double> parseSizeList(const QString& text);
// The sizes as the ladder editor shows them: "10000, 8000, 6000".
QString sizeListText(const std::vector<double>& sizes);

// The person's own ladders, kept in the settings as their text form under this key, so that
// they read as an exported file does.
inline constexpr const char* OwnLaddersKey = "ladders/own";
// The own ladders the settings hold; none when there are none. Settings that cannot be read
// (edited by hand, say) give none, with the reason in *error, and are left as they are.
std::vector<Ladder> readOwnLadders(const QSettings& settings, QString* error = nullptr);
// Keeps the ladders in the settings (none removes the key). Throws LadderError, keeping
// nothing, for a ladder that ladderFault refuses.
void writeOwnLadders(QSettings& settings, const std::vector<Ladder>& ladders);
// Puts the ladder into the list: in place of one of the same name in any letter case, else
// at the end. Returns its index.
int putLadder(std::vector<Ladder>& ladders, const Ladder& ladder);

} // namespace kesto
