#include "app/frmscan.h"
#include "versioninfo.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QTimer>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(kesto::version::productName());
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                            .arg(kesto::version::major)
                                            .arg(kesto::version::minor)
                                            .arg(kesto::version::revision));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/resources/icons/kestoscan.svg")));

    QCommandLineParser parser;
    parser.setApplicationDescription(kesto::version::fileDescription());
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("A gel picture to open at start-up."),
                                 QStringLiteral("[FILE]"));
    parser.process(app);

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
