#include "core/ladders.h"

#include <QLocale>
#include <QRegularExpression>
#include <QSettings>

#include <cmath>

namespace kesto {

namespace {

struct Word
{
    QString text;
    bool quoted = false;
};

// The words of a line: blanks separate them, '#' outside quotes starts a comment, and a
// quoted word keeps blanks and '#' and reads \" and \\.
std::vector<Word> lineWords(QStringView line, const QString& where)
{
    std::vector<Word> words;
    qsizetype i = 0;
    const qsizetype n = line.size();
    while (i < n) {
        const QChar c = line[i];
        if (c.isSpace()) {
            ++i;
            continue;
        }
        if (c == QLatin1Char('#'))
            break;
        Word word;
        if (c == QLatin1Char('"')) {
            word.quoted = true;
            ++i;
            bool closed = false;
            while (i < n) {
                const QChar q = line[i];
                if (q == QLatin1Char('"')) {
                    closed = true;
                    ++i;
                    break;
                }
                if (q == QLatin1Char('\\')) {
                    if (i + 1 >= n ||
                        (line[i + 1] != QLatin1Char('"') && line[i + 1] != QLatin1Char('\\')))
                        throw LadderError(where +
                                          QStringLiteral("a backslash in a name stands only "
                                                         "before a quote or a backslash"));
                    word.text += line[i + 1];
                    i += 2;
                    continue;
                }
                word.text += q;
                ++i;
            }
            if (!closed)
                throw LadderError(where + QStringLiteral("the quote is not closed"));
            if (i < n && !line[i].isSpace() && line[i] != QLatin1Char('#'))
                throw LadderError(where + QStringLiteral("a blank is missing after the quote"));
        } else {
            while (i < n && !line[i].isSpace() && line[i] != QLatin1Char('#') &&
                   line[i] != QLatin1Char('"'))
                word.text += line[i++];
        }
        words.push_back(word);
    }
    return words;
}

// Shortest text that reads back as the same number.
QString sizeText(double size)
{
    return QString::number(size, 'g', QLocale::FloatingPointShortest);
}

// A size as the file and the command line write it: a plain decimal number (an exponent is
// allowed), finite, above 0 and at most MaxLadderSize. Empty reason when good.
double readSize(const QString& text, QString* reason)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value)) {
        *reason = QStringLiteral("\"%1\" is not a size").arg(text.left(40));
        return 0;
    }
    if (!(value > 0) || value > MaxLadderSize) {
        *reason = QStringLiteral("size %1 is not above 0 and at most 1e9").arg(text.left(40));
        return 0;
    }
    reason->clear();
    return value;
}

QString escapedName(const QString& name)
{
    QString out;
    for (const QChar c : name) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
            out += QLatin1Char('\\');
        out += c;
    }
    return out;
}

} // namespace

QString sizeUnitText(SizeUnit unit)
{
    switch (unit) {
    case SizeUnit::BasePairs:
        return QStringLiteral("bp");
    case SizeUnit::KiloBases:
        return QStringLiteral("kb");
    case SizeUnit::KiloDaltons:
        return QStringLiteral("kDa");
    }
    return QString();
}

std::optional<SizeUnit> parseSizeUnit(const QString& text, QString* error)
{
    for (SizeUnit unit : {SizeUnit::BasePairs, SizeUnit::KiloBases, SizeUnit::KiloDaltons})
        if (text.compare(sizeUnitText(unit), Qt::CaseInsensitive) == 0)
            return unit;
    if (error)
        *error = QStringLiteral("unit \"%1\": expected bp, kb or kDa").arg(text.left(40));
    return std::nullopt;
}

QString ladderFault(const Ladder& ladder)
{
    if (ladder.name.trimmed().isEmpty())
        return QStringLiteral("the ladder has no name");
    if (ladder.name.size() > MaxLadderNameLength)
        return QStringLiteral("the ladder's name is longer than %1 characters")
            .arg(MaxLadderNameLength);
    for (const QChar c : ladder.name)
        if (c.category() == QChar::Other_Control)
            return QStringLiteral("the ladder's name holds a control character");
    if (ladder.sizes.size() < 2)
        return QStringLiteral("ladder \"%1\" has fewer than 2 sizes").arg(ladder.name);
    if (ladder.sizes.size() > std::size_t(MaxLadderSizes))
        return QStringLiteral("ladder \"%1\" has more than %2 sizes")
            .arg(ladder.name)
            .arg(MaxLadderSizes);
    for (std::size_t i = 0; i < ladder.sizes.size(); ++i) {
        const double size = ladder.sizes[i];
        if (!std::isfinite(size) || !(size > 0) || size > MaxLadderSize)
            return QStringLiteral("ladder \"%1\": size %2 is not above 0 and at most 1e9")
                .arg(ladder.name, sizeText(size));
        if (i > 0 && !(size < ladder.sizes[i - 1]))
            return QStringLiteral("ladder \"%1\": the sizes are not largest first (%2 follows %3)")
                .arg(ladder.name, sizeText(size), sizeText(ladder.sizes[i - 1]));
    }
    return QString();
}

const std::vector<Ladder>& presetLadders()
{
    static const std::vector<Ladder> presets{
        {QStringLiteral("1 kb DNA"),
         SizeUnit::BasePairs,
         {10000, 8000, 6000, 5000, 4000, 3500, 3000, 2500, 2000, 1500, 1000, 750, 500, 250}},
        {QStringLiteral("100 bp DNA"),
         SizeUnit::BasePairs,
         {1500, 1200, 1000, 900, 800, 700, 600, 500, 400, 300, 200, 100}},
        {QStringLiteral("Broad-range protein"),
         SizeUnit::KiloDaltons,
         {250, 150, 100, 75, 50, 37, 25, 20, 15, 10}},
    };
    return presets;
}

std::optional<Ladder> presetLadder(const QString& name)
{
    for (const Ladder& ladder : presetLadders())
        if (ladder.name.compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return ladder;
    return std::nullopt;
}

QStringList presetLadderNames()
{
    QStringList names;
    for (const Ladder& ladder : presetLadders())
        names << ladder.name;
    return names;
}

std::vector<Ladder> parseLadders(const QString& text, const QString& source)
{
    std::vector<Ladder> ladders;
    // Per ladder being read: the line of its `ladder`, and whether its unit was given.
    int ladderLine = 0;
    bool hasUnit = false;
    const auto where = [&source](int line) {
        return QStringLiteral("%1:%2: ").arg(source).arg(line);
    };
    const auto finish = [&]() {
        if (ladders.empty())
            return;
        const Ladder& ladder = ladders.back();
        if (!hasUnit)
            throw LadderError(where(ladderLine) +
                              QStringLiteral("ladder \"%1\" has no unit line").arg(ladder.name));
        if (ladder.sizes.size() < 2)
            throw LadderError(
                where(ladderLine) +
                QStringLiteral("ladder \"%1\" needs at least 2 sizes").arg(ladder.name));
        const QString fault = ladderFault(ladder);
        if (!fault.isEmpty())
            throw LadderError(where(ladderLine) + fault);
    };

    const QList<QStringView> lines = QStringView(text).split(QLatin1Char('\n'));
    for (qsizetype index = 0; index < lines.size(); ++index) {
        const int lineNumber = int(index + 1);
        QStringView line = lines[index];
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QString here = where(lineNumber);
        const std::vector<Word> words = lineWords(line, here);
        if (words.empty())
            continue;
        const Word& keyword = words.front();
        if (keyword.quoted)
            throw LadderError(here + QStringLiteral("a line starts with ladder, unit or sizes"));
        if (keyword.text == QLatin1String("ladder")) {
            finish();
            if (words.size() != 2 || !words[1].quoted)
                throw LadderError(here + QStringLiteral("expected ladder \"NAME\""));
            Ladder ladder;
            ladder.name = words[1].text;
            if (ladder.name.trimmed().isEmpty())
                throw LadderError(here + QStringLiteral("the ladder's name is empty"));
            if (ladder.name.size() > MaxLadderNameLength)
                throw LadderError(here + QStringLiteral("the ladder's name is longer than %1 "
                                                        "characters")
                                             .arg(MaxLadderNameLength));
            for (const QChar c : ladder.name)
                if (c.category() == QChar::Other_Control)
                    throw LadderError(
                        here + QStringLiteral("the ladder's name holds a control character"));
            for (const Ladder& other : ladders)
                if (other.name.compare(ladder.name, Qt::CaseInsensitive) == 0)
                    throw LadderError(
                        here + QStringLiteral("a second ladder named \"%1\"").arg(ladder.name));
            ladders.push_back(ladder);
            ladderLine = lineNumber;
            hasUnit = false;
        } else if (keyword.text == QLatin1String("unit")) {
            if (ladders.empty())
                throw LadderError(here + QStringLiteral("unit before any ladder line"));
            if (hasUnit)
                throw LadderError(
                    here +
                    QStringLiteral("a second unit for ladder \"%1\"").arg(ladders.back().name));
            if (words.size() != 2 || words[1].quoted)
                throw LadderError(here + QStringLiteral("expected unit bp, unit kb or unit kDa"));
            QString error;
            const std::optional<SizeUnit> unit = parseSizeUnit(words[1].text, &error);
            if (!unit)
                throw LadderError(here + error);
            ladders.back().unit = *unit;
            hasUnit = true;
        } else if (keyword.text == QLatin1String("sizes")) {
            if (ladders.empty())
                throw LadderError(here + QStringLiteral("sizes before any ladder line"));
            if (words.size() < 2)
                throw LadderError(here + QStringLiteral("sizes without a size"));
            std::vector<double>& sizes = ladders.back().sizes;
            for (std::size_t w = 1; w < words.size(); ++w) {
                if (words[w].quoted)
                    throw LadderError(here +
                                      QStringLiteral("a size is a number, not a quoted text"));
                QString reason;
                const double size = readSize(words[w].text, &reason);
                if (!reason.isEmpty())
                    throw LadderError(here + reason);
                if (!sizes.empty() && !(size < sizes.back()))
                    throw LadderError(here + QStringLiteral("sizes go largest first: %1 follows %2")
                                                 .arg(sizeText(size), sizeText(sizes.back())));
                if (sizes.size() >= std::size_t(MaxLadderSizes))
                    throw LadderError(here + QStringLiteral("ladder \"%1\" has more than %2 sizes")
                                                 .arg(ladders.back().name)
                                                 .arg(MaxLadderSizes));
                sizes.push_back(size);
            }
        } else {
            throw LadderError(here + QStringLiteral("unknown instruction \"%1\" (expected "
                                                    "ladder, unit or sizes)")
                                         .arg(keyword.text.left(40)));
        }
    }
    finish();
    if (ladders.empty())
        throw LadderError(source + QStringLiteral(": no ladder in the file"));
    return ladders;
}

QString ladderText(const std::vector<Ladder>& ladders)
{
    QString text = QStringLiteral("# KestoScan size ladders: sizes largest first\n");
    for (const Ladder& ladder : ladders) {
        const QString fault = ladderFault(ladder);
        if (!fault.isEmpty())
            throw LadderError(fault);
        text += QStringLiteral("\nladder \"%1\"\nunit %2\n")
                    .arg(escapedName(ladder.name), sizeUnitText(ladder.unit));
        // Twelve sizes a line keeps long ladders readable.
        for (std::size_t i = 0; i < ladder.sizes.size(); i += 12) {
            text += QStringLiteral("sizes");
            for (std::size_t j = i; j < std::min(ladder.sizes.size(), i + 12); ++j)
                text += QLatin1Char(' ') + sizeText(ladder.sizes[j]);
            text += QLatin1Char('\n');
        }
    }
    return text;
}

Ladder parseLadderSizes(const QString& text)
{
    if (const std::optional<Ladder> preset = presetLadder(text))
        return *preset;
    const QString expected =
        QStringLiteral("expected sizes largest first separated by commas (10000,8000,6000) or "
                       "a ladder's name (%1)")
            .arg(presetLadderNames().join(QStringLiteral(", ")));
    const QStringList parts = text.split(QLatin1Char(','));
    bool numeric = false;
    for (const QString& part : parts) {
        bool ok = false;
        part.trimmed().toDouble(&ok);
        numeric = numeric || ok;
    }
    if (!numeric)
        throw LadderError(QStringLiteral("\"%1\": ").arg(text.left(60)) + expected);
    Ladder ladder;
    ladder.name = QStringLiteral("sizes");
    for (const QString& part : parts) {
        QString reason;
        const double size = readSize(part.trimmed(), &reason);
        if (!reason.isEmpty())
            throw LadderError(QStringLiteral("\"%1\": %2").arg(text.left(60), reason));
        ladder.sizes.push_back(size);
    }
    const QString fault = ladderFault(ladder);
    if (!fault.isEmpty())
        throw LadderError(QStringLiteral("\"%1\": %2").arg(text.left(60), fault));
    return ladder;
}

std::vector<double> parseSizeList(const QString& text)
{
    static const QRegularExpression separators(QStringLiteral("[,\\s]+"));
    const QStringList parts = text.split(separators, Qt::SkipEmptyParts);
    if (parts.isEmpty())
        throw LadderError(QStringLiteral("no sizes: expected sizes largest first, separated by "
                                         "commas or blanks"));
    if (parts.size() > MaxLadderSizes)
        throw LadderError(QStringLiteral("%1 sizes: a ladder has at most %2")
                              .arg(parts.size())
                              .arg(MaxLadderSizes));
    std::vector<double> sizes;
    for (const QString& part : parts) {
        QString reason;
        const double size = readSize(part, &reason);
        if (!reason.isEmpty())
            throw LadderError(QStringLiteral("\"%1\": %2").arg(part.left(40), reason));
        sizes.push_back(size);
    }
    return sizes;
}

QString sizeListText(const std::vector<double>& sizes)
{
    QStringList words;
    for (double size : sizes)
        words << sizeText(size);
    return words.join(QStringLiteral(", "));
}

std::vector<Ladder> readOwnLadders(const QSettings& settings, QString* error)
{
    const QString text = settings.value(QLatin1String(OwnLaddersKey)).toString();
    if (text.trimmed().isEmpty())
        return {};
    try {
        return parseLadders(text, QStringLiteral("the ladders kept in the settings"));
    } catch (const LadderError& e) {
        if (error)
            *error = e.message();
        return {};
    }
}

void writeOwnLadders(QSettings& settings, const std::vector<Ladder>& ladders)
{
    if (ladders.empty()) {
        settings.remove(QLatin1String(OwnLaddersKey));
        return;
    }
    settings.setValue(QLatin1String(OwnLaddersKey), ladderText(ladders));
}

int putLadder(std::vector<Ladder>& ladders, const Ladder& ladder)
{
    for (std::size_t i = 0; i < ladders.size(); ++i)
        if (ladders[i].name.compare(ladder.name, Qt::CaseInsensitive) == 0) {
            ladders[i] = ladder;
            return int(i);
        }
    ladders.push_back(ladder);
    return int(ladders.size()) - 1;
}

} // namespace kesto
