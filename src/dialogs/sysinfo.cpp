#include "dialogs/sysinfo.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace kesto::sysinfo {

QStringList programNames()
{
    return {QStringLiteral("hardinfo2"), QStringLiteral("hardinfo"), QStringLiteral("kinfocenter"),
            QStringLiteral("gnome-system-monitor")};
}

bool GetKeyValue(const QString& key, QString& value)
{
    value = qEnvironmentVariable(key.toLatin1().constData());
    return !value.isEmpty();
}

Seams::Seams()
    : isProgram([](const QString& path) {
          const QFileInfo info(path);
          return info.isFile() && info.isExecutable();
      }),
      start([](const QString& program) { return QProcess::startDetached(program, QStringList()); })
{
}

Seams& seams()
{
    static Seams current;
    return current;
}

QString findTool()
{
    QString value;
    if (seams().getKeyValue(fullPathKey(), value))
        return value;
    if (!seams().getKeyValue(foldersKey(), value))
        return QString();
    const QStringList folders = value.split(QDir::listSeparator(), Qt::SkipEmptyParts);
    for (const QString& folder : folders) {
        for (const QString& name : programNames()) {
            const QString candidate = QDir(folder).filePath(name);
            if (seams().isProgram(candidate))
                return candidate;
        }
    }
    return QString();
}

bool startTool()
{
    const QString tool = findTool();
    return !tool.isEmpty() && seams().start(tool);
}

} // namespace kesto::sysinfo
