#include "tests/support/waveimage.h"
#include "toolkit/sound/soundlog.h"
#include "toolkit/sound/waveoutput.h"

#include <QDir>
#include <QLoggingCategory>
#include <QTemporaryFile>
#include <QtTest>

#include <unistd.h>

#include <cstdio>

// The output when no sound can be made (quiet on every channel but the sound log), and what it leaves
// behind when it closes. SDL's audio is one per process, so these cases have a process of their own.
class TestWaveOutput : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void refusedWithoutSound_data();
    void refusedWithoutSound();
    void failureReasonLogged();
    void driverFoundLaterIsUsed();
    void closeLeavesNoThread();

private:
    QByteArray m_image = makeWaveImage(WaveShape{});
};

static int threadCount()
{
    return int(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

// What the process writes to standard error while run runs.
template <class Run> static QByteArray standardErrorOf(Run run)
{
    QTemporaryFile capture;
    if (!capture.open())
        return "(no file to capture standard error in)";
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    ::dup2(capture.handle(), STDERR_FILENO);
    run();
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    capture.seek(0);
    return capture.readAll();
}

void TestWaveOutput::refusedWithoutSound_data()
{
    QTest::addColumn<QByteArray>("driver");
    QTest::addColumn<QByteArray>("device");
    QTest::addColumn<QByteArray>("library");
    QTest::addColumn<unsigned>("flags");
    const unsigned async = tk::SND_ASYNC | tk::SND_MEMORY;
    const unsigned sync = tk::SND_MEMORY;
    const unsigned loop = tk::SND_ASYNC | tk::SND_MEMORY | tk::SND_LOOP;
    QTest::newRow("unknown driver, async")
        << QByteArray("no-such-driver") << QByteArray() << QByteArray() << async;
    QTest::newRow("unknown driver, sync")
        << QByteArray("no-such-driver") << QByteArray() << QByteArray() << sync;
    QTest::newRow("unknown driver, loop")
        << QByteArray("no-such-driver") << QByteArray() << QByteArray() << loop;
    QTest::newRow("no library") << QByteArray("no-such-driver") << QByteArray()
                                << QByteArray("libSDL2-no-such-version.so.0") << sync;
    // As on a machine without a sound card, where alsa-lib has most to say.
    QTest::newRow("ALSA, no such card") << QByteArray("alsa") << QByteArray("hw:99") << QByteArray() << async;
    QTest::newRow("ALSA, no such device")
        << QByteArray("alsa") << QByteArray("ormex-no-such-device") << QByteArray() << sync;
}

void TestWaveOutput::refusedWithoutSound()
{
    QFETCH(QByteArray, driver);
    QFETCH(QByteArray, device);
    QFETCH(QByteArray, library);
    QFETCH(unsigned, flags);
    qputenv("SDL_AUDIODRIVER", driver);
    qputenv("AUDIODEV", device);
    bool played = true;
    bool sounding = true;
    const QByteArray errors = standardErrorOf([&] {
        if (library.isEmpty()) {
            played = tk::playSound(m_image.constData(), std::size_t(m_image.size()), flags);
            sounding = tk::WaveOutput::process().isSounding();
        } else {
            tk::WaveOutput output(library.constData());
            played = output.play(m_image.constData(), std::size_t(m_image.size()), flags);
            sounding = output.isSounding();
        }
    });
    qunsetenv("AUDIODEV");
    QVERIFY(!played);
    QVERIFY(!sounding);
    QVERIFY2(errors.isEmpty(), errors.constData());
}

namespace {
QStringList g_soundLog;
QtMessageHandler g_testHandler = nullptr;

void keepSoundLog(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (context.category && QByteArrayView(context.category) == "ormex.sound")
        g_soundLog.append(message);
    else
        g_testHandler(type, context, message);
}
} // namespace

void TestWaveOutput::failureReasonLogged()
{
    // Off by default; whoever wants to know why a sound is silent turns it on.
    QVERIFY(!lcSound().isDebugEnabled());
    QLoggingCategory::setFilterRules(QStringLiteral("ormex.sound.debug=true"));
    g_testHandler = qInstallMessageHandler(keepSoundLog);
    qputenv("SDL_AUDIODRIVER", "alsa");
    qputenv("AUDIODEV", "hw:99");
    const bool played = tk::playSound(m_image.constData(), std::size_t(m_image.size()), tk::SND_MEMORY);
    qunsetenv("AUDIODEV");
    qInstallMessageHandler(g_testHandler);
    QLoggingCategory::setFilterRules(QString());
    QVERIFY(!played);
    const QString log = g_soundLog.join(u'\n');
    QVERIFY2(log.contains(QLatin1String("ALSA")) && log.contains(QLatin1String("No audio device")),
             qPrintable(log));
}

void TestWaveOutput::driverFoundLaterIsUsed()
{
    // A sound server that comes up after a failed play is used by the next one.
    qputenv("SDL_AUDIODRIVER", "dummy");
    QVERIFY(tk::playSound(m_image.constData(), std::size_t(m_image.size()), tk::SND_ASYNC | tk::SND_MEMORY));
}

void TestWaveOutput::closeLeavesNoThread()
{
    tk::WaveOutput::process().stop();
    const int withDevice = threadCount();
    tk::WaveOutput::process().close();
    QVERIFY2(threadCount() < withDevice, "the device's thread must end when the output closes");
    QVERIFY(!tk::playSound(m_image.constData(), std::size_t(m_image.size()), tk::SND_ASYNC | tk::SND_MEMORY));
}

QTEST_GUILESS_MAIN(TestWaveOutput)
#include "tst_waveoutput.moc"
