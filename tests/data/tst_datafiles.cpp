// The files the program reads at run time and the pictures built into it are made by a generator and
// committed; these tests read them back the way the program will and check what it relies on.

#include <QCryptographicHash>
#include <QFile>
#include <QHash>
#include <QImage>
#include <QTest>

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kDataDir = QStringLiteral(ORMEX_DATA_DIR);
const QString kAssetsDir = QStringLiteral(ORMEX_ASSETS_DIR);
const QString kPackagingDir = QStringLiteral(ORMEX_PACKAGING_DIR);

constexpr int kRuneCards = 41;

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// ---- JPEG: decoded the way the program decodes, with an error manager that returns instead of exiting.

struct JumpingErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf back;
};

void jumpBack(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<JumpingErrorManager *>(cinfo->err)->back, 1);
}

void stayQuiet(j_common_ptr)
{
}

struct JpegFacts {
    bool decoded = false;
    int errorCode = 0;
    int width = 0;
    int height = 0;
    int components = 0;
    bool progressive = false;
    int rowsRead = 0;
    long warnings = 0;
};

// No object with a destructor may live in this frame: the jump back from libjpeg would skip it.
void decodeJpeg(const unsigned char *bytes, unsigned long size, JpegFacts *facts, JumpingErrorManager *errors)
{
    jpeg_decompress_struct cinfo;
    cinfo.err = jpeg_std_error(&errors->base);
    errors->base.error_exit = jumpBack;
    errors->base.output_message = stayQuiet;
    if (setjmp(errors->back)) {
        facts->errorCode = errors->base.msg_code;
        jpeg_destroy_decompress(&cinfo);
        return;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, bytes, size);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    facts->width = static_cast<int>(cinfo.output_width);
    facts->height = static_cast<int>(cinfo.output_height);
    facts->components = cinfo.num_components;
    facts->progressive = cinfo.progressive_mode;
    JSAMPARRAY row = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                                cinfo.output_width * cinfo.output_components, 1);
    while (cinfo.output_scanline < cinfo.output_height)
        facts->rowsRead += static_cast<int>(jpeg_read_scanlines(&cinfo, row, 1));
    jpeg_finish_decompress(&cinfo);
    facts->warnings = errors->base.num_warnings;
    facts->decoded = true;
    jpeg_destroy_decompress(&cinfo);
}

JpegFacts decodeJpegFile(const QString &path)
{
    const QByteArray bytes = readAll(path);
    JpegFacts facts;
    if (bytes.isEmpty())
        return facts;
    JumpingErrorManager errors{};
    decodeJpeg(reinterpret_cast<const unsigned char *>(bytes.constData()),
               static_cast<unsigned long>(bytes.size()), &facts, &errors);
    return facts;
}

// ---- BMP: the fields of the file and info headers, read as little-endian numbers.

struct BmpHeader {
    QByteArray magic;
    quint32 fileSize = 0;
    quint32 pixelOffset = 0;
    quint32 infoSize = 0;
    qint32 width = 0;
    qint32 height = 0;
    quint16 planes = 0;
    quint16 bitsPerPixel = 0;
    quint32 compression = 0;
    quint32 masks[3] = {0, 0, 0};
};

quint32 le32(const QByteArray &bytes, int at)
{
    quint32 value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | static_cast<quint8>(bytes.at(at + i));
    return value;
}

quint16 le16(const QByteArray &bytes, int at)
{
    return static_cast<quint16>(static_cast<quint8>(bytes.at(at)) | static_cast<quint8>(bytes.at(at + 1))
                                                                        << 8);
}

constexpr int kHeadersWithMasks = 14 + 40 + 12;

BmpHeader readBmpHeader(const QByteArray &bytes)
{
    BmpHeader h;
    if (bytes.size() < kHeadersWithMasks)
        return h;
    h.magic = bytes.left(2);
    h.fileSize = le32(bytes, 2);
    h.pixelOffset = le32(bytes, 10);
    h.infoSize = le32(bytes, 14);
    h.width = static_cast<qint32>(le32(bytes, 18));
    h.height = static_cast<qint32>(le32(bytes, 22));
    h.planes = le16(bytes, 26);
    h.bitsPerPixel = le16(bytes, 28);
    h.compression = le32(bytes, 30);
    for (int i = 0; i < 3; ++i)
        h.masks[i] = le32(bytes, 54 + 4 * i);
    return h;
}

constexpr quint32 kBiRgb = 0;
constexpr quint32 kBiBitfields = 3;

// ---- Code page 1251, for reading the help text back: the characters of bytes 0x80 to 0xFF.
// 0x98 has none in the code page and comes back as U+FFFD.
constexpr char16_t kCp1251UpperHalf[128] = {
    u'Ђ',      u'Ѓ', u'‚',      u'ѓ', u'„', u'…', u'†', u'‡', u'€', u'‰',      u'Љ', u'‹', u'Њ', u'Ќ', u'Ћ',
    u'Џ',      u'ђ', u'‘',      u'’', u'“', u'”', u'•', u'–', u'—', u'\uFFFD', u'™', u'љ', u'›', u'њ', u'ќ',
    u'ћ',      u'џ', u'\u00A0', u'Ў', u'ў', u'Ј', u'¤', u'Ґ', u'¦', u'§',      u'Ё', u'©', u'Є', u'«', u'¬',
    u'\u00AD', u'®', u'Ї',      u'°', u'±', u'І', u'і', u'ґ', u'µ', u'¶',      u'·', u'ё', u'№', u'є', u'»',
    u'ј',      u'Ѕ', u'ѕ',      u'ї', u'А', u'Б', u'В', u'Г', u'Д', u'Е',      u'Ж', u'З', u'И', u'Й', u'К',
    u'Л',      u'М', u'Н',      u'О', u'П', u'Р', u'С', u'Т', u'У', u'Ф',      u'Х', u'Ц', u'Ч', u'Ш', u'Щ',
    u'Ъ',      u'Ы', u'Ь',      u'Э', u'Ю', u'Я', u'а', u'б', u'в', u'г',      u'д', u'е', u'ж', u'з', u'и',
    u'й',      u'к', u'л',      u'м', u'н', u'о', u'п', u'р', u'с', u'т',      u'у', u'ф', u'х', u'ц', u'ч',
    u'ш',      u'щ', u'ъ',      u'ы', u'ь', u'э', u'ю', u'я'};

QString decodeCp1251(const QByteArray &bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (char c : bytes) {
        const auto byte = static_cast<quint8>(c);
        text.append(byte < 0x80 ? QChar(char16_t(byte)) : QChar(kCp1251UpperHalf[byte - 0x80]));
    }
    return text;
}

QString helpTextPath()
{
    return kDataDir + u"/g/readme.txt"_s;
}

QStringList runeCardPaths()
{
    QStringList paths;
    for (int i = 1; i <= kRuneCards; ++i)
        paths << kDataDir + u"/g/%1.jpg"_s.arg(i);
    return paths;
}

const QStringList kButtonFiles{u"divine.bmp"_s, u"help.bmp"_s, u"exit.bmp"_s};

} // namespace

class TestDataFiles : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void jpegPictureDecodesCompletely_data();
    void jpegPictureDecodesCompletely();
    void picturesOfASetDiffer_data();
    void picturesOfASetDiffer();
    void buttonBitmapHeader_data();
    void buttonBitmapHeader();
    void buttonTransparentColorMarksOnlyTheHiddenMargin_data();
    void buttonTransparentColorMarksOnlyTheHiddenMargin();
    void iconIsABlackGlyphOnWhite();
    void desktopIconMatchesTheWindowIcon();
    void helpTextBytesAreCp1251WithCrLf();
    void helpTextNamesTheControls_data();
    void helpTextNamesTheControls();
};

void TestDataFiles::jpegPictureDecodesCompletely_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");

    const QStringList cards = runeCardPaths();
    for (int i = 0; i < cards.size(); ++i)
        QTest::addRow("g/%d.jpg", i + 1) << cards[i] << 145 << 177;
    QTest::newRow("background") << kAssetsDir + u"/background.jpg"_s << 1152 << 864;
    QTest::newRow("placeholder") << kAssetsDir + u"/placeholder.jpg"_s << 150 << 180;
}

void TestDataFiles::jpegPictureDecodesCompletely()
{
    QFETCH(QString, path);
    QFETCH(int, width);
    QFETCH(int, height);

    const JpegFacts facts = decodeJpegFile(path);
    QVERIFY2(facts.decoded, qPrintable(u"%1: libjpeg error %2"_s.arg(path).arg(facts.errorCode)));
    QCOMPARE(facts.width, width);
    QCOMPARE(facts.height, height);
    QCOMPARE(facts.components, 3);
    QVERIFY2(!facts.progressive, "the program draws pictures as baseline JPEG");
    QCOMPARE(facts.rowsRead, height);
    QCOMPARE(facts.warnings, 0L); // a truncated file decodes with only a warning and a grey rest
}

void TestDataFiles::picturesOfASetDiffer_data()
{
    QTest::addColumn<QStringList>("paths");

    QTest::newRow("rune cards") << runeCardPaths();
    QStringList buttons;
    for (const QString &file : kButtonFiles)
        buttons << kAssetsDir + u"/"_s + file;
    QTest::newRow("button faces") << buttons;
}

void TestDataFiles::picturesOfASetDiffer()
{
    QFETCH(QStringList, paths);

    QHash<QByteArray, QString> seen;
    for (const QString &path : paths) {
        const QByteArray bytes = readAll(path);
        QVERIFY2(!bytes.isEmpty(), qPrintable(path));
        const QByteArray digest = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
        QVERIFY2(!seen.contains(digest), qPrintable(path + u" repeats "_s + seen.value(digest)));
        seen.insert(digest, path);
    }
}

void TestDataFiles::buttonBitmapHeader_data()
{
    QTest::addColumn<QString>("file");
    for (const QString &file : kButtonFiles)
        QTest::newRow(qPrintable(file)) << file;
}

void TestDataFiles::buttonBitmapHeader()
{
    QFETCH(QString, file);

    const QByteArray bytes = readAll(kAssetsDir + u"/"_s + file);
    const BmpHeader h = readBmpHeader(bytes);
    QCOMPARE(h.magic, QByteArray("BM"));
    QCOMPARE(qsizetype(h.fileSize), bytes.size());
    QCOMPARE(h.infoSize, 40u);
    QCOMPARE(h.width, 177);
    QCOMPARE(h.height, 54); // positive: bottom-up rows
    QCOMPARE(h.planes, quint16(1));
    QCOMPARE(h.bitsPerPixel, quint16(16));
    QCOMPARE(h.compression, kBiBitfields);
    QCOMPARE(h.masks[0], 0xF800u);
    QCOMPARE(h.masks[1], 0x07E0u);
    QCOMPARE(h.masks[2], 0x001Fu);
    QCOMPARE(h.pixelOffset, quint32(kHeadersWithMasks));
    const int rowBytes = (177 * 2 + 3) / 4 * 4;
    QCOMPARE(bytes.size(), qsizetype(kHeadersWithMasks + rowBytes * 54));
}

void TestDataFiles::buttonTransparentColorMarksOnlyTheHiddenMargin_data()
{
    buttonBitmapHeader_data();
}

void TestDataFiles::buttonTransparentColorMarksOnlyTheHiddenMargin()
{
    QFETCH(QString, file);

    const QByteArray bytes = readAll(kAssetsDir + u"/"_s + file);
    QCOMPARE(readBmpHeader(bytes).pixelOffset, quint32(kHeadersWithMasks));
    const int width = 177;
    const int height = 54;
    const int rowBytes = (width * 2 + 3) / 4 * 4;
    auto pixel = [&](int x, int y) { // y counted from the top, as the button shows it
        return le16(bytes, kHeadersWithMasks + (height - 1 - y) * rowBytes + x * 2);
    };

    // The button's see-through colour is that of the lower-left pixel; its pixels show the face colour.
    const quint16 key = pixel(0, height - 1);
    // The button shows columns 3..172 and rows 4..48; a hole there would let the face colour through.
    const QRect visible(3, 4, 170, 45);
    int count = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (pixel(x, y) != key)
                continue;
            ++count;
            QVERIFY2(!visible.contains(x, y), qPrintable(u"see-through pixel at %1, %2"_s.arg(x).arg(y)));
        }
    }
    QCOMPARE(count, 3);
}

void TestDataFiles::iconIsABlackGlyphOnWhite()
{
    const QByteArray bytes = readAll(kAssetsDir + u"/icon.bmp"_s);
    const BmpHeader h = readBmpHeader(bytes);
    QCOMPARE(h.magic, QByteArray("BM"));
    QCOMPARE(qsizetype(h.fileSize), bytes.size());
    QCOMPARE(h.width, 100);
    QCOMPARE(h.height, 100);
    QCOMPARE(h.bitsPerPixel, quint16(24));
    QCOMPARE(h.compression, kBiRgb);
    QCOMPARE(bytes.size(), qsizetype(h.pixelOffset + 100 * 300));

    const QImage icon = QImage::fromData(bytes, "BMP");
    QVERIFY(!icon.isNull());
    QCOMPARE(icon.pixel(0, 0), qRgb(255, 255, 255));
    QCOMPARE(icon.pixel(99, 99), qRgb(255, 255, 255));
    // The two triangles of the rune of day meet in the middle.
    QCOMPARE(icon.pixel(50, 50), qRgb(0, 0, 0));
}

void TestDataFiles::desktopIconMatchesTheWindowIcon()
{
    const QImage window = QImage(kAssetsDir + u"/icon.bmp"_s).convertToFormat(QImage::Format_RGB32);
    const QImage desktop = QImage(kPackagingDir + u"/ormex.png"_s).convertToFormat(QImage::Format_RGB32);
    QVERIFY(!window.isNull());
    QVERIFY(!desktop.isNull());
    QCOMPARE(desktop, window);
}

void TestDataFiles::helpTextBytesAreCp1251WithCrLf()
{
    const QByteArray bytes = readAll(helpTextPath());
    QVERIFY(!bytes.isEmpty());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<quint8>(bytes.at(i));
        const auto fault = [&](const char *what) { return "byte " + QByteArray::number(i) + ": " + what; };
        if (byte == '\r')
            QVERIFY2(i + 1 < bytes.size() && bytes.at(i + 1) == '\n', fault("CR without LF").constData());
        else if (byte == '\n')
            QVERIFY2(i > 0 && bytes.at(i - 1) == '\r', fault("LF without CR").constData());
        else
            QVERIFY2(byte >= 0x20 || byte == '\t', fault("control byte").constData());
        QVERIFY2(byte != 0x7F, fault("control byte").constData());
        QVERIFY2(byte != 0x98, fault("unassigned in code page 1251").constData());
    }
}

void TestDataFiles::helpTextNamesTheControls_data()
{
    QTest::addColumn<QString>("words");

    QTest::newRow("divine button") << u"Гадание на Рунах"_s;
    QTest::newRow("help button") << u"Справка"_s;
    QTest::newRow("exit button") << u"Выход"_s;
    QTest::newRow("panel's close button") << u"Закрыть"_s;
}

void TestDataFiles::helpTextNamesTheControls()
{
    QFETCH(QString, words);

    const QString text = decodeCp1251(readAll(helpTextPath()));
    QVERIFY2(text.contains(words), qPrintable(words));
}

QTEST_GUILESS_MAIN(TestDataFiles)

#include "tst_datafiles.moc"
