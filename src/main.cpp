#include "app/frmscan.h"
#include "app/kestoapplication.h"
#include "batch/batchcli.h"
#include "batch/figurecli.h"
#include "core/decoderwarnings.h"
#include "versioninfo.h"

#include <QApplication>
#include <QByteArray>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QSettings>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

void setApplicationInfo()
{
    QCoreApplication::setApplicationName(kesto::version::productName());
    QCoreApplication::setApplicationVersion(kesto::version::text());
}

// --version in the form GNU programs use: the version, then the copyright and the licence.
void printVersion()
{
    const QString text =
        kesto::version::productName() + QLatin1Char(' ') + kesto::version::text() +
        QStringLiteral(
            "\nCopyright (C) 2026 The KestoScan developers.\n"
            "License %1: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
            "This is free software: you are free to change and redistribute it.\n"
            "There is NO WARRANTY, to the extent permitted by law.\n")
            .arg(kesto::version::licence());
    std::fputs(text.toLocal8Bit().constData(), stdout);
}

// The batch commands need no display: a core application reads pictures and writes
// files, and no platform plugin is loaded. Figures and PDF reports draw text, which needs
// a GUI application: on the offscreen platform, still without a display.
int runBatch(int argc, char* argv[])
{
    std::unique_ptr<QCoreApplication> app;
    if (kesto::figureCommandDraws(argc, argv)) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    setApplicationInfo();
    QFile out;
    QFile err;
    if (!out.open(stdout, QIODevice::WriteOnly) || !err.open(stderr, QIODevice::WriteOnly))
        return kesto::BatchFailed;
    const int status = kesto::runBatchCommand(QCoreApplication::arguments().mid(1), out, err);
    out.flush();
    err.flush();
    return status;
}

void describeOptions(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        kesto::version::fileDescription() +
        QStringLiteral("\n\nWithout a window: kestoscan measure PICTURE ..., kestoscan report "
                       "INPUT ..., kestoscan lanes PICTURE ..., kestoscan results PICTURE ..., "
                       "kestoscan figure PICTURE ... and kestoscan report-pdf --plan FILE ...; see "
                       "kestoscan COMMAND --help."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("A gel picture to open at start-up."),
                                 QStringLiteral("[FILE]"));
}

// --help and --version print and end before any window exists, so they work without a
// display (in a terminal over ssh, or when a manual page is made from the help).
bool asksForHelpOrVersion(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--")
            return false;
        if (arg == "-h" || arg == "--help" || arg == "--help-all" || arg == "-?" || arg == "-v" ||
            arg == "--version")
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    // Standard error is for the program's own messages, not for decoders' notes on tags.
    kesto::silenceDecoderWarnings();
    // Decided before any application object exists: a window application would need a
    // display even to print a message.
    if (kesto::isBatchCommand(argc, argv))
        return runBatch(argc, argv);

    if (asksForHelpOrVersion(argc, argv)) {
        QCoreApplication app(argc, argv);
        setApplicationInfo();
        QCommandLineParser parser;
        describeOptions(parser);
        if (parser.parse(QCoreApplication::arguments()) &&
            parser.isSet(QStringLiteral("version")) && !parser.isSet(QStringLiteral("help")) &&
            !parser.isSet(QStringLiteral("help-all"))) {
            printVersion();
            return 0;
        }
        parser.process(app);
        return 0;
    }

    // Catches an error that escapes any event handler, says so and keeps the window open.
    kesto::KestoApplication app(argc, argv);
    setApplicationInfo();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/resources/icons/kestoscan.svg")));

    QCommandLineParser parser;
    describeOptions(parser);
    parser.process(app);

    // The panels' places are kept in the user's settings between runs.
    kesto::frmScan::setLayoutSettingsPath(QSettings(QSettings::IniFormat, QSettings::UserScope,
                                                    kesto::version::productName(),
                                                    QStringLiteral("window"))
                                              .fileName());
    kesto::frmScan window;
    window.show();
    const QStringList files = parser.positionalArguments();
    if (!files.isEmpty()) {
        // Open once the window is up, so a failure message has its parent on screen.
        const QString file = files.constFirst();
        QTimer::singleShot(0, &window, [&window, file] { window.openPicture(file); });
    }
    return app.exec();
}
