#include "components/sheetprint.h"
#include "components/worksheet.h"
#include "core/error.h"
#include "core/sheetdata.h"
#include "support/fakeprompts.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace kesto;

using Runs = QList<PrintTextRun>;
Q_DECLARE_METATYPE(Runs)

namespace {

// The PDF's text, page by page (pdftotext separates pages with form feeds).
QStringList pdfPages(const QString& pdf)
{
    QProcess tool;
    tool.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    if (!tool.waitForFinished(60000) || tool.exitCode() != 0)
        return {};
    QStringList pages = QString::fromUtf8(tool.readAllStandardOutput()).split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

PrintTextRun run(const char* text, bool bold = false)
{
    return {QString::fromUtf8(text), bold};
}

} // namespace

class TestSheetPrint : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void printCodesExpand_data();
    void printCodesExpand();
    void pdfHoldsHeaderFooterAndCells();
    void longSheetsGoOnSeveralNumberedPages();
    void boldHeaderFromThePrintCommand();
    void printDialogSendsThePagesToItsPrinter();
    void unwritablePdfRaisesAnError();

private:
    QTemporaryDir m_dir;
    bool m_havePdfText = false;
};

void TestSheetPrint::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_havePdfText = !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty();
}

void TestSheetPrint::printCodesExpand_data()
{
    QTest::addColumn<QString>("codes");
    QTest::addColumn<Runs>("runs");
    QTest::newRow("sheet name") << "&A" << Runs{run("Sheet1")};
    QTest::newRow("default footer") << "Page &P" << Runs{run("Page 3")};
    QTest::newRow("page of pages") << "&P/&N" << Runs{run("3/7")};
    QTest::newRow("bold title") << "&BNo Title" << Runs{run("No Title", true)};
    QTest::newRow("bold on and off") << "a&Bb&Bc" << Runs{run("a"), run("b", true), run("c")};
    QTest::newRow("bold alone prints nothing") << "&B" << Runs{};
    QTest::newRow("literal ampersand") << "R&&D" << Runs{run("R&D")};
    QTest::newRow("unknown code kept") << "&Xy" << Runs{run("&Xy")};
    QTest::newRow("trailing ampersand kept") << "x&" << Runs{run("x&")};
    QTest::newRow("empty") << "" << Runs{};
}

void TestSheetPrint::printCodesExpand()
{
    QFETCH(QString, codes);
    QFETCH(Runs, runs);
    const Runs expanded = expandPrintCodes(codes, QStringLiteral("Sheet1"), 3, 7);
    QCOMPARE(expanded.size(), runs.size());
    for (qsizetype i = 0; i < runs.size(); ++i) {
        QCOMPARE(expanded[i].text, runs[i].text);
        QCOMPARE(expanded[i].bold, runs[i].bold);
    }
}

void TestSheetPrint::pdfHoldsHeaderFooterAndCells()
{
    if (!m_havePdfText)
        QSKIP("pdftotext is not installed");
    Worksheet sheet;
    sheet.setColumnCount(4);
    sheet.setRowCount(3);
    sheet.setHeadingText(1, QStringLiteral("#"));
    sheet.setHeadingText(2, QStringLiteral("Band"));
    sheet.setHeadingText(3, QStringLiteral("Int.Ctrl"));
    sheet.setHeadingText(4, QStringLiteral("% to Ctrl"));
    sheet.setText(1, 1, QStringLiteral("1"));
    sheet.setText(1, 2, QStringLiteral("5321.5"));
    sheet.setText(1, 3, QStringLiteral("10643"));
    sheet.setText(1, 4, QStringLiteral("50.0"));
    sheet.setSheetName(QStringLiteral("Expression"));
    sheet.setPrintGridlines(true);
    sheet.setPrintRowHeadings(true);
    const QString pdf = m_dir.filePath(QStringLiteral("sheet.pdf"));
    sheet.printToPdf(pdf);

    const QStringList pages = pdfPages(pdf);
    QCOMPARE(pages.size(), 1);
    const QString page = pages.first();
    QVERIFY2(page.contains(QStringLiteral("Expression")), qPrintable(page));
    QVERIFY2(page.contains(QStringLiteral("Page 1")), qPrintable(page));
    QVERIFY2(page.contains(QStringLiteral("Int.Ctrl")), qPrintable(page));
    QVERIFY2(page.contains(QStringLiteral("5321.5")), qPrintable(page));
    QVERIFY2(page.contains(QStringLiteral("% to Ctrl")), qPrintable(page));
    // Header above the cells, footer below them.
    QVERIFY(page.indexOf(QStringLiteral("Expression")) < page.indexOf(QStringLiteral("5321.5")));
    QVERIFY(page.indexOf(QStringLiteral("5321.5")) < page.indexOf(QStringLiteral("Page 1")));
}

void TestSheetPrint::longSheetsGoOnSeveralNumberedPages()
{
    if (!m_havePdfText)
        QSKIP("pdftotext is not installed");
    Worksheet sheet;
    sheet.setColumnCount(2);
    sheet.setRowCount(120);
    for (int r = 1; r <= 120; ++r)
        sheet.setText(r, 2, QStringLiteral("band%1").arg(r));
    sheet.setPrintFooter(QStringLiteral("Page &P of &N"));
    const QString pdf = m_dir.filePath(QStringLiteral("long.pdf"));
    sheet.printToPdf(pdf);
    const QStringList pages = pdfPages(pdf);
    // 9 inches of body at 12.75 pt a row, one row for the headings: 49 rows a page.
    QCOMPARE(pages.size(), 3);
    QVERIFY(pages[0].contains(QStringLiteral("Page 1 of 3")));
    QVERIFY(pages[2].contains(QStringLiteral("Page 3 of 3")));
    QVERIFY(pages[0].contains(QStringLiteral("band49")));
    QVERIFY(!pages[0].contains(QStringLiteral("band50")));
    QVERIFY(pages[1].contains(QStringLiteral("band50")));
    QVERIFY(pages[2].contains(QStringLiteral("band120")));
}

void TestSheetPrint::boldHeaderFromThePrintCommand()
{
    if (!m_havePdfText)
        QSKIP("pdftotext is not installed");
    Worksheet sheet;
    sheet.setText(1, 1, QStringLiteral("x"));
    sheet.setPrintHeader(QStringLiteral("&BGel 7 & friends"));
    const QString pdf = m_dir.filePath(QStringLiteral("bold.pdf"));
    sheet.printToPdf(pdf);
    const QString page = pdfPages(pdf).value(0);
    QVERIFY2(page.contains(QStringLiteral("Gel 7 & friends")), qPrintable(page));
    QVERIFY(!page.contains(QStringLiteral("&B")));
    QProcess fonts;
    fonts.start(QStringLiteral("pdffonts"), {pdf});
    if (fonts.waitForFinished(30000) && fonts.exitCode() == 0)
        QVERIFY(QString::fromUtf8(fonts.readAllStandardOutput()).contains(QStringLiteral("Bold")));
}

void TestSheetPrint::printDialogSendsThePagesToItsPrinter()
{
    test::FakePrompts prompts;
    prompts.printToPdf = m_dir.filePath(QStringLiteral("dialog.pdf"));
    Worksheet sheet;
    sheet.setText(1, 1, QStringLiteral("through the dialog"));
    sheet.print(true);
    QCOMPARE(prompts.printDialogs, 1);
    QFile pdf(prompts.printToPdf);
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    QVERIFY(pdf.read(5).startsWith("%PDF"));
}

void TestSheetPrint::unwritablePdfRaisesAnError()
{
    Worksheet sheet;
    sheet.setText(1, 1, QStringLiteral("x"));
    try {
        sheet.printToPdf(m_dir.filePath(QStringLiteral("missing/folder/out.pdf")));
        QFAIL("printing into a missing folder succeeded");
    } catch (const Error& e) {
        QCOMPARE(e.number(), int(Error::FileError));
        QVERIFY2(e.message().contains(QStringLiteral("out.pdf")), qPrintable(e.message()));
    }
}

QTEST_MAIN(TestSheetPrint)
#include "tst_sheetprint.moc"
