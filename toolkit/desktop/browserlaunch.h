#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// Starting the user's web browser with an address, without any shell in between.

namespace tk::browserlaunch {

// Starts the user's web browser with address, trying each registered browser in turn until one starts;
// false when none is registered, none could be started, or the address starts with "-" (a browser would
// take it for one of its options). The browser is not waited for.
bool openBrowser(const QString &address);

// The pieces of openBrowser, open for tests and for callers that need only one of them.

// Starts program with arguments, without any shell, and does not wait; true when it started.
bool startDetached(const QString &program, const QStringList &arguments);
using ProcessStarter = std::function<bool(const QString &program, const QStringList &arguments)>;
// The starter openBrowser uses; replaceable so that tests see the command instead of a browser.
ProcessStarter &processStarter();

// Reads one file the lookup consults (a mimeapps.list, a mimeinfo.cache, a desktop file) whole: nothing
// when path names no regular file, no bytes when it is there but cannot be read.
std::optional<QByteArray> readLookupFile(const QString &path);
using FileReader = std::function<std::optional<QByteArray>(const QString &path)>;
// The reader the lookup uses; replaceable so that the lookup can be handed files from memory.
FileReader &fileReader();

// An installed desktop file, as far as starting it needs.
struct DesktopEntry {
    QString path;
    QString exec; // the Exec value, string escapes already resolved
    QString icon;
    QString name;
};
// The desktop file registered as the default for mimeType in the mimeapps.list files, in the
// freedesktop order; nothing when no installed one is found.
std::optional<DesktopEntry> defaultApplication(const QString &mimeType);

// The desktop file ids that say they open mimeType, best first: the added associations of the
// mimeapps.list files, then the mimeinfo.cache of every applications folder, less what a file of
// higher precedence removes.
QStringList associatedApplicationIds(const QString &mimeType);
// The first of them that is installed.
std::optional<DesktopEntry> associatedApplication(const QString &mimeType);

// The mimeapps.list files in the order they are consulted.
QStringList mimeAppsFiles();

// The program and its arguments for an Exec value opened with address: a file or URL field code
// becomes the address as one argument, and without one the address is appended. Nothing when the
// value cannot be split (an unclosed quote, an empty command).
std::optional<QStringList> execArguments(const DesktopEntry &entry, const QString &address);

// The program and its arguments for one command of $BROWSER, split by the same quoting rules: %s
// becomes the address (as part of the one word it stands in), %% a percent sign, and without %s
// the address is appended.
std::optional<QStringList> browserVariableArguments(const QString &command, const QString &address);

// Every command that may open address, in the order they are tried: the default for http or html
// pages in the mimeapps.list files, then the applications associated with them, then each command
// of $BROWSER, then Debian's x-www-browser.
QList<QStringList> browserCommands(const QString &address);

} // namespace tk::browserlaunch
