#pragma once

// Finding and starting the desktop's system-information program for the about box.
//
// The places where the program is recorded are environment variables: first
// KESTOSCAN_SYSINFO, the program's full path; then the folders of PATH, each searched
// for one of a few well-known system-information programs.

#include <QString>
#include <QStringList>

#include <functional>

namespace kesto::sysinfo {

inline QString fullPathKey()
{
    return QStringLiteral("KESTOSCAN_SYSINFO");
}
inline QString foldersKey()
{
    return QStringLiteral("PATH");
}

// The fixed program names looked for in the folders, most specific first.
QStringList programNames();

// Reads one recorded place. False, with value "", when nothing is recorded there.
bool GetKeyValue(const QString& key, QString& value);

// What the lookup and the start go through; tests replace these.
struct Seams
{
    std::function<bool(const QString& key, QString& value)> getKeyValue = GetKeyValue;
    // True for an existing, executable file.
    std::function<bool(const QString& path)> isProgram;
    // Starts the program on its own, in its own window, and returns at once.
    std::function<bool(const QString& program)> start;

    Seams();
};

Seams& seams();

// The program to start: the recorded full path if there is one (the folders are then
// not consulted), else the first folder holding one of the fixed names; "" for none.
QString findTool();

// Finds and starts the program; false when none was found or it did not start.
bool startTool();

} // namespace kesto::sysinfo
