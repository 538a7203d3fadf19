#include "toolkit/text/files.h"

#include "toolkit/base/errors.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace tk {

QString nativePath(const QString &programPath)
{
    QString path = programPath;
    path.replace(u'\\', u'/');
    return path;
}

QString cannotOpenMessage(const QString &programPath)
{
    return QStringLiteral("Cannot open file %1").arg(programPath);
}

namespace {

// Closes the descriptor on every way out, exceptions included.
struct FileDescriptor {
    int fd;
    ~FileDescriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

QByteArray readWholeFile(const QString &programPath, qint64 maxBytes, const QString &tooLargeMessage)
{
    const QByteArray encoded = QFile::encodeName(nativePath(programPath));
    // O_NONBLOCK: opening a pipe without a writer must not hang the program; only regular files pass.
    FileDescriptor file{::open(encoded.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)};
    struct stat info {};
    if (file.fd < 0 || ::fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode))
        throw Error(cannotOpenMessage(programPath));
    if (info.st_size > maxBytes)
        throw Error(QString(tooLargeMessage).replace(u"%s"_s, programPath));

    // Read by size, but trust only what read() gives: the file may change while we read it.
    QByteArray data;
    data.resize(qsizetype(info.st_size));
    qsizetype filled = 0;
    for (;;) {
        if (filled == data.size()) {
            if (data.size() > maxBytes)
                throw Error(QString(tooLargeMessage).replace(u"%s"_s, programPath));
            data.resize(data.size() + 4096);
        }
        const ssize_t got = ::read(file.fd, data.data() + filled, size_t(data.size() - filled));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw Error(cannotOpenMessage(programPath));
        }
        if (got == 0)
            break;
        filled += got;
    }
    if (filled > maxBytes)
        throw Error(QString(tooLargeMessage).replace(u"%s"_s, programPath));
    data.truncate(filled);
    return data;
}

} // namespace tk
