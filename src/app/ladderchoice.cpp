#include "app/ladderchoice.h"

#include "app/sizecalibrationwindow.h"
#include "components/prompts.h"

#include <QFile>
#include <QSaveFile>
#include <QSettings>

#include <algorithm>

namespace kesto {

namespace {

QString& settingsFile()
{
    static QString path;
    return path;
}

const QString Title = QStringLiteral("Mark as Ladder");

void warn(QWidget* parent, const QString& text)
{
    Prompts::current().message(parent, text, appTitle(), MessageButtons::Ok, MessageIcon::Warning);
}

std::vector<Ladder> ownLadders(QWidget* parent)
{
    QString error;
    const std::vector<Ladder> own = readOwnLadders(*ladderSettings(), &error);
    if (!error.isEmpty())
        warn(parent, QStringLiteral("Your own ladders cannot be read and are left as they "
                                    "are: %1")
                         .arg(error));
    return own;
}

bool keepOwnLadders(QWidget* parent, const std::vector<Ladder>& own)
{
    try {
        std::unique_ptr<QSettings> settings = ladderSettings();
        // Ladders that cannot be read are not overwritten: they may be mended by hand.
        QString unreadable;
        readOwnLadders(*settings, &unreadable);
        if (!unreadable.isEmpty())
            throw LadderError(QStringLiteral("the ladders kept before cannot be read, and are "
                                             "left as they are"));
        writeOwnLadders(*settings, own);
        settings->sync();
        if (settings->status() != QSettings::NoError)
            throw LadderError(QStringLiteral("the settings cannot be written"));
    } catch (const Error& e) {
        warn(parent, QStringLiteral("The ladders cannot be kept: %1").arg(e.message()));
        return false;
    }
    return true;
}

// One of ladders, chosen from a list; nullopt on cancel.
std::optional<int> pickLadder(QWidget* parent, const QString& prompt,
                              const std::vector<Ladder>& ladders)
{
    QStringList items;
    for (const Ladder& l : ladders)
        items << ladderDescription(l);
    const std::optional<int> pick = Prompts::current().chooseItem(parent, prompt, Title, items, 0);
    if (!pick || *pick < 0 || *pick >= int(ladders.size()))
        return std::nullopt;
    return pick;
}

// The ladder editor: name, unit and sizes, one question each, starting from `start`. Asks
// again after a fault, showing it; nullopt on cancel.
std::optional<Ladder> editLadder(QWidget* parent, Ladder ladder)
{
    for (;;) {
        const std::optional<QString> name = Prompts::current().inputText(
            parent, QStringLiteral("The ladder's name:"), Title, ladder.name);
        if (!name)
            return std::nullopt;
        ladder.name = name->trimmed();
        const QStringList units{sizeUnitText(SizeUnit::BasePairs),
                                sizeUnitText(SizeUnit::KiloBases),
                                sizeUnitText(SizeUnit::KiloDaltons)};
        const std::optional<int> unit = Prompts::current().chooseItem(
            parent, QStringLiteral("The unit of its sizes:"), Title, units, int(ladder.unit));
        if (!unit || *unit < 0 || *unit >= int(units.size()))
            return std::nullopt;
        ladder.unit = SizeUnit(*unit);
        const std::optional<QString> sizes = Prompts::current().inputText(
            parent, QStringLiteral("Its sizes, largest first, separated by commas or blanks:"),
            Title, sizeListText(ladder.sizes));
        if (!sizes)
            return std::nullopt;
        QString fault;
        try {
            ladder.sizes = parseSizeList(*sizes);
            fault = ladderFault(ladder);
        } catch (const LadderError& e) {
            fault = e.message();
        }
        if (fault.isEmpty())
            return ladder;
        warn(parent, QStringLiteral("This ladder cannot be kept: %1.").arg(fault));
    }
}

std::optional<std::vector<Ladder>> importLadders(QWidget* parent)
{
    const QString path = Prompts::current().openFileName(
        parent, QStringLiteral("Import Ladders"), QString(),
        {QStringLiteral("Ladder files (*.txt *.ladders)"), QStringLiteral("All files (*)")}, 0);
    if (path.isEmpty())
        return std::nullopt;
    try {
        QFile file(path);
        // A ladder file is a few lines; a large one is no ladder file.
        constexpr qint64 MaxLadderFile = 1 << 20;
        if (!file.open(QIODevice::ReadOnly))
            throw LadderError(
                QStringLiteral("%1: cannot be read: %2").arg(path, file.errorString()));
        if (file.size() > MaxLadderFile)
            throw LadderError(QStringLiteral("%1: too large for a ladder file").arg(path));
        return parseLadders(QString::fromUtf8(file.readAll()), path);
    } catch (const Error& e) {
        warn(parent, e.message());
        return std::nullopt;
    }
}

void exportLadder(QWidget* parent, const Ladder& ladder)
{
    int filter = 0;
    QString name = ladder.name;
    for (QChar& c : name)
        if (!c.isLetterOrNumber() && c != QLatin1Char('-'))
            c = QLatin1Char('_');
    const QString path = Prompts::current().saveFileName(
        parent, QStringLiteral("Export Ladder"), name + QStringLiteral(".txt"),
        {QStringLiteral("Ladder files (*.txt *.ladders)"), QStringLiteral("All files (*)")},
        filter);
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(ladderText({ladder}).toUtf8()) < 0 ||
        !file.commit())
        warn(parent, QStringLiteral("%1 cannot be written: %2").arg(path, file.errorString()));
}

} // namespace

void setLadderSettingsFile(const QString& path)
{
    settingsFile() = path;
}

std::unique_ptr<QSettings> ladderSettings()
{
    if (!settingsFile().isEmpty())
        return std::make_unique<QSettings>(settingsFile(), QSettings::IniFormat);
    return std::make_unique<QSettings>();
}

QString ladderDescription(const Ladder& ladder)
{
    // In one pass: a name may hold a '%'.
    return QStringLiteral("%1 (%2 sizes, %3 to %4)")
        .arg(ladder.name, QString::number(ladder.sizes.size()),
             bandSizeText(ladder.sizes.front(), ladder.unit),
             bandSizeText(ladder.sizes.back(), ladder.unit));
}

LadderChoice chooseLadder(QWidget* parent, int lane, const std::optional<Ladder>& marked)
{
    const QString prompt = QStringLiteral("The ladder lane %1 runs:").arg(lane + 1);
    // Removing or exporting a ladder comes back to the list.
    for (;;) {
        const std::vector<Ladder> presets = presetLadders();
        std::vector<Ladder> own = ownLadders(parent);
        std::vector<Ladder> all = presets;
        all.insert(all.end(), own.begin(), own.end());
        QStringList items;
        int current = 0;
        for (std::size_t i = 0; i < all.size(); ++i) {
            items << ladderDescription(all[i]);
            if (marked && all[i] == *marked)
                current = int(i);
        }
        const int importItem = int(items.size());
        items << QStringLiteral("Import from a ladder file...");
        const int newItem = int(items.size());
        items << QStringLiteral("New ladder...");
        const int editItem = int(items.size());
        items << QStringLiteral("Edit a ladder...");
        const int removeItem = int(items.size());
        items << QStringLiteral("Remove one of your ladders...");
        const int exportItem = int(items.size());
        items << QStringLiteral("Export a ladder to a file...");
        const int noneItem = int(items.size());
        items << QStringLiteral("Not a ladder");
        const std::optional<int> choice =
            Prompts::current().chooseItem(parent, prompt, Title, items, current);
        if (!choice || *choice < 0 || *choice >= int(items.size()))
            return {};
        if (*choice < importItem)
            return {LadderChoice::Kind::Chosen, all[std::size_t(*choice)]};
        if (*choice == noneItem)
            return {LadderChoice::Kind::NotLadder, {}};

        if (*choice == importItem) {
            const std::optional<std::vector<Ladder>> read = importLadders(parent);
            if (!read)
                return {};
            // Kept with the own ladders; one of the same name is replaced.
            for (const Ladder& l : *read)
                putLadder(own, l);
            keepOwnLadders(parent, own);
            int pick = 0;
            if (read->size() > 1) {
                const std::optional<int> which = pickLadder(parent, prompt, *read);
                if (!which)
                    return {};
                pick = *which;
            }
            return {LadderChoice::Kind::Chosen, (*read)[std::size_t(pick)]};
        }
        if (*choice == newItem || *choice == editItem) {
            Ladder start;
            if (*choice == editItem) {
                const std::optional<int> which =
                    pickLadder(parent,
                               QStringLiteral("The ladder to edit (a preset edited is kept as "
                                              "one of your own):"),
                               all);
                if (!which)
                    continue;
                start = all[std::size_t(*which)];
            }
            const std::optional<Ladder> edited = editLadder(parent, start);
            if (!edited)
                continue;
            // Renamed: the ladder of the old name goes.
            if (*choice == editItem && start.name.compare(edited->name, Qt::CaseInsensitive) != 0)
                own.erase(
                    std::remove_if(own.begin(), own.end(),
                                   [&start](const Ladder& l) { return l.name == start.name; }),
                    own.end());
            putLadder(own, *edited);
            keepOwnLadders(parent, own);
            return {LadderChoice::Kind::Chosen, *edited};
        }
        if (*choice == removeItem) {
            if (own.empty()) {
                Prompts::current().message(parent,
                                           QStringLiteral("You have no ladders of your own: the "
                                                          "presets stay."),
                                           appTitle(), MessageButtons::Ok,
                                           MessageIcon::Information);
                continue;
            }
            const std::optional<int> which =
                pickLadder(parent, QStringLiteral("The ladder to remove:"), own);
            if (!which)
                continue;
            const MessageAnswer sure = Prompts::current().message(
                parent, QStringLiteral("Remove the ladder %1?").arg(own[std::size_t(*which)].name),
                appTitle(), MessageButtons::YesNo, MessageIcon::Question);
            if (sure != MessageAnswer::Yes)
                continue;
            own.erase(own.begin() + *which);
            keepOwnLadders(parent, own);
            continue;
        }
        if (*choice == exportItem) {
            const std::optional<int> which =
                pickLadder(parent, QStringLiteral("The ladder to export:"), all);
            if (which)
                exportLadder(parent, all[std::size_t(*which)]);
            continue;
        }
    }
}

} // namespace kesto
