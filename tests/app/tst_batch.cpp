// The batch commands, run as the real program without a display, against the windows
// driven with the same actions: a plan or the quick options must give the numbers and
// the sheet a person gets by hand. Also every failure: its message, its exit status, and
// no output written.

#include "app/frmscan.h"
#include "commands/mainbar.h"
#include "components/commandbar.h"
#include "components/sheetdata.h"
#include "components/sheetfiles.h"
#include "components/worksheet.h"
#include "report/frmreport.h"
#include "support/fakeprompts.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace kesto;
using kesto::test::FakePrompts;

namespace {

struct Run
{
    int status = -1;
    QByteArray out;
    QString err;
};

QString program() { return qEnvironmentVariable("KESTO_BINARY_DIR") + QStringLiteral("/src/kestoscan"); }

QString sample(const char* name)
{
    return qEnvironmentVariable("KESTO_SOURCE_DIR") + QStringLiteral("/samples/") + QLatin1String(name);
}

// Runs kestoscan as a script would on a machine without a display: no DISPLAY, no
// Wayland, no platform chosen.
Run kestoscan(const QStringList& arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program(), arguments);
    Run run;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        run.err = QStringLiteral("did not finish");
        return run;
    }
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// A table of the report window's columns, with two series, a series without a control
// and a description that differs only by a trailing blank.
const QList<QStringList> TwoSeries = {
    {QStringLiteral("1"), QStringLiteral("Actin"), QStringLiteral("control"), QStringLiteral("200")},
    {QStringLiteral("2"), QStringLiteral("actin"), QStringLiteral("band"), QStringLiteral("100")},
    {QStringLiteral("3"), QStringLiteral("ACTIN"), QStringLiteral("band"), QStringLiteral("50")},
    {QStringLiteral("4"), QStringLiteral("Gapdh"), QStringLiteral("Control"), QStringLiteral("300")},
    {QStringLiteral("5"), QStringLiteral("gapdh"), QStringLiteral("band"), QStringLiteral("100")},
    {QStringLiteral("6"), QStringLiteral("Gapdh"), QStringLiteral("band"), QStringLiteral("200")},
    {QStringLiteral("7"), QStringLiteral("Gapdh "), QStringLiteral("band"), QStringLiteral("10")},
    {QStringLiteral("8"), QStringLiteral("Tubulin"), QStringLiteral("band"), QStringLiteral("70")},
};

QByteArray tableText(const QList<QStringList>& rows, QLatin1Char separator)
{
    QByteArray text = QByteArrayLiteral("#") + separator.toLatin1() + "Description" + separator.toLatin1() +
                      "Type" + separator.toLatin1() + "Scan (rel.units)\n";
    for (const QStringList& row : rows)
        text += row.join(separator).toUtf8() + '\n';
    return text;
}

} // namespace

class TestBatch : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void quickFormGivesTheWindowsScans_data();
    void quickFormGivesTheWindowsScans();
    void planGivesTheWindowsSheet_data();
    void planGivesTheWindowsSheet();
    void backgroundColourEqualsPickingThatColour();
    void workbookOutput();
    void successReplacesTheOutputLeavingNothingElse();
    void failuresWriteNothing_data();
    void failuresWriteNothing();
    void reportMatchesTheReportWindow_data();
    void reportMatchesTheReportWindow();
    void helpNeedsNoDisplay();

private:
    // The window, driven as a person does it.
    void press(int x, int y) { QTest::mousePress(form->picImage, Qt::LeftButton, {}, QPoint(x, y)); }
    void move(int x, int y) { QTest::mouseMove(form->picImage, QPoint(x, y)); }
    void release(int x, int y) { QTest::mouseRelease(form->picImage, Qt::LeftButton, {}, QPoint(x, y)); }
    void drag(QPoint from, QPoint to)
    {
        press(from.x(), from.y());
        move(to.x(), to.y());
        release(to.x(), to.y());
    }
    void openInWindow(const QString& path) { QVERIFY(form->openPicture(path)); }
    void windowStep(const QString& line);
    QString scanReadout() const
    {
        return form->tool(BandToolbar, QStringLiteral("txtScan")).caption().mid(6);
    }

    std::unique_ptr<FakePrompts> prompts;
    std::unique_ptr<frmScan> form;
    std::unique_ptr<QTemporaryDir> dir;
};

void TestBatch::initTestCase()
{
    QVERIFY2(QFile::exists(program()), qPrintable(program() + QStringLiteral(" is not built")));
}

void TestBatch::init()
{
    prompts = std::make_unique<FakePrompts>();
    form = std::make_unique<frmScan>();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    form->resize(1000, 700);
    QTRY_COMPARE(form->size(), QSize(1000, 700));
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

void TestBatch::cleanup()
{
    form.reset();
    prompts.reset();
    dir.reset();
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

// One plan line, done in the window with the pointer, the tools and the sheet.
void TestBatch::windowStep(const QString& line)
{
    const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QString what = words.value(0);
    auto value = [&](int i) { return words.at(i).toInt(); };
    if (what == QLatin1String("channel")) {
        const QString tool = words.at(1) == QLatin1String("red")     ? QStringLiteral("mnuRed")
                             : words.at(1) == QLatin1String("green") ? QStringLiteral("mnuGreen")
                                                                     : QStringLiteral("mnuBlue");
        form->tool(BandToolbar, tool).action()->trigger();
    } else if (what == QLatin1String("invert")) {
        form->tool(BandToolbar, QStringLiteral("mnuInvert")).action()->trigger();
    } else if (what == QLatin1String("background")) {
        press(value(1), value(2));
        QVERIFY2(!form->Moving && !form->Sizing, "the background point must lie outside the frame");
        release(value(1), value(2));
    } else if (what == QLatin1String("cell")) {
        form->f1Report_Click(value(1), value(2));
    } else if (what == QLatin1String("frame")) {
        const int left = value(1), top = value(2), width = value(3), height = value(4);
        // Drag the frame to the corner, size it small, drag it into place, then size it
        // with its handle (sizing is not held inside the picture, dragging is).
        const RectShape now = form->shpPointer;
        drag(QPoint(int(now.left) + 1, int(now.top) + 1), QPoint(1, 1));
        drag(QPoint(int(now.width) - 2, int(now.height) - 2), QPoint(10, 10));
        drag(QPoint(1, 1), QPoint(left + 1, top + 1));
        drag(QPoint(left + 8, top + 8), QPoint(left + width, top + height));
        QCOMPARE(form->shpPointer.left, float(left));
        QCOMPARE(form->shpPointer.top, float(top));
        QCOMPARE(form->shpPointer.width, float(width));
        QCOMPARE(form->shpPointer.height, float(height));
    } else {
        QFAIL(qPrintable(QStringLiteral("the test cannot do ") + line));
    }
}

void TestBatch::quickFormGivesTheWindowsScans_data()
{
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QStringList>("options");    // before the frames
    QTest::addColumn<QStringList>("window");     // the same, as window steps
    QTest::addColumn<QList<QRect>>("frames");    // left, top, width, height
    QTest::addColumn<int>("wanted");             // frames whose value is known by hand
    QTest::addColumn<QStringList>("known");

    const QList<QRect> lanes1and6 = {QRect(20, 50, 39, 15), QRect(20, 130, 39, 15),
                                     QRect(270, 50, 39, 15), QRect(270, 130, 39, 15)};
    // Sample gel: background 230, lane 1 band 60, control 90, lane 6 band 185; 640 samples.
    QTest::newRow("red, bands and controls on the BMP")
        << sample("gel.bmp") << QStringList{QStringLiteral("--background"), QStringLiteral("300,190")}
        << QStringList{QStringLiteral("background 300 190")} << lanes1and6 << 4
        << QStringList{QString::number(640 * (60 - 230)), QString::number(640 * (90 - 230)),
                       QString::number(640 * (185 - 230)), QString::number(640 * (90 - 230))};
    QTest::newRow("green on the JPEG, frames with a rim of background")
        << sample("gel.jpg")
        << QStringList{QStringLiteral("--channel"), QStringLiteral("green"), QStringLiteral("--background"),
                       QStringLiteral("100,100")}
        << QStringList{QStringLiteral("channel green"), QStringLiteral("background 100 100")}
        << QList<QRect>{QRect(65, 45, 49, 25), QRect(115, 125, 49, 25)} << 0 << QStringList();
    QTest::newRow("blue, inverted, then the background picked")
        << sample("gel.bmp")
        << QStringList{QStringLiteral("--channel"), QStringLiteral("blue"), QStringLiteral("--invert"),
                       QStringLiteral("--background"), QStringLiteral("5,190")}
        << QStringList{QStringLiteral("channel blue"), QStringLiteral("invert"), QStringLiteral("background 5 190")}
        << QList<QRect>{QRect(120, 50, 39, 15)} << 1
        << QStringList{QString::number(640 * ((255 - 110) - (255 - 230)))};
    // Past the right and bottom edge every sample reads 255: of the 31 x 31 samples, the
    // 20 x 20 on the picture are background.
    QTest::newRow("frame past the picture's corner")
        << sample("gel.bmp") << QStringList{QStringLiteral("--background"), QStringLiteral("150,10")}
        << QStringList{QStringLiteral("background 150 10")} << QList<QRect>{QRect(300, 180, 30, 30)} << 1
        << QStringList{QString::number((31 * 31 - 20 * 20) * (255 - 230))};
}

void TestBatch::quickFormGivesTheWindowsScans()
{
    QFETCH(QString, picture);
    QFETCH(QStringList, options);
    QFETCH(QStringList, window);
    QFETCH(QList<QRect>, frames);
    QFETCH(int, wanted);
    QFETCH(QStringList, known);

    const QString csv = dir->filePath(QStringLiteral("quick.csv"));
    QStringList arguments{QStringLiteral("measure"), picture};
    arguments << options;
    for (const QRect& f : frames)
        arguments << QStringLiteral("--frame") << QStringLiteral("%1,%2,%3,%4").arg(f.x()).arg(f.y()).arg(f.width()).arg(f.height());
    arguments << QStringLiteral("--output") << csv;
    const Run run = kestoscan(arguments);
    QCOMPARE(run.err, QString());
    QCOMPARE(run.status, 0);

    openInWindow(picture);
    for (const QString& step : window)
        windowStep(step);
    QStringList readouts;
    for (qsizetype i = 0; i < frames.size(); ++i) {
        const QRect& f = frames.at(i);
        windowStep(QStringLiteral("cell %1 2").arg(i + 1));
        windowStep(QStringLiteral("frame %1 %2 %3 %4").arg(f.x()).arg(f.y()).arg(f.width()).arg(f.height()));
        readouts << scanReadout();
    }
    const QStringList printed = QString::fromLatin1(run.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(printed, readouts);
    QCOMPARE(printed.mid(0, wanted), known);
    // The sheet holds each frame in the Band column of its own row, as in the window.
    QCOMPARE(fileBytes(csv), sheetCsv(form->f1Report->data()));
}

void TestBatch::planGivesTheWindowsSheet_data()
{
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QStringList>("plan");

    QTest::newRow("two lanes with their controls")
        << sample("gel.bmp")
        << QStringList{QStringLiteral("channel green"), QStringLiteral("background 300 190"),
                       QStringLiteral("cell 1 2"), QStringLiteral("frame 20 50 39 15"),
                       QStringLiteral("cell 1 3"), QStringLiteral("frame 20 130 39 15"),
                       QStringLiteral("cell 2 2"), QStringLiteral("frame 170 50 39 15"),
                       QStringLiteral("cell 2 3"), QStringLiteral("frame 170 130 39 15")};
    // Each background pick and the inversion rescan the current frame into the working
    // cell, as they do in the window; rows 3, 4 and 5 keep such scans (row 5 the start
    // frame with the start background and channel).
    QTest::newRow("inverting and picking again rescan the working cell")
        << sample("gel.bmp")
        << QStringList{QStringLiteral("cell 5 2"), QStringLiteral("invert"), QStringLiteral("invert"),
                       QStringLiteral("cell 3 2"), QStringLiteral("background 300 190"),
                       QStringLiteral("cell 1 2"), QStringLiteral("frame 70 50 39 15"),
                       QStringLiteral("cell 4 3"), QStringLiteral("invert"),
                       QStringLiteral("cell 1 3"), QStringLiteral("background 300 10"),
                       QStringLiteral("frame 70 130 39 15"), QStringLiteral("channel blue"),
                       QStringLiteral("cell 2 2"), QStringLiteral("frame 215 45 49 25")};
    QTest::newRow("the last row grows the sheet")
        << sample("gel.jpg")
        << QStringList{QStringLiteral("background 300 190"), QStringLiteral("cell 100 2"),
                       QStringLiteral("frame 220 50 39 15"), QStringLiteral("cell 101 3"),
                       QStringLiteral("frame 220 130 39 15")};
}

void TestBatch::planGivesTheWindowsSheet()
{
    QFETCH(QString, picture);
    QFETCH(QStringList, plan);

    const QString planPath = dir->filePath(QStringLiteral("gel.plan"));
    writeFile(planPath, "# replayed by the test\n\n" + plan.join(QLatin1Char('\n')).toUtf8() + '\n');
    const Run run = kestoscan({QStringLiteral("measure"), picture, QStringLiteral("--plan"), planPath});
    QCOMPARE(run.err, QString());
    QCOMPARE(run.status, 0);

    openInWindow(picture);
    for (const QString& step : plan)
        windowStep(step);
    QCOMPARE(run.out, sheetTabText(form->f1Report->data()));
}

void TestBatch::backgroundColourEqualsPickingThatColour()
{
    // The sample gel's background is grey 230 everywhere off the bands.
    const QStringList frames{QStringLiteral("--frame"), QStringLiteral("20,50,39,15"),
                             QStringLiteral("--frame"), QStringLiteral("0,0,319,199")};
    const Run picked = kestoscan(QStringList{QStringLiteral("measure"), sample("gel.bmp"),
                                             QStringLiteral("--background"), QStringLiteral("300,190")} + frames);
    const Run given = kestoscan(QStringList{QStringLiteral("measure"), sample("gel.bmp"),
                                            QStringLiteral("--background-color"), QStringLiteral("230,230,230")} +
                                frames);
    QCOMPARE(given.status, 0);
    QCOMPARE(given.out, picked.out);
    QCOMPARE(given.out, QByteArray("-108800\n") +
                            QByteArray::number(640 * ((60 + 85 + 110 + 135 + 160 + 185) - 6 * 230) +
                                               640 * 6 * (90 - 230)) +
                            '\n');
}

void TestBatch::workbookOutput()
{
    const QString book = dir->filePath(QStringLiteral("gel.xlsx"));
    const Run run = kestoscan({QStringLiteral("measure"), sample("gel.bmp"), QStringLiteral("--background"),
                               QStringLiteral("300,190"), QStringLiteral("--frame"),
                               QStringLiteral("20,50,39,15"), QStringLiteral("--output"), book});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, QByteArray("-108800\n"));
    QVERIFY(fileBytes(book).startsWith("PK\x03\x04"));
}

void TestBatch::successReplacesTheOutputLeavingNothingElse()
{
    const QString out = dir->filePath(QStringLiteral("sheet.txt"));
    writeFile(out, "an older sheet\n");
    const Run run = kestoscan({QStringLiteral("measure"), sample("gel.bmp"), QStringLiteral("--frame"),
                               QStringLiteral("20,50,39,15"), QStringLiteral("--output"), out});
    QCOMPARE(run.status, 0);
    const QByteArray sheet = fileBytes(out);
    QVERIFY(sheet.startsWith("#\tBand\tInt.Ctrl\t% to Ctrl\r\n1\t"));
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("sheet.txt")});
}

void TestBatch::failuresWriteNothing_data()
{
    QTest::addColumn<QStringList>("arguments");    // {out}: the output file, {dir}: its folder
    QTest::addColumn<QByteArray>("plan");          // written to {plan} when not empty
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("message");

    const QString bmp = sample("gel.bmp");
    const QStringList planned{QStringLiteral("measure"), bmp, QStringLiteral("--plan"), QStringLiteral("{plan}"),
                              QStringLiteral("--output"), QStringLiteral("{out}")};
    QTest::newRow("unknown instruction")
        << planned << QByteArray("cell 1 2\nframe 20 50 39 15\nmeasure 1 2 3 4\n") << 2
        << QStringList{QStringLiteral("{plan}:3: unknown instruction \"measure\"; expected one of channel, invert, "
                                      "background, background-color, cell, frame")};
    QTest::newRow("bad number in the plan")
        << planned << QByteArray("# lane 1\nframe 20 50 wide 15\n") << 2
        << QStringList{QStringLiteral("{plan}:2: expected a number for WIDTH, found \"wide\"")};
    QTest::newRow("column 4 in the plan")
        << planned << QByteArray("cell 1 4\n") << 2
        << QStringList{QStringLiteral("{plan}:1: expected COLUMN 2 (Band) or 3 (Int.Ctrl), found \"4\"")};
    QTest::newRow("background off the picture, after good steps")
        << planned << QByteArray("frame 20 50 39 15\nbackground 320 10\n") << 2
        << QStringList{QStringLiteral("{plan}:2: expected a background point on the picture (X from 0 to below "
                                      "320, Y from 0 to below 200), found 320, 10")};
    QTest::newRow("missing plan file")
        << QStringList{QStringLiteral("measure"), bmp, QStringLiteral("--plan"), QStringLiteral("{plan}.none"),
                       QStringLiteral("--output"), QStringLiteral("{out}")}
        << QByteArray() << 2 << QStringList{QStringLiteral("{plan}.none: the plan cannot be read")};
    QTest::newRow("bad number in a frame option")
        << QStringList{QStringLiteral("measure"), bmp, QStringLiteral("--frame"), QStringLiteral("20,50,39,1x5"),
                       QStringLiteral("--output"), QStringLiteral("{out}")}
        << QByteArray() << 2
        << QStringList{QStringLiteral("--frame \"20,50,39,1x5\": expected a number for HEIGHT, found \"1x5\"")};
    QTest::newRow("three values for a frame")
        << QStringList{QStringLiteral("measure"), bmp, QStringLiteral("--frame"), QStringLiteral("20,50,39"),
                       QStringLiteral("--output"), QStringLiteral("{out}")}
        << QByteArray() << 2
        << QStringList{QStringLiteral("--frame \"20,50,39\": expected 4 values for \"frame\" (LEFT, TOP, WIDTH, "
                                      "HEIGHT), found 3")};
    QTest::newRow("unknown channel")
        << QStringList{QStringLiteral("measure"), bmp, QStringLiteral("--channel"), QStringLiteral("Red"),
                       QStringLiteral("--frame"), QStringLiteral("1,1,9,9"), QStringLiteral("--output"),
                       QStringLiteral("{out}")}
        << QByteArray() << 2
        << QStringList{QStringLiteral("--channel \"Red\": expected red, green or blue as the channel, found \"Red\"")};
    QTest::newRow("no frame")
        << QStringList{QStringLiteral("measure"), bmp, QStringLiteral("--output"), QStringLiteral("{out}")}
        << QByteArray() << 2 << QStringList{QStringLiteral("expected at least one --frame")};
    QTest::newRow("plan with frames")
        << QStringList{QStringLiteral("measure"), bmp, QStringLiteral("--plan"), QStringLiteral("{plan}"),
                       QStringLiteral("--frame"), QStringLiteral("1,1,9,9"), QStringLiteral("--output"),
                       QStringLiteral("{out}")}
        << QByteArray("cell 1 2\n") << 2
        << QStringList{QStringLiteral("--plan cannot be combined with --frame")};
    QTest::newRow("channel given twice")
        << QStringList{QStringLiteral("measure"), bmp, QStringLiteral("--channel"), QStringLiteral("red"),
                       QStringLiteral("--channel"), QStringLiteral("green"), QStringLiteral("--frame"),
                       QStringLiteral("1,1,9,9"), QStringLiteral("--output"), QStringLiteral("{out}")}
        << QByteArray() << 2 << QStringList{QStringLiteral("expected --channel once, found it 2 times")};
    QTest::newRow("no picture")
        << QStringList{QStringLiteral("measure"), QStringLiteral("--frame"), QStringLiteral("1,1,9,9")}
        << QByteArray() << 2 << QStringList{QStringLiteral("expected a PICTURE file")};
    QTest::newRow("unknown option")
        << QStringList{QStringLiteral("measure"), bmp, QStringLiteral("--frames"), QStringLiteral("1,1,9,9")}
        << QByteArray() << 2 << QStringList{QStringLiteral("Unknown option 'frames'")};
    QTest::newRow("output of an unknown kind")
        << QStringList{QStringLiteral("measure"), bmp, QStringLiteral("--frame"), QStringLiteral("1,1,9,9"),
                       QStringLiteral("--output"), QStringLiteral("{dir}/sheet.ods")}
        << QByteArray() << 2
        << QStringList{QStringLiteral("--output \"{dir}/sheet.ods\": expected a file name ending in .xlsx, .csv, .txt or .tsv")};
    QTest::newRow("text posing as a picture")
        << QStringList{QStringLiteral("measure"), QStringLiteral("{plan}"), QStringLiteral("--frame"),
                       QStringLiteral("1,1,9,9"), QStringLiteral("--output"), QStringLiteral("{out}")}
        << QByteArray("this is no bitmap\n") << 1 << QStringList{QStringLiteral("Cannot load image:\n{plan}\n")};
    QTest::newRow("missing picture")
        << QStringList{QStringLiteral("measure"), QStringLiteral("{plan}.bmp"), QStringLiteral("--frame"),
                       QStringLiteral("1,1,9,9"), QStringLiteral("--output"), QStringLiteral("{out}")}
        << QByteArray() << 1 << QStringList{QStringLiteral("Cannot load image:\n{plan}.bmp\n")};
    QTest::newRow("output into a missing folder")
        << QStringList{QStringLiteral("measure"), bmp, QStringLiteral("--frame"), QStringLiteral("1,1,9,9"),
                       QStringLiteral("--output"), QStringLiteral("{dir}/missing/sheet.csv")}
        << QByteArray() << 1 << QStringList{QStringLiteral("Cannot save the sheet to \"{dir}/missing/sheet.csv\"")};
    QTest::newRow("report: quote never closed")
        << QStringList{QStringLiteral("report"), QStringLiteral("{plan}.csv"), QStringLiteral("--output"),
                       QStringLiteral("{out}")}
        << QByteArray("#,Description,Type,Scan (rel.units)\n1,Actin,control,200\n2,\"actin,band,100\n") << 2
        << QStringList{QStringLiteral("{plan}.csv:3: expected a closing quote for the field that starts on this line")};
    QTest::newRow("report: too few columns")
        << QStringList{QStringLiteral("report"), QStringLiteral("{plan}.csv"), QStringLiteral("--output"),
                       QStringLiteral("{out}")}
        << QByteArray("Actin,control,200\nactin,band,100\n") << 2
        << QStringList{QStringLiteral("{plan}.csv: expected the columns #, Description, Type and Scan (rel.units), "
                                      "found 3 columns")};
    QTest::newRow("report: missing table")
        << QStringList{QStringLiteral("report"), QStringLiteral("{plan}.none"), QStringLiteral("--output"),
                       QStringLiteral("{out}")}
        << QByteArray() << 1 << QStringList{QStringLiteral("Cannot read the report table \"{plan}.none\"")};
}

void TestBatch::failuresWriteNothing()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, plan);
    QFETCH(int, status);
    QFETCH(QStringList, message);

    const QString planPath = dir->filePath(QStringLiteral("gel.plan"));
    const QString out = dir->filePath(QStringLiteral("sheet.csv"));
    auto resolve = [&](QString text) {
        text.replace(QStringLiteral("{out}"), out);
        text.replace(QStringLiteral("{plan}"), planPath);
        text.replace(QStringLiteral("{dir}"), dir->path());
        return text;
    };
    for (QString& argument : arguments)
        argument = resolve(argument);
    for (const char* suffix : {"", ".csv", ".bmp"}) {
        if (!plan.isEmpty())
            writeFile(planPath + QLatin1String(suffix), plan);
    }

    const Run run = kestoscan(arguments);
    QCOMPARE(run.status, status);
    for (const QString& part : message)
        QVERIFY2(run.err.contains(resolve(part)), qPrintable(run.err));
    QVERIFY2(run.err.startsWith(QStringLiteral("kestoscan: ")), qPrintable(run.err));
    QCOMPARE(run.out, QByteArray());
    QVERIFY(!QFile::exists(out));

    // An earlier output stays exactly as it was.
    writeFile(out, "an earlier sheet\n");
    QCOMPARE(kestoscan(arguments).status, status);
    QCOMPARE(fileBytes(out), QByteArray("an earlier sheet\n"));
    QStringList left = QDir(dir->path()).entryList(QDir::Files | QDir::Hidden);
    left.removeAll(QStringLiteral("sheet.csv"));
    for (const QString& name : left)
        QVERIFY2(name.startsWith(QStringLiteral("gel.plan")), qPrintable(name));
}

void TestBatch::reportMatchesTheReportWindow_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("table");
    QTest::newRow("CSV") << QStringLiteral("bands.csv") << tableText(TwoSeries, QLatin1Char(','));
    QTest::newRow("tab-separated") << QStringLiteral("bands.txt") << tableText(TwoSeries, QLatin1Char('\t'));
}

void TestBatch::reportMatchesTheReportWindow()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, table);
    const QString input = dir->filePath(name);
    writeFile(input, table);
    const Run run = kestoscan({QStringLiteral("report"), input});
    QCOMPARE(run.err, QString());
    QCOMPARE(run.status, 0);

    // The report window, with the same bands typed in.
    frmReport report;
    for (qsizetype r = 0; r < TwoSeries.size(); ++r) {
        for (qsizetype c = 0; c < TwoSeries.at(r).size(); ++c)
            report.f1Report->setText(int(r + 1), int(c + 1), TwoSeries.at(r).at(c));
    }
    report.Calculate();

    const QList<QByteArray> lines = run.out.split('\n');
    QCOMPARE(lines.value(0), QByteArray("#\tDescription\tType\tScan (rel.units)\tExpression (%)\r"));
    QStringList expression, inWindow;
    for (qsizetype r = 0; r < TwoSeries.size(); ++r) {
        const QList<QByteArray> cells = lines.value(r + 1).chopped(1).split('\t');
        QCOMPARE(cells.size(), 5);
        for (qsizetype c = 0; c < 4; ++c)
            QCOMPARE(QString::fromUtf8(cells.at(c)), TwoSeries.at(r).at(c));
        expression << QString::fromUtf8(cells.at(4));
        inWindow << report.f1Report->text(int(r + 1), 5);
    }
    QCOMPARE(expression, inWindow);
    // 100 and 50 of 200; 100 and 200 of 300, rounded to two decimals; "Gapdh " with its
    // trailing blank and Tubulin have no control.
    QCOMPARE(expression, (QStringList{QString(), QStringLiteral("50"), QStringLiteral("25"), QString(),
                                      QStringLiteral("33.33"), QStringLiteral("66.67"), QString(), QString()}));
    QCOMPARE(lines.size(), TwoSeries.size() + 2);   // every row, each ending in CR LF
}

void TestBatch::helpNeedsNoDisplay()
{
    const Run measure = kestoscan({QStringLiteral("measure"), QStringLiteral("--help")});
    QCOMPARE(measure.status, 0);
    QVERIFY(measure.out.startsWith("Usage: kestoscan measure PICTURE"));
    const Run report = kestoscan({QStringLiteral("report"), QStringLiteral("--help")});
    QCOMPARE(report.status, 0);
    QVERIFY(report.out.startsWith("Usage: kestoscan report INPUT"));
}

QTEST_MAIN(TestBatch)
#include "tst_batch.moc"
