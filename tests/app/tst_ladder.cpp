// Band sizes through the real window: a gel with a ladder lane, its bands found, the lane
// marked as a ladder read from a file, every band's Rf and size in the Found Bands list and
// beside its frame, the calibration window, and the marking undone.

#include "app/foundbands.h"
#include "app/foundbandspanel.h"
#include "app/frmscan.h"
#include "app/ladderchoice.h"
#include "app/mainbar.h"
#include "app/picturebox.h"
#include "app/sizecalibrationwindow.h"
#include "components/commandbar.h"
#include "components/worksheet.h"
#include "core/expression.h"
#include "core/ladders.h"
#include "core/measurementsession.h"
#include "core/sheetdata.h"
#include "report/frmreport.h"
#include "support/fakeprompts.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace kesto;
using kesto::test::FakePrompts;

namespace {

// Lanes are found from the picture's top row to its bottom one; bands are dark rows with
// soft edges, centred on the given rows.
constexpr int LaneTop = 0;
constexpr int LaneBottom = 299;

QImage ladderGel(const QList<QList<int>>& bandRows)
{
    const int lanes = int(bandRows.size());
    QImage picture(70 * lanes + 30, 300, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            double level = 235;
            const int lane = (x - 15) / 70;
            const int across = (x - 15) % 70;
            if (x >= 15 && lane < lanes && across >= 15 && across < 55) {
                // Darkest in the lane's middle, fading to its edges.
                const double edge = std::min(1.0, std::min(across - 15, 54 - across) / 6.0);
                for (int row : bandRows[lane])
                    level -= 150 * edge * std::exp(-0.5 * std::pow((y - row) / 2.5, 2));
            }
            const int v = std::clamp(int(std::lround(level)), 0, 255);
            picture.setPixel(x, y, qRgb(v, v, v));
        }
    }
    return picture;
}

int rowAt(double rf)
{
    return int(std::lround(LaneTop + rf * (LaneBottom - LaneTop)));
}

} // namespace

class TestLadder : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void markLadderShowsSizesAndUndoes();
    void ownLaddersMadeKeptExportedRemoved();
    void ladderBandReassignedAndSizesReported();

private:
    FoundBandsTool& tool() { return FoundBandsTool::of(*form); }
    void run(const char* command) { dispatchMainTool(*form, QLatin1String(command)); }
    void undo() { form->findChild<QAction*>(QStringLiteral("actionUndo"))->trigger(); }
    QStringList entries()
    {
        QStringList list;
        for (int i = 0; i < tool().panel()->list()->count(); ++i)
            list << tool().panel()->list()->item(i)->text();
        return list;
    }
    int indexOf(const QString& label)
    {
        for (int i = 0; i < tool().proposals().count(); ++i)
            if (tool().proposals().label(i) == label)
                return i;
        return -1;
    }

    QString settingsPath() const { return settingsDir.filePath(QStringLiteral("kesto.ini")); }
    std::vector<Ladder> keptLadders() const
    {
        const QSettings settings(settingsPath(), QSettings::IniFormat);
        return readOwnLadders(settings);
    }

    QTemporaryDir settingsDir;
    std::unique_ptr<FakePrompts> prompts;
    std::unique_ptr<frmScan> form;
};

void TestLadder::init()
{
    // Own ladders go to a file of the test's, fresh for each test.
    QFile::remove(settingsPath());
    setLadderSettingsFile(settingsPath());
    prompts = std::make_unique<FakePrompts>();
    form = std::make_unique<frmScan>();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
}

void TestLadder::cleanup()
{
    form.reset();
    if (frmReport* report = frmReport::existing())
        delete report;
    setLadderSettingsFile(QString());
    prompts.reset();
}

void TestLadder::markLadderShowsSizesAndUndoes()
{
    // A ladder of five sizes at Rf 0.1 to 0.9; lane 2 runs bands level with the ladder's
    // 3000 and 1000, lane 3 one halfway between 3000 and 2000.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("ladders.txt"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("ladder \"Five\"\nunit bp\nsizes 5000 3000 2000 1000 500\n");
    file.close();
    form->showPicture(ladderGel({{rowAt(0.1), rowAt(0.3), rowAt(0.5), rowAt(0.7), rowAt(0.9)},
                                 {rowAt(0.3), rowAt(0.7)},
                                 {rowAt(0.4)}}));
    run("mnuFindBands");
    QCOMPARE(tool().proposals().laneCount(), 3);
    QCOMPARE(tool().proposals().count(), 8);
    const QStringList before = entries();
    QVERIFY2(!before.join(QLatin1Char('\n')).contains(QStringLiteral("Rf")),
             qPrintable(before.join(QLatin1Char('\n'))));
    QCOMPARE(form->picImage->overlays().at(indexOf(QStringLiteral("2.1"))).label,
             QStringLiteral("2.1"));

    // Mark as Ladder on a band of lane 1: the ladder comes from the file.
    tool().select(indexOf(QStringLiteral("1.2")));
    prompts->itemAnswers << int(presetLadders().size()); // "Import from a ladder file..."
    prompts->openAnswers << path;
    tool().panel()->ladderButton()->click();
    QCOMPARE(prompts->itemLists.size(), 1);
    QCOMPARE(prompts->itemLists[0].last(), QStringLiteral("Not a ladder"));
    QCOMPARE(form->session().ladderLanes().size(), std::size_t(1));
    QVERIFY(tool().panel()->notice().contains(QStringLiteral("Lane 1 runs the ladder Five")));

    const QStringList after = entries();
    const QString all = after.join(QLatin1Char('\n'));
    QVERIFY2(after[indexOf(QStringLiteral("1.1"))].endsWith(QStringLiteral("5 000 bp (ladder)")),
             qPrintable(all));
    QVERIFY2(after[indexOf(QStringLiteral("1.4"))].endsWith(QStringLiteral("1 000 bp (ladder)")),
             qPrintable(all));
    // The other lanes' bands read against the ladder (their sizes are checked in the core's
    // tests).
    QVERIFY2(QRegularExpression(QStringLiteral("Rf [0-9.]+, [0-9 ]+ bp$"))
                 .match(after[indexOf(QStringLiteral("3.1"))])
                 .hasMatch(),
             qPrintable(all));
    // Beside the frames on the picture, until switched off.
    const QString shown = form->picImage->overlays().at(indexOf(QStringLiteral("2.1"))).label;
    QVERIFY2(shown.startsWith(QStringLiteral("2.1 ")) && shown.endsWith(QStringLiteral(" bp")),
             qPrintable(shown));
    run("mnuShowSizes");
    QCOMPARE(form->picImage->overlays().at(indexOf(QStringLiteral("2.1"))).label,
             QStringLiteral("2.1"));
    run("mnuShowSizes");

    // The calibration: the ladder's five bands with their errors.
    run("mnuSizeCalibration");
    auto* window = form->findChild<SizeCalibrationWindow*>();
    QVERIFY(window);
    QCOMPARE(window->table()->rowCount(), 5);
    QCOMPARE(window->table()->item(0, 0)->text(), QStringLiteral("5 000 bp"));
    QCOMPARE(window->table()->item(0, 2)->text(), QStringLiteral("0.0 %"));
    // A straight line instead: the ladder's own bands now miss it a little, and an undo
    // takes the choice back.
    window->fitBox()->setCurrentIndex(window->fitBox()->findText(QStringLiteral("linear")));
    QCOMPARE(form->session().sizeFit(), SizeFit::Linear);
    QVERIFY(window->table()->item(0, 2)->text() != QStringLiteral("0.0 %"));
    undo();
    QCOMPARE(form->session().sizeFit(), SizeFit::PointToPoint);
    QCOMPARE(window->fitBox()->currentText(), QStringLiteral("point-to-point"));

    // Undo takes the marking back, and the entries read as before.
    undo();
    QVERIFY(form->session().ladderLanes().empty());
    QCOMPARE(entries(), before);
}

void TestLadder::ownLaddersMadeKeptExportedRemoved()
{
    form->showPicture(
        ladderGel({{rowAt(0.1), rowAt(0.3), rowAt(0.5), rowAt(0.7), rowAt(0.9)}, {rowAt(0.4)}}));
    run("mnuFindBands");
    tool().select(indexOf(QStringLiteral("1.2")));
    const int presets = int(presetLadders().size());

    // A new ladder, its sizes mistyped once: the fault is said and the editor asks again.
    prompts->itemAnswers << presets + 1 << 0 << 0; // New ladder..., bp, bp
    prompts->inputAnswers << QStringLiteral("Mine") << QStringLiteral("500 1000")
                          << QStringLiteral("Mine") << QStringLiteral("5000, 3000 2000 1000 500");
    run("mnuMarkLadder");
    QCOMPARE(prompts->itemLists[0].at(presets + 1), QStringLiteral("New ladder..."));
    QCOMPARE(prompts->messages.size(), 1);
    QVERIFY2(prompts->messages[0].text.contains(QStringLiteral("not largest first")),
             qPrintable(prompts->messages[0].text));
    const Ladder mine{QStringLiteral("Mine"), SizeUnit::BasePairs, {5000, 3000, 2000, 1000, 500}};
    QCOMPARE(form->session().ladderLanes().size(), std::size_t(1));
    QCOMPARE(form->session().ladderLanes()[0].ladder, mine);
    QCOMPARE(keptLadders(), std::vector<Ladder>{mine});

    // Kept: the next time it is listed after the presets, and chosen as the lane's. Exported
    // to a file, then removed from the own ladders; cancelling leaves the lane as it was.
    const QString exported = settingsDir.filePath(QStringLiteral("mine.txt"));
    const int own = 1;
    prompts->itemLists.clear();
    prompts->itemAnswers << presets + own + 4 << presets // Export..., Mine
                         << presets + own + 3 << 0       // Remove..., Mine
                         << std::nullopt;
    prompts->saveAnswers << exported;
    prompts->messageAnswers << MessageAnswer::Yes;
    run("mnuMarkLadder");
    QCOMPARE(prompts->itemLists[0].at(presets), ladderDescription(mine));
    QFile file(exported);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(parseLadders(QString::fromUtf8(file.readAll()), exported), std::vector<Ladder>{mine});
    QVERIFY(keptLadders().empty());
    QVERIFY(!prompts->itemLists.last().contains(ladderDescription(mine)));
    QCOMPARE(form->session().ladderLanes()[0].ladder, mine);

    // Settings spoiled by hand are said to be unreadable, and a new ladder does not
    // overwrite them; the lane still takes it.
    const QString spoiled = QStringLiteral("ladder \"x\"\nsizes 5 x\n");
    QSettings(settingsPath(), QSettings::IniFormat).setValue(QLatin1String(OwnLaddersKey), spoiled);
    prompts->messages.clear();
    prompts->itemAnswers << presets + 1 << 0; // New ladder..., bp
    prompts->inputAnswers << QStringLiteral("Other") << QStringLiteral("900 100");
    run("mnuMarkLadder");
    QCOMPARE(form->session().ladderLanes()[0].ladder.name, QStringLiteral("Other"));
    QCOMPARE(prompts->messages.size(), 2);
    QVERIFY2(prompts->messages[1].text.contains(QStringLiteral("left as they are")),
             qPrintable(prompts->messages[1].text));
    QCOMPARE(QSettings(settingsPath(), QSettings::IniFormat)
                 .value(QLatin1String(OwnLaddersKey))
                 .toString(),
             spoiled);
}

void TestLadder::ladderBandReassignedAndSizesReported()
{
    // The ladder lane shows an extra band (a smear at Rf 0.2) between its 5000 and 3000.
    QSettings settings(settingsPath(), QSettings::IniFormat);
    const Ladder five{QStringLiteral("Five"), SizeUnit::BasePairs, {5000, 3000, 2000, 1000, 500}};
    writeOwnLadders(settings, {five});
    settings.sync();
    form->showPicture(ladderGel(
        {{rowAt(0.1), rowAt(0.2), rowAt(0.3), rowAt(0.5), rowAt(0.7), rowAt(0.9)}, {rowAt(0.3)}}));
    run("mnuFindBands");
    QCOMPARE(tool().proposals().count(), 7);
    // No band chosen: the lane is asked for first.
    tool().select(-1);
    prompts->itemAnswers << 0 << int(presetLadders().size()); // lane 1; Five, the own ladder
    run("mnuMarkLadder");
    QCOMPARE(prompts->itemLists[0].size(), 2);
    QCOMPARE(form->session().ladderLanes()[0].ladder, five);
    const QString mismatch = QStringLiteral("6 bands for 5 sizes: 1 band without a size");
    QVERIFY2(tool().panel()->notice().contains(mismatch), qPrintable(tool().panel()->notice()));
    QVERIFY(
        entries()[indexOf(QStringLiteral("1.3"))].endsWith(QStringLiteral("2 000 bp (ladder)")));

    // The smear stands for no size, and the band below it for 3000.
    tool().select(indexOf(QStringLiteral("1.2")));
    prompts->itemAnswers << 5; // No size
    run("mnuLadderBand");
    QVERIFY2(prompts->itemPrompts.last().startsWith(mismatch),
             qPrintable(prompts->itemPrompts.last()));
    QVERIFY(entries()[indexOf(QStringLiteral("1.2"))].endsWith(QStringLiteral("no ladder size")));
    tool().select(indexOf(QStringLiteral("1.3")));
    prompts->itemAnswers << 1;
    run("mnuLadderBand");
    QVERIFY2(
        entries()[indexOf(QStringLiteral("1.3"))].endsWith(QStringLiteral("3 000 bp (ladder)")),
        qPrintable(entries().join(QLatin1Char('\n'))));
    QVERIFY2(entries()[indexOf(QStringLiteral("2.1"))].endsWith(QStringLiteral(", 3 000 bp")),
             qPrintable(entries().join(QLatin1Char('\n'))));
    undo();
    QVERIFY(
        entries()[indexOf(QStringLiteral("1.3"))].endsWith(QStringLiteral("2 000 bp (ladder)")));
    form->findChild<QAction*>(QStringLiteral("actionRedo"))->trigger();

    // Sent to the report, each band's size follows its lane.
    prompts->inputAnswers << QString(); // no control band
    run("mnuSendFound");
    frmReport* report = frmReport::existing();
    QVERIFY(report);
    QStringList descriptions;
    for (int row = 1; row <= report->f1Report->data().rowCount(); ++row)
        descriptions << report->f1Report->data().text(row, ReportDescriptionColumn);
    QVERIFY2(descriptions.contains(QStringLiteral("Lane 2, 3 000 bp")),
             qPrintable(descriptions.join(QLatin1Char('|'))));
    QVERIFY2(descriptions.contains(QStringLiteral("Lane 1, 3 000 bp (ladder)")),
             qPrintable(descriptions.join(QLatin1Char('|'))));
}

QTEST_MAIN(TestLadder)
#include "tst_ladder.moc"
