#include "browserlaunch.h"

#include "../../support/xdgfolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using browserlaunch::DesktopEntry;

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

private:
    QTemporaryDir m_xdg;
    QByteArray m_path = qgetenv("PATH");
};

void TestBrowserLaunch::initTestCase()
{
    browserlaunch::processStarter() = [](const QString &program, const QStringList &arguments) {
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
    writeFile(m_xdg.path() + u"/data/applications/web.desktop"_qs,
              desktopFile("web-browser --new-window %u"));
}

void TestBrowserLaunch::execArguments_data()
{
    QTest::addColumn<QString>("exec");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QStringList>("expected"); // empty: refused
    const QString a = u"http://www.ormex.example"_qs;
    const QString hostile = u"http://x/a b\"c'd;e$(touch /tmp/ormex-pwned)`id`"_qs;
    QTest::newRow("url code") << u"web %u"_qs << a << QStringList{u"web"_qs, a};
    QTest::newRow("list code, further option kept")
        << u"web --new %U --private"_qs << a << QStringList{u"web"_qs, u"--new"_qs, a, u"--private"_qs};
    QTest::newRow("file codes") << u"web %f"_qs << a << QStringList{u"web"_qs, a};
    QTest::newRow("no code: address appended")
        << u"web --new-window"_qs << a << QStringList{u"web"_qs, u"--new-window"_qs, a};
    QTest::newRow("quoted program with blanks")
        << u"\"/opt/My Web/run\" %u"_qs << a << QStringList{u"/opt/My Web/run"_qs, a};
    QTest::newRow("escapes inside quotes")
        << u"\"a\\\"b\\`c\\$d\\\\e\" %u"_qs << a << QStringList{u"a\"b`c$d\\e"_qs, a};
    QTest::newRow("quoted empty argument stays")
        << u"web \"\" %u"_qs << a << QStringList{u"web"_qs, QString(), a};
    QTest::newRow("runs of blanks") << u"  web   %u  "_qs << a << QStringList{u"web"_qs, a};
    QTest::newRow("percent sign") << u"web --x=100%% %u"_qs << a << QStringList{u"web"_qs, u"--x=100%"_qs, a};
    QTest::newRow("code inside a word")
        << u"web --url=%u"_qs << a << QStringList{u"web"_qs, u"--url="_qs + a};
    QTest::newRow("icon, name, file")
        << u"web %i %c %k %u"_qs << a
        << QStringList{u"web"_qs, u"--icon"_qs, u"globe"_qs, u"Web"_qs, u"/apps/web.desktop"_qs, a};
    QTest::newRow("deprecated codes dropped")
        << u"web %d %D %n %N %v %m %u"_qs << a << QStringList{u"web"_qs, a};
    QTest::newRow("one address only") << u"web %u %U"_qs << a << QStringList{u"web"_qs, a};
    QTest::newRow("empty address with code") << u"web %u"_qs << QString() << QStringList{u"web"_qs};
    QTest::newRow("empty address without code") << u"web"_qs << QString() << QStringList{u"web"_qs};
    QTest::newRow("hostile address, code") << u"web %u"_qs << hostile << QStringList{u"web"_qs, hostile};
    QTest::newRow("hostile address, appended") << u"web"_qs << hostile << QStringList{u"web"_qs, hostile};
    QTest::newRow("unclosed quote") << u"\"web %u"_qs << a << QStringList{};
    QTest::newRow("unquoted semicolon") << u"web;rm %u"_qs << a << QStringList{};
    QTest::newRow("unquoted substitution") << u"web $(id) %u"_qs << a << QStringList{};
    QTest::newRow("unquoted backtick") << u"web `id` %u"_qs << a << QStringList{};
    QTest::newRow("nothing") << u"   "_qs << a << QStringList{};
}

void TestBrowserLaunch::execArguments()
{
    QFETCH(QString, exec);
    QFETCH(QString, address);
    QFETCH(QStringList, expected);
    const DesktopEntry entry{u"/apps/web.desktop"_qs, exec, u"globe"_qs, u"Web"_qs};
    const std::optional<QStringList> arguments = browserlaunch::execArguments(entry, address);
    if (expected.isEmpty())
        QVERIFY(!arguments);
    else
        QCOMPARE(arguments.value_or(QStringList{u"<refused>"_qs}), expected);
}

void TestBrowserLaunch::mimeAppsOrder()
{
    const QString r = m_xdg.path();
    pointXdgAt(r, "Ormex:TEST");
    const QStringList expected{
        r + u"/config/ormex-mimeapps.list"_qs,
        r + u"/config/test-mimeapps.list"_qs,
        r + u"/config/mimeapps.list"_qs,
        r + u"/etc1/ormex-mimeapps.list"_qs,
        r + u"/etc1/test-mimeapps.list"_qs,
        r + u"/etc1/mimeapps.list"_qs,
        r + u"/etc2/ormex-mimeapps.list"_qs,
        r + u"/etc2/test-mimeapps.list"_qs,
        r + u"/etc2/mimeapps.list"_qs,
        r + u"/data/applications/ormex-mimeapps.list"_qs,
        r + u"/data/applications/test-mimeapps.list"_qs,
        r + u"/data/applications/mimeapps.list"_qs,
        r + u"/share1/applications/ormex-mimeapps.list"_qs,
        r + u"/share1/applications/test-mimeapps.list"_qs,
        r + u"/share1/applications/mimeapps.list"_qs,
        r + u"/share2/applications/ormex-mimeapps.list"_qs,
        r + u"/share2/applications/test-mimeapps.list"_qs,
        r + u"/share2/applications/mimeapps.list"_qs,
    };
    QCOMPARE(browserlaunch::mimeAppsFiles(), expected);
}

void TestBrowserLaunch::defaultApplication_data()
{
    // Files (relative to the root) and their default for http; the desktop file expected to win.
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("defaults");
    QTest::addColumn<QString>("winner"); // relative path, empty for none
    QTest::newRow("system folder only")
        << QStringList{u"share2/applications/mimeapps.list"_qs} << QStringList{u"b.desktop"_qs}
        << u"share2/applications/b.desktop"_qs;
    QTest::newRow("user configuration before system data")
        << QStringList{u"share1/applications/mimeapps.list"_qs, u"config/mimeapps.list"_qs}
        << QStringList{u"a.desktop"_qs, u"b.desktop"_qs} << u"share2/applications/b.desktop"_qs;
    QTest::newRow("desktop-specific file before the plain one in a folder")
        << QStringList{u"config/mimeapps.list"_qs, u"config/test-mimeapps.list"_qs}
        << QStringList{u"a.desktop"_qs, u"b.desktop"_qs} << u"share2/applications/b.desktop"_qs;
    QTest::newRow("plain user file before desktop-specific system configuration")
        << QStringList{u"etc1/test-mimeapps.list"_qs, u"config/mimeapps.list"_qs}
        << QStringList{u"a.desktop"_qs, u"b.desktop"_qs} << u"share2/applications/b.desktop"_qs;
    QTest::newRow("configuration folders in their order")
        << QStringList{u"etc2/mimeapps.list"_qs, u"etc1/mimeapps.list"_qs}
        << QStringList{u"a.desktop"_qs, u"b.desktop"_qs} << u"share2/applications/b.desktop"_qs;
    QTest::newRow("missing default gives way within the list")
        << QStringList{u"config/mimeapps.list"_qs} << QStringList{u"gone.desktop;b.desktop;"_qs}
        << u"share2/applications/b.desktop"_qs;
    QTest::newRow("missing default gives way to the next file")
        << QStringList{u"config/mimeapps.list"_qs, u"etc1/mimeapps.list"_qs}
        << QStringList{u"gone.desktop"_qs, u"a.desktop"_qs} << u"data/applications/a.desktop"_qs;
    QTest::newRow("dash stands for a sub-folder")
        << QStringList{u"config/mimeapps.list"_qs} << QStringList{u"vendor-web.desktop"_qs}
        << u"data/applications/vendor/web.desktop"_qs;
    QTest::newRow("user data before system data")
        << QStringList{u"config/mimeapps.list"_qs} << QStringList{u"both.desktop"_qs}
        << u"data/applications/both.desktop"_qs;
    QTest::newRow("hidden entry is not a browser")
        << QStringList{u"config/mimeapps.list"_qs} << QStringList{u"hidden.desktop"_qs} << QString();
    QTest::newRow("path instead of an id") << QStringList{u"config/mimeapps.list"_qs}
                                           << QStringList{u"../applications/a.desktop"_qs} << QString();
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
    writeFile(r + u"/data/applications/a.desktop"_qs, desktopFile("a %u"));
    writeFile(r + u"/share2/applications/b.desktop"_qs, desktopFile("b %u"));
    writeFile(r + u"/data/applications/vendor/web.desktop"_qs, desktopFile("v %u"));
    writeFile(r + u"/data/applications/both.desktop"_qs, desktopFile("user %u"));
    writeFile(r + u"/share1/applications/both.desktop"_qs, desktopFile("system %u"));
    writeFile(r + u"/data/applications/hidden.desktop"_qs, desktopFile("h %u") + "Hidden=true\n");
    for (qsizetype i = 0; i < files.size(); ++i)
        writeFile(r + u'/' + files[i],
                  "[Added Associations]\nx-scheme-handler/http=a.desktop\n\n[Default Applications]\n"
                  "text/plain=a.desktop\nx-scheme-handler/http=" +
                      defaults[i].toUtf8() + "\n");
    const std::optional<DesktopEntry> entry = browserlaunch::defaultApplication(u"x-scheme-handler/http"_qs);
    QCOMPARE(entry ? entry->path : QString(), winner.isEmpty() ? QString() : r + u'/' + winner);
}

void TestBrowserLaunch::associatedApplicationIds_data()
{
    // Each file (relative to the root) with its content for http; the ids expected, best first.
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("contents");
    QTest::addColumn<QStringList>("expected");
    const QString added = u"[Added Associations]\nx-scheme-handler/http="_qs;
    const QString removed = u"[Removed Associations]\nx-scheme-handler/http="_qs;
    const QString cache = u"[MIME Cache]\nx-scheme-handler/http="_qs;
    QTest::newRow("added associations in file order")
        << QStringList{u"etc1/mimeapps.list"_qs, u"config/mimeapps.list"_qs}
        << QStringList{added + u"b.desktop;"_qs, added + u"a.desktop;c.desktop"_qs}
        << QStringList{u"a.desktop"_qs, u"c.desktop"_qs, u"b.desktop"_qs};
    QTest::newRow("caches after every list, user data first")
        << QStringList{u"share1/applications/mimeinfo.cache"_qs, u"data/applications/mimeinfo.cache"_qs,
                       u"share2/applications/mimeapps.list"_qs}
        << QStringList{cache + u"s.desktop"_qs, cache + u"u.desktop"_qs, added + u"l.desktop"_qs}
        << QStringList{u"u.desktop"_qs, u"s.desktop"_qs, u"l.desktop"_qs};
    QTest::newRow("removal holds for lower precedence only")
        << QStringList{u"config/mimeapps.list"_qs, u"etc1/mimeapps.list"_qs,
                       u"share1/applications/mimeinfo.cache"_qs}
        << QStringList{added + u"a.desktop\n"_qs + removed + u"b.desktop"_qs,
                       added + u"b.desktop;c.desktop"_qs, cache + u"b.desktop;d.desktop"_qs}
        << QStringList{u"a.desktop"_qs, u"c.desktop"_qs, u"d.desktop"_qs};
    QTest::newRow("removal does not reach back")
        << QStringList{u"config/mimeapps.list"_qs, u"etc1/mimeapps.list"_qs}
        << QStringList{added + u"a.desktop"_qs, removed + u"a.desktop"_qs} << QStringList{u"a.desktop"_qs};
    QTest::newRow("named twice, listed once")
        << QStringList{u"config/mimeapps.list"_qs, u"share2/applications/mimeinfo.cache"_qs}
        << QStringList{added + u"a.desktop;a.desktop"_qs, cache + u"a.desktop"_qs}
        << QStringList{u"a.desktop"_qs};
    QTest::newRow("cache outside an applications folder is not read")
        << QStringList{u"config/mimeinfo.cache"_qs} << QStringList{cache + u"a.desktop"_qs} << QStringList{};
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
    QCOMPARE(browserlaunch::associatedApplicationIds(u"x-scheme-handler/http"_qs), expected);
}

void TestBrowserLaunch::browserVariableArguments_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("expected"); // empty: refused
    const QString a = u"http://www.ormex.example/?q=1&r=%20"_qs;
    QTest::newRow("placeholder") << u"web %s"_qs << QStringList{u"web"_qs, a};
    QTest::newRow("no placeholder: appended") << u"web"_qs << QStringList{u"web"_qs, a};
    QTest::newRow("options after the placeholder kept")
        << u"web --new %s --private"_qs << QStringList{u"web"_qs, u"--new"_qs, a, u"--private"_qs};
    QTest::newRow("placeholder inside a word")
        << u"web --url=%s"_qs << QStringList{u"web"_qs, u"--url="_qs + a};
    QTest::newRow("percent sign") << u"web --zoom=90%% %s"_qs << QStringList{u"web"_qs, u"--zoom=90%"_qs, a};
    QTest::newRow("quoted program") << u"\"/opt/My Web/run\" %s"_qs << QStringList{u"/opt/My Web/run"_qs, a};
    QTest::newRow("shell syntax refused") << u"web %s; rm -rf ~"_qs << QStringList{};
    QTest::newRow("unclosed quote refused") << u"\"web %s"_qs << QStringList{};
}

void TestBrowserLaunch::browserVariableArguments()
{
    QFETCH(QString, command);
    QFETCH(QStringList, expected);
    const std::optional<QStringList> arguments =
        browserlaunch::browserVariableArguments(command, u"http://www.ormex.example/?q=1&r=%20"_qs);
    if (expected.isEmpty())
        QVERIFY(!arguments);
    else
        QCOMPARE(arguments.value_or(QStringList{u"<refused>"_qs}), expected);
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
    const QString a = u"http://a"_qs;
    const QStringList none;
    QTest::newRow("http default") << QByteArray("x-scheme-handler/http=web.desktop") << QByteArray()
                                  << QByteArray() << a << none << QStringList{u"web-browser"_qs} << true;
    QTest::newRow("html default") << QByteArray("text/html=web.desktop") << QByteArray() << QByteArray() << a
                                  << none << QStringList{u"web-browser"_qs} << true;
    QTest::newRow("html default beats an http cache entry")
        << QByteArray("text/html=web.desktop") << QByteArray("x-scheme-handler/http=cached.desktop;")
        << QByteArray() << a << none << QStringList{u"web-browser"_qs} << true;
    QTest::newRow("cache only") << QByteArray() << QByteArray("x-scheme-handler/http=cached.desktop;")
                                << QByteArray() << a << none << QStringList{u"cached-browser"_qs} << true;
    QTest::newRow("browser variable, first that starts")
        << QByteArray() << QByteArray() << QByteArray("gone %s:second") << a << QStringList{u"gone"_qs}
        << QStringList{u"gone"_qs, u"second"_qs} << true;
    QTest::newRow("default that cannot start gives way")
        << QByteArray("x-scheme-handler/http=web.desktop") << QByteArray() << QByteArray("other") << a
        << QStringList{u"web-browser"_qs} << QStringList{u"web-browser"_qs, u"other"_qs} << true;
    QTest::newRow("debian alternative last") << QByteArray() << QByteArray() << QByteArray() << a << none
                                             << QStringList{u"x-www-browser"_qs} << true;
    QTest::newRow("nothing starts") << QByteArray() << QByteArray() << QByteArray("gone") << a
                                    << QStringList{u"gone"_qs, u"x-www-browser"_qs}
                                    << QStringList{u"gone"_qs, u"x-www-browser"_qs} << false;
    QTest::newRow("address the browser would take for an option")
        << QByteArray("x-scheme-handler/http=web.desktop") << QByteArray() << QByteArray()
        << u"--user-data-dir=/tmp/x"_qs << none << QStringList{} << false;
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
    writeFile(m_xdg.path() + u"/data/applications/cached.desktop"_qs, desktopFile("cached-browser %u"));
    writeFile(m_xdg.path() + u"/config/mimeapps.list"_qs, "[Default Applications]\n" + mimeapps + "\n");
    writeFile(m_xdg.path() + u"/share1/applications/mimeinfo.cache"_qs, "[MIME Cache]\n" + cache + "\n");
    qputenv("BROWSER", browser);
    g_failing = failing;
    QCOMPARE(OpenURL(address, aswShowMaximized), started);
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
    QTest::newRow("registered only in the MIME cache") << u"cache"_qs;
    QTest::newRow("only in $BROWSER") << u"variable"_qs;
    QTest::newRow("only as x-www-browser") << u"debian"_qs;
}

void TestBrowserLaunch::realBrowserOpensAddress()
{
    QFETCH(QString, way);
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString r = root.path();
    pointXdgAt(r);
    // A stand-in browser that writes down the arguments it got, one per line.
    const QString out = r + u"/opened.txt"_qs;
    const QString script = r + u"/bin/"_qs + (way == u"debian"_qs ? u"x-www-browser"_qs : u"fake browser"_qs);
    writeFile(script, "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + out.toUtf8() + ".part'\n/bin/mv '" +
                          out.toUtf8() + ".part' '" + out.toUtf8() + "'\n");
    QVERIFY(QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    qputenv("PATH", (r + u"/bin"_qs).toUtf8());
    qunsetenv("BROWSER");
    if (way == u"cache"_qs) {
        writeFile(r + u"/share2/applications/fake.desktop"_qs, desktopFile("\"" + script.toUtf8() + "\" %u"));
        writeFile(r + u"/share2/applications/mimeinfo.cache"_qs,
                  "[MIME Cache]\nx-scheme-handler/http=fake.desktop;\n");
    } else if (way == u"variable"_qs) {
        qputenv("BROWSER", "/nowhere/browser:\"" + script.toUtf8() + "\" --new-tab %s");
    }
    const QString address = u"http://www.ormex.example/a b?c=\"d\"&e=$(id)"_qs;
    const browserlaunch::ProcessStarter recording = browserlaunch::processStarter();
    browserlaunch::processStarter() = browserlaunch::startDetached;
    const bool opened = OpenURL(address, aswShowMaximized);
    browserlaunch::processStarter() = recording;
    qputenv("PATH", m_path);
    QVERIFY(opened);
    QTRY_VERIFY(QFileInfo::exists(out));
    QFile file(out);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString expected = way == u"variable"_qs ? u"--new-tab\n"_qs + address : address;
    QCOMPARE(QString::fromUtf8(file.readAll()), expected + u'\n');
}

QTEST_GUILESS_MAIN(TestBrowserLaunch)

#include "tst_browserlaunch.moc"
