#include "support/runprogram.h"

#include <QProcess>
#include <QProcessEnvironment>

namespace kesto::test {

QString kestoscanPath()
{
    return qEnvironmentVariable("KESTO_BINARY_DIR") + QStringLiteral("/src/kestoscan");
}

ProgramRun runKestoscan(const QStringList& arguments)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(kestoscanPath(), arguments);
    ProgramRun run;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

} // namespace kesto::test
