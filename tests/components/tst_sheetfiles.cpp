#include "components/worksheet.h"
#include "core/error.h"
#include "core/sheetdata.h"
#include "core/sheetfiles.h"
#include "support/fakeprompts.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <csignal>

#include <sys/resource.h>
#include <unistd.h>

using namespace kesto;

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// One entry of a zip file, read with the unzip tool.
QByteArray zipEntry(const QString& zip, const QString& entry)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), zip, entry});
    unzip.waitForFinished(30000);
    return unzip.readAllStandardOutput();
}

// A workbook's first sheet as cell reference -> (type, text): type "n" for numbers,
// "s" for strings (resolved through the shared strings), and the style index.
struct WorkbookCell
{
    QString type;
    QString value;
    int style = 0;
};

QMap<QString, WorkbookCell> workbookCells(const QString& path)
{
    QStringList shared;
    QXmlStreamReader strings(zipEntry(path, QStringLiteral("xl/sharedStrings.xml")));
    QString current;
    bool inItem = false;
    while (!strings.atEnd()) {
        strings.readNext();
        if (strings.isStartElement() && strings.name() == QLatin1String("si")) {
            inItem = true;
            current.clear();
        } else if (strings.isStartElement() && strings.name() == QLatin1String("t") && inItem) {
            current += strings.readElementText();
        } else if (strings.isEndElement() && strings.name() == QLatin1String("si")) {
            shared << current;
            inItem = false;
        }
    }

    QMap<QString, WorkbookCell> cells;
    QXmlStreamReader sheet(zipEntry(path, QStringLiteral("xl/worksheets/sheet1.xml")));
    QString ref;
    WorkbookCell cell;
    while (!sheet.atEnd()) {
        sheet.readNext();
        if (sheet.isStartElement() && sheet.name() == QLatin1String("c")) {
            ref = sheet.attributes().value(QLatin1String("r")).toString();
            cell = WorkbookCell();
            cell.type = sheet.attributes().hasAttribute(QLatin1String("t"))
                            ? sheet.attributes().value(QLatin1String("t")).toString()
                            : QStringLiteral("n");
            cell.style = sheet.attributes().value(QLatin1String("s")).toInt();
        } else if (sheet.isStartElement() && sheet.name() == QLatin1String("v")) {
            const QString v = sheet.readElementText();
            cell.value = cell.type == QLatin1String("s") ? shared.value(v.toInt()) : v;
            cells.insert(ref, cell);
        }
    }
    return cells;
}

QMap<int, double> workbookWidths(const QString& path)
{
    QMap<int, double> widths;
    QXmlStreamReader sheet(zipEntry(path, QStringLiteral("xl/worksheets/sheet1.xml")));
    while (!sheet.atEnd()) {
        sheet.readNext();
        if (sheet.isStartElement() && sheet.name() == QLatin1String("col"))
            widths.insert(sheet.attributes().value(QLatin1String("min")).toInt(),
                          sheet.attributes().value(QLatin1String("width")).toDouble());
    }
    return widths;
}

} // namespace

class TestSheetFiles : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void csvQuotesWhatNeedsIt_data();
    void csvQuotesWhatNeedsIt();
    void csvHasHeadingsAndEveryRow();
    void tabTextReadsBackExactly();
    void workbookHoldsNumbersTextsHeadingsAndWidths();
    void workbookSheetNameIsMadeSafe();
    void workbookWithoutHeadingsStartsAtTheFirstRow();
    void failedWorkbookKeepsTheOldFile();
    void saveIntoMissingFolderRaisesAClearError();
    void saveIntoUnwritableFolderKeepsTheOldFile();
    void saveOnAFullDiskKeepsTheOldFile_data();
    void saveOnAFullDiskKeepsTheOldFile();
    void unknownFileTypeIsRefused();
    void saveThroughTheDialog();
    void filesEndAtTheLastUsedRow();
    void workbookKeepsNumberLikeLabelsAsText_data();
    void workbookKeepsNumberLikeLabelsAsText();

private:
    QTemporaryDir m_dir;
    bool m_haveUnzip = false;
    QString path(const QString& name) const { return m_dir.filePath(name); }
};

void TestSheetFiles::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_haveUnzip = !QStandardPaths::findExecutable(QStringLiteral("unzip")).isEmpty();
}

void TestSheetFiles::csvQuotesWhatNeedsIt_data()
{
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QString>("field");
    QTest::newRow("plain") << "abc"
                           << "abc";
    QTest::newRow("comma") << "a,b"
                           << "\"a,b\"";
    QTest::newRow("quote") << "5\" gel"
                           << "\"5\"\" gel\"";
    QTest::newRow("line feed") << "a\nb"
                               << "\"a\nb\"";
    QTest::newRow("carriage return") << "a\rb"
                                     << "\"a\rb\"";
    QTest::newRow("tab needs no quotes") << "a\tb"
                                         << "a\tb";
    QTest::newRow("blanks kept as they are") << " x "
                                             << " x ";
    QTest::newRow("empty") << ""
                           << "";
}

void TestSheetFiles::csvQuotesWhatNeedsIt()
{
    QFETCH(QString, cell);
    QFETCH(QString, field);
    QCOMPARE(csvField(cell), field);
}

void TestSheetFiles::csvHasHeadingsAndEveryRow()
{
    SheetData data(2, 3);
    data.setHeadingText(1, QStringLiteral("#"));
    data.setHeadingText(2, QStringLiteral("Band, raw"));
    data.setText(1, 1, QStringLiteral("1"));
    data.setText(1, 2, QStringLiteral("12.5"));
    data.setText(2, 3, QStringLiteral("\u00b5g \"x\""));
    const QByteArray expected =
        QByteArrayLiteral("#,\"Band, raw\",\r\n1,12.5,\r\n,,\"\xc2\xb5g \"\"x\"\"\"\r\n");
    QCOMPARE(sheetCsv(data), expected);
    writeSheetFile(data, path(QStringLiteral("out.csv")), SheetFileType::Csv);
    QCOMPARE(readFile(path(QStringLiteral("out.csv"))), expected);
}

void TestSheetFiles::tabTextReadsBackExactly()
{
    SheetData data(2, 2);
    data.setText(1, 1, QStringLiteral("tab\there"));
    data.setText(1, 2, QStringLiteral("two\r\nlines"));
    data.setText(2, 2, QStringLiteral("\u6f22\u5b57"));
    writeSheetFile(data, path(QStringLiteral("out.txt")), SheetFileType::TabText);
    const QByteArray bytes = readFile(path(QStringLiteral("out.txt")));
    QVERIFY(bytes.endsWith("\r\n"));
    SheetData back;
    back.setTextAt(1, 1, QString::fromUtf8(bytes));
    QCOMPARE(back.rowCount(), 2);
    QCOMPARE(back.columnCount(), 2);
    for (int r = 1; r <= 2; ++r)
        for (int c = 1; c <= 2; ++c)
            QCOMPARE(back.text(r, c), data.text(r, c));
}

void TestSheetFiles::workbookHoldsNumbersTextsHeadingsAndWidths()
{
    if (!m_haveUnzip)
        QSKIP("unzip is not installed");
    SheetData data(3, 4);
    const QStringList headings{QStringLiteral("#"), QStringLiteral("Description"),
                               QStringLiteral("Type"), QStringLiteral("Scan (rel.units)")};
    const int widths[] = {1097, 10203, 4462, 3767};
    for (int c = 1; c <= 4; ++c) {
        data.setHeadingText(c, headings[c - 1]);
        data.setColumnWidth(c, widths[c - 1]);
    }
    data.setText(1, 1, QStringLiteral("1"));
    data.setText(1, 2, QStringLiteral("IL-6 <24 h> & more"));
    data.setText(1, 3, QStringLiteral("control"));
    data.setText(1, 4, QStringLiteral("1234.5"));
    data.setText(2, 2, QStringLiteral("\u00b5M \u03b2-actin"));
    data.setText(2, 4, QStringLiteral("-2e-3"));
    data.setText(2, 1, QStringLiteral("50.0"));
    data.setText(3, 2, QStringLiteral("12 kDa"));

    const QString file = path(QStringLiteral("book.xlsx"));
    writeSheetFile(data, file, SheetFileType::Excel);

    QProcess test;
    test.start(QStringLiteral("unzip"), {QStringLiteral("-tq"), file});
    QVERIFY(test.waitForFinished(30000));
    QCOMPARE(test.exitCode(), 0);

    const QMap<QString, WorkbookCell> cells = workbookCells(file);
    QCOMPARE(cells.value(QStringLiteral("A1")).value, QStringLiteral("#"));
    QCOMPARE(cells.value(QStringLiteral("D1")).value, QStringLiteral("Scan (rel.units)"));
    QVERIFY(cells.value(QStringLiteral("A1")).style != 0); // headings in bold
    QCOMPARE(cells.value(QStringLiteral("A2")).type, QStringLiteral("n"));
    QCOMPARE(cells.value(QStringLiteral("A2")).value.toDouble(), 1.0);
    QCOMPARE(cells.value(QStringLiteral("A2")).style, 0);
    QCOMPARE(cells.value(QStringLiteral("B2")).type, QStringLiteral("s"));
    QCOMPARE(cells.value(QStringLiteral("B2")).value, QStringLiteral("IL-6 <24 h> & more"));
    QCOMPARE(cells.value(QStringLiteral("C2")).value, QStringLiteral("control"));
    QCOMPARE(cells.value(QStringLiteral("D2")).value.toDouble(), 1234.5);
    QCOMPARE(cells.value(QStringLiteral("B3")).value, QStringLiteral("\u00b5M \u03b2-actin"));
    // Written with an exponent, the text is kept as typed: a number only in its plain form.
    QCOMPARE(cells.value(QStringLiteral("D3")).type, QStringLiteral("s"));
    QCOMPARE(cells.value(QStringLiteral("D3")).value, QStringLiteral("-2e-3"));
    QCOMPARE(cells.value(QStringLiteral("B4")).type, QStringLiteral("s"));
    QCOMPARE(cells.value(QStringLiteral("A3")).value.toDouble(), 50.0);
    QVERIFY(!cells.contains(QStringLiteral("A4"))); // empty cells are not written
    QCOMPARE(cells.size(), 4 + 8);

    const QMap<int, double> stored = workbookWidths(file);
    for (int c = 1; c <= 4; ++c) {
        // Excel keeps character widths plus a little padding.
        const double characters = widths[c - 1] / 256.0;
        QVERIFY2(std::abs(stored.value(c) - characters) < 1.0,
                 qPrintable(QStringLiteral("column %1: %2 for %3")
                                .arg(c)
                                .arg(stored.value(c))
                                .arg(characters)));
    }
    const QByteArray styles = zipEntry(file, QStringLiteral("xl/styles.xml"));
    QVERIFY(styles.contains("<b/>"));
    // "50.0" keeps showing its decimal in the workbook.
    QVERIFY(cells.value(QStringLiteral("A3")).style != 0);
    QVERIFY2(styles.contains("formatCode=\"0.0\""), styles.constData());
}

void TestSheetFiles::workbookSheetNameIsMadeSafe()
{
    if (!m_haveUnzip)
        QSKIP("unzip is not installed");
    SheetData data(1, 1);
    data.setSheetName(QStringLiteral("Gel [1/2]: a very long name that Excel would refuse"));
    data.setText(1, 1, QStringLiteral("x"));
    const QString file = path(QStringLiteral("named.xlsx"));
    writeSheetFile(data, file, SheetFileType::Excel);
    const QByteArray book = zipEntry(file, QStringLiteral("xl/workbook.xml"));
    QVERIFY2(book.contains("name=\"Gel _1_2__ a very long name tha\""), book.constData());
}

void TestSheetFiles::workbookWithoutHeadingsStartsAtTheFirstRow()
{
    if (!m_haveUnzip)
        QSKIP("unzip is not installed");
    SheetData data(1, 2);
    data.setText(1, 2, QStringLiteral("7"));
    const QString file = path(QStringLiteral("plain.xlsx"));
    writeSheetFile(data, file, SheetFileType::Excel);
    const QMap<QString, WorkbookCell> cells = workbookCells(file);
    QCOMPARE(cells.keys(), QStringList{QStringLiteral("B1")});
    QCOMPARE(cells.value(QStringLiteral("B1")).value.toDouble(), 7.0);
}

void TestSheetFiles::failedWorkbookKeepsTheOldFile()
{
    const QString file = path(QStringLiteral("keep.xlsx"));
    writeFile(file, "the good old file");
    SheetData data(2, 1);
    data.setText(1, 1, QStringLiteral("fine"));
    data.setText(2, 1, QString(40000, QLatin1Char('x'))); // past a workbook cell's limit
    try {
        writeSheetFile(data, file, SheetFileType::Excel);
        QFAIL("an oversized cell was saved");
    } catch (const Error& e) {
        QCOMPARE(e.number(), int(Error::FileError));
        QVERIFY2(e.message().contains(QStringLiteral("R2C1")), qPrintable(e.message()));
        QVERIFY2(e.message().contains(file), qPrintable(e.message()));
    }
    QCOMPARE(readFile(file), QByteArray("the good old file"));
    QCOMPARE(data.text(1, 1), QStringLiteral("fine"));
    // Nothing half-written is left beside it either.
    QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("keep*")}, QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("keep.xlsx")});
}

void TestSheetFiles::saveIntoMissingFolderRaisesAClearError()
{
    SheetData data(1, 1);
    data.setText(1, 1, QStringLiteral("x"));
    const QString file = path(QStringLiteral("no/such/folder/out.csv"));
    for (SheetFileType type : {SheetFileType::Excel, SheetFileType::Csv, SheetFileType::TabText}) {
        try {
            writeSheetFile(data, file, type);
            QFAIL("saving into a missing folder succeeded");
        } catch (const Error& e) {
            QCOMPARE(e.number(), int(Error::FileError));
            QVERIFY2(e.message().startsWith(QStringLiteral("Cannot save the sheet to \"")),
                     qPrintable(e.message()));
            QVERIFY2(e.message().contains(file), qPrintable(e.message()));
        }
    }
    QVERIFY(!QFile::exists(file));
    QVERIFY_THROWS_EXCEPTION(Error, writeSheetFile(data, m_dir.path(), SheetFileType::Csv));
}

void TestSheetFiles::saveIntoUnwritableFolderKeepsTheOldFile()
{
    if (::geteuid() == 0)
        QSKIP("folder permissions do not stop the superuser");
    QTemporaryDir locked;
    const QString file = locked.filePath(QStringLiteral("old.csv"));
    writeFile(file, "old");
    QVERIFY(QFile::setPermissions(locked.path(), QFile::ReadOwner | QFile::ExeOwner));
    SheetData data(1, 1);
    data.setText(1, 1, QStringLiteral("new"));
    QVERIFY_THROWS_EXCEPTION(Error, writeSheetFile(data, file, SheetFileType::Csv));
    QVERIFY_THROWS_EXCEPTION(Error, writeSheetFile(data, file, SheetFileType::Excel));
    QFile::setPermissions(locked.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(readFile(file), QByteArray("old"));
}

void TestSheetFiles::saveOnAFullDiskKeepsTheOldFile_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("limit");
    // Small files go through the write buffer and fail only when it is flushed; large ones
    // are written at once and fail in the write.
    QTest::newRow("CSV, buffered") << int(SheetFileType::Csv) << 100;
    QTest::newRow("text, buffered") << int(SheetFileType::TabText) << 100;
    QTest::newRow("CSV, written at once") << int(SheetFileType::Csv) << 20000;
    QTest::newRow("workbook") << int(SheetFileType::Excel) << 1000;
}

void TestSheetFiles::saveOnAFullDiskKeepsTheOldFile()
{
    QFETCH(int, type);
    QFETCH(int, limit);
    const QString file = path(QStringLiteral("full-%1-%2.out").arg(type).arg(limit));
    writeFile(file, "the good old file");
    // Twice the limit in cells, so the file cannot fit.
    SheetData data(limit / 4 + 10, 2);
    for (int r = 1; r <= data.rowCount(); ++r)
        data.setText(r, 1, QString::number(qint64(r) * 1000003));
    // A full disk: writes past the limit fail (EFBIG) instead of raising SIGXFSZ.
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit previous{};
    QVERIFY(::getrlimit(RLIMIT_FSIZE, &previous) == 0);
    rlimit full = previous;
    full.rlim_cur = rlim_t(limit);
    QVERIFY(::setrlimit(RLIMIT_FSIZE, &full) == 0);
    bool refused = false;
    QString message;
    try {
        writeSheetFile(data, file, SheetFileType(type));
    } catch (const Error& e) {
        refused = true;
        message = e.message();
    }
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);
    QVERIFY2(refused, "a save that did not fit the disk was reported as done");
    QVERIFY2(message.contains(file), qPrintable(message));
    QCOMPARE(readFile(file), QByteArray("the good old file"));
    const QString name = QFileInfo(file).fileName();
    QCOMPARE(QDir(m_dir.path()).entryList({name + QLatin1Char('*')}, QDir::Files | QDir::Hidden),
             QStringList{name});
}

void TestSheetFiles::unknownFileTypeIsRefused()
{
    SheetData data(1, 1);
    try {
        writeSheetFile(data, path(QStringLiteral("x.dat")), SheetFileType(7));
        QFAIL("an unknown file type was written");
    } catch (const Error& e) {
        QCOMPARE(e.number(), int(Error::InvalidValue));
    }
    QVERIFY(!QFile::exists(path(QStringLiteral("x.dat"))));
}

void TestSheetFiles::saveThroughTheDialog()
{
    test::FakePrompts prompts;
    prompts.saveAnswers << path(QStringLiteral("report"));
    prompts.saveFilterAnswers << int(SheetFileType::Csv);
    Worksheet sheet;
    sheet.setText(1, 1, QStringLiteral("a,b"));
    QString chosen;
    SheetFileType type = SheetFileType::Excel;
    sheet.saveDialog(QStringLiteral("Save Report"), chosen, type);
    QCOMPARE(chosen, path(QStringLiteral("report.csv")));
    sheet.write(chosen, type);
    QCOMPARE(readFile(chosen), QByteArray("\"a,b\"\r\n"));
}

void TestSheetFiles::filesEndAtTheLastUsedRow()
{
    SheetData data(100, 2);
    data.setHeadingText(1, QStringLiteral("#"));
    data.setText(1, 1, QStringLiteral("1"));
    data.setText(3, 2, QStringLiteral("7"));
    QCOMPARE(sheetCsv(data), QByteArrayLiteral("#,\r\n1,\r\n,\r\n,7\r\n"));
    QCOMPARE(sheetTabText(data), QByteArrayLiteral("#\t\r\n1\t\r\n\t\r\n\t7\r\n"));
    if (!m_haveUnzip)
        QSKIP("unzip is not installed");
    const QString file = path(QStringLiteral("used.xlsx"));
    writeSheetFile(data, file, SheetFileType::Excel);
    QVERIFY(!zipEntry(file, QStringLiteral("xl/worksheets/sheet1.xml")).contains("r=\"5\""));
}

void TestSheetFiles::workbookKeepsNumberLikeLabelsAsText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("type");
    QTest::newRow("leading zeros") << "007"
                                   << "s";
    QTest::newRow("exponent") << "1e3"
                              << "s";
    QTest::newRow("trailing zero of two decimals") << "12.50"
                                                   << "s";
    QTest::newRow("plus sign") << "+5"
                               << "s";
    QTest::newRow("plain decimal") << "12.5"
                                   << "n";
    QTest::newRow("one decimal, as % to Ctrl") << "100.0"
                                               << "n";
    QTest::newRow("negative integer") << "-108800"
                                      << "n";
    // Numbers are stored in the digits the sheet shows, not in 16 significant digits.
    QTest::newRow("90.9, as % to Ctrl") << "90.9"
                                        << "n";
    QTest::newRow("shortest round trip of 0.1 + 0.2") << "0.30000000000000004"
                                                      << "n";
    QTest::newRow("seventeen digits") << "2119902.6331967213"
                                      << "n";
    QTest::newRow("beyond 1e15") << "1e+16"
                                 << "n";
}

void TestSheetFiles::workbookKeepsNumberLikeLabelsAsText()
{
    if (!m_haveUnzip)
        QSKIP("unzip is not installed");
    QFETCH(QString, text);
    QFETCH(QString, type);
    SheetData data(1, 1);
    data.setText(1, 1, text);
    const QString file = path(QStringLiteral("label.xlsx"));
    writeSheetFile(data, file, SheetFileType::Excel);
    const WorkbookCell cell = workbookCells(file).value(QStringLiteral("A1"));
    QCOMPARE(cell.type, type);
    // A label as typed; a number in the digits the sheet shows.
    QCOMPARE(cell.value, text);
}

QTEST_MAIN(TestSheetFiles)
#include "tst_sheetfiles.moc"
