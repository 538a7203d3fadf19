#include "browserlaunch.h"

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

void writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QByteArray desktopFile(const QByteArray &exec)
{
    return "[Desktop Entry]\nType=Application\nName=Browser\nExec=" + exec + "\n";
}

// Points every freedesktop folder into root, so nothing of the machine's own set-up is read.
void pointXdgAt(const QString &root, const QByteArray &desktop = "TEST")
{
    qputenv("XDG_CONFIG_HOME", (root + u"/config"_qs).toUtf8());
    qputenv("XDG_CONFIG_DIRS", (root + u"/etc1:"_qs + root + u"/etc2"_qs).toUtf8());
    qputenv("XDG_DATA_HOME", (root + u"/data"_qs).toUtf8());
    qputenv("XDG_DATA_DIRS", (root + u"/share1:"_qs + root + u"/share2"_qs).toUtf8());
    qputenv("XDG_CURRENT_DESKTOP", desktop);
}

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
    void openUrlWithoutBrowser_data();
    void openUrlWithoutBrowser();

private:
    QTemporaryDir m_xdg;
};

void TestBrowserLaunch::initTestCase()
{
    browserlaunch::processStarter() = [](const QString &program, const QStringList &arguments) {
        g_started.append({program, arguments});
        return true;
    };
    QVERIFY(m_xdg.isValid());
}

void TestBrowserLaunch::init()
{
    g_started.clear();
    pointXdgAt(m_xdg.path());
    writeFile(m_xdg.path() + u"/data/applications/web.desktop"_qs, desktopFile("web-browser --new-window %u"));
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
    QTest::newRow("no code: address appended") << u"web --new-window"_qs << a
                                               << QStringList{u"web"_qs, u"--new-window"_qs, a};
    QTest::newRow("quoted program with blanks") << u"\"/opt/My Web/run\" %u"_qs << a
                                                << QStringList{u"/opt/My Web/run"_qs, a};
    QTest::newRow("escapes inside quotes") << u"\"a\\\"b\\`c\\$d\\\\e\" %u"_qs << a
                                           << QStringList{u"a\"b`c$d\\e"_qs, a};
    QTest::newRow("quoted empty argument stays") << u"web \"\" %u"_qs << a << QStringList{u"web"_qs, QString(), a};
    QTest::newRow("runs of blanks") << u"  web   %u  "_qs << a << QStringList{u"web"_qs, a};
    QTest::newRow("percent sign") << u"web --x=100%% %u"_qs << a << QStringList{u"web"_qs, u"--x=100%"_qs, a};
    QTest::newRow("code inside a word") << u"web --url=%u"_qs << a << QStringList{u"web"_qs, u"--url="_qs + a};
    QTest::newRow("icon, name, file") << u"web %i %c %k %u"_qs << a
                                      << QStringList{u"web"_qs, u"--icon"_qs, u"globe"_qs, u"Web"_qs,
                                                     u"/apps/web.desktop"_qs, a};
    QTest::newRow("deprecated codes dropped") << u"web %d %D %n %N %v %m %u"_qs << a << QStringList{u"web"_qs, a};
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
        r + u"/config/ormex-mimeapps.list"_qs,          r + u"/config/test-mimeapps.list"_qs,
        r + u"/config/mimeapps.list"_qs,                r + u"/etc1/ormex-mimeapps.list"_qs,
        r + u"/etc1/test-mimeapps.list"_qs,             r + u"/etc1/mimeapps.list"_qs,
        r + u"/etc2/ormex-mimeapps.list"_qs,            r + u"/etc2/test-mimeapps.list"_qs,
        r + u"/etc2/mimeapps.list"_qs,                  r + u"/data/applications/ormex-mimeapps.list"_qs,
        r + u"/data/applications/test-mimeapps.list"_qs, r + u"/data/applications/mimeapps.list"_qs,
        r + u"/share1/applications/ormex-mimeapps.list"_qs, r + u"/share1/applications/test-mimeapps.list"_qs,
        r + u"/share1/applications/mimeapps.list"_qs,   r + u"/share2/applications/ormex-mimeapps.list"_qs,
        r + u"/share2/applications/test-mimeapps.list"_qs, r + u"/share2/applications/mimeapps.list"_qs,
    };
    QCOMPARE(browserlaunch::mimeAppsFiles(), expected);
}

void TestBrowserLaunch::defaultApplication_data()
{
    // Files (relative to the root) and their default for http; the desktop file expected to win.
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("defaults");
    QTest::addColumn<QString>("winner"); // relative path, empty for none
    QTest::newRow("system folder only") << QStringList{u"share2/applications/mimeapps.list"_qs}
                                        << QStringList{u"b.desktop"_qs} << u"share2/applications/b.desktop"_qs;
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
    QTest::newRow("dash stands for a sub-folder") << QStringList{u"config/mimeapps.list"_qs}
                                                  << QStringList{u"vendor-web.desktop"_qs}
                                                  << u"data/applications/vendor/web.desktop"_qs;
    QTest::newRow("user data before system data") << QStringList{u"config/mimeapps.list"_qs}
                                                  << QStringList{u"both.desktop"_qs}
                                                  << u"data/applications/both.desktop"_qs;
    QTest::newRow("hidden entry is not a browser") << QStringList{u"config/mimeapps.list"_qs}
                                                   << QStringList{u"hidden.desktop"_qs} << QString();
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
        writeFile(r + u'/' + files[i], "[Added Associations]\nx-scheme-handler/http=a.desktop\n\n[Default Applications]\n"
                                           "text/plain=a.desktop\nx-scheme-handler/http="
                                           + defaults[i].toUtf8() + "\n");
    const std::optional<DesktopEntry> entry = browserlaunch::defaultApplication(u"x-scheme-handler/http"_qs);
    QCOMPARE(entry ? entry->path : QString(), winner.isEmpty() ? QString() : r + u'/' + winner);
}

void TestBrowserLaunch::openUrlWithoutBrowser_data()
{
    QTest::addColumn<QByteArray>("mimeapps");
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("started");
    QTest::newRow("http handler") << QByteArray("x-scheme-handler/http=web.desktop") << u"http://a"_qs << true;
    QTest::newRow("html documents as the fallback") << QByteArray("text/html=web.desktop") << u"http://a"_qs << true;
    QTest::newRow("nothing registered") << QByteArray("text/plain=web.desktop") << u"http://a"_qs << false;
    QTest::newRow("address the browser would take for an option")
        << QByteArray("x-scheme-handler/http=web.desktop") << u"--user-data-dir=/tmp/x"_qs << false;
}

void TestBrowserLaunch::openUrlWithoutBrowser()
{
    QFETCH(QByteArray, mimeapps);
    QFETCH(QString, address);
    QFETCH(bool, started);
    writeFile(m_xdg.path() + u"/config/mimeapps.list"_qs, "[Default Applications]\n" + mimeapps + "\n");
    QCOMPARE(OpenURL(address, aswShowMaximized), started);
    QCOMPARE(g_started.size(), started ? 1 : 0);
}

QTEST_GUILESS_MAIN(TestBrowserLaunch)

#include "tst_browserlaunch.moc"
