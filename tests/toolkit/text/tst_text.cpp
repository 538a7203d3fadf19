#include "toolkit/text/cp1251.h"

#include "toolkit/base/errors.h"
#include "toolkit/text/files.h"
#include "toolkit/text/memotext.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

class TestText : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cp1251_data();
    void cp1251();
    void cp1251RoundTrip();
    void lineBreaks_data();
    void lineBreaks();
    void readWholeFile_data();
    void readWholeFile();
};

void TestText::cp1251_data()
{
    QTest::addColumn<int>("byte");
    QTest::addColumn<int>("character");
    QTest::newRow("ASCII") << 0x41 << 0x41;
    QTest::newRow("CR") << 0x0D << 0x0D;
    QTest::newRow("NUL has no place in text") << 0x00 << 0xFFFD;
    QTest::newRow("A") << 0xC0 << 0x0410;
    QTest::newRow("ya") << 0xFF << 0x044F;
    QTest::newRow("capital Yo") << 0xA8 << 0x0401;
    QTest::newRow("small yo") << 0xB8 << 0x0451;
    QTest::newRow("euro") << 0x88 << 0x20AC;
    QTest::newRow("unassigned 0x98") << 0x98 << 0xFFFD;
    QTest::newRow("no-break space") << 0xA0 << 0x00A0;
    QTest::newRow("numero") << 0xB9 << 0x2116;
}

void TestText::cp1251()
{
    QFETCH(int, byte);
    QFETCH(int, character);
    const QString text = tk::decodeCp1251(QByteArray(1, char(byte)));
    QCOMPARE(text.size(), 1);
    QCOMPARE(int(text[0].unicode()), character);
}

void TestText::cp1251RoundTrip()
{
    QByteArray all;
    for (int b = 1; b < 256; ++b)
        if (b != 0x98)
            all.append(char(b));
    QCOMPARE(tk::encodeCp1251(tk::decodeCp1251(all)), all);
    QCOMPARE(tk::encodeCp1251(u"日本"_s), QByteArray("??"));
}

void TestText::lineBreaks_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("adjusted");
    QTest::newRow("lone LF") << u"a\nb"_s << u"a\r\nb"_s;
    QTest::newRow("lone CR") << u"a\rb"_s << u"a\r\nb"_s;
    QTest::newRow("CR LF stays") << u"a\r\nb"_s << u"a\r\nb"_s;
    QTest::newRow("LF CR is two breaks") << u"a\n\rb"_s << u"a\r\n\r\nb"_s;
    QTest::newRow("CR before CR LF") << u"\r\r\n"_s << u"\r\n\r\n"_s;
    QTest::newRow("interpretation pair") << u"x\n\ny"_s << u"x\r\n\r\ny"_s;
    QTest::newRow("trailing CR") << u"end\r"_s << u"end\r\n"_s;
    QTest::newRow("no breaks") << u"plain"_s << u"plain"_s;
    QTest::newRow("empty") << QString() << QString();
}

void TestText::lineBreaks()
{
    QFETCH(QString, text);
    QFETCH(QString, adjusted);
    QCOMPARE(tk::adjustLineBreaks(text), adjusted);
    QCOMPARE(tk::adjustLineBreaks(adjusted), adjusted);
}

void TestText::readWholeFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("message"); // empty: read succeeds
    QTest::newRow("regular") << u"regular"_s << QString();
    QTest::newRow("empty") << u"empty"_s << QString();
    QTest::newRow("missing") << u"missing"_s << u"Cannot open file g\\f.txt"_s;
    QTest::newRow("directory") << u"directory"_s << u"Cannot open file g\\f.txt"_s;
    QTest::newRow("pipe without a writer") << u"fifo"_s << u"Cannot open file g\\f.txt"_s;
    QTest::newRow("longer than allowed") << u"large"_s << u"Too large: g\\f.txt"_s;
}

void TestText::readWholeFile()
{
    QFETCH(QString, kind);
    QFETCH(QString, message);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(u"g"_s));
    const QString native = dir.filePath(u"g/f.txt"_s);
    QByteArray content;
    if (kind == u"regular" || kind == u"empty" || kind == u"large") {
        content = kind == u"regular" ? QByteArray("line\r\nline")
                  : kind == u"large" ? QByteArray(101, 'x')
                                     : QByteArray();
        QFile file(native);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    } else if (kind == u"directory") {
        QVERIFY(QDir(dir.path()).mkdir(u"g/f.txt"_s));
    } else if (kind == u"fifo") {
        QCOMPARE(::mkfifo(QFile::encodeName(native).constData(), 0600), 0);
    }
    const QString old = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    QString error;
    QByteArray read;
    try {
        read = tk::readWholeFile(u"g\\f.txt"_s, 100, u"Too large: %s"_s);
    } catch (const tk::Error &e) {
        error = e.message();
    }
    QDir::setCurrent(old);
    QCOMPARE(error, message);
    if (message.isEmpty())
        QCOMPARE(read, content);
}

QTEST_GUILESS_MAIN(TestText)

#include "tst_text.moc"
