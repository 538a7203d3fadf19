#include "tests/soak/soakverdict.h"

#include <QTest>

#include <cmath>
#include <cstdint>

Q_DECLARE_METATYPE(std::vector<SoakSample>)

class TestSoakVerdict : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void memory_data();
    void memory();
    void filesThreadsAndSamples_data();
    void filesThreadsAndSamples();
};

namespace {

constexpr long kEvery = 100;
constexpr long kPage = 4096;

// A run as the soak samples it, every 100 actions, memory in whole pages as /proc reports it.
struct Run {
    long actions = 12000;
    // Blocks: each stretch between two samples runs one kind (a hint stretch, a panel stretch, then ten
    // of draws, over again), so that each kind's growth shows; otherwise every stretch holds the kinds
    // in the same proportions.
    bool blocks = true;
    double leakPerAction = 0;
    std::array<double, SoakKindCount> leakPerKind{}; // bytes per action of that kind
    long stepAt = -1;                                // one lasting step of the allocator...
    long stepKiB = 0;                                // ...this high
    int jitterPages = 1;                             // pages more or fewer, at random, in every sample
    bool anonymousOnly = false;                      // the leak shows in anonymous memory alone
};

std::vector<SoakSample> series(const Run &run)
{
    std::vector<SoakSample> samples;
    std::array<long, SoakKindCount> counts{};
    std::uint32_t random = 12345;
    for (long actions = 0; actions <= run.actions; actions += kEvery) {
        if (actions > 0) {
            const long stretch = actions / kEvery - 1;
            if (run.blocks) {
                const long place = stretch % 12;
                counts[place == 0 ? SoakHint : place == 1 ? SoakPanel : SoakDraw] += kEvery;
            } else {
                counts = {actions * 10 / 12, actions / 12, actions - actions * 10 / 12 - actions / 12};
            }
        }
        // The caches fill over the first 1,000 actions.
        double leaked = run.leakPerAction * double(actions);
        for (int k = 0; k < SoakKindCount; ++k)
            leaked += run.leakPerKind[k] * double(counts[k]);
        double bytes = 40.0 * 1024 * 1024 + 2048.0 * double(std::min(actions, 1000L));
        if (run.stepAt >= 0 && actions >= run.stepAt)
            bytes += double(run.stepKiB) * 1024;
        random = random * 1103515245u + 12345u;
        const long jitter = long((random >> 16) % std::uint32_t(2 * run.jitterPages + 1)) - run.jitterPages;
        const auto kib = [&](double b) { return long(std::floor(b / kPage)) * kPage / 1024 + jitter * 4; };
        SoakSample s;
        s.actions = actions;
        s.rssAnonKiB = kib(bytes + leaked) - 12000;
        s.rssKiB = run.anonymousOnly ? kib(bytes) : kib(bytes + leaked);
        s.fds = 12;
        s.threads = 5;
        s.counts = counts;
        samples.push_back(s);
    }
    return samples;
}

std::vector<SoakSample> plain(std::initializer_list<std::array<long, 4>> rows)
{
    std::vector<SoakSample> samples;
    for (const auto &r : rows) {
        SoakSample s;
        s.actions = r[0];
        s.rssKiB = s.rssAnonKiB = r[1];
        s.fds = r[2];
        s.threads = r[3];
        samples.push_back(s);
    }
    return samples;
}

} // namespace

void TestSoakVerdict::memory_data()
{
    QTest::addColumn<std::vector<SoakSample>>("samples");
    QTest::addColumn<bool>("pass");
    QTest::addColumn<QString>("reasonHas");
    QTest::addColumn<QString>("reasonLacks");

    for (const long actions : {2000L, 12000L}) {
        for (const double leak : {16.0, 50.0, 90.0, 200.0}) {
            const QByteArray name = QByteArray::number(leak) + " bytes per action over " +
                                    QByteArray::number(actions) + " actions";
            QTest::newRow(name.constData()) << series({.actions = actions, .leakPerAction = leak}) << false
                                            << QStringLiteral("resident memory grows") << QString();
        }
        QTest::newRow(QByteArray("flat, " + QByteArray::number(actions) + " actions").constData())
            << series({.actions = actions}) << true << QStringLiteral("at most 5 threads") << QString();
    }
    // The same leaks where the kinds always come mixed alike: only the whole run's slope sees them.
    QTest::newRow("16 bytes per action, kinds never apart")
        << series({.blocks = false, .leakPerAction = 16}) << false << QStringLiteral("resident memory grows")
        << QStringLiteral("by kind");
    QTest::newRow("flat, kinds never apart")
        << series({.blocks = false}) << true << QStringLiteral("anonymous memory grows")
        << QStringLiteral("by kind");

    QTest::newRow("1 KiB per hint") << series({.leakPerKind = {0, 0, 1024}}) << false
                                    << QStringLiteral("per one of 900 hints, more than the run allows")
                                    << QStringLiteral("draws, more than");
    QTest::newRow("200 bytes per panel")
        << series({.leakPerKind = {0, 200, 0}}) << false
        << QStringLiteral("per one of 900 panels, more than the run allows") << QStringLiteral("hints, more");
    // A cache that gives back as much as hints leak leaves the whole run flat; the kinds still tell.
    QTest::newRow("hints leak what draws give back")
        << series({.leakPerKind = {-30, 0, 300}}) << false
        << QStringLiteral("900 hints, more than the run allows") << QStringLiteral("(at most");
    QTest::newRow("a leak in anonymous memory alone")
        << series({.leakPerAction = 20, .anonymousOnly = true}) << false
        << QStringLiteral("anonymous memory grows 20") << QStringLiteral("resident memory grows 20");

    // What a flat program does: its allocator takes a few pages now and then, each stretch of the run
    // reads a page more or less.
    QTest::newRow("flat, one 64 KiB step in the middle")
        << series({.stepAt = 6500, .stepKiB = 64}) << true << QStringLiteral("by kind") << QString();
    QTest::newRow("flat, a 64 KiB step during hints")
        << series({.stepAt = 6100, .stepKiB = 64}) << true << QStringLiteral("hints") << QString();
    QTest::newRow("flat, three pages of jitter")
        << series({.jitterPages = 3}) << true << QString() << QString();
    QTest::newRow("flat, 2,000 actions, two pages of jitter")
        << series({.actions = 2000, .jitterPages = 2}) << true << QString() << QString();
    QTest::newRow("a drop after settling is no leak")
        << series({.stepAt = 4000, .stepKiB = -512}) << true << QString() << QString();
}

void TestSoakVerdict::memory()
{
    QFETCH(std::vector<SoakSample>, samples);
    QFETCH(bool, pass);
    QFETCH(QString, reasonHas);
    QFETCH(QString, reasonLacks);
    const SoakVerdict v = judgeSoak(samples);
    QVERIFY2(v.pass == pass, v.reason.c_str());
    const QString reason = QString::fromStdString(v.reason);
    QVERIFY2(reason.contains(reasonHas), v.reason.c_str());
    if (!reasonLacks.isEmpty())
        QVERIFY2(!reason.contains(reasonLacks), v.reason.c_str());
}

void TestSoakVerdict::filesThreadsAndSamples_data()
{
    QTest::addColumn<std::vector<SoakSample>>("samples");
    QTest::addColumn<bool>("pass");
    QTest::addColumn<QString>("reasonHas");

    // actions, resident KiB, open files, threads
    QTest::newRow("files and threads change only while settling")
        << plain({{0, 30000, 10, 3},
                  {500, 38000, 14, 6},
                  {1000, 40000, 13, 5},
                  {1500, 40000, 13, 5},
                  {2000, 40000, 13, 5}})
        << true << QStringLiteral("at most 14 open files, at most 6 threads");
    QTest::newRow("one open file more than ever while settling")
        << plain({{500, 40000, 12, 5}, {1000, 40000, 13, 5}, {1500, 40000, 14, 5}, {2000, 40000, 13, 5}})
        << false << QStringLiteral("open files 14 at 1500 actions, above the 13 of the settling actions");
    QTest::newRow("threads that end while idle and come again")
        << plain({{1000, 40000, 12, 5}, {1500, 40000, 10, 3}, {2000, 40000, 12, 5}}) << true
        << QStringLiteral("at most 12 open files, at most 5 threads");
    QTest::newRow("one thread more, long after settling")
        << plain({{1000, 40000, 12, 5}, {1500, 40000, 12, 5}, {2000, 40000, 12, 5}, {2500, 40000, 12, 6}})
        << false << QStringLiteral("threads 6 at 2500 actions, above the 5");
    QTest::newRow("two samples after settling prove nothing")
        << plain({{0, 30000, 12, 4}, {1000, 30000, 12, 4}, {1500, 30000, 12, 4}}) << false
        << QStringLiteral("fewer than three samples");
    QTest::newRow("no samples") << std::vector<SoakSample>{} << false << QStringLiteral("fewer than three");
}

void TestSoakVerdict::filesThreadsAndSamples()
{
    QFETCH(std::vector<SoakSample>, samples);
    QFETCH(bool, pass);
    QFETCH(QString, reasonHas);
    const SoakVerdict v = judgeSoak(samples);
    QVERIFY2(v.pass == pass, v.reason.c_str());
    QVERIFY2(QString::fromStdString(v.reason).contains(reasonHas), v.reason.c_str());
}

QTEST_APPLESS_MAIN(TestSoakVerdict)
#include "tst_soakverdict.moc"
