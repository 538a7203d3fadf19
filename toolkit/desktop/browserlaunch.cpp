#include "toolkit/desktop/browserlaunch.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>

using namespace Qt::StringLiterals;

namespace tk::browserlaunch {

namespace {

QString envOr(const char *name, const QString &fallback)
{
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? fallback : value;
}

QStringList envList(const char *name, const QString &fallback)
{
    QStringList dirs;
    for (const QString &dir : envOr(name, fallback).split(u':', Qt::SkipEmptyParts))
        dirs << dir;
    return dirs;
}

QString configHome()
{
    return envOr("XDG_CONFIG_HOME", QDir::homePath() + u"/.config"_s);
}

QString dataHome()
{
    return envOr("XDG_DATA_HOME", QDir::homePath() + u"/.local/share"_s);
}

QStringList applicationDirs()
{
    QStringList dirs{dataHome() + u"/applications"_s};
    for (const QString &dir : envList("XDG_DATA_DIRS", u"/usr/local/share:/usr/share"_s))
        dirs << dir + u"/applications"_s;
    return dirs;
}

std::optional<QByteArray> lookupFile(const QString &path)
{
    const FileReader &read = fileReader();
    return read ? read(path) : std::nullopt;
}

// The [group] of a freedesktop key file as key -> raw value; localised keys are left out.
QHash<QString, QString> readGroup(const QByteArray &content, const QString &group)
{
    QHash<QString, QString> keys;
    bool inGroup = false;
    const QList<QByteArray> lines = content.split('\n');
    for (const QByteArray &raw : lines) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            inGroup = line == u'[' + group + u']';
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (!inGroup || eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed();
        if (!keys.contains(key)) // the first occurrence counts
            keys.insert(key, line.mid(eq + 1).trimmed());
    }
    return keys;
}

QHash<QString, QString> readGroup(const QString &path, const QString &group)
{
    return readGroup(lookupFile(path).value_or(QByteArray()), group);
}

// The escapes every string value of a desktop file may hold.
QString unescapeValue(const QString &value)
{
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c != u'\\' || i + 1 == value.size()) {
            out += c;
            continue;
        }
        const QChar n = value[++i];
        if (n == u's')
            out += u' ';
        else if (n == u'n')
            out += u'\n';
        else if (n == u't')
            out += u'\t';
        else if (n == u'r')
            out += u'\r';
        else if (n == u'\\')
            out += u'\\';
        else
            out += QString(c) + n; // left for the Exec quoting rules (\" \` \$ inside quotes)
    }
    return out;
}

std::optional<DesktopEntry> loadEntry(const QString &path, const QByteArray &content)
{
    const QHash<QString, QString> keys = readGroup(content, u"Desktop Entry"_s);
    if (keys.value(u"Type"_s) != u"Application"_s || keys.value(u"Hidden"_s) == u"true"_s)
        return std::nullopt;
    DesktopEntry entry{path, unescapeValue(keys.value(u"Exec"_s)), unescapeValue(keys.value(u"Icon"_s)),
                       unescapeValue(keys.value(u"Name"_s))};
    if (entry.exec.isEmpty())
        return std::nullopt;
    return entry;
}

// A desktop file id names a file under an applications folder; dashes in the id may stand for
// sub-folders ("vendor-app.desktop" is also "vendor/app.desktop").
std::optional<DesktopEntry> findEntry(const QString &id)
{
    if (id.isEmpty() || id.contains(u'/') || !id.endsWith(u".desktop"_s))
        return std::nullopt;
    for (const QString &dir : applicationDirs()) {
        QStringList candidates{id};
        for (qsizetype dash = id.indexOf(u'-'); dash > 0; dash = id.indexOf(u'-', dash + 1)) {
            QString nested = id;
            nested[dash] = u'/';
            candidates << nested;
        }
        for (const QString &name : candidates) {
            const QString path = dir + u'/' + name;
            if (const std::optional<QByteArray> content = lookupFile(path))
                return loadEntry(path, *content);
        }
    }
    return std::nullopt;
}

bool reservedOutsideQuotes(QChar c)
{
    return QStringView(u"\t\n\"'\\><~|&;$*?#()`").contains(c);
}

// One word of an Exec value as written: its text and whether it was quoted.
struct ExecWord {
    QString text;
    bool quoted = false;
};

std::optional<QList<ExecWord>> splitExec(const QString &exec)
{
    QList<ExecWord> words;
    ExecWord word;
    bool inWord = false, inQuotes = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (inQuotes) {
            if (c == u'"') {
                inQuotes = false;
            } else if (c == u'\\' && i + 1 < exec.size() && QStringView(u"\"`$\\").contains(exec[i + 1])) {
                word.text += exec[++i];
            } else {
                word.text += c;
            }
        } else if (c == u' ') {
            if (inWord)
                words << word;
            word = {};
            inWord = false;
        } else if (c == u'"') {
            inQuotes = inWord = word.quoted = true;
        } else if (reservedOutsideQuotes(c)) {
            // The rules want these quoted; an entry that does not is broken, not to be guessed at.
            return std::nullopt;
        } else {
            word.text += c;
            inWord = true;
        }
    }
    if (inQuotes)
        return std::nullopt;
    if (inWord)
        words << word;
    return words;
}

} // namespace

bool startDetached(const QString &program, const QStringList &arguments)
{
    // Fork and exec, no shell: the address can never be read as anything but one argument.
    return QProcess::startDetached(program, arguments);
}

ProcessStarter &processStarter()
{
    static ProcessStarter starter = startDetached;
    return starter;
}

std::optional<QByteArray> readLookupFile(const QString &path)
{
    // Not a fifo or a device either: opening one could wait for ever or read without end.
    if (!QFileInfo(path).isFile())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

FileReader &fileReader()
{
    static FileReader reader = readLookupFile;
    return reader;
}

namespace {

// One folder of the lookup: its mimeapps.list files, and whether it is an applications folder,
// which may also hold the cache that installing desktop files builds.
struct LookupDir {
    QString path;
    bool applications = false;
};

QList<LookupDir> lookupDirs()
{
    QList<LookupDir> dirs{{configHome(), false}};
    for (const QString &dir : envList("XDG_CONFIG_DIRS", u"/etc/xdg"_s))
        dirs.append({dir, false});
    for (const QString &dir : applicationDirs())
        dirs.append({dir, true});
    return dirs;
}

// The desktop-specific files come before the plain one in every folder.
QStringList mimeAppsFilesIn(const QString &dir)
{
    QStringList files;
    for (const QString &d : qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(u':', Qt::SkipEmptyParts))
        files << dir + u'/' + d.toLower() + u"-mimeapps.list"_s;
    files << dir + u"/mimeapps.list"_s;
    return files;
}

QStringList idsIn(const QString &file, const QString &group, const QString &mimeType)
{
    QStringList ids;
    for (const QString &id : readGroup(file, group).value(mimeType).split(u';', Qt::SkipEmptyParts))
        ids << id.trimmed();
    return ids;
}

} // namespace

QStringList mimeAppsFiles()
{
    QStringList files;
    for (const LookupDir &dir : lookupDirs())
        files << mimeAppsFilesIn(dir.path);
    return files;
}

std::optional<DesktopEntry> defaultApplication(const QString &mimeType)
{
    for (const QString &file : mimeAppsFiles()) {
        // A default that is not installed gives way to the next one, then to the next file.
        for (const QString &id : idsIn(file, u"Default Applications"_s, mimeType)) {
            if (std::optional<DesktopEntry> entry = findEntry(id))
                return entry;
        }
    }
    return std::nullopt;
}

QStringList associatedApplicationIds(const QString &mimeType)
{
    QStringList ids, removed;
    auto add = [&](const QStringList &found) {
        for (const QString &id : found)
            if (!removed.contains(id) && !ids.contains(id))
                ids << id;
    };
    for (const LookupDir &dir : lookupDirs()) {
        for (const QString &file : mimeAppsFilesIn(dir.path)) {
            add(idsIn(file, u"Added Associations"_s, mimeType));
            // A removal holds for every file and cache of lower precedence, not for what came before.
            removed << idsIn(file, u"Removed Associations"_s, mimeType);
        }
        if (dir.applications)
            add(idsIn(dir.path + u"/mimeinfo.cache"_s, u"MIME Cache"_s, mimeType));
    }
    return ids;
}

std::optional<DesktopEntry> associatedApplication(const QString &mimeType)
{
    for (const QString &id : associatedApplicationIds(mimeType)) {
        if (std::optional<DesktopEntry> entry = findEntry(id))
            return entry;
    }
    return std::nullopt;
}
std::optional<QStringList> execArguments(const DesktopEntry &entry, const QString &address)
{
    const std::optional<QList<ExecWord>> words = splitExec(entry.exec);
    if (!words || words->isEmpty())
        return std::nullopt;
    QStringList arguments;
    bool addressPlaced = false;
    for (const ExecWord &word : *words) {
        const QString &w = word.text;
        if (!word.quoted && w == u"%i"_s) {
            if (!entry.icon.isEmpty())
                arguments << u"--icon"_s << entry.icon;
            continue;
        }
        QString out;
        bool onlyCodes = true;    // the word was nothing but field codes
        bool expandedAny = false; // one of them put text in
        const bool addressBefore = addressPlaced;
        for (qsizetype i = 0; i < w.size(); ++i) {
            if (w[i] != u'%' || i + 1 == w.size()) {
                out += w[i];
                onlyCodes = false;
                continue;
            }
            const QChar code = w[++i];
            switch (code.unicode()) {
            case '%':
                out += u'%';
                onlyCodes = false;
                break;
            case 'u':
            case 'U':
            case 'f':
            case 'F':
                // One address, and only where the first such code stands.
                if (!addressPlaced) {
                    addressPlaced = true;
                    out += address;
                    expandedAny = expandedAny || !address.isEmpty();
                }
                break;
            case 'c':
                out += entry.name;
                expandedAny = expandedAny || !entry.name.isEmpty();
                break;
            case 'k':
                out += entry.path;
                expandedAny = expandedAny || !entry.path.isEmpty();
                break;
            default:
                break; // %i inside a word, the deprecated codes and unknown ones expand to nothing
            }
        }
        // The address is never run as the program, whatever it holds.
        if (arguments.isEmpty() && addressPlaced && !addressBefore)
            return std::nullopt;
        if (onlyCodes && !expandedAny && !word.quoted)
            continue;
        arguments << out;
    }
    // A command whose every word expanded to nothing has no program, and an appended address would
    // become it.
    if (arguments.isEmpty() || arguments.first().isEmpty())
        return std::nullopt;
    // Without a field code the address goes last, as a word of its own; an empty one adds nothing.
    if (!addressPlaced && !address.isEmpty())
        arguments << address;
    return arguments;
}

std::optional<QStringList> browserVariableArguments(const QString &command, const QString &address)
{
    const std::optional<QList<ExecWord>> words = splitExec(command);
    if (!words || words->isEmpty())
        return std::nullopt;
    QStringList arguments;
    bool addressPlaced = false;
    for (const ExecWord &word : *words) {
        QString out;
        bool onlyLaterPlaceholders = true; // the word was nothing but placeholders after the first
        for (qsizetype i = 0; i < word.text.size(); ++i) {
            const QChar c = word.text[i];
            if (c == u'%' && i + 1 < word.text.size() && word.text[i + 1] == u's') {
                // One address, where the first placeholder stands, and never as the program.
                if (!addressPlaced) {
                    if (arguments.isEmpty())
                        return std::nullopt;
                    out += address;
                    addressPlaced = true;
                    onlyLaterPlaceholders = false;
                }
                ++i;
            } else if (c == u'%' && i + 1 < word.text.size() && word.text[i + 1] == u'%') {
                out += u'%';
                onlyLaterPlaceholders = false;
                ++i;
            } else {
                out += c;
                onlyLaterPlaceholders = false;
            }
        }
        if (onlyLaterPlaceholders && !word.quoted && !word.text.isEmpty())
            continue;
        arguments << out;
    }
    if (!addressPlaced && !address.isEmpty())
        arguments << address;
    if (arguments.isEmpty() || arguments.first().isEmpty())
        return std::nullopt;
    return arguments;
}

QList<QStringList> browserCommands(const QString &address)
{
    QList<QStringList> commands;
    auto fromEntry = [&](const std::optional<DesktopEntry> &entry) {
        if (!entry)
            return;
        if (std::optional<QStringList> command = execArguments(*entry, address);
            command && !commands.contains(*command))
            commands << *command;
    };
    // The user's chosen default for either type beats whatever merely says it can open one.
    const QString types[] = {u"x-scheme-handler/http"_s, u"text/html"_s};
    for (const QString &type : types)
        fromEntry(defaultApplication(type));
    for (const QString &type : types)
        fromEntry(associatedApplication(type));
    for (const QString &command : qEnvironmentVariable("BROWSER").split(u':', Qt::SkipEmptyParts)) {
        if (std::optional<QStringList> arguments = browserVariableArguments(command, address))
            commands << *arguments;
    }
    QStringList debian{u"x-www-browser"_s};
    if (!address.isEmpty())
        debian << address;
    commands << debian;
    return commands;
}

bool openBrowser(const QString &address)
{
    if (address.startsWith(u'-'))
        return false;
    const ProcessStarter &start = processStarter();
    if (!start)
        return false;
    // A browser that is registered but cannot be started gives way to the next one.
    for (QStringList command : browserCommands(address)) {
        const QString program = command.takeFirst();
        if (start(program, command))
            return true;
    }
    return false;
}

} // namespace tk::browserlaunch
