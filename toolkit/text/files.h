#pragma once

#include <QByteArray>
#include <QString>

namespace tk {

// Paths are kept as the program spells them ("g\7.jpg") and shown that way in messages;
// only the file system sees the platform's separator.
QString nativePath(const QString &programPath);

// Reads a whole regular file. Anything that cannot be opened as one (missing, unreadable, a directory,
// a pipe or device) raises "Cannot open file %s" with the path as the program spells it; a file longer
// than maxBytes raises tooLargeMessage (with %s replaced by the path) without reading its content.
QByteArray readWholeFile(const QString &programPath, qint64 maxBytes, const QString &tooLargeMessage);

QString cannotOpenMessage(const QString &programPath);

} // namespace tk
