// A long random session on the real main window: a seeded generator presses, drags and
// releases the pointer on, inside and outside the scan frame and past the picture's
// edges, scrolls, resizes the window, picks cells and runs every command of the bar with
// its dialogs answered. After every step the promises of the window are checked.
//
// The seed is printed at the start and with every failure, which names the command that
// replays it: KESTO_SESSION_SEED=<seed> hardening_randomsession 'session:<row>'.
// KESTO_SESSION_STEPS sets the number of steps over all sessions (10 000 by default).

#include "app/frmscan.h"
#include "app/mainbar.h"
#include "app/scanframetool.h"
#include "components/commandbar.h"
#include "components/worksheet.h"
#include "core/gelimage.h"
#include "dialogs/frmabout.h"
#include "dialogs/frmmsg.h"
#include "report/frmreport.h"
#include "support/fakeprompts.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <memory>

using namespace kesto;
using kesto::test::FakePrompts;

namespace {

constexpr int Sessions = 5;
constexpr int HandleSize = 4;
constexpr int SaveEvery = 300;
constexpr int PrintEvery = 1000;

quint64 masterSeed()
{
    static const quint64 seed = [] {
        bool ok = false;
        const quint64 given = qEnvironmentVariable("KESTO_SESSION_SEED").toULongLong(&ok);
        return ok ? given : QRandomGenerator::global()->generate64();
    }();
    return seed;
}

int totalSteps()
{
    bool ok = false;
    const int steps = qEnvironmentVariableIntValue("KESTO_SESSION_STEPS", &ok);
    return ok && steps > 0 ? steps : 10000;
}

using Sheet = QList<QStringList>;

Sheet snapshot(const Worksheet& sheet)
{
    Sheet rows;
    for (int r = 1; r <= sheet.rowCount(); ++r) {
        QStringList row;
        for (int c = 1; c <= sheet.columnCount(); ++c)
            row << sheet.text(r, c);
        rows << row;
    }
    return rows;
}

// Band x 100 / control with one decimal, ties away from zero, worked out exactly for the
// whole numbers that scans give. "" when the row has no percentage. A quotient that is a
// decimal tie (202167 x 100 / 6000 = 3369.45) is no tie in binary, where the program
// rounds it, so there tie gives the result rounded towards zero, which is accepted too.
QString expectedPercent(const QString& band, const QString& control, bool& exact, QString& tie)
{
    exact = true;
    tie.clear();
    bool bandOk = false;
    bool controlOk = false;
    const double b = band.toDouble(&bandOk);
    const double c = control.toDouble(&controlOk);
    if (band.isEmpty() || control.isEmpty() || !bandOk || !controlOk || c == 0)
        return QString();
    constexpr double Exact = 9007199254740992.0; // 2^53
    if (b != std::trunc(b) || c != std::trunc(c) || std::fabs(b) >= Exact ||
        std::fabs(c) >= Exact) {
        exact = false;
        return QString::number(b * 100 / c, 'f', 1);
    }
    __extension__ typedef __int128 Int128;
    Int128 n = Int128(qint64(b)) * 1000;
    Int128 d = Int128(qint64(c));
    const bool negative = (n < 0) != (d < 0);
    n = n < 0 ? -n : n;
    d = d < 0 ? -d : d;
    const auto text = [negative](Int128 tenths) {
        const QString digits = QString::number(qint64(tenths / 10)) + QLatin1Char('.') +
                               QString::number(qint64(tenths % 10));
        return negative && tenths != 0 ? QLatin1Char('-') + digits : digits;
    };
    const Int128 down = n / d;
    if (2 * (n % d) == d)
        tie = text(down);
    return text(2 * (n % d) >= d ? down + 1 : down);
}

// A plain reader for the saved text files: every cell of this session is a number or a
// heading without separators, so no field is quoted.
Sheet readTextFile(const QString& path, QChar separator)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    Sheet rows;
    for (const QString& line : lines)
        rows << line.split(separator);
    return rows;
}

} // namespace

class TestRandomSession : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void session_data();
    void session();

private:
    // One step: does something and returns what went wrong, "" when all is well.
    QString step(int number);
    QString pointerStep();
    QString scrollStep();
    QString resizeStep();
    QString cellStep();
    QString commandStep();
    QString openStep();
    QString pasteStep();
    QString invertStep();
    QString clearStep();
    QString aboutStep();
    QString saveStep();
    QString printStep();
    QString copyStep();
    QString invariants();

    int pick(int lowest, int highest) { return int(m_rng.bounded(lowest, highest + 1)); }
    bool chance(int perThousand) { return int(m_rng.bounded(1000)) < perThousand; }
    QPoint randomPoint();
    QImage randomPicture();
    void click(int band, const char* name)
    {
        m_form->tool(band, QLatin1String(name)).action()->trigger();
    }
    void note(const QString& action);
    QString readout(int band, const char* name) const
    {
        return m_form->tool(band, QLatin1String(name)).caption();
    }

    QRandomGenerator m_rng;
    std::unique_ptr<FakePrompts> m_prompts;
    std::unique_ptr<frmScan> m_form;
    std::unique_ptr<QTemporaryDir> m_dir;
    QStringList m_recent; // the last actions, for the failure message
    bool m_pressed = false;
    QPoint m_last;
    bool m_dragMoved = false; // the last step moved the frame by dragging
    bool m_sizeMoved = false;
    int m_files = 0;
    // What the session did, reported at its end so a run that tests little shows.
    int m_drags = 0;
    int m_sizings = 0;
    int m_scrolls = 0;
    int m_percentCells = 0;
    int m_nextSave = SaveEvery;
    int m_nextPrint = PrintEvery;
};

void TestRandomSession::initTestCase()
{
    qInfo("random session seed %llu (replay with KESTO_SESSION_SEED=%llu)", masterSeed(),
          masterSeed());
}

void TestRandomSession::cleanup()
{
    delete frmReport::existing();
    m_form.reset();
    m_prompts.reset();
    m_dir.reset();
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

void TestRandomSession::session_data()
{
    QTest::addColumn<int>("index");
    for (int i = 1; i <= Sessions; ++i)
        QTest::addRow("%d of %d", i, Sessions) << i;
}

void TestRandomSession::session()
{
    QFETCH(int, index);
    m_rng.seed(masterSeed() + quint64(index));
    m_recent.clear();
    m_pressed = false;
    m_nextSave = SaveEvery;
    m_nextPrint = PrintEvery;
    m_drags = m_sizings = m_scrolls = m_percentCells = 0;
    m_prompts = std::make_unique<FakePrompts>();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_form = std::make_unique<frmScan>();
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    m_form->showPicture(randomPicture());

    const int steps = (totalSteps() + Sessions - 1) / Sessions;
    for (int n = 1; n <= steps; ++n) {
        QString fault = step(n);
        if (fault.isEmpty())
            fault = invariants();
        if (!fault.isEmpty())
            QFAIL(qPrintable(
                QStringLiteral("step %1: %2\nlast steps:\n  %3\nreplay: KESTO_SESSION_SEED=%4 "
                               "hardening_randomsession 'session:%5'")
                    .arg(n)
                    .arg(fault, m_recent.join(QStringLiteral("\n  ")))
                    .arg(masterSeed())
                    .arg(QLatin1String(QTest::currentDataTag()))));
    }
    qInfo("%d steps: %d frame drags, %d sizing moves, %d scrolls, %d percentages checked", steps,
          m_drags, m_sizings, m_scrolls, m_percentCells);
}

void TestRandomSession::note(const QString& action)
{
    m_recent.append(action);
    if (m_recent.size() > 12)
        m_recent.removeFirst();
}

QImage TestRandomSession::randomPicture()
{
    QImage picture(pick(1, 400), pick(1, 300), QImage::Format_RGB32);
    picture.fill(qRgb(pick(120, 255), pick(120, 255), pick(120, 255)));
    QPainter painter(&picture);
    for (int bands = pick(0, 5); bands > 0; --bands) {
        const QRect band(pick(0, picture.width() - 1), pick(0, picture.height() - 1), pick(1, 60),
                         pick(1, 20));
        painter.fillRect(band, QColor(pick(0, 150), pick(0, 150), pick(0, 150)));
    }
    return picture;
}

QPoint TestRandomSession::randomPoint()
{
    const RectShape& frame = m_form->shpPointer;
    const RectShape& handle = m_form->shpPoint;
    const QImage& picture = m_form->picImage->picture();
    const int w = picture.width();
    const int h = picture.height();
    switch (pick(0, 4)) {
    case 0: // inside the frame
        return QPoint(int(frame.left) + pick(1, qMax(1, int(frame.width) - 1)),
                      int(frame.top) + pick(1, qMax(1, int(frame.height) - 1)));
    case 1: // on or around the handle
        return QPoint(int(std::lround(handle.left + handle.width / 2)) + pick(-2, 2),
                      int(std::lround(handle.top + handle.height / 2)) + pick(-2, 2));
    case 2: // on the frame's border
        return QPoint(int(std::lround(chance(500) ? frame.left : frame.left + frame.width)),
                      int(frame.top) + pick(0, qMax(0, int(frame.height))));
    case 3: // anywhere on the picture
        return QPoint(pick(0, w - 1), pick(0, h - 1));
    default: // past the picture's edges
        return QPoint(pick(-80, w + 80), pick(-80, h + 80));
    }
}

QString TestRandomSession::step(int number)
{
    m_dragMoved = false;
    m_sizeMoved = false;
    // While the button is held only the pointer acts, as with a person at the mouse.
    if (m_pressed)
        return pointerStep();
    if (number >= m_nextSave) {
        m_nextSave += SaveEvery;
        return saveStep();
    }
    if (number >= m_nextPrint) {
        m_nextPrint += PrintEvery;
        return printStep();
    }
    const int roll = pick(0, 999);
    if (roll < 720)
        return pointerStep();
    if (roll < 760)
        return scrollStep();
    if (roll < 780)
        return resizeStep();
    if (roll < 840)
        return cellStep();
    return commandStep();
}

QString TestRandomSession::pointerStep()
{
    PictureBox* box = m_form->picImage;
    if (m_pressed && chance(800)) {
        const QPoint to =
            chance(700) ? m_last + QPoint(pick(-30, 30), pick(-30, 30)) : randomPoint();
        note(QStringLiteral("drag to %1, %2").arg(to.x()).arg(to.y()));
        const bool moving = m_form->scanFrameTool().moving();
        const bool sizing = m_form->scanFrameTool().sizing();
        QTest::mouseMove(box, to);
        m_last = to;
        m_dragMoved = moving;
        m_sizeMoved = sizing;
        m_drags += moving ? 1 : 0;
        m_sizings += sizing ? 1 : 0;
        return QString();
    }
    if (m_pressed) {
        note(QStringLiteral("release at %1, %2").arg(m_last.x()).arg(m_last.y()));
        QTest::mouseRelease(box, Qt::LeftButton, {}, m_last);
        m_pressed = false;
        if (m_form->scanFrameTool().moving() || m_form->scanFrameTool().sizing())
            return QStringLiteral("the frame still follows the pointer after the release");
        if (QApplication::overrideCursor())
            return QStringLiteral("the pointer shape is not the arrow after the release");
        return QString();
    }
    const QPoint at = randomPoint();
    if (chance(350)) {
        note(QStringLiteral("press at %1, %2").arg(at.x()).arg(at.y()));
        QTest::mousePress(box, Qt::LeftButton, {}, at);
        m_pressed = true;
        m_last = at;
        return QString();
    }
    note(QStringLiteral("hover at %1, %2").arg(at.x()).arg(at.y()));
    QTest::mouseMove(box, at);
    return QString();
}

QString TestRandomSession::scrollStep()
{
    QScrollBar* bar = chance(500) ? m_form->HScroll : m_form->VScroll;
    if (!bar->isVisible()) {
        note(QStringLiteral("no scroll bar to move"));
        return QString();
    }
    const int value = pick(bar->minimum(), bar->maximum());
    note(QStringLiteral("%1 to %2").arg(bar->objectName()).arg(value));
    bar->setValue(value);
    ++m_scrolls;
    return QString();
}

QString TestRandomSession::resizeStep()
{
    // Small windows more often than not, so that the pictures need the scroll bars.
    const QSize size = chance(600) ? QSize(pick(500, 700), pick(300, 450))
                                   : QSize(pick(700, 1100), pick(450, 760));
    note(QStringLiteral("window resized to %1 x %2").arg(size.width()).arg(size.height()));
    m_form->resize(size);
    QCoreApplication::processEvents();
    return QString();
}

QString TestRandomSession::cellStep()
{
    QTableView* view = m_form->f1Report->view();
    // Mostly the first rows, so that bands meet their controls and percentages appear.
    const int row = pick(1, chance(850) ? 8 : m_form->f1Report->rowCount());
    const int column = pick(1, 4);
    note(QStringLiteral("cell R%1C%2 clicked").arg(row).arg(column));
    const QModelIndex index = view->model()->index(row - 1, column - 1);
    view->scrollTo(index);
    const int workRow = m_form->workRow();
    const int workColumn = m_form->workColumn();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
    QCoreApplication::processEvents();
    const bool picks = column == 2 || column == 3;
    const int expectedRow = picks ? row : workRow;
    const int expectedColumn = picks ? column : workColumn;
    if (m_form->workRow() != expectedRow || m_form->workColumn() != expectedColumn)
        return QStringLiteral("the working cell is R%1C%2, expected R%3C%4")
            .arg(m_form->workRow())
            .arg(m_form->workColumn())
            .arg(expectedRow)
            .arg(expectedColumn);
    return QString();
}

QString TestRandomSession::commandStep()
{
    static const char* const Moves[] = {"mnuTopLeft",     "mnuTopCenter",   "mnuTopRight",
                                        "mnuCenterRight", "mnuBottomRight", "mnuBottomCenter",
                                        "mnuBottomLeft",  "mnuCenterLeft",  "mnuLeft",
                                        "mnuTop",         "mnuRight",       "mnuBottom"};
    static const char* const Channels[] = {"mnuRed", "mnuGreen", "mnuBlue"};
    const int roll = pick(0, 169);
    if (roll < 60) {
        const char* name = Moves[pick(0, 11)];
        const bool fromBar = chance(500);
        note(QStringLiteral("%1 from the %2")
                 .arg(QLatin1String(name),
                      fromBar ? QStringLiteral("move bar") : QStringLiteral("menu")));
        click(fromBar ? BandMove : BandImage, name);
        return QString();
    }
    if (roll < 85) {
        const int channel = pick(0, 2);
        note(QLatin1String(Channels[channel]));
        click(chance(500) ? BandToolbar : BandPicture, Channels[channel]);
        for (int i = 0; i < 3; ++i) {
            if (m_form->tool(BandToolbar, QLatin1String(Channels[i])).isChecked() !=
                    (i == channel) ||
                m_form->tool(BandPicture, QLatin1String(Channels[i])).isChecked() != (i == channel))
                return QStringLiteral("%1 left the channel tools checked wrongly")
                    .arg(QLatin1String(Channels[channel]));
        }
        return QString();
    }
    if (roll < 100)
        return invertStep();
    if (roll < 120) {
        note(QStringLiteral("mnuCalc"));
        click(chance(500) ? BandToolbar : BandPicture, "mnuCalc");
        return QString();
    }
    if (roll < 125) {
        note(QStringLiteral("mnuBackground"));
        const qsizetype shown = m_prompts->messages.size();
        click(chance(500) ? BandMove : BandPicture, "mnuBackground");
        if (m_prompts->messages.size() != shown + 1)
            return QStringLiteral("Background showed no message");
        return QString();
    }
    if (roll < 135)
        return copyStep();
    if (roll < 150)
        return pasteStep();
    if (roll < 165)
        return openStep();
    if (roll < 167)
        return clearStep();
    if (roll < 169)
        return aboutStep();
    note(QStringLiteral("Report -> Show"));
    click(BandOptions, "mnuShowOptions");
    if (!frmReport::existing() || !frmReport::existing()->isVisible())
        return QStringLiteral("Report -> Show showed no report window");
    frmReport::existing()->hide();
    return QString();
}

QString TestRandomSession::invertStep()
{
    note(QStringLiteral("mnuInvert"));
    QImage expected = m_form->picImage->picture().copy();
    expected.invertPixels(QImage::InvertRgb);
    click(chance(500) ? BandToolbar : BandPicture, "mnuInvert");
    if (m_form->picImage->picture() != expected)
        return QStringLiteral("Invert did not give 255 - c for every channel byte");
    return QString();
}

QString TestRandomSession::openStep()
{
    const QImage pictureBefore = m_form->picImage->picture();
    const RectShape frameBefore = m_form->shpPointer;
    const Sheet sheetBefore = snapshot(*m_form->f1Report);
    const qsizetype messagesBefore = m_prompts->messages.size();
    const auto unchanged = [&]() -> QString {
        if (m_form->picImage->picture() != pictureBefore)
            return QStringLiteral("the picture changed");
        if (m_form->shpPointer.left != frameBefore.left ||
            m_form->shpPointer.top != frameBefore.top ||
            m_form->shpPointer.width != frameBefore.width ||
            m_form->shpPointer.height != frameBefore.height)
            return QStringLiteral("the frame changed");
        if (snapshot(*m_form->f1Report) != sheetBefore)
            return QStringLiteral("the sheet changed");
        return QString();
    };

    const int kind = pick(0, 9);
    if (kind == 0) {
        note(QStringLiteral("Open, cancelled"));
        m_prompts->openAnswers.append(QString());
        click(BandFile, "mnuOpen");
        const QString fault = unchanged();
        return fault.isEmpty() ? fault : QStringLiteral("a cancelled Open: ") + fault;
    }
    const QString path = m_dir->filePath(QStringLiteral("picture-%1").arg(++m_files));
    if (kind <= 6) {
        const QImage picture = randomPicture();
        const bool png = chance(500);
        const QString file = path + (png ? QStringLiteral(".png") : QStringLiteral(".bmp"));
        if (!picture.save(file, png ? "PNG" : "BMP"))
            return QStringLiteral("the test could not write %1").arg(file);
        note(QStringLiteral("Open %1 (%2 x %3)")
                 .arg(file)
                 .arg(picture.width())
                 .arg(picture.height()));
        m_prompts->openAnswers.append(file);
        click(chance(500) ? BandFile : BandToolbar, "mnuOpen");
        if (m_prompts->messages.size() != messagesBefore)
            return QStringLiteral("Open refused a good picture: ") +
                   m_prompts->messages.constLast().text;
        if (m_form->picImage->picture() != picture)
            return QStringLiteral("the opened picture differs from the file");
        if (m_form->shpPointer.left != 0 || m_form->shpPointer.top != 0)
            return QStringLiteral("Open did not put the frame back at the top-left corner");
        if (snapshot(*m_form->f1Report) != sheetBefore)
            return QStringLiteral("Open changed the sheet");
        return QString();
    }
    // A file that cannot be a picture: damaged, cut short, missing or a folder.
    QString file = path + QStringLiteral(".bmp");
    QByteArray bytes;
    switch (kind) {
    case 7: {
        bytes.resize(pick(1, 200));
        for (char& c : bytes)
            c = char(pick(0, 255));
        bytes.prepend(chance(500) ? "BM" : "\x89PNG");
        break;
    }
    case 8: {
        QImage picture = randomPicture();
        QFile out(file);
        if (!picture.save(file, "BMP") || !out.open(QIODevice::ReadOnly))
            return QStringLiteral("the test could not write %1").arg(file);
        bytes = out.readAll();
        bytes.chop(pick(1, int(qBound(qsizetype(1), bytes.size() - 60, qsizetype(200)))));
        break;
    }
    default:
        if (chance(500))
            QDir().mkpath(file);
        else
            file += QStringLiteral(".missing");
        break;
    }
    if (!bytes.isEmpty()) {
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
            return QStringLiteral("the test could not write %1").arg(file);
    }
    note(QStringLiteral("Open the bad file %1").arg(file));
    m_prompts->openAnswers.append(file);
    click(BandFile, "mnuOpen");
    if (m_prompts->messages.size() != messagesBefore + 1 ||
        m_prompts->messages.constLast().text != QStringLiteral("Cannot load image:\r\n") + file +
                                                    QStringLiteral("\r\n") +
                                                    loadGelImage(file).reason)
        return QStringLiteral("a bad picture file was not refused with \"Cannot load image:\"");
    const QString fault = unchanged();
    return fault.isEmpty() ? fault : QStringLiteral("a failed Open: ") + fault;
}

QString TestRandomSession::pasteStep()
{
    const QImage before = m_form->picImage->picture();
    if (chance(300)) {
        note(QStringLiteral("Paste with text on the clipboard"));
        QGuiApplication::clipboard()->setText(QStringLiteral("12\t34"));
        click(chance(500) ? BandToolbar : BandEdit, "mnuPaste");
        if (m_form->picImage->picture() != before)
            return QStringLiteral("pasting text changed the picture");
        return QString();
    }
    const QImage picture = randomPicture();
    note(QStringLiteral("Paste a %1 x %2 picture").arg(picture.width()).arg(picture.height()));
    QGuiApplication::clipboard()->setImage(picture);
    click(chance(500) ? BandToolbar : BandEdit, "mnuPaste");
    if (m_form->picImage->picture() != picture)
        return QStringLiteral("the pasted picture differs from the clipboard's");
    return QString();
}

QString TestRandomSession::clearStep()
{
    const bool yes = chance(500);
    note(QStringLiteral("Clear, answered %1")
             .arg(yes ? QStringLiteral("yes") : QStringLiteral("no")));
    const Sheet before = snapshot(*m_form->f1Report);
    bool asked = false;
    m_prompts->dialogHandler = [&](QDialog& dialog) -> int {
        auto* msg = qobject_cast<frmMsg*>(&dialog);
        if (!msg)
            return int(QDialog::Rejected);
        asked = true;
        msg->show();
        if (!QTest::qWaitForWindowExposed(msg))
            return int(QDialog::Rejected);
        QTest::keyClick(msg, yes ? Qt::Key_Y : Qt::Key_N);
        if (!QTest::qWaitFor([msg] { return !msg->isVisible(); }))
            return -1;
        return msg->result();
    };
    click(BandToolbar, "mnuClear");
    m_prompts->dialogHandler = nullptr;
    if (!asked)
        return QStringLiteral("Clear did not ask first");
    const Sheet after = snapshot(*m_form->f1Report);
    if (!yes)
        return after == before ? QString() : QStringLiteral("Clear answered no changed the sheet");
    for (const QStringList& row : after) {
        for (const QString& cell : row) {
            if (!cell.isEmpty())
                return QStringLiteral("Clear answered yes left a result");
        }
    }
    return QString();
}

QString TestRandomSession::aboutStep()
{
    note(QStringLiteral("About"));
    bool shown = false;
    m_prompts->dialogHandler = [&](QDialog& dialog) -> int {
        shown = qobject_cast<frmAbout*>(&dialog) != nullptr;
        dialog.show();
        dialog.close();
        return int(QDialog::Accepted);
    };
    click(BandToolbar, "mnuAbout");
    m_prompts->dialogHandler = nullptr;
    return shown ? QString() : QStringLiteral("About showed no about box");
}

QString TestRandomSession::copyStep()
{
    note(QStringLiteral("Copy"));
    click(chance(500) ? BandToolbar : BandEdit, "mnuCopy");
    const QStringList lines = QGuiApplication::clipboard()->text().split(QStringLiteral("\r\n"));
    const Sheet sheet = snapshot(*m_form->f1Report);
    if (lines.size() != sheet.size() + 2 || lines.at(0) != QStringLiteral("Expression") ||
        lines.at(1) != QStringLiteral("#\tBand\tInt.Ctrl\t% to Ctrl"))
        return QStringLiteral(
            "the copied text does not start with the title and headings, or misses rows");
    for (qsizetype r = 0; r < sheet.size(); ++r) {
        if (lines.at(r + 2).split(QLatin1Char('\t')) != sheet.at(r))
            return QStringLiteral("copied row %1 differs from the sheet").arg(r + 1);
    }
    return QString();
}

QString TestRandomSession::saveStep()
{
    static const char* const Suffixes[] = {"xlsx", "csv", "txt"};
    const int type = pick(0, 2);
    // Usually over the last file of that type, so replacing a file is tried too.
    const QString path = m_dir->filePath(QStringLiteral("results-%1.%2")
                                             .arg(chance(700) ? 0 : ++m_files)
                                             .arg(QLatin1String(Suffixes[type])));
    note(QStringLiteral("Save as %1").arg(path));
    const Sheet sheet = snapshot(*m_form->f1Report);
    const qsizetype messages = m_prompts->messages.size();
    m_prompts->saveAnswers.append(path);
    m_prompts->saveFilterAnswers.append(type);
    click(chance(500) ? BandFile : BandToolbar, "mnuSave");
    if (m_prompts->messages.size() != messages)
        return QStringLiteral("Save failed: ") + m_prompts->messages.constLast().text;
    if (snapshot(*m_form->f1Report) != sheet)
        return QStringLiteral("Save changed the sheet");

    const QStringList headings{QStringLiteral("#"), QStringLiteral("Band"),
                               QStringLiteral("Int.Ctrl"), QStringLiteral("% to Ctrl")};
    if (type != int(SheetFileType::Excel)) {
        const Sheet saved = readTextFile(path, type == int(SheetFileType::Csv) ? QLatin1Char(',')
                                                                               : QLatin1Char('\t'));
        // The file ends at the last row that holds anything.
        qsizetype used = sheet.size();
        while (used > 0 && sheet.at(used - 1).join(QString()).isEmpty())
            --used;
        if (saved.size() != used + 1 || saved.at(0) != headings)
            return QStringLiteral("the saved file lacks the headings or rows");
        for (qsizetype r = 0; r < used; ++r) {
            if (saved.at(r + 1) != sheet.at(r))
                return QStringLiteral("saved row %1 reads back as \"%2\", the sheet holds \"%3\"")
                    .arg(r + 1)
                    .arg(saved.at(r + 1).join(QLatin1Char('|')),
                         sheet.at(r).join(QLatin1Char('|')));
        }
        return QString();
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.read(4).startsWith("PK\x03\x04"))
        return QStringLiteral("the saved workbook is not a zip file");
    const QString unzip = QStandardPaths::findExecutable(QStringLiteral("unzip"));
    if (unzip.isEmpty())
        return QString();
    QProcess process;
    process.start(unzip, {QStringLiteral("-p"), path, QStringLiteral("xl/worksheets/sheet1.xml")});
    if (!process.waitForFinished(30000))
        return QStringLiteral("unzip did not finish");
    const QString xml = QString::fromUtf8(process.readAllStandardOutput());
    // Every result is a number, one row below the headings.
    static const QRegularExpression cellPattern(
        QStringLiteral("<c r=\"([A-Z]+)([0-9]+)\"[^>]*?>\\s*<v>([^<]*)</v>"));
    QHash<QString, double> numbers;
    for (auto it = cellPattern.globalMatch(xml); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.captured(2).toInt() > 1)
            numbers.insert(m.captured(1) + m.captured(2), m.captured(3).toDouble());
    }
    qsizetype filled = 0;
    for (qsizetype r = 0; r < sheet.size(); ++r) {
        for (qsizetype c = 0; c < sheet.at(r).size(); ++c) {
            const QString& text = sheet.at(r).at(c);
            if (text.isEmpty())
                continue;
            ++filled;
            const QString name = QString(QLatin1Char(char('A' + c))) + QString::number(r + 2);
            if (!numbers.contains(name) || numbers.value(name) != text.toDouble())
                return QStringLiteral("workbook cell %1 does not hold %2").arg(name, text);
        }
    }
    if (numbers.size() != filled)
        return QStringLiteral("the workbook holds %1 numbers, the sheet %2")
            .arg(numbers.size())
            .arg(filled);
    return QString();
}

QString TestRandomSession::printStep()
{
    const QString pdf = m_dir->filePath(QStringLiteral("print-%1.pdf").arg(++m_files));
    note(QStringLiteral("Print to %1").arg(pdf));
    m_prompts->printToPdf = pdf;
    click(BandToolbar, "mnuPrint");
    m_prompts->printToPdf.clear();
    QFile file(pdf);
    if (!file.open(QIODevice::ReadOnly) || !file.read(5).startsWith("%PDF"))
        return QStringLiteral("Print wrote no PDF");
    return QString();
}

QString TestRandomSession::invariants()
{
    const RectShape& frame = m_form->shpPointer;
    const RectShape& handle = m_form->shpPoint;
    const QImage& picture = m_form->picImage->picture();
    const auto near = [](float a, float b) {
        return std::fabs(a - b) <= 1e-3f * qMax(1.0f, std::fabs(a));
    };

    if (handle.width != HandleSize || handle.height != HandleSize)
        return QStringLiteral("the handle is %1 x %2").arg(handle.width).arg(handle.height);
    if (!near(handle.left + handle.width, frame.left + frame.width) ||
        !near(handle.top + handle.height, frame.top + frame.height))
        return QStringLiteral("the handle (%1, %2) is not in the inner lower-right corner of the "
                              "frame %3, %4, %5 x %6")
            .arg(handle.left)
            .arg(handle.top)
            .arg(frame.left)
            .arg(frame.top)
            .arg(frame.width)
            .arg(frame.height);

    if (m_dragMoved) {
        const float w = float(picture.width());
        const float h = float(picture.height());
        // On the picture; a frame larger than the picture keeps its far edge on the picture's.
        const bool leftOk = frame.width <= w
                                ? frame.left >= 0 && frame.left <= w - frame.width + 1e-3f
                                : near(frame.left, w - frame.width);
        const bool topOk = frame.height <= h
                               ? frame.top >= 0 && frame.top <= h - frame.height + 1e-3f
                               : near(frame.top, h - frame.height);
        if (!leftOk || !topOk)
            return QStringLiteral("a drag left the frame at %1, %2 (%3 x %4) on a %5 x %6 picture")
                .arg(frame.left)
                .arg(frame.top)
                .arg(frame.width)
                .arg(frame.height)
                .arg(picture.width())
                .arg(picture.height());
    }
    if (m_sizeMoved && (frame.width < HandleSize || frame.height < HandleSize))
        return QStringLiteral("sizing made the frame %1 x %2, smaller than its handle")
            .arg(frame.width)
            .arg(frame.height);

    if (m_form->workRow() > 0) {
        const QString caption =
            QStringLiteral("Working Cell: R%1C%2").arg(m_form->workRow()).arg(m_form->workColumn());
        if (readout(BandToolbar, "txtCell") != caption)
            return QStringLiteral("the read-out says \"%1\" for the working cell R%2C%3")
                .arg(readout(BandToolbar, "txtCell"))
                .arg(m_form->workRow())
                .arg(m_form->workColumn());
        if (m_form->f1Report->rowCount() <= m_form->workRow())
            return QStringLiteral("the working cell is in the last row and the sheet did not grow");
    }

    const Worksheet& sheet = *m_form->f1Report;
    for (int r = 1; r <= sheet.rowCount(); ++r) {
        const QString band = sheet.text(r, 2);
        const QString control = sheet.text(r, 3);
        const QString percent = sheet.text(r, 4);
        bool exact = true;
        QString tie;
        const QString expected = expectedPercent(band, control, exact, tie);
        const bool ok = exact ? percent == expected || (!tie.isEmpty() && percent == tie)
                              : std::fabs(percent.toDouble() - expected.toDouble()) <= 0.0500001;
        if (!ok)
            return QStringLiteral("row %1: \"% to Ctrl\" is \"%2\" for band \"%3\" and control "
                                  "\"%4\", expected \"%5\"")
                .arg(r)
                .arg(percent, band, control, expected);
        m_percentCells += expected.isEmpty() ? 0 : 1;
        if ((!band.isEmpty() || !control.isEmpty()) && sheet.text(r, 1) != QString::number(r))
            return QStringLiteral("row %1 holds a value but its number is \"%2\"")
                .arg(r)
                .arg(sheet.text(r, 1));
    }
    return QString();
}

QTEST_MAIN(TestRandomSession)
#include "tst_randomsession.moc"
