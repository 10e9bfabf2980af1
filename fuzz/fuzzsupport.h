#pragma once

// Shared pieces of the fuzz targets: a Qt application made once on the offscreen
// platform, and a check that stops the run (so libFuzzer keeps the input) when a promise
// of the code under test is broken.

#include <QByteArray>
#include <QGuiApplication>
#include <QString>
#include <QtGlobal>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace kesto::fuzz {

// QGuiApplication keeps pointers to argc and argv, so they live as long as it does.
template <typename App> void startApplication()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's warnings about damaged input come by the thousand and only slow the run. They are
    // dropped by a handler rather than by logging rules, so that handlers the program
    // installs on top (the JPEG check of picture loading) still see them.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    static std::unique_ptr<App> app(new App(argc, argv));
}

inline QString textOf(const std::uint8_t* data, std::size_t size)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
}

[[noreturn]] inline void broken(const char* what, const QString& detail = QString())
{
    std::fprintf(stderr, "broken promise: %s\n%s\n", what, detail.toUtf8().constData());
    std::abort();
}

inline void check(bool condition, const char* what, const QString& detail = QString())
{
    if (!condition)
        broken(what, detail);
}

} // namespace kesto::fuzz
