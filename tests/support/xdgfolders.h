#pragma once

// A private freedesktop set-up for tests of the browser lookup: files written under a temporary root,
// and every XDG folder pointed into it, so that nothing of the machine's own set-up is read.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTest>

inline void writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

inline QByteArray desktopFile(const QByteArray &exec)
{
    return "[Desktop Entry]\nType=Application\nName=Browser\nExec=" + exec + "\n";
}

inline void pointXdgAt(const QString &root, const QByteArray &desktop = "TEST")
{
    using namespace Qt::StringLiterals;
    qputenv("XDG_CONFIG_HOME", (root + u"/config"_s).toUtf8());
    qputenv("XDG_CONFIG_DIRS", (root + u"/etc1:"_s + root + u"/etc2"_s).toUtf8());
    qputenv("XDG_DATA_HOME", (root + u"/data"_s).toUtf8());
    qputenv("XDG_DATA_DIRS", (root + u"/share1:"_s + root + u"/share2"_s).toUtf8());
    qputenv("XDG_CURRENT_DESKTOP", desktop);
}
