// The batch commands, run as the real program without a display, against the windows
// driven with the same actions: the quick options and a plan must give the numbers and
// the sheet a person gets by hand. Also every failure: its message, its exit status, and
// no output written.

#include "app/frmscan.h"
#include "app/mainbar.h"
#include "app/scanframetool.h"
#include "components/commandbar.h"
#include "components/worksheet.h"
#include "core/sheetdata.h"
#include "core/sheetfiles.h"
#include "report/frmreport.h"
#include "support/fakeprompts.h"
#include "support/runprogram.h"
#include "versioninfo.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace kesto;

using Run = kesto::test::ProgramRun;

namespace {

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

QString n(int value)
{
    return QString::number(value);
}

// Bands of two series, one without a control, and "Gapdh " whose trailing blank makes
// it a series of its own.
const QList<QStringList> TwoSeries = {
    {n(1), QStringLiteral("Actin"), QStringLiteral("control"), n(200)},
    {n(2), QStringLiteral("actin"), QStringLiteral("band"), n(100)},
    {n(3), QStringLiteral("ACTIN"), QStringLiteral("band"), n(50)},
    {n(4), QStringLiteral("Gapdh"), QStringLiteral("Control"), n(300)},
    {n(5), QStringLiteral("gapdh"), QStringLiteral("band"), n(100)},
    {n(6), QStringLiteral("Gapdh"), QStringLiteral("band"), n(200)},
    {n(7), QStringLiteral("Gapdh "), QStringLiteral("band"), n(10)},
    {n(8), QStringLiteral("Tubulin"), QStringLiteral("band"), n(70)},
};

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
    void outputReplacesAnEarlierFileLeavingNothingElse();
    void failuresWriteNothing_data();
    void failuresWriteNothing();
    void reportMatchesTheReportWindow_data();
    void reportMatchesTheReportWindow();
    void helpAndVersionNeedNoDisplay_data();
    void helpAndVersionNeedNoDisplay();

private:
    // "{bmp}", "{jpg}", "{plan}", "{out}" and "{dir}" stand for this run's files.
    QString resolve(QString text) const
    {
        const QString samples =
            qEnvironmentVariable("KESTO_SOURCE_DIR") + QStringLiteral("/samples/");
        text.replace(QStringLiteral("{bmp}"), samples + QStringLiteral("gel.bmp"));
        text.replace(QStringLiteral("{jpg}"), samples + QStringLiteral("gel.jpg"));
        text.replace(QStringLiteral("{plan}"), dir->filePath(QStringLiteral("gel.plan")));
        text.replace(QStringLiteral("{out}"), dir->filePath(QStringLiteral("sheet.csv")));
        text.replace(QStringLiteral("{dir}"), dir->path());
        return text;
    }
    // Runs kestoscan as a script would on a machine without a display: no DISPLAY, no
    // Wayland, no platform chosen. Arguments are separated by blanks.
    Run kestoscan(const QString& arguments) const;

    // The window, driven as a person does it.
    void drag(QPoint from, QPoint to)
    {
        QTest::mousePress(form->picImage, Qt::LeftButton, {}, from);
        QTest::mouseMove(form->picImage, to);
        QTest::mouseRelease(form->picImage, Qt::LeftButton, {}, to);
    }
    void windowStep(const QString& line);

    std::unique_ptr<kesto::test::FakePrompts> prompts;
    std::unique_ptr<frmScan> form;
    std::unique_ptr<QTemporaryDir> dir;
};

Run TestBatch::kestoscan(const QString& arguments) const
{
    QStringList list = arguments.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (QString& argument : list)
        argument = resolve(argument);
    return kesto::test::runKestoscan(list);
}

void TestBatch::initTestCase()
{
    QVERIFY2(QFile::exists(kesto::test::kestoscanPath()),
             qPrintable(kesto::test::kestoscanPath() + QStringLiteral(" is not built")));
}

void TestBatch::init()
{
    prompts = std::make_unique<kesto::test::FakePrompts>();
    form = std::make_unique<frmScan>();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
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
    auto value = [&](int i) { return words.at(i).toInt(); };
    const QString what = words.value(0);
    if (what == QLatin1String("channel")) {
        const QString tool =
            QStringLiteral("mnu") + words.at(1).left(1).toUpper() + words.at(1).mid(1);
        form->tool(BandToolbar, tool).action()->trigger();
    } else if (what == QLatin1String("invert")) {
        form->tool(BandToolbar, QStringLiteral("mnuInvert")).action()->trigger();
    } else if (what == QLatin1String("background")) {
        QTest::mousePress(form->picImage, Qt::LeftButton, {}, QPoint(value(1), value(2)));
        QVERIFY2(!form->scanFrameTool().moving() && !form->scanFrameTool().sizing(),
                 "the background point must lie outside the frame");
        QTest::mouseRelease(form->picImage, Qt::LeftButton, {}, QPoint(value(1), value(2)));
    } else if (what == QLatin1String("cell")) {
        form->f1Report_Click(value(1), value(2));
    } else if (what == QLatin1String("frame")) {
        const int left = value(1), top = value(2), width = value(3), height = value(4);
        // To the corner, sized small, dragged into place, then sized with its handle:
        // dragging keeps the frame on the picture, sizing does not.
        const RectShape now = form->shpPointer;
        drag(QPoint(int(now.left) + 1, int(now.top) + 1), QPoint(1, 1));
        drag(QPoint(int(now.width) - 2, int(now.height) - 2), QPoint(10, 10));
        drag(QPoint(1, 1), QPoint(left + 1, top + 1));
        drag(QPoint(left + 8, top + 8), QPoint(left + width, top + height));
        QCOMPARE(form->shpPointer.rect(), QRectF(left, top, width, height));
    } else {
        QFAIL(qPrintable(QStringLiteral("the test cannot do ") + line));
    }
}

void TestBatch::quickFormGivesTheWindowsScans_data()
{
    QTest::addColumn<QString>("options"); // picture first
    QTest::addColumn<QString>("window");  // the same as window steps, ';' between
    QTest::addColumn<QString>("frames");
    QTest::addColumn<QStringList>("known"); // values of the first frames, worked out by hand

    // Sample gel: background 230; lane 1 band 60 and control 90, lane 3 band 110, lane 6
    // band 185; a frame of width 39 and height 15 covers a band's 640 samples.
    QTest::newRow("red, bands and controls on the BMP")
        << "{bmp} --background 300,190"
        << "background 300 190"
        << "20,50,39,15 20,130,39,15 270,50,39,15"
        << QStringList{n(640 * (60 - 230)), n(640 * (90 - 230)), n(640 * (185 - 230))};
    QTest::newRow("the background colour given is the colour picked")
        << "{bmp} --background-color 230,230,230"
        << "background 300 190"
        << "0,0,319,199"
        << QStringList{
               n(640 * ((60 + 85 + 110 + 135 + 160 + 185) - 6 * 230) + 640 * 6 * (90 - 230))};
    QTest::newRow("blue, inverted, then the background picked")
        << "{bmp} --background 5,190 --invert --channel blue"
        << "channel blue;invert;background 5 190"
        << "120,50,39,15" << QStringList{n(640 * ((255 - 110) - (255 - 230)))};
    // Off the picture every sample reads 255: of 31 x 31 samples, the 20 x 20 on the
    // picture are background.
    QTest::newRow("frame past the picture's corner")
        << "{bmp} --background 150,10"
        << "background 150 10"
        << "300,180,30,30" << QStringList{n((31 * 31 - 20 * 20) * (255 - 230))};
}

void TestBatch::quickFormGivesTheWindowsScans()
{
    QFETCH(QString, options);
    QFETCH(QString, window);
    QFETCH(QString, frames);
    QFETCH(QStringList, known);

    QString arguments = QStringLiteral("measure ") + options + QStringLiteral(" --output {out}");
    for (const QString& frame : frames.split(QLatin1Char(' ')))
        arguments += QStringLiteral(" --frame ") + frame;
    const Run run = kestoscan(arguments);
    QCOMPARE(run.err, QString());
    QCOMPARE(run.status, 0);

    QVERIFY(form->openPicture(resolve(options.section(QLatin1Char(' '), 0, 0))));
    for (const QString& step : window.split(QLatin1Char(';')))
        windowStep(step);
    QStringList readouts;
    int row = 0;
    for (QString frame : frames.split(QLatin1Char(' '))) {
        windowStep(QStringLiteral("cell %1 2").arg(++row));
        windowStep(QStringLiteral("frame ") + frame.replace(QLatin1Char(','), QLatin1Char(' ')));
        readouts << form->tool(BandToolbar, QStringLiteral("txtScan"))
                        .caption()
                        .remove(QStringLiteral("Scan: "));
    }
    const QStringList printed =
        QString::fromLatin1(run.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(printed, readouts);
    QCOMPARE(printed.mid(0, known.size()), known);
    // The sheet holds each frame in the Band column of its own row, as in the window.
    QCOMPARE(fileBytes(resolve(QStringLiteral("{out}"))), sheetCsv(form->f1Report->data()));
}

void TestBatch::planGivesTheWindowsSheet_data()
{
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QString>("plan"); // ';' between lines

    QTest::newRow("two lanes with their controls")
        << "{bmp}"
        << "channel green;background 300 190;cell 1 2;frame 20 50 39 15;cell 1 3;frame 20 130 39 "
           "15;"
           "cell 2 2;frame 170 50 39 15;cell 2 3;frame 170 130 39 15";
    // Background picks and the inversion rescan the current frame into the working cell,
    // as in the window: rows 3, 4 and 5 keep such scans (row 5 the start frame with the
    // start channel and background).
    QTest::newRow("inverting and picking again rescan the working cell")
        << "{bmp}"
        << "cell 5 2;invert;invert;cell 3 2;background 300 190;cell 1 2;frame 70 50 39 15;cell 4 "
           "3;invert;"
           "cell 1 3;background 300 10;frame 70 130 39 15;channel blue;cell 2 2;frame 215 45 49 25";
    QTest::newRow("the last row grows the sheet")
        << "{jpg}"
        << "background 300 190;cell 100 2;frame 220 50 39 15;cell 101 3;frame 220 130 39 15";
}

void TestBatch::planGivesTheWindowsSheet()
{
    QFETCH(QString, picture);
    QFETCH(QString, plan);

    writeFile(resolve(QStringLiteral("{plan}")),
              "# replayed by the test\n\n" +
                  plan.replace(QLatin1Char(';'), QLatin1Char('\n')).toUtf8());
    const Run run = kestoscan(QStringLiteral("measure %1 --plan {plan}").arg(picture));
    // Standard error holds nothing but the lossy-picture warning a JPEG gives.
    const QString warning =
        picture == QLatin1String("{jpg}")
            ? QStringLiteral(
                  "warning: %1 is JPEG-compressed (lossy): scan values are approximate\n")
                  .arg(resolve(picture))
            : QString();
    QCOMPARE(run.err, warning);
    QCOMPARE(run.status, 0);

    QVERIFY(form->openPicture(resolve(picture)));
    for (const QString& step : plan.split(QLatin1Char('\n')))
        windowStep(step);
    QCOMPARE(run.out, sheetTabText(form->f1Report->data()));
}

void TestBatch::outputReplacesAnEarlierFileLeavingNothingElse()
{
    const QString book = dir->filePath(QStringLiteral("gel.xlsx"));
    writeFile(book, "an earlier sheet\n");
    const Run run =
        kestoscan(QStringLiteral("measure {bmp} --frame 20,50,39,15 --output {dir}/gel.xlsx"));
    QCOMPARE(run.status, 0);
    QVERIFY(fileBytes(book).startsWith("PK\x03\x04"));
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("gel.xlsx")});
}

void TestBatch::failuresWriteNothing_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QByteArray>("file"); // written to {plan} and {dir}/table.csv when not empty
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");

    const QString plan = QStringLiteral("measure {bmp} --plan {plan} --output {out}");
    QTest::newRow("unknown instruction")
        << plan << QByteArray("cell 1 2\nframe 20 50 39 15\nmeasure 1 2 3 4\n") << 2
        << "{plan}:3: unknown instruction \"measure\"; expected one of channel, invert, "
           "background, "
           "background-color, cell, frame";
    QTest::newRow("bad number in the plan")
        << plan << QByteArray("# lane 1\nframe 20 50 wide 15\n") << 2
        << "{plan}:2: expected a number for WIDTH, found \"wide\"";
    QTest::newRow("background off the picture, after good steps")
        << plan << QByteArray("frame 20 50 39 15\nbackground 320 10\n") << 2
        << "{plan}:2: expected a background point on the picture (X from 0 to below 320, Y from 0 "
           "to below "
           "200), found 320, 10";
    QTest::newRow("bad number in a frame option")
        << "measure {bmp} --frame 20,50,39,1x5 --output {out}" << QByteArray() << 2
        << "--frame \"20,50,39,1x5\": expected a number for HEIGHT, found \"1x5\"";
    QTest::newRow("bad background method")
        << "measure {bmp} --frame 1,1,9,9 --background-method border:11:mean --output {out}"
        << QByteArray() << 2 << "--background-method \"border:11:mean\": the border's width";
    QTest::newRow("border wholly off the picture")
        << "measure {bmp} --frame 500,500,9,9 --background-method border:2:mean --output {out}"
        << QByteArray() << 2 << "--frame \"500,500,9,9\": The frame's border lies wholly off";
    QTest::newRow("background method in a plan")
        << "measure {bmp} --plan {plan} --output {out}" << QByteArray("background-method area:2\n")
        << 2 << "{plan}:1: the area's side must be an odd number";
    QTest::newRow("unknown option") << "measure {bmp} --frames 1,1,9,9 --output {out}"
                                    << QByteArray() << 2 << "Unknown option 'frames'";
    QTest::newRow("output of an unknown kind")
        << "measure {bmp} --frame 1,1,9,9 --output {dir}/sheet.ods" << QByteArray() << 2
        << "--output \"{dir}/sheet.ods\": expected a file name ending in .xlsx, .csv, .txt or .tsv";
    QTest::newRow("text posing as a picture")
        << "measure {plan} --frame 1,1,9,9 --output {out}" << QByteArray("this is no bitmap\n") << 1
        << "Cannot load image:\n{plan}\n";
    QTest::newRow("output into a missing folder")
        << "measure {bmp} --frame 1,1,9,9 --output {dir}/none/sheet.csv" << QByteArray() << 1
        << "Cannot save the sheet to \"{dir}/none/sheet.csv\"";
    QTest::newRow("report: quote never closed")
        << "report {dir}/table.csv --output {out}"
        << QByteArray("#,Description,Type,Scan (rel.units)\n1,Actin,control,\"200\n") << 2
        << "{dir}/table.csv:2: expected a closing quote";
}

void TestBatch::failuresWriteNothing()
{
    QFETCH(QString, arguments);
    QFETCH(QByteArray, file);
    QFETCH(int, status);
    QFETCH(QString, message);
    if (!file.isEmpty()) {
        writeFile(resolve(QStringLiteral("{plan}")), file);
        writeFile(resolve(QStringLiteral("{dir}/table.csv")), file);
    }

    const Run run = kestoscan(arguments);
    QCOMPARE(run.status, status);
    QVERIFY2(run.err.startsWith(QStringLiteral("kestoscan: ")) &&
                 run.err.contains(resolve(message)),
             qPrintable(run.err));
    QCOMPARE(run.out, QByteArray());
    QVERIFY(!QFile::exists(resolve(QStringLiteral("{out}"))));

    // An earlier output stays as it was, and nothing is left beside it.
    writeFile(resolve(QStringLiteral("{out}")), "an earlier sheet\n");
    QCOMPARE(kestoscan(arguments).status, status);
    QCOMPARE(fileBytes(resolve(QStringLiteral("{out}"))), QByteArray("an earlier sheet\n"));
    QStringList left = QDir(dir->path()).entryList(QDir::Files | QDir::Hidden);
    left.removeAll(QStringLiteral("gel.plan"));
    left.removeAll(QStringLiteral("table.csv"));
    QCOMPARE(left, QStringList{QStringLiteral("sheet.csv")});
}

void TestBatch::reportMatchesTheReportWindow_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QChar>("separator");
    QTest::newRow("CSV") << QStringLiteral("bands.csv") << QChar(QLatin1Char(','));
    QTest::newRow("tab-separated") << QStringLiteral("bands.txt") << QChar(QLatin1Char('\t'));
}

void TestBatch::reportMatchesTheReportWindow()
{
    QFETCH(QString, name);
    QFETCH(QChar, separator);
    QString table = QStringList{QStringLiteral("#"), QStringLiteral("Description"),
                                QStringLiteral("Type"), QStringLiteral("Scan (rel.units)")}
                        .join(separator);
    for (const QStringList& row : TwoSeries)
        table += QLatin1Char('\n') + row.join(separator);
    writeFile(dir->filePath(name), table.toUtf8());
    const Run run = kestoscan(QStringLiteral("report {dir}/") + name);
    QCOMPARE(run.err, QString());
    QCOMPARE(run.status, 0);

    // The report window, with the same bands typed in.
    frmReport report;
    for (int r = 0; r < TwoSeries.size(); ++r) {
        for (int c = 0; c < 4; ++c)
            report.f1Report->setText(r + 1, c + 1, TwoSeries.at(r).at(c));
    }
    report.Calculate();

    const QStringList lines = QString::fromUtf8(run.out).split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), TwoSeries.size() + 2); // the header, each row, the last line end
    QCOMPARE(lines.constFirst(),
             QStringLiteral("#\tDescription\tType\tScan (rel.units)\tExpression (%)"));
    QStringList expression, inWindow;
    for (int r = 0; r < TwoSeries.size(); ++r) {
        const QStringList cells = lines.at(r + 1).split(QLatin1Char('\t'));
        QCOMPARE(cells.mid(0, 4), TwoSeries.at(r));
        expression << cells.value(4);
        inWindow << report.f1Report->text(r + 1, 5);
    }
    QCOMPARE(expression, inWindow);
    // 100 and 50 of 200; 100 and 200 of 300 to two decimals; no control for the others.
    QCOMPARE(expression, (QStringList{QString(), n(50), n(25), QString(), QStringLiteral("33.33"),
                                      QStringLiteral("66.67"), QString(), QString()}));
}

void TestBatch::helpAndVersionNeedNoDisplay_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<QString>("printed");
    QTest::newRow("--version") << "--version"
                               << "KestoScan ";
    // One version: the one the package and its metadata carry, which the windows show.
    QTest::newRow("--version number") << "--version"
                                      << QStringLiteral("KestoScan %1.%2.%3\n")
                                             .arg(version::major)
                                             .arg(version::minor)
                                             .arg(version::revision);
    QTest::newRow("--version licence") << "--version"
                                       << "License GPL-3.0-or-later: GNU GPL version 3 or later";
    QTest::newRow("-v") << "-v"
                        << "There is NO WARRANTY";
    QTest::newRow("--help") << "--help"
                            << "kestoscan measure PICTURE";
}

// kestoscan() runs the program with no display at all.
void TestBatch::helpAndVersionNeedNoDisplay()
{
    QFETCH(QString, arguments);
    QFETCH(QString, printed);
    const Run run = kestoscan(arguments);
    QCOMPARE(run.status, 0);
    QVERIFY2(QString::fromUtf8(run.out).contains(printed), run.out.constData());
}

QTEST_MAIN(TestBatch)
#include "tst_batch.moc"
