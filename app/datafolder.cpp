#include "app/datafolder.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

QString startFolder(const QString &currentFolder, const QString &executable,
                    const QString &installedExecutable, const QString &installedData)
{
    if (QFileInfo::exists(QDir(currentFolder).filePath(u"g"_s)))
        return {};
    // Compared as the file system sees them: /bin and /usr/bin are one folder on a merged system.
    const QString running = QFileInfo(executable).canonicalFilePath();
    if (running.isEmpty() || running != QFileInfo(installedExecutable).canonicalFilePath())
        return {};
    if (!QFileInfo(installedData).isDir())
        return {};
    return installedData;
}

void enterInstalledDataFolder()
{
    const QString folder =
        startFolder(QDir::currentPath(), u"/proc/self/exe"_s, QStringLiteral(ORMEX_INSTALLED_EXECUTABLE),
                    QStringLiteral(ORMEX_INSTALLED_DATA));
    if (!folder.isEmpty())
        QDir::setCurrent(folder);
}
