#pragma once

// Runs the built kestoscan as a script would on a machine without a display: no DISPLAY,
// no Wayland, no platform chosen.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace kesto::test {

struct ProgramRun
{
    int status = -1; // -1 when the program crashed or did not finish in two minutes
    QByteArray out;
    QString err;
};

// The kestoscan the build made (KESTO_BINARY_DIR/src/kestoscan).
QString kestoscanPath();

ProgramRun runKestoscan(const QStringList& arguments);

} // namespace kesto::test
