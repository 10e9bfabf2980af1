// The result commands of the main window: save, print, copy and paste.

#include "app/frmscan.h"
#include "app/mainbar.h"
#include "app/maincommands.h"
#include "components/commandbar.h"
#include "components/worksheet.h"
#include "controls/kestobutton.h"
#include "dialogs/frmabout.h"
#include "dialogs/frmmsg.h"
#include "support/fakeprompts.h"
#include "support/gelpictures.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace kesto;
using kesto::test::FakePrompts;

class TestResultCommands : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void copyBuildsTheReportText();
    void copyPutsTextOnTheClipboard();
    void cancelledSaveWritesNothing();
    void saveWritesTheChosenFormat();
    void failedSaveSaysWhyAndKeepsTheSheet();
    void printUnhighlightsAndUsesTheCaption();
    void cancelledPrintIsQuiet();
    void failedPrintSaysWhy();
    void pasteWithTextKeepsThePicture();
    void pasteWithEmptyClipboardSaysSo();
    void pasteWithPictureReplacesIt();
    void clearAnsweredNoKeepsEveryCell();
    void clearAnsweredYesEmptiesTheResults();
    void twoAboutCommandsGiveTwoFreshBoxes();
    void exitClosesEveryWindow();

private:
    void click(int band, const char* name)
    {
        form->tool(band, QLatin1String(name)).action()->trigger();
    }
    std::unique_ptr<FakePrompts> prompts;
    std::unique_ptr<frmScan> form;
    std::unique_ptr<QTemporaryDir> dir;
};

void TestResultCommands::init()
{
    prompts = std::make_unique<FakePrompts>();
    dir = std::make_unique<QTemporaryDir>();
    form = std::make_unique<frmScan>();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    form->showPicture(kesto::test::solidPicture(80, 60, qRgb(100, 100, 100)));
}

void TestResultCommands::cleanup()
{
    form.reset();
    prompts.reset();
    dir.reset();
}

void TestResultCommands::copyBuildsTheReportText()
{
    form->f1Report->setRowCount(3);
    form->f1Report->setText(1, 2, QStringLiteral("12.5"));
    QCOMPARE(commands::reportText(*form),
             QStringLiteral("Expression\r\n#\tBand\tInt.Ctrl\t% to Ctrl\r\n"
                            "\t12.5\t\t\r\n\t\t\t\r\n\t\t\t"));
}

void TestResultCommands::copyPutsTextOnTheClipboard()
{
    form->f1Report->setRowCount(2);
    form->f1Report->setText(2, 3, QStringLiteral("1000"));
    click(BandToolbar, "mnuCopy");
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QStringLiteral("Expression\r\n#\tBand\tInt.Ctrl\t% to Ctrl\r\n\t\t\t\r\n\t\t1000\t"));
    click(BandEdit, "mnuCopy");
    QCOMPARE(QGuiApplication::clipboard()->text(), commands::reportText(*form));
}

void TestResultCommands::cancelledSaveWritesNothing()
{
    prompts->saveAnswers.append(QString());
    click(BandFile, "mnuSave");
    QCOMPARE(prompts->saveTitles, QStringList{QStringLiteral("Save Report")});
    QVERIFY(QDir(dir->path()).isEmpty());
    QVERIFY(prompts->messages.isEmpty());
}

void TestResultCommands::saveWritesTheChosenFormat()
{
    form->f1Report->setText(1, 2, QStringLiteral("250"));
    form->f1Report->setText(1, 3, QStringLiteral("1000"));
    form->f1Report_Click(10, 3); // the scan below goes there, away from row 1
    form->Calculate();
    const QString path = dir->filePath(QStringLiteral("bands.csv"));
    prompts->saveAnswers.append(path);
    prompts->saveFilterAnswers.append(int(SheetFileType::Csv));
    click(BandToolbar, "mnuSave");
    QVERIFY(prompts->messages.isEmpty());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    QVERIFY2(text.contains(QStringLiteral("1,250,1000,25.0")), qPrintable(text));
}

void TestResultCommands::failedSaveSaysWhyAndKeepsTheSheet()
{
    form->f1Report->setText(4, 2, QStringLiteral("-5321"));
    // A path below a plain file cannot be written, whoever runs the test.
    const QString blocker = dir->filePath(QStringLiteral("not-a-folder"));
    QFile file(blocker);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("x");
    file.close();
    const QString path = blocker + QStringLiteral("/report.xlsx");
    prompts->saveAnswers.append(path);
    click(BandFile, "mnuSave");
    QCOMPARE(prompts->messages.size(), 1);
    const QString message = prompts->messages.at(0).text;
    QVERIFY2(message.startsWith(QStringLiteral("Cannot save report:\r\n") + path +
                                QStringLiteral("\r\n")),
             qPrintable(message));
    QVERIFY(message.size() > QStringLiteral("Cannot save report:\r\n\r\n").size() + path.size());
    QCOMPARE(form->f1Report->text(4, 2), QStringLiteral("-5321"));
    QVERIFY(form->isVisible());
}

void TestResultCommands::printUnhighlightsAndUsesTheCaption()
{
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    form->f1Report_Click(2, 2);
    form->f1Report->setText(2, 2, QStringLiteral("777"));
    const QString pdf = dir->filePath(QStringLiteral("print.pdf"));
    prompts->printToPdf = pdf;
    click(BandToolbar, "mnuPrint");
    QCOMPARE(prompts->printDialogs, 1);
    QCOMPARE(form->f1Report->printHeader(), QStringLiteral("&BKestoScan Version 4.0.1"));
    int row = 0, column = 0;
    form->f1Report->activeCell(row, column);
    QCOMPARE(row, 2);
    QCOMPARE(column, 2);
    QVERIFY(QFile::exists(pdf));
    if (pdftotext.isEmpty())
        QSKIP("pdftotext is not installed");
    QProcess process;
    process.start(pdftotext, {pdf, QStringLiteral("-")});
    QVERIFY(process.waitForFinished(30000));
    const QString text = QString::fromUtf8(process.readAllStandardOutput());
    QVERIFY2(text.contains(QStringLiteral("KestoScan Version 4.0.1")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("777")), qPrintable(text));
}

void TestResultCommands::cancelledPrintIsQuiet()
{
    prompts->printAnswers.append(false);
    click(BandToolbar, "mnuPrint");
    QCOMPARE(prompts->printDialogs, 1);
    QVERIFY(prompts->messages.isEmpty());
    // Without a working cell the header stays the sheet's own.
    QCOMPARE(form->f1Report->printHeader(), QStringLiteral("&A"));
}

void TestResultCommands::failedPrintSaysWhy()
{
    prompts->printToPdf = QStringLiteral("/nonexistent-folder/sheet.pdf");
    click(BandToolbar, "mnuPrint");
    QCOMPARE(prompts->printDialogs, 1);
    QCOMPARE(prompts->messages.size(), 1);
    QVERIFY2(prompts->messages.at(0).text.startsWith(QStringLiteral("Cannot print report:\r\n")),
             qPrintable(prompts->messages.at(0).text));
    QVERIFY(prompts->messages.at(0).text.contains(QStringLiteral("nonexistent-folder")));
}

void TestResultCommands::pasteWithTextKeepsThePicture()
{
    QGuiApplication::clipboard()->setText(QStringLiteral("not a picture"));
    click(BandEdit, "mnuPaste");
    QCOMPARE(form->picImage->picture().size(), QSize(80, 60));
    QVERIFY(prompts->messages.isEmpty());
}

void TestResultCommands::pasteWithEmptyClipboardSaysSo()
{
    QGuiApplication::clipboard()->clear();
    click(BandEdit, "mnuPaste");
    QCOMPARE(form->picImage->picture().size(), QSize(80, 60));
    QCOMPARE(prompts->messages.size(), 1);
    QVERIFY2(prompts->messages.at(0).text.contains(QStringLiteral("no picture to paste")),
             qPrintable(prompts->messages.at(0).text));
}

void TestResultCommands::pasteWithPictureReplacesIt()
{
    const QSize viewport = form->picContainer->size();
    QImage picture(viewport.width() + 250, 20, QImage::Format_ARGB32);
    picture.fill(qRgba(0, 0, 0, 0)); // transparent: must not come out black
    QGuiApplication::clipboard()->setImage(picture);
    form->moveFrameTo(5, 5);
    click(BandToolbar, "mnuPaste");
    QCOMPARE(form->picImage->picture().size(), picture.size());
    QCOMPARE(form->picImage->picture().format(), QImage::Format_RGB32);
    QCOMPARE(form->picImage->picture().pixel(3, 3), qRgb(255, 255, 255));
    QVERIFY(form->HScroll->isVisible());
    QCOMPARE(form->HScroll->maximum(), 250);
    QVERIFY(!form->VScroll->isVisible());
    // Pasting keeps the frame where it was.
    QCOMPARE(form->shpPointer.left, 5.0f);
}

namespace {

// Answers the clear question with a key, as a person at the dialog would.
std::function<int(QDialog&)> answerWithKey(Qt::Key key, QStringList* seen)
{
    return [key, seen](QDialog& dialog) -> int {
        auto& msg = static_cast<frmMsg&>(dialog);
        msg.show();
        if (!QTest::qWaitForWindowExposed(&msg))
            return int(QDialog::Rejected);
        seen->append(msg.lblWelcome->text());
        seen->append(msg.txtMsg->toPlainText());
        seen->append(msg.cmdAction[1]->isVisible() ? QStringLiteral("yes/no")
                                                   : QStringLiteral("ok"));
        QTest::keyClick(&msg, key);
        if (!QTest::qWaitFor([&msg] { return !msg.isVisible(); }))
            seen->append(QStringLiteral("still open"));
        return msg.result();
    };
}

void fillSheet(Worksheet& sheet)
{
    for (int r = 1; r <= 3; ++r) {
        for (int c = 1; c <= 4; ++c)
            sheet.setText(r, c, QStringLiteral("%1.%2").arg(r).arg(c));
    }
}

} // namespace

void TestResultCommands::clearAnsweredNoKeepsEveryCell()
{
    fillSheet(*form->f1Report);
    QStringList seen;
    prompts->dialogHandler = answerWithKey(Qt::Key_N, &seen);
    click(BandToolbar, "mnuClear");
    QCOMPARE(prompts->dialogs, 1);
    QCOMPARE(seen, (QStringList{QStringLiteral("Warning!"),
                                QStringLiteral("All data will be lost. Clear anyway?"),
                                QStringLiteral("yes/no")}));
    for (int r = 1; r <= 3; ++r) {
        for (int c = 1; c <= 4; ++c)
            QCOMPARE(form->f1Report->text(r, c), QStringLiteral("%1.%2").arg(r).arg(c));
    }
}

void TestResultCommands::clearAnsweredYesEmptiesTheResults()
{
    fillSheet(*form->f1Report);
    form->f1Report_Click(2, 3);
    form->moveFrameTo(7, 8);
    form->Calculate();
    const QString scan = form->tool(BandToolbar, QStringLiteral("txtScan")).caption();
    QStringList seen;
    prompts->dialogHandler = answerWithKey(Qt::Key_Y, &seen);
    click(BandToolbar, "mnuClear");
    for (int r = 1; r <= form->f1Report->rowCount(); ++r) {
        for (int c = 1; c <= 4; ++c)
            QCOMPARE(form->f1Report->text(r, c), QString());
    }
    QCOMPARE(form->tool(BandToolbar, QStringLiteral("txtCell")).caption(),
             QStringLiteral("Working Cell: R2C3"));
    QCOMPARE(form->tool(BandToolbar, QStringLiteral("txtScan")).caption(), scan);
    QCOMPARE(form->workRow(), 2);
    QCOMPARE(form->shpPointer.left, 7.0f);
    QCOMPARE(form->picImage->picture().size(), QSize(80, 60));
    QCOMPARE(form->f1Report->headingText(2), QStringLiteral("Band"));
}

void TestResultCommands::twoAboutCommandsGiveTwoFreshBoxes()
{
    QList<QDialog*> boxes;
    QStringList versions;
    prompts->dialogHandler = [&](QDialog& dialog) -> int {
        boxes.append(&dialog);
        dialog.show();
        if (!QTest::qWaitForWindowExposed(&dialog))
            return int(QDialog::Rejected);
        auto& about = static_cast<frmAbout&>(dialog);
        versions.append(dialog.windowTitle() + QLatin1Char(' ') + about.lblVersion->text());
        dialog.close();
        return int(QDialog::Accepted);
    };
    click(BandToolbar, "mnuAbout");
    click(BandToolbar, "mnuAbout");
    QCOMPARE(prompts->dialogs, 2);
    QCOMPARE(versions, (QStringList{QStringLiteral("About Version 4.0.1"),
                                    QStringLiteral("About Version 4.0.1")}));
    QVERIFY(boxes.at(0) != nullptr && boxes.at(1) != nullptr);
}

void TestResultCommands::exitClosesEveryWindow()
{
    QWidget other;
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&other));
    click(BandFile, "mnuExit");
    QVERIFY(!form->isVisible());
    QVERIFY(!other.isVisible());
}

QTEST_MAIN(TestResultCommands)
#include "tst_resultcommands.moc"
