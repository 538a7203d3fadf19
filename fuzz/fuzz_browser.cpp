// Any bytes as the freedesktop set-up the browser lookup reads: the address to open, then files and
// variables, each after a line "== NAME" (a path under the XDG folders below, or $BROWSER or
// $XDG_CURRENT_DESKTOP). Nothing is started and nothing is read from the disk: the lookup is handed the
// files from memory and every command it would start is checked instead of run. Whatever the bytes, it
// must never hand a shell or the address to the system as the program, must put the address whole into
// exactly one argument of each command, must start nothing for an address a browser would take for an
// option, and must fall back to Debian's browser alternative last.

#include "toolkit/desktop/browserlaunch.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace tk::browserlaunch {
namespace {

const QByteArray root = "/ormex-fuzz";
const QByteArray separator = "\n== ";

// Follows the address into the commands: a low surrogate with no high surrogate before it. Decoded text
// holds low surrogates only as the second half of a pair (UTF-8 has no lone ones, and Qt replaces them
// when it decodes a file or a variable), so nothing but the address can carry this mark.
constexpr char16_t kAddressEnd = 0xDC00;

// Where each mark stands in text (the index just after it).
QList<qsizetype> marksIn(const QString &text)
{
    QList<qsizetype> ends;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QChar(kAddressEnd) && (i == 0 || !text[i - 1].isHighSurrogate()))
            ends << i + 1;
    }
    return ends;
}

// Each file's bytes in an allocation of exactly its size, so that the sanitizer sees a read past its end.
std::vector<std::unique_ptr<char[]>> g_buffers;
QHash<QString, QByteArray> g_files;

struct Command {
    QString program;
    QStringList arguments;
};
QList<Command> g_started;

QByteArray exactCopy(const QByteArray &bytes)
{
    g_buffers.push_back(std::make_unique<char[]>(size_t(bytes.size())));
    std::copy(bytes.begin(), bytes.end(), g_buffers.back().get());
    return QByteArray::fromRawData(g_buffers.back().get(), bytes.size());
}

void check(bool condition, const char *rule)
{
    if (condition)
        return;
    std::fprintf(stderr, "breach: %s\n", rule);
    std::abort();
}

bool isShell(const QString &program)
{
    static const QStringList shells{u"sh"_s,  u"bash"_s, u"dash"_s, u"zsh"_s, u"ksh"_s,     u"mksh"_s,
                                    u"csh"_s, u"tcsh"_s, u"fish"_s, u"ash"_s, u"busybox"_s, u"pwsh"_s};
    return shells.contains(program.section(u'/', -1));
}

// Every command the lookup plans for address, in order, as openBrowser tries them when none starts.
void checkCommands(const QString &address, const QByteArray &contents)
{
    const bool option = address.startsWith(u'-');
    check(!openBrowser(address), "reported a start that the starter refused");
    if (option) {
        check(g_started.isEmpty(), "started something for an address that starts with a dash");
        return;
    }
    check(!g_started.isEmpty(), "tried nothing");
    for (const Command &command : g_started) {
        check(!command.program.isEmpty(), "an empty program");
        check(marksIn(command.program).isEmpty(), "the address in the program");
        // A shell is started only where the files or variables name one themselves.
        check(!isShell(command.program) || contents.contains(command.program.section(u'/', -1).toUtf8()),
              "a shell that no file names");
        int holding = 0;
        for (const QString &argument : command.arguments) {
            const QList<qsizetype> marks = marksIn(argument);
            check(marks.size() <= 1, "the address twice in one argument");
            if (marks.size() == 1) {
                ++holding;
                const qsizetype end = marks.first();
                check(end >= address.size() &&
                          QStringView(argument).sliced(end - address.size(), address.size()) == address,
                      "the address cut or changed");
            }
        }
        check(holding == (address.isEmpty() ? 0 : 1), "the address not in exactly one argument");
    }
    const Command &last = g_started.last();
    check(last.program == u"x-www-browser"_s, "the browser alternative not last");
    check(last.arguments == (address.isEmpty() ? QStringList{} : QStringList{address}),
          "the browser alternative without the address alone");
}

} // namespace
} // namespace tk::browserlaunch

using namespace tk::browserlaunch;

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qputenv("XDG_CONFIG_HOME", root + "/config");
    qputenv("XDG_CONFIG_DIRS", root + "/etc1:" + root + "/etc2");
    qputenv("XDG_DATA_HOME", root + "/data");
    qputenv("XDG_DATA_DIRS", root + "/share1:" + root + "/share2");
    fileReader() = [](const QString &path) -> std::optional<QByteArray> {
        const auto it = g_files.constFind(path);
        if (it == g_files.constEnd())
            return std::nullopt;
        return *it;
    };
    processStarter() = [](const QString &program, const QStringList &arguments) {
        g_started.append({program, arguments});
        return false;
    };
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    g_buffers.clear();
    g_files.clear();
    g_started.clear();
    QByteArray browser;
    QByteArray desktop = "TEST";
    QByteArray contents; // of every file and variable, not their names
    qsizetype at = input.indexOf(separator);
    const QByteArray addressBytes = input.left(at < 0 ? input.size() : at);
    while (at >= 0) {
        const qsizetype nameStart = at + separator.size();
        const qsizetype nameEnd = input.indexOf('\n', nameStart);
        if (nameEnd < 0)
            break;
        const QByteArray name = input.mid(nameStart, nameEnd - nameStart);
        at = input.indexOf(separator, nameEnd);
        const QByteArray content = input.mid(nameEnd + 1, (at < 0 ? input.size() : at) - nameEnd - 1);
        contents += content + '\n';
        if (name == "$BROWSER")
            browser = content;
        else if (name == "$XDG_CURRENT_DESKTOP")
            desktop = content;
        else
            g_files.insert(QString::fromUtf8(root + '/' + name), exactCopy(content));
    }
    qputenv("BROWSER", browser);
    qputenv("XDG_CURRENT_DESKTOP", desktop);
    QString address = QString::fromUtf8(addressBytes);
    if (!address.isEmpty())
        address += QChar(kAddressEnd);
    checkCommands(address, contents);
    return 0;
}
