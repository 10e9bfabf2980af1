#include "controls/border.h"
#include "controls/kestobutton.h"
#include "controls/propertybag.h"
#include "dialogs/frmabout.h"
#include "dialogs/sysinfo.h"
#include "support/fakeprompts.h"
#include "versioninfo.h"

#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

using namespace kesto;

namespace {

void writeProgram(const QString& path, bool executable)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\nexit 0\n");
    file.close();
    QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner;
    if (executable)
        permissions |= QFile::ExeOwner;
    QVERIFY(file.setPermissions(permissions));
}

std::function<int(QDialog&)> driveWith(std::function<void(frmAbout&)> steps)
{
    return [steps](QDialog& dialog) {
        auto& about = static_cast<frmAbout&>(dialog);
        about.show();
        if (!QTest::qWaitForWindowExposed(&about))
            return int(QDialog::Rejected);
        steps(about);
        if (about.isVisible())
            about.close();
        return about.result();
    };
}

void clickButton(KestoButton* button)
{
    QTest::mouseClick(button, Qt::LeftButton, {},
                      QPoint(button->width() / 2, button->height() / 2));
}

} // namespace

class TestFrmAbout : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void labelsFromVersionRecord();
    void okCloses();
    void systemInfoLookup_data();
    void systemInfoLookup();
    void storedSetsInResourcesLoad();

private:
    QByteArray m_path;
    QByteArray m_fullPath;
    bool m_hadFullPath = false;
    sysinfo::Seams m_seams;
    QStringList m_keysRead;
    QStringList m_started;
    bool m_startSucceeds = true;
};

void TestFrmAbout::init()
{
    m_path = qgetenv("PATH");
    m_hadFullPath = qEnvironmentVariableIsSet("KESTOSCAN_SYSINFO");
    m_fullPath = qgetenv("KESTOSCAN_SYSINFO");
    m_seams = sysinfo::seams();
    m_keysRead.clear();
    m_started.clear();
    m_startSucceeds = true;
    // Record what is read, and never start a real program.
    sysinfo::seams().getKeyValue = [this](const QString& key, QString& value) {
        m_keysRead.append(key);
        return sysinfo::GetKeyValue(key, value);
    };
    sysinfo::seams().start = [this](const QString& program) {
        m_started.append(program);
        return m_startSucceeds;
    };
}

void TestFrmAbout::cleanup()
{
    sysinfo::seams() = m_seams;
    qputenv("PATH", m_path);
    if (m_hadFullPath)
        qputenv("KESTOSCAN_SYSINFO", m_fullPath);
    else
        qunsetenv("KESTOSCAN_SYSINFO");
}

void TestFrmAbout::labelsFromVersionRecord()
{
    test::FakePrompts prompts;
    prompts.dialogHandler = driveWith([](frmAbout& about) {
        QCOMPARE(about.windowTitle(), QStringLiteral("About"));
        QCOMPARE(about.lblProgramName->text(), QStringLiteral("KestoScan"));
        QCOMPARE(about.lblVersion->text(), QStringLiteral("Version 4.0.1"));
        QCOMPARE(
            about.lblDescriotion->text(),
            QStringLiteral("This program scans gel pictures and calculates expression of bands "
                           "in rel. units and in % to control"));
        QCOMPARE(about.lblCopyRight->text(), version::legalNotice());
        QVERIFY(!about.lblCopyRight->text().isEmpty());
        // The one version the package carries, and the licence in full in the box.
        QCOMPARE(about.lblVersion->text(), QStringLiteral("Version ") + version::text());
        QVERIFY(about.lblCopyRight->text().contains(
            QStringLiteral("GNU General Public License, version 3 or later")));
        QVERIFY(about.lblCopyRight->heightForWidth(about.lblCopyRight->width()) <=
                about.lblCopyRight->height());
        QVERIFY(!about.imgIcon->pixmap().isNull());
        QCOMPARE(about.cmdAction[0]->Caption(), QStringLiteral("OK"));
        QCOMPARE(about.cmdAction[0]->ToolTipText(), QStringLiteral("Return to main screen"));
        QCOMPARE(about.cmdAction[1]->Caption(), QStringLiteral("System Info"));
        QCOMPARE(about.cmdAction[1]->ToolTipText(), QStringLiteral("Show system info"));
        QCOMPARE(about.Border1->height(), 4);
        QCOMPARE(about.Border1->DarkColor(), SystemButtonShadow);
        QCOMPARE(about.Border1->LightColor(), System3DHighlight);
    });
    frmAbout::showModal(nullptr);
    QCOMPARE(prompts.dialogs, 1);
}

void TestFrmAbout::okCloses()
{
    test::FakePrompts prompts;
    bool closed = false;
    prompts.dialogHandler = driveWith([&](frmAbout& about) {
        clickButton(about.cmdAction[0]);
        closed = !about.isVisible();
    });
    frmAbout::showModal(nullptr);
    QVERIFY(closed);
    QVERIFY(m_started.isEmpty());
}

void TestFrmAbout::systemInfoLookup_data()
{
    QTest::addColumn<bool>("recordFullPath");
    QTest::addColumn<QString>("inFolder"); // a program name put in the PATH folder, or ""
    QTest::addColumn<bool>("executable");
    QTest::addColumn<bool>("startSucceeds");
    QTest::addColumn<QString>("started"); // "full", "folder" or "" for nothing
    QTest::addColumn<QStringList>("keysRead");

    const QStringList fullOnly{QStringLiteral("KESTOSCAN_SYSINFO")};
    const QStringList both{QStringLiteral("KESTOSCAN_SYSINFO"), QStringLiteral("PATH")};
    QTest::newRow("full path found: folder never read")
        << true << "kinfocenter" << true << true << "full" << fullOnly;
    QTest::newRow("program in a folder")
        << false << "kinfocenter" << true << true << "folder" << both;
    QTest::newRow("another known program in a folder")
        << false << "hardinfo" << true << true << "folder" << both;
    QTest::newRow("folder without the program") << false << "" << true << true << "" << both;
    QTest::newRow("unknown program in the folder")
        << false << "systeminfo.exe" << true << true << "" << both;
    QTest::newRow("program in folder not executable")
        << false << "kinfocenter" << false << true << "" << both;
    QTest::newRow("full path that will not start")
        << true << "" << true << false << "full" << fullOnly;
}

void TestFrmAbout::systemInfoLookup()
{
    QFETCH(bool, recordFullPath);
    QFETCH(QString, inFolder);
    QFETCH(bool, executable);
    QFETCH(bool, startSucceeds);
    QFETCH(QString, started);
    QFETCH(QStringList, keysRead);

    QTemporaryDir folder;
    QTemporaryDir elsewhere;
    QVERIFY(folder.isValid() && elsewhere.isValid());
    const QString fullPath = elsewhere.filePath(QStringLiteral("my-sysinfo"));
    writeProgram(fullPath, true);
    if (recordFullPath)
        qputenv("KESTOSCAN_SYSINFO", fullPath.toLocal8Bit());
    else
        qunsetenv("KESTOSCAN_SYSINFO");
    qputenv("PATH", folder.path().toLocal8Bit());
    if (!inFolder.isEmpty())
        writeProgram(folder.filePath(inFolder), executable);
    m_startSucceeds = startSucceeds;

    test::FakePrompts prompts;
    prompts.messageAnswers.append(MessageAnswer::Ok);
    bool stayedOpen = false;
    prompts.dialogHandler = driveWith([&](frmAbout& about) {
        clickButton(about.cmdAction[1]);
        stayedOpen = about.isVisible();
    });
    frmAbout::showModal(nullptr);

    QVERIFY(stayedOpen);
    QCOMPARE(m_keysRead, keysRead);
    if (started == QLatin1String("full"))
        QCOMPARE(m_started, QStringList{fullPath});
    else if (started == QLatin1String("folder"))
        QCOMPARE(m_started, QStringList{folder.filePath(inFolder)});
    else
        QCOMPARE(m_started, QStringList());
    const bool fails = started.isEmpty() || !startSucceeds;
    QCOMPARE(prompts.messages.size(), fails ? 1 : 0);
    if (fails) {
        QCOMPARE(prompts.messages.at(0).text,
                 QStringLiteral("System Information Is Unavailable At This Time"));
        QCOMPARE(prompts.messages.at(0).buttons, MessageButtons::Ok);
    }
}

void TestFrmAbout::storedSetsInResourcesLoad()
{
    // Every stored property set the program carries reads without error.
    QDirIterator it(QStringLiteral(":/resources/controls"), {QStringLiteral("*.json")});
    int count = 0;
    while (it.hasNext()) {
        const QString path = it.next();
        const PropertyBag bag = PropertyBag::fromFile(path);
        if (path.contains(QLatin1String("border"))) {
            Border border;
            border.readProperties(bag);
        } else {
            KestoButton button;
            button.readProperties(bag);
            QVERIFY2(button.Caption() != QLatin1String("KestoButton"), qPrintable(path));
        }
        ++count;
    }
    QCOMPARE(count, 6);
}

QTEST_MAIN(TestFrmAbout)
#include "tst_frmabout.moc"
