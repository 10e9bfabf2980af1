// No lost results: a save that fails because the disk fills up leaves the earlier file as
// it was, byte for byte, with no half-written file beside it, and the sheet unchanged; a
// picture that fails to load leaves the picture, the frame and the sheet as they were.
//
// The full disk is a file-size limit (RLIMIT_FSIZE) set for the save alone, with SIGXFSZ
// ignored, so every write past the limit fails with EFBIG as it would with ENOSPC.

#include "app/frmscan.h"
#include "app/mainbar.h"
#include "components/commandbar.h"
#include "components/worksheet.h"
#include "core/gelimage.h"
#include "report/frmreport.h"
#include "support/fakeprompts.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageWriter>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

#include <sys/resource.h>

using namespace kesto;
using kesto::test::FakePrompts;

namespace {

// Limits the size of every file this process writes until it goes out of scope.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        m_set = ::getrlimit(RLIMIT_FSIZE, &m_previous) == 0;
        rlimit limit = m_previous;
        limit.rlim_cur = bytes;
        m_set = m_set && ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_previousHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool isSet() const { return m_set; }

private:
    rlimit m_previous{};
    void (*m_previousHandler)(int) = SIG_DFL;
    bool m_set = false;
};

QList<QStringList> snapshot(const Worksheet& sheet)
{
    QList<QStringList> rows;
    for (int r = 1; r <= sheet.rowCount(); ++r) {
        QStringList row;
        for (int c = 1; c <= sheet.columnCount(); ++c)
            row << sheet.text(r, c);
        rows << row;
    }
    return rows;
}

QByteArray encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, format).write(image);
    return bytes;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QImage stripes(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb((x * 7) & 0xFF, (y * 5) & 0xFF, ((x + y) * 3) & 0xFF));
    return image;
}

} // namespace

class TestNoLostResults : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void saveOnAFullDiskKeepsThePreviousFile_data();
    void saveOnAFullDiskKeepsThePreviousFile();
    void failedLoadKeepsPictureFrameAndSheet_data();
    void failedLoadKeepsPictureFrameAndSheet();
    void saveAsksBeforeReplacingANameGivenWithoutExtension_data();
    void saveAsksBeforeReplacingANameGivenWithoutExtension();
    void noPictureWritesNoNumber_data();
    void noPictureWritesNoNumber();
    void veryWideWindowKeepsTheSheet();
    void pastedPictureMeetsTheSizeLimit();

private:
    void click(int band, const char* name)
    {
        form->tool(band, QLatin1String(name)).action()->trigger();
    }
    // Scans a few bands into the sheet through the window, as a person would.
    void measureSomeBands(int rows);

    std::unique_ptr<FakePrompts> prompts;
    std::unique_ptr<frmScan> form;
    std::unique_ptr<QTemporaryDir> dir;
    QByteArray oldTmpDir;
};

void TestNoLostResults::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    // Scratch files of the workbook writer go to a folder of the test's own, to be checked.
    oldTmpDir = qgetenv("TMPDIR");
    QVERIFY(QDir(dir->path()).mkdir(QStringLiteral("tmp")));
    qputenv("TMPDIR", QFile::encodeName(dir->filePath(QStringLiteral("tmp"))));
    prompts = std::make_unique<FakePrompts>();
    form = std::make_unique<frmScan>();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    form->showPicture(stripes(300, 200));
}

void TestNoLostResults::cleanup()
{
    form.reset();
    prompts.reset();
    dir.reset();
    if (oldTmpDir.isNull())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", oldTmpDir);
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

void TestNoLostResults::measureSomeBands(int rows)
{
    for (int r = 1; r <= rows; ++r) {
        for (int c = 2; c <= 3; ++c) {
            form->f1Report_Click(r, c);
            form->moveFrameTo(float((r * 13 + c * 7) % 200), float((r * 5) % 150));
            form->Calculate();
        }
    }
}

void TestNoLostResults::saveOnAFullDiskKeepsThePreviousFile_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("limit");
    QTest::newRow("CSV, the disk already full") << int(SheetFileType::Csv) << 0;
    QTest::newRow("CSV, full after 100 bytes") << int(SheetFileType::Csv) << 100;
    QTest::newRow("text, full after 3000 bytes") << int(SheetFileType::TabText) << 3000;
    QTest::newRow("workbook, the disk already full") << int(SheetFileType::Excel) << 0;
    QTest::newRow("workbook, full after 2000 bytes") << int(SheetFileType::Excel) << 2000;
}

void TestNoLostResults::saveOnAFullDiskKeepsThePreviousFile()
{
    QFETCH(int, type);
    QFETCH(int, limit);
    static const char* const Suffixes[] = {"xlsx", "csv", "txt"};
    const QString path = dir->filePath(QStringLiteral("results.") + QLatin1String(Suffixes[type]));

    // The results saved earlier: a small sheet, saved while the disk had room.
    measureSomeBands(2);
    prompts->saveAnswers.append(path);
    prompts->saveFilterAnswers.append(type);
    click(BandFile, "mnuSave");
    QCOMPARE(prompts->messages.size(), 0);
    const QByteArray previous = readAll(path);
    QVERIFY(!previous.isEmpty());

    // More results, to be saved over them when the disk is full.
    measureSomeBands(150);
    const QList<QStringList> sheet = snapshot(*form->f1Report);
    prompts->saveAnswers.append(path);
    prompts->saveFilterAnswers.append(type);
    {
        const FileSizeLimit full{rlim_t(limit)};
        QVERIFY(full.isSet());
        click(BandToolbar, "mnuSave");
    }

    QCOMPARE(prompts->messages.size(), 1);
    const QString message = prompts->messages.at(0).text;
    QVERIFY2(message.startsWith(QStringLiteral("Cannot save report:\r\n") + path +
                                QStringLiteral("\r\n")),
             qPrintable(message));
    QCOMPARE(readAll(path), previous);
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QFileInfo(path).fileName()});
    QCOMPARE(QDir(dir->filePath(QStringLiteral("tmp"))).entryList(QDir::Files | QDir::Hidden),
             QStringList());
    QCOMPARE(snapshot(*form->f1Report), sheet);

    // With room on the disk again the same save goes through.
    prompts->saveAnswers.append(path);
    prompts->saveFilterAnswers.append(type);
    click(BandFile, "mnuSave");
    QCOMPARE(prompts->messages.size(), 1);
    QVERIFY(readAll(path).size() > previous.size());
}

void TestNoLostResults::failedLoadKeepsPictureFrameAndSheet_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    const QImage picture = stripes(40, 30);
    const QByteArray bmp = encoded(picture, "bmp");
    const QByteArray png = encoded(picture, "png");
    const QByteArray jpeg = encoded(stripes(200, 150), "jpeg");
    QByteArray huge = bmp.left(54);
    huge[18] = char(0xA0); // width 100000 (0x000186A0)
    huge[19] = char(0x86);
    huge[20] = char(0x01);
    huge[22] = char(0xA0); // height 100000
    huge[23] = char(0x86);
    huge[24] = char(0x01);
    QTest::newRow("missing file") << QStringLiteral("missing.bmp") << QByteArray();
    QTest::newRow("empty file") << QStringLiteral("empty.bmp") << QByteArray();
    QTest::newRow("notes named .jpg")
        << QStringLiteral("notes.jpg") << QByteArray("lane 1: control\n");
    QTest::newRow("BMP cut short") << QStringLiteral("cut.bmp") << bmp.left(bmp.size() - 7);
    QTest::newRow("PNG cut short") << QStringLiteral("cut.png") << png.left(png.size() / 2);
    QTest::newRow("JPEG cut short") << QStringLiteral("cut.jpg") << jpeg.left(jpeg.size() / 2);
    QTest::newRow("BMP header of 100000 x 100000") << QStringLiteral("huge.bmp") << huge;
    QTest::newRow("folder") << QStringLiteral("folder.bmp") << QByteArray();
}

void TestNoLostResults::failedLoadKeepsPictureFrameAndSheet()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    const QString path = dir->filePath(name);
    if (name.startsWith(QLatin1String("folder"))) {
        QVERIFY(QDir().mkpath(path));
    } else if (!name.startsWith(QLatin1String("missing"))) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), bytes.size());
    }

    measureSomeBands(3);
    form->moveFrameTo(30, 40);
    const QImage picture = form->picImage->picture().copy();
    const RectShape frame = form->shpPointer;
    const QList<QStringList> sheet = snapshot(*form->f1Report);
    const QString scan = form->tool(BandToolbar, QStringLiteral("txtScan")).caption();

    prompts->openAnswers.append(path);
    click(BandToolbar, "mnuOpen");

    QCOMPARE(prompts->messages.size(), 1);
    // The name, then why: the reason the loader gives, never an empty line.
    const QString reason = loadGelImage(path).reason;
    QVERIFY(!reason.isEmpty());
    QCOMPARE(prompts->messages.at(0).text,
             QStringLiteral("Cannot load image:\r\n") + path + QStringLiteral("\r\n") + reason);
    QCOMPARE(form->picImage->picture(), picture);
    QCOMPARE(form->shpPointer.left, frame.left);
    QCOMPARE(form->shpPointer.top, frame.top);
    QCOMPARE(form->shpPointer.width, frame.width);
    QCOMPARE(form->shpPointer.height, frame.height);
    QCOMPARE(snapshot(*form->f1Report), sheet);
    QCOMPARE(form->tool(BandToolbar, QStringLiteral("txtScan")).caption(), scan);
}

void TestNoLostResults::saveAsksBeforeReplacingANameGivenWithoutExtension_data()
{
    QTest::addColumn<bool>("reportWindow");
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("replace");
    QTest::newRow("main window, workbook, kept") << false << int(SheetFileType::Excel) << false;
    QTest::newRow("main window, CSV, replaced") << false << int(SheetFileType::Csv) << true;
    QTest::newRow("report window, text, kept") << true << int(SheetFileType::TabText) << false;
    QTest::newRow("report window, workbook, replaced") << true << int(SheetFileType::Excel) << true;
}

void TestNoLostResults::saveAsksBeforeReplacingANameGivenWithoutExtension()
{
    QFETCH(bool, reportWindow);
    QFETCH(int, type);
    QFETCH(bool, replace);
    static const char* const Suffixes[] = {".xlsx", ".csv", ".txt"};
    const QString target = dir->filePath(QStringLiteral("bands") + QLatin1String(Suffixes[type]));
    {
        QFile file(target);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("earlier results");
    }
    measureSomeBands(2);
    // The name is typed without its extension: the dialog's own check never saw the file.
    prompts->saveAnswers.append(dir->filePath(QStringLiteral("bands")));
    prompts->saveFilterAnswers.append(type);
    prompts->messageAnswers.append(replace ? MessageAnswer::Yes : MessageAnswer::No);
    if (reportWindow) {
        frmReport report;
        report.f1Report->setText(1, 2, QStringLiteral("Actin"));
        report.tbrReport->click(report.tool(ReportBandFile, QStringLiteral("mnuSave")));
    } else {
        click(BandFile, "mnuSave");
    }

    QCOMPARE(prompts->messages.size(), 1);
    QCOMPARE(prompts->messages.at(0).buttons, MessageButtons::YesNo);
    QVERIFY2(prompts->messages.at(0).text.startsWith(QFileInfo(target).fileName() +
                                                     QStringLiteral(" already exists.")),
             qPrintable(prompts->messages.at(0).text));
    QCOMPARE(readAll(target) == "earlier results", !replace);
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files), QStringList{QFileInfo(target).fileName()});
}

void TestNoLostResults::noPictureWritesNoNumber_data()
{
    QTest::addColumn<QString>("action");
    QTest::newRow("Calculate Now") << QStringLiteral("mnuCalc");
    QTest::newRow("Invert") << QStringLiteral("mnuInvert");
    QTest::newRow("click on the empty pane") << QString();
}

void TestNoLostResults::noPictureWritesNoNumber()
{
    QFETCH(QString, action);
    frmScan empty;
    empty.show();
    QVERIFY(QTest::qWaitForWindowExposed(&empty));
    empty.f1Report->setText(2, 3, QStringLiteral("400"));
    empty.f1Report_Click(1, 2);
    const QList<QStringList> sheet = snapshot(*empty.f1Report);
    const QString scan = empty.tool(BandToolbar, QStringLiteral("txtScan")).caption();
    if (action.isEmpty()) {
        empty.picImage_MouseDown(5, 5);
        empty.picImage_MouseUp(5, 5);
    } else {
        dispatchMainTool(empty, action);
    }
    QCOMPARE(snapshot(*empty.f1Report), sheet);
    QCOMPARE(empty.tool(BandToolbar, QStringLiteral("txtScan")).caption(), scan);
    QVERIFY(prompts->messages.isEmpty());
}

void TestNoLostResults::veryWideWindowKeepsTheSheet()
{
    measureSomeBands(2);
    const QList<QStringList> sheet = snapshot(*form->f1Report);
    // A window across three monitors: the "Band" column's share passes 16 bits.
    form->resize(9000, 700);
    QCOMPARE(form->width(), 9000);
    for (int c = 1; c <= form->f1Report->columnCount(); ++c)
        QVERIFY(form->f1Report->columnWidth(c) <= 32767);
    QCOMPARE(snapshot(*form->f1Report), sheet);
}

void TestNoLostResults::pastedPictureMeetsTheSizeLimit()
{
    const QImage picture = form->picImage->picture().copy();
    // 17 000 x 17 000 pixels is past the limit, yet only 36 MB at one bit a pixel.
    QImage huge(17000, 17000, QImage::Format_Mono);
    QVERIFY(!huge.isNull());
    QGuiApplication::clipboard()->setImage(huge);
    click(BandEdit, "mnuPaste");
    QGuiApplication::clipboard()->clear();
    QCOMPARE(prompts->messages.size(), 1);
    QCOMPARE(prompts->messages.at(0).text,
             QStringLiteral("Cannot paste picture:\r\n") + pictureTooLargeReason(huge.size()));
    QCOMPARE(form->picImage->picture(), picture);
}

QTEST_MAIN(TestNoLostResults)
#include "tst_nolostresults.moc"
