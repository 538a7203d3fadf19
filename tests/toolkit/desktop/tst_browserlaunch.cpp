#include "toolkit/desktop/browserlaunch.h"

#include "tests/support/xdgfolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

using tk::browserlaunch::DesktopEntry;

namespace {

// Every start of a browser, instead of a browser.
struct StartedProcess {
    QString program;
    QStringList arguments;
};
QList<StartedProcess> g_started;
QStringList g_failing; // programs that behave as if they were not installed

} // namespace

class TestBrowserLaunch : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();

    void execArguments_data();
    void execArguments();
    void mimeAppsOrder();
    void defaultApplication_data();
    void defaultApplication();
    void associatedApplicationIds_data();
    void associatedApplicationIds();
    void browserVariableArguments_data();
    void browserVariableArguments();
    void openUrl_data();
    void openUrl();
    void realBrowserOpensAddress_data();
    void realBrowserOpensAddress();
    void readLookupFile_data();
    void readLookupFile();

private:
    QTemporaryDir m_xdg;
    QByteArray m_path = qgetenv("PATH");
};

void TestBrowserLaunch::initTestCase()
{
    tk::browserlaunch::processStarter() = [](const QString &program, const QStringList &arguments) {
        g_started.append({program, arguments});
        return !g_failing.contains(program);
    };
    QVERIFY(m_xdg.isValid());
}

void TestBrowserLaunch::init()
{
    g_started.clear();
    g_failing.clear();
    qunsetenv("BROWSER");
    pointXdgAt(m_xdg.path());
    writeFile(m_xdg.path() + u"/data/applications/web.desktop"_s, desktopFile("web-browser --new-window %u"));
}

void TestBrowserLaunch::execArguments_data()
{
    QTest::addColumn<QString>("exec");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QStringList>("expected"); // empty: refused
    const QString a = u"http://www.ormex.example"_s;
    const QString hostile = u"http://x/a b\"c'd;e$(touch /tmp/ormex-pwned)`id`"_s;
    QTest::newRow("url code") << u"web %u"_s << a << QStringList{u"web"_s, a};
    QTest::newRow("list code, further option kept")
        << u"web --new %U --private"_s << a << QStringList{u"web"_s, u"--new"_s, a, u"--private"_s};
    QTest::newRow("file codes") << u"web %f"_s << a << QStringList{u"web"_s, a};
    QTest::newRow("no code: address appended")
        << u"web --new-window"_s << a << QStringList{u"web"_s, u"--new-window"_s, a};
    QTest::newRow("quoted program with blanks")
        << u"\"/opt/My Web/run\" %u"_s << a << QStringList{u"/opt/My Web/run"_s, a};
    QTest::newRow("escapes inside quotes")
        << u"\"a\\\"b\\`c\\$d\\\\e\" %u"_s << a << QStringList{u"a\"b`c$d\\e"_s, a};
    QTest::newRow("quoted empty argument stays")
        << u"web \"\" %u"_s << a << QStringList{u"web"_s, QString(), a};
    QTest::newRow("runs of blanks") << u"  web   %u  "_s << a << QStringList{u"web"_s, a};
    QTest::newRow("percent sign") << u"web --x=100%% %u"_s << a << QStringList{u"web"_s, u"--x=100%"_s, a};
    QTest::newRow("code inside a word") << u"web --url=%u"_s << a << QStringList{u"web"_s, u"--url="_s + a};
    QTest::newRow("icon, name, file")
        << u"web %i %c %k %u"_s << a
        << QStringList{u"web"_s, u"--icon"_s, u"globe"_s, u"Web"_s, u"/apps/web.desktop"_s, a};
    QTest::newRow("deprecated codes dropped")
        << u"web %d %D %n %N %v %m %u"_s << a << QStringList{u"web"_s, a};
    QTest::newRow("one address only") << u"web %u %U"_s << a << QStringList{u"web"_s, a};
    QTest::newRow("empty address with code") << u"web %u"_s << QString() << QStringList{u"web"_s};
    QTest::newRow("empty address without code") << u"web"_s << QString() << QStringList{u"web"_s};
    QTest::newRow("hostile address, code") << u"web %u"_s << hostile << QStringList{u"web"_s, hostile};
    QTest::newRow("hostile address, appended") << u"web"_s << hostile << QStringList{u"web"_s, hostile};
    QTest::newRow("unclosed quote") << u"\"web %u"_s << a << QStringList{};
    QTest::newRow("unquoted semicolon") << u"web;rm %u"_s << a << QStringList{};
    QTest::newRow("unquoted substitution") << u"web $(id) %u"_s << a << QStringList{};
    QTest::newRow("unquoted backtick") << u"web `id` %u"_s << a << QStringList{};
    QTest::newRow("nothing") << u"   "_s << a << QStringList{};
    QTest::newRow("address code as the program") << u"%u --new-window"_s << a << QStringList{};
    QTest::newRow("address code inside the program") << u"/usr/bin/%u"_s << a << QStringList{};
    QTest::newRow("address code as the program, empty address") << u"%U web"_s << QString() << QStringList{};
    QTest::newRow("address code left first by dropped codes") << u"%d %f web"_s << a << QStringList{};
    QTest::newRow("only codes that expand to nothing: no program for the address")
        << u"%= %d"_s << a << QStringList{};
}

void TestBrowserLaunch::execArguments()
{
    QFETCH(QString, exec);
    QFETCH(QString, address);
    QFETCH(QStringList, expected);
    const DesktopEntry entry{u"/apps/web.desktop"_s, exec, u"globe"_s, u"Web"_s};
    const std::optional<QStringList> arguments = tk::browserlaunch::execArguments(entry, address);
    if (expected.isEmpty())
        QVERIFY(!arguments);
    else
        QCOMPARE(arguments.value_or(QStringList{u"<refused>"_s}), expected);
}

void TestBrowserLaunch::mimeAppsOrder()
{
    const QString r = m_xdg.path();
    pointXdgAt(r, "Ormex:TEST");
    const QStringList expected{
        r + u"/config/ormex-mimeapps.list"_s,
        r + u"/config/test-mimeapps.list"_s,
        r + u"/config/mimeapps.list"_s,
        r + u"/etc1/ormex-mimeapps.list"_s,
        r + u"/etc1/test-mimeapps.list"_s,
        r + u"/etc1/mimeapps.list"_s,
        r + u"/etc2/ormex-mimeapps.list"_s,
        r + u"/etc2/test-mimeapps.list"_s,
        r + u"/etc2/mimeapps.list"_s,
        r + u"/data/applications/ormex-mimeapps.list"_s,
        r + u"/data/applications/test-mimeapps.list"_s,
        r + u"/data/applications/mimeapps.list"_s,
        r + u"/share1/applications/ormex-mimeapps.list"_s,
        r + u"/share1/applications/test-mimeapps.list"_s,
        r + u"/share1/applications/mimeapps.list"_s,
        r + u"/share2/applications/ormex-mimeapps.list"_s,
        r + u"/share2/applications/test-mimeapps.list"_s,
        r + u"/share2/applications/mimeapps.list"_s,
    };
    QCOMPARE(tk::browserlaunch::mimeAppsFiles(), expected);
}

void TestBrowserLaunch::defaultApplication_data()
{
    // Files (relative to the root) and their default for http; the desktop file expected to win.
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("defaults");
    QTest::addColumn<QString>("winner"); // relative path, empty for none
    QTest::newRow("system folder only") << QStringList{u"share2/applications/mimeapps.list"_s}
                                        << QStringList{u"b.desktop"_s} << u"share2/applications/b.desktop"_s;
    QTest::newRow("user configuration before system data")
        << QStringList{u"share1/applications/mimeapps.list"_s, u"config/mimeapps.list"_s}
        << QStringList{u"a.desktop"_s, u"b.desktop"_s} << u"share2/applications/b.desktop"_s;
    QTest::newRow("desktop-specific file before the plain one in a folder")
        << QStringList{u"config/mimeapps.list"_s, u"config/test-mimeapps.list"_s}
        << QStringList{u"a.desktop"_s, u"b.desktop"_s} << u"share2/applications/b.desktop"_s;
    QTest::newRow("plain user file before desktop-specific system configuration")
        << QStringList{u"etc1/test-mimeapps.list"_s, u"config/mimeapps.list"_s}
        << QStringList{u"a.desktop"_s, u"b.desktop"_s} << u"share2/applications/b.desktop"_s;
    QTest::newRow("configuration folders in their order")
        << QStringList{u"etc2/mimeapps.list"_s, u"etc1/mimeapps.list"_s}
        << QStringList{u"a.desktop"_s, u"b.desktop"_s} << u"share2/applications/b.desktop"_s;
    QTest::newRow("missing default gives way within the list")
        << QStringList{u"config/mimeapps.list"_s} << QStringList{u"gone.desktop;b.desktop;"_s}
        << u"share2/applications/b.desktop"_s;
    QTest::newRow("missing default gives way to the next file")
        << QStringList{u"config/mimeapps.list"_s, u"etc1/mimeapps.list"_s}
        << QStringList{u"gone.desktop"_s, u"a.desktop"_s} << u"data/applications/a.desktop"_s;
    QTest::newRow("dash stands for a sub-folder")
        << QStringList{u"config/mimeapps.list"_s} << QStringList{u"vendor-web.desktop"_s}
        << u"data/applications/vendor/web.desktop"_s;
    QTest::newRow("user data before system data")
        << QStringList{u"config/mimeapps.list"_s} << QStringList{u"both.desktop"_s}
        << u"data/applications/both.desktop"_s;
    QTest::newRow("hidden entry is not a browser")
        << QStringList{u"config/mimeapps.list"_s} << QStringList{u"hidden.desktop"_s} << QString();
    QTest::newRow("path instead of an id")
        << QStringList{u"config/mimeapps.list"_s} << QStringList{u"../applications/a.desktop"_s} << QString();
    QTest::newRow("nothing registered") << QStringList{} << QStringList{} << QString();
}

void TestBrowserLaunch::defaultApplication()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, defaults);
    QFETCH(QString, winner);
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString r = root.path();
    pointXdgAt(r);
    writeFile(r + u"/data/applications/a.desktop"_s, desktopFile("a %u"));
    writeFile(r + u"/share2/applications/b.desktop"_s, desktopFile("b %u"));
    writeFile(r + u"/data/applications/vendor/web.desktop"_s, desktopFile("v %u"));
    writeFile(r + u"/data/applications/both.desktop"_s, desktopFile("user %u"));
    writeFile(r + u"/share1/applications/both.desktop"_s, desktopFile("system %u"));
    writeFile(r + u"/data/applications/hidden.desktop"_s, desktopFile("h %u") + "Hidden=true\n");
    for (qsizetype i = 0; i < files.size(); ++i)
        writeFile(r + u'/' + files[i],
                  "[Added Associations]\nx-scheme-handler/http=a.desktop\n\n[Default Applications]\n"
                  "text/plain=a.desktop\nx-scheme-handler/http=" +
                      defaults[i].toUtf8() + "\n");
    const std::optional<DesktopEntry> entry =
        tk::browserlaunch::defaultApplication(u"x-scheme-handler/http"_s);
    QCOMPARE(entry ? entry->path : QString(), winner.isEmpty() ? QString() : r + u'/' + winner);
}

void TestBrowserLaunch::associatedApplicationIds_data()
{
    // Each file (relative to the root) with its content for http; the ids expected, best first.
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("contents");
    QTest::addColumn<QStringList>("expected");
    const QString added = u"[Added Associations]\nx-scheme-handler/http="_s;
    const QString removed = u"[Removed Associations]\nx-scheme-handler/http="_s;
    const QString cache = u"[MIME Cache]\nx-scheme-handler/http="_s;
    QTest::newRow("added associations in file order")
        << QStringList{u"etc1/mimeapps.list"_s, u"config/mimeapps.list"_s}
        << QStringList{added + u"b.desktop;"_s, added + u"a.desktop;c.desktop"_s}
        << QStringList{u"a.desktop"_s, u"c.desktop"_s, u"b.desktop"_s};
    QTest::newRow("caches after every list, user data first")
        << QStringList{u"share1/applications/mimeinfo.cache"_s, u"data/applications/mimeinfo.cache"_s,
                       u"share2/applications/mimeapps.list"_s}
        << QStringList{cache + u"s.desktop"_s, cache + u"u.desktop"_s, added + u"l.desktop"_s}
        << QStringList{u"u.desktop"_s, u"s.desktop"_s, u"l.desktop"_s};
    QTest::newRow("removal holds for lower precedence only")
        << QStringList{u"config/mimeapps.list"_s, u"etc1/mimeapps.list"_s,
                       u"share1/applications/mimeinfo.cache"_s}
        << QStringList{added + u"a.desktop\n"_s + removed + u"b.desktop"_s, added + u"b.desktop;c.desktop"_s,
                       cache + u"b.desktop;d.desktop"_s}
        << QStringList{u"a.desktop"_s, u"c.desktop"_s, u"d.desktop"_s};
    QTest::newRow("removal does not reach back")
        << QStringList{u"config/mimeapps.list"_s, u"etc1/mimeapps.list"_s}
        << QStringList{added + u"a.desktop"_s, removed + u"a.desktop"_s} << QStringList{u"a.desktop"_s};
    QTest::newRow("named twice, listed once")
        << QStringList{u"config/mimeapps.list"_s, u"share2/applications/mimeinfo.cache"_s}
        << QStringList{added + u"a.desktop;a.desktop"_s, cache + u"a.desktop"_s}
        << QStringList{u"a.desktop"_s};
    QTest::newRow("cache outside an applications folder is not read")
        << QStringList{u"config/mimeinfo.cache"_s} << QStringList{cache + u"a.desktop"_s} << QStringList{};
}

void TestBrowserLaunch::associatedApplicationIds()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, contents);
    QFETCH(QStringList, expected);
    QTemporaryDir root;
    QVERIFY(root.isValid());
    pointXdgAt(root.path());
    for (qsizetype i = 0; i < files.size(); ++i)
        writeFile(root.path() + u'/' + files[i], contents[i].toUtf8() + "\n");
    QCOMPARE(tk::browserlaunch::associatedApplicationIds(u"x-scheme-handler/http"_s), expected);
}

void TestBrowserLaunch::browserVariableArguments_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("expected"); // empty: refused
    const QString a = u"http://www.ormex.example/?q=1&r=%20"_s;
    QTest::newRow("placeholder") << u"web %s"_s << QStringList{u"web"_s, a};
    QTest::newRow("no placeholder: appended") << u"web"_s << QStringList{u"web"_s, a};
    QTest::newRow("options after the placeholder kept")
        << u"web --new %s --private"_s << QStringList{u"web"_s, u"--new"_s, a, u"--private"_s};
    QTest::newRow("placeholder inside a word") << u"web --url=%s"_s << QStringList{u"web"_s, u"--url="_s + a};
    QTest::newRow("percent sign") << u"web --zoom=90%% %s"_s << QStringList{u"web"_s, u"--zoom=90%"_s, a};
    QTest::newRow("quoted program") << u"\"/opt/My Web/run\" %s"_s << QStringList{u"/opt/My Web/run"_s, a};
    QTest::newRow("shell syntax refused") << u"web %s; rm -rf ~"_s << QStringList{};
    QTest::newRow("unclosed quote refused") << u"\"web %s"_s << QStringList{};
    QTest::newRow("placeholder as the program refused") << u"%s --new-window"_s << QStringList{};
    QTest::newRow("placeholder inside the program refused") << u"/opt/%s/web"_s << QStringList{};
    QTest::newRow("one address only") << u"web %s %s"_s << QStringList{u"web"_s, a};
    QTest::newRow("later placeholder inside a word")
        << u"web %s --x=%s"_s << QStringList{u"web"_s, a, u"--x="_s};
    QTest::newRow("later placeholder quoted") << u"web %s \"%s\""_s << QStringList{u"web"_s, a, QString()};
}

void TestBrowserLaunch::browserVariableArguments()
{
    QFETCH(QString, command);
    QFETCH(QStringList, expected);
    const std::optional<QStringList> arguments =
        tk::browserlaunch::browserVariableArguments(command, u"http://www.ormex.example/?q=1&r=%20"_s);
    if (expected.isEmpty())
        QVERIFY(!arguments);
    else
        QCOMPARE(arguments.value_or(QStringList{u"<refused>"_s}), expected);
}

void TestBrowserLaunch::openUrl_data()
{
    // What is registered, which programs fail to start, and every start tried in order.
    QTest::addColumn<QByteArray>("mimeapps");
    QTest::addColumn<QByteArray>("cache");
    QTest::addColumn<QByteArray>("browser");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QStringList>("failing");
    QTest::addColumn<QStringList>("tried");
    QTest::addColumn<bool>("started");
    const QString a = u"http://a"_s;
    const QStringList none;
    QTest::newRow("http default") << QByteArray("x-scheme-handler/http=web.desktop") << QByteArray()
                                  << QByteArray() << a << none << QStringList{u"web-browser"_s} << true;
    QTest::newRow("html default") << QByteArray("text/html=web.desktop") << QByteArray() << QByteArray() << a
                                  << none << QStringList{u"web-browser"_s} << true;
    QTest::newRow("html default beats an http cache entry")
        << QByteArray("text/html=web.desktop") << QByteArray("x-scheme-handler/http=cached.desktop;")
        << QByteArray() << a << none << QStringList{u"web-browser"_s} << true;
    QTest::newRow("cache only") << QByteArray() << QByteArray("x-scheme-handler/http=cached.desktop;")
                                << QByteArray() << a << none << QStringList{u"cached-browser"_s} << true;
    QTest::newRow("browser variable, first that starts")
        << QByteArray() << QByteArray() << QByteArray("gone %s:second") << a << QStringList{u"gone"_s}
        << QStringList{u"gone"_s, u"second"_s} << true;
    QTest::newRow("default that cannot start gives way")
        << QByteArray("x-scheme-handler/http=web.desktop") << QByteArray() << QByteArray("other") << a
        << QStringList{u"web-browser"_s} << QStringList{u"web-browser"_s, u"other"_s} << true;
    QTest::newRow("debian alternative last") << QByteArray() << QByteArray() << QByteArray() << a << none
                                             << QStringList{u"x-www-browser"_s} << true;
    QTest::newRow("nothing starts") << QByteArray() << QByteArray() << QByteArray("gone") << a
                                    << QStringList{u"gone"_s, u"x-www-browser"_s}
                                    << QStringList{u"gone"_s, u"x-www-browser"_s} << false;
    QTest::newRow("address the browser would take for an option")
        << QByteArray("x-scheme-handler/http=web.desktop") << QByteArray() << QByteArray()
        << u"--user-data-dir=/tmp/x"_s << none << QStringList{} << false;
}

void TestBrowserLaunch::openUrl()
{
    QFETCH(QByteArray, mimeapps);
    QFETCH(QByteArray, cache);
    QFETCH(QByteArray, browser);
    QFETCH(QString, address);
    QFETCH(QStringList, failing);
    QFETCH(QStringList, tried);
    QFETCH(bool, started);
    writeFile(m_xdg.path() + u"/data/applications/cached.desktop"_s, desktopFile("cached-browser %u"));
    writeFile(m_xdg.path() + u"/config/mimeapps.list"_s, "[Default Applications]\n" + mimeapps + "\n");
    writeFile(m_xdg.path() + u"/share1/applications/mimeinfo.cache"_s, "[MIME Cache]\n" + cache + "\n");
    qputenv("BROWSER", browser);
    g_failing = failing;
    QCOMPARE(tk::browserlaunch::openBrowser(address), started);
    QStringList programs;
    for (const StartedProcess &p : g_started) {
        programs << p.program;
        QCOMPARE(p.arguments.last(), address);
    }
    QCOMPARE(programs, tried);
}

void TestBrowserLaunch::realBrowserOpensAddress_data()
{
    QTest::addColumn<QString>("way");
    QTest::newRow("registered only in the MIME cache") << u"cache"_s;
    QTest::newRow("only in $BROWSER") << u"variable"_s;
    QTest::newRow("only as x-www-browser") << u"debian"_s;
}

void TestBrowserLaunch::realBrowserOpensAddress()
{
    QFETCH(QString, way);
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString r = root.path();
    pointXdgAt(r);
    // A stand-in browser that writes down the arguments it got, one per line.
    const QString out = r + u"/opened.txt"_s;
    const QString script = r + u"/bin/"_s + (way == u"debian"_s ? u"x-www-browser"_s : u"fake browser"_s);
    writeFile(script, "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + out.toUtf8() + ".part'\n/bin/mv '" +
                          out.toUtf8() + ".part' '" + out.toUtf8() + "'\n");
    QVERIFY(QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    qputenv("PATH", (r + u"/bin"_s).toUtf8());
    qunsetenv("BROWSER");
    if (way == u"cache"_s) {
        writeFile(r + u"/share2/applications/fake.desktop"_s, desktopFile("\"" + script.toUtf8() + "\" %u"));
        writeFile(r + u"/share2/applications/mimeinfo.cache"_s,
                  "[MIME Cache]\nx-scheme-handler/http=fake.desktop;\n");
    } else if (way == u"variable"_s) {
        qputenv("BROWSER", "/nowhere/browser:\"" + script.toUtf8() + "\" --new-tab %s");
    }
    const QString address = u"http://www.ormex.example/a b?c=\"d\"&e=$(id)"_s;
    const tk::browserlaunch::ProcessStarter recording = tk::browserlaunch::processStarter();
    tk::browserlaunch::processStarter() = tk::browserlaunch::startDetached;
    const bool opened = tk::browserlaunch::openBrowser(address);
    tk::browserlaunch::processStarter() = recording;
    qputenv("PATH", m_path);
    QVERIFY(opened);
    QTRY_VERIFY(QFileInfo::exists(out));
    QFile file(out);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString expected = way == u"variable"_s ? u"--new-tab\n"_s + address : address;
    QCOMPARE(QString::fromUtf8(file.readAll()), expected + u'\n');
}

void TestBrowserLaunch::readLookupFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<std::optional<QByteArray>>("expected");
    QTest::newRow("file") << u"file"_s << std::optional<QByteArray>("[MIME Cache]\n");
    QTest::newRow("empty file") << u"empty"_s << std::optional<QByteArray>(QByteArray());
    QTest::newRow("missing") << u"missing"_s << std::optional<QByteArray>();
    QTest::newRow("folder") << u"folder"_s << std::optional<QByteArray>();
    // Opening a fifo would wait for a writer that never comes.
    QTest::newRow("fifo") << u"fifo"_s << std::optional<QByteArray>();
}

void TestBrowserLaunch::readLookupFile()
{
    QFETCH(QString, kind);
    QFETCH(std::optional<QByteArray>, expected);
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString path = root.path() + u"/mimeinfo.cache"_s;
    if (kind == u"file"_s || kind == u"empty"_s)
        writeFile(path, expected.value_or(QByteArray()));
    else if (kind == u"folder"_s)
        QVERIFY(QDir().mkpath(path));
    else if (kind == u"fifo"_s)
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    QCOMPARE(tk::browserlaunch::readLookupFile(path), expected);
}

QTEST_GUILESS_MAIN(TestBrowserLaunch)

#include "tst_browserlaunch.moc"
