#include "jpegimage.h"

#include "errors.h"

#include <QPaintDevice>
#include <QPainter>
#include <QSysInfo>

#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE declared before it
#include <future>
#include <jerror.h>
#include <jpeglib.h>
#include <new>
#include <system_error>

namespace tk {

namespace {

// Whole-image buffers (progressive and multi-scan files) above this fail instead of taking the machine's
// memory: a hostile header may claim 65500 x 65500 pixels.
constexpr long kMaxDecoderMemory = 64L * 1024 * 1024;
// Ordinary progressive files have about ten scans; thousands of tiny ones only make decoding crawl.
constexpr int kMaxInputScans = 100;
// Our own failure code, past libjpeg's last message; it never reaches the user.
constexpr int kTooManyScans = JMSG_LASTMSGCODE;
// A cached region grows to take in a newly needed one only while the two together stay this small.
constexpr qint64 kMaxGrownCachePixels = 4LL * 1024 * 1024;
// Subsampled colour is upsampled from the neighbouring samples, and at the edge of a cropped decode the
// neighbour is missing: one more column on each side makes a part decode exactly as the whole would.
constexpr int kUpsamplingMargin = 1;
// Rows handed to libjpeg per read call; it fills at most one row group at a time anyway.
constexpr int kRowsPerRead = 16;

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void jumpToHandler(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<ErrorManager *>(cinfo->err)->jump, 1);
}

// The default prints to stderr; warnings (a file cut short) are not worth a line on the console.
void stayQuiet(j_common_ptr)
{
}

void stopScanBombs(j_common_ptr cinfo)
{
    if (cinfo->is_decompressor &&
        reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxInputScans) {
        cinfo->err->msg_code = kTooManyScans;
        (*cinfo->err->error_exit)(cinfo);
    }
}

// One decompression. Everything in here is plain C data, so a longjmp may leave frames that use it;
// only the owner, which never calls setjmp, runs the destructor.
struct Decoder {
    jpeg_decompress_struct cinfo{};
    ErrorManager err{};
    jpeg_progress_mgr progress{};
    bool created = false;

    Decoder() = default;
    Decoder(const Decoder &) = delete;
    Decoder &operator=(const Decoder &) = delete;
    ~Decoder()
    {
        if (created)
            jpeg_destroy_decompress(&cinfo); // also ends a decompression left half way
    }
};

// The functions that call setjmp hold no object with a destructor: longjmp would skip it. Each returns
// 0 or libjpeg's message code.

int readHeader(Decoder &dec, const QByteArray &data)
{
    dec.cinfo.err = jpeg_std_error(&dec.err.pub);
    dec.err.pub.error_exit = jumpToHandler;
    dec.err.pub.output_message = stayQuiet;
    // Armed before jpeg_mem_src: it is what refuses empty data.
    if (setjmp(dec.err.jump))
        return dec.err.pub.msg_code;
    dec.created = true;
    jpeg_create_decompress(&dec.cinfo);
    dec.cinfo.mem->max_memory_to_use = kMaxDecoderMemory;
    jpeg_mem_src(&dec.cinfo, reinterpret_cast<const unsigned char *>(data.constData()),
                 static_cast<unsigned long>(data.size()));
    // With an image required and all data in memory nothing but "OK" comes back; still, never go on
    // with anything else.
    if (jpeg_read_header(&dec.cinfo, TRUE) != JPEG_HEADER_OK)
        return JERR_NO_IMAGE;
    if (dec.cinfo.image_width == 0 || dec.cinfo.image_height == 0)
        return JERR_EMPTY_IMAGE;
    return 0;
}

bool isCmyk(const jpeg_decompress_struct &cinfo)
{
    return cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
}

// For progressive and multi-scan files this reads every scan.
int startDecompress(Decoder &dec)
{
    if (setjmp(dec.err.jump))
        return dec.err.pub.msg_code;
    // Format_RGB32 is 0xffRRGGBB in native byte order. The "A" layouts, unlike the "X" ones, promise the
    // fourth byte is 0xff, which QImage relies on for that format. CMYK is converted by hand afterwards;
    // it has four bytes a pixel too, so it is decoded into the picture's own rows.
    if (isCmyk(dec.cinfo))
        dec.cinfo.out_color_space = JCS_CMYK;
    else
        dec.cinfo.out_color_space =
            QSysInfo::ByteOrder == QSysInfo::LittleEndian ? JCS_EXT_BGRA : JCS_EXT_ARGB;
    dec.progress.progress_monitor = stopScanBombs;
    dec.cinfo.progress = &dec.progress;
    jpeg_start_decompress(&dec.cinfo);
    if (dec.cinfo.output_components != 4)
        return JERR_CONVERSION_NOTIMPL;
    return 0;
}

// Positions the decompression at row y, columns x .. x + width - 1. libjpeg may widen the columns to
// iMCU boundaries: *cropX and *cropWidth receive what it will deliver.
int cropAndSkip(Decoder &dec, JDIMENSION x, JDIMENSION y, JDIMENSION width, JDIMENSION *cropX,
                JDIMENSION *cropWidth)
{
    if (setjmp(dec.err.jump))
        return dec.err.pub.msg_code;
    *cropX = x;
    *cropWidth = width;
    jpeg_crop_scanline(&dec.cinfo, cropX, cropWidth);
    if (jpeg_skip_scanlines(&dec.cinfo, y) != y)
        return JERR_TOO_LITTLE_DATA;
    return 0;
}

// Reads up to rows rows into the 4-byte-a-pixel buffer at bits; *rowsRead counts the complete ones, so
// that what came before a failure can still be shown.
int readRows(Decoder &dec, unsigned char *bits, qsizetype bytesPerLine, int rows, int *rowsRead)
{
    *rowsRead = 0;
    if (setjmp(dec.err.jump))
        return dec.err.pub.msg_code;
    JSAMPROW rowPointers[kRowsPerRead];
    while (*rowsRead < rows) {
        const int batch = std::min(kRowsPerRead, rows - *rowsRead);
        for (int i = 0; i < batch; ++i)
            rowPointers[i] = bits + (*rowsRead + i) * bytesPerLine;
        const JDIMENSION got = jpeg_read_scanlines(&dec.cinfo, rowPointers, JDIMENSION(batch));
        if (got == 0)
            return JERR_TOO_LITTLE_DATA; // cannot happen with data in memory: that source never suspends
        *rowsRead += int(got);
    }
    return 0;
}

// Most CMYK files store their inks inverted (0 = full ink) and say so with an APP14 marker; files without
// that marker are taken as plain CMYK.
void cmykToRgb32(QImage &image, int rows, bool inverted)
{
    for (int y = 0; y < rows; ++y) {
        uchar *cmyk = image.scanLine(y);
        QRgb *rgb = reinterpret_cast<QRgb *>(cmyk);
        for (int x = 0; x < image.width(); ++x, cmyk += 4) {
            int c = cmyk[0], m = cmyk[1], yellow = cmyk[2], k = cmyk[3];
            if (!inverted) {
                c = 255 - c;
                m = 255 - m;
                yellow = 255 - yellow;
                k = 255 - k;
            }
            rgb[x] = qRgb(c * k / 255, m * k / 255, yellow * k / 255);
        }
    }
}

struct DecodedRegion {
    QImage image;
    QRect rect; // picture coordinates
    bool failed = false;
    // After a fatal error while reading the scans of a multi-scan file, the scans libjpeg had begun; the
    // last of them may be the one that failed. 0 when retrying with fewer scans would not help.
    int scansBegun = 0;
};

DecodedRegion decodeRegion(const QByteArray &data, const QRect &region)
{
    DecodedRegion result;
    result.failed = true;
    Decoder dec;
    if (readHeader(dec, data) != 0)
        return result;
    if (const int failure = startDecompress(dec)) {
        if (failure != kTooManyScans && failure != JERR_NO_BACKING_STORE && failure != JERR_OUT_OF_MEMORY)
            result.scansBegun = dec.cinfo.input_scan_number;
        return result;
    }
    JDIMENSION cropX = 0;
    JDIMENSION cropWidth = 0;
    if (cropAndSkip(dec, JDIMENSION(region.x()), JDIMENSION(region.y()), JDIMENSION(region.width()), &cropX,
                    &cropWidth) != 0 ||
        cropWidth == 0 || cropX + cropWidth > dec.cinfo.image_width)
        return result;

    QImage image(int(cropWidth), region.height(), QImage::Format_RGB32);
    if (image.isNull()) // out of memory
        return result;
    int rows = 0;
    result.failed = readRows(dec, image.bits(), image.bytesPerLine(), region.height(), &rows) != 0;
    if (isCmyk(dec.cinfo))
        cmykToRgb32(image, rows, dec.cinfo.saw_Adobe_marker);
    if (rows < image.height())
        image = rows > 0 ? image.copy(0, 0, image.width(), rows) : QImage();
    if (!image.isNull()) {
        result.rect = QRect(int(cropX), region.y(), image.width(), image.height());
        result.image = std::move(image);
    }
    return result;
}

bool isRestartMarker(uchar marker)
{
    return marker >= 0xD0 && marker <= 0xD7;
}

// The data up to the end of the entropy-coded data of its first `scans` scans, closed with an end-of-image
// marker: a smaller but sound file. Empty when the data holds fewer complete scans. Markers are walked
// the way libjpeg walks them, so scans are counted as it counts them.
QByteArray withFirstScans(const QByteArray &data, int scans)
{
    const auto *bytes = reinterpret_cast<const uchar *>(data.constData());
    const qsizetype size = data.size();
    int seen = 0;
    qsizetype i = 2; // after the start-of-image marker
    while (i + 1 < size) {
        if (bytes[i] != 0xFF || bytes[i + 1] == 0xFF || bytes[i + 1] == 0x00) {
            ++i; // stray bytes and fill bytes before a marker
            continue;
        }
        const uchar marker = bytes[i + 1];
        if (marker == 0xD9)
            return QByteArray();
        if (marker == 0x01 || isRestartMarker(marker)) { // markers without a length
            i += 2;
            continue;
        }
        if (i + 3 >= size)
            return QByteArray();
        qsizetype next = i + 2 + ((qsizetype(bytes[i + 2]) << 8) | bytes[i + 3]);
        if (marker == 0xDA) {
            // Entropy-coded data runs to the next marker that is neither a stuffed zero nor a restart.
            while (next + 1 < size &&
                   !(bytes[next] == 0xFF && bytes[next + 1] != 0x00 && !isRestartMarker(bytes[next + 1])))
                ++next;
            if (next + 1 >= size)
                return QByteArray();
            if (++seen == scans)
                return data.left(next) + QByteArray("\xFF\xD9", 2);
        }
        i = next;
    }
    return QByteArray();
}

// The part of the paint device the painter can reach, in painter coordinates; a caller's visible rect
// larger than the device must not make us decode pixels nobody can see.
QRect reachableArea(const QPainter &painter, const QRect &visible)
{
    const QPaintDevice *device = painter.device();
    if (!device)
        return visible;
    switch (device->devType()) {
    case QInternal::Image:
    case QInternal::Pixmap:
    case QInternal::Widget:
        break;
    default:
        return visible; // pictures, printers: sizes that say nothing about what is reachable
    }
    // The combined transform leaves out redirection and the device pixel ratio, which is what the
    // device's own size is measured in (for a high-density image it is larger: still a bound).
    bool invertible = false;
    const QTransform toPainter = painter.combinedTransform().inverted(&invertible);
    if (!invertible)
        return visible;
    return visible & toPainter.mapRect(QRect(0, 0, device->width(), device->height())).adjusted(-1, -1, 1, 1);
}

// A decoded region, and the picture's data cut down to its sound scans when that was what made it decode.
struct SalvagedDecode {
    DecodedRegion result;
    QByteArray shortenedData;
};

SalvagedDecode decodeSalvaging(const QByteArray &data, const QRect &region)
{
    SalvagedDecode outcome{decodeRegion(data, region), QByteArray()};
    // Typically a progressive file cut inside the tables or the header of a scan. libjpeg gives up on
    // the whole file; the scans before that still make a picture, as they would had the cut fallen
    // inside scan data. Whether the last scan begun is sound is not known: try with it, then without.
    const int scansBegun = outcome.result.scansBegun;
    for (int scans = scansBegun; scans > 0 && scans >= scansBegun - 1; --scans) {
        QByteArray shortened = withFirstScans(data, scans);
        if (shortened.isEmpty())
            continue;
        DecodedRegion retry = decodeRegion(shortened, region);
        if (!retry.failed) {
            outcome.shortenedData = std::move(shortened);
            outcome.result = std::move(retry);
            break;
        }
    }
    return outcome;
}

} // namespace

struct JpegImage::Private {
    QByteArray data;
    int width = 0;
    int height = 0;
    QRect decodedRect;
    QImage decodedImage;
    bool decodeFailed = false;
    int decodeCount = 0;
    std::future<SalvagedDecode> ahead;

    void decode(const QRect &region);
    void apply(SalvagedDecode outcome);
    void collectAhead();
    QRect decodingRegion(const QRect &needed) const;
};

// Decodes region (picture coordinates, inside the picture) into the cache. Failures leave decodeFailed
// set and keep what rows could be decoded, or the old cache when there were none.
void JpegImage::Private::decode(const QRect &region)
{
    ++decodeCount;
    apply(decodeSalvaging(data, region));
}

void JpegImage::Private::apply(SalvagedDecode outcome)
{
    // The shortened file is kept so that later regions decode at once.
    if (!outcome.shortenedData.isEmpty())
        data = std::move(outcome.shortenedData);
    decodeFailed = outcome.result.failed;
    if (!outcome.result.image.isNull()) {
        decodedRect = outcome.result.rect;
        decodedImage = std::move(outcome.result.image);
    }
}

void JpegImage::Private::collectAhead()
{
    if (!ahead.valid())
        return;
    try {
        apply(ahead.get());
    } catch (const std::bad_alloc &) {
        // Nothing was taken in: the draw decodes for itself.
    }
}

// What to decode for a needed region: a little more for the upsampling, and the cached region with it
// while the two stay small, so that a region next to the cached one does not throw that away.
QRect JpegImage::Private::decodingRegion(const QRect &needed) const
{
    const QRect picture(0, 0, width, height);
    QRect region = needed.adjusted(-kUpsamplingMargin, 0, kUpsamplingMargin, 0) & picture;
    if (!decodedRect.isEmpty()) {
        const QRect both = region | decodedRect;
        if (qint64(both.width()) * both.height() <= kMaxGrownCachePixels)
            region = both;
    }
    return region;
}

JpegImage::JpegImage() : d(std::make_unique<Private>())
{
}

JpegImage::~JpegImage() = default;

int JpegImage::width() const
{
    return d->width;
}

int JpegImage::height() const
{
    return d->height;
}

void JpegImage::loadFromData(const QByteArray &data)
{
    int width = 0;
    int height = 0;
    {
        Decoder dec;
        if (const int failure = readHeader(dec, data))
            throw Error(QStringLiteral("JPEG error #%1").arg(failure));
        width = int(dec.cinfo.image_width);
        height = int(dec.cinfo.image_height);
    }
    // The old picture's pixels are of no use any more; the decoder holds its own reference to the old
    // bytes, so only its end is waited for.
    d->ahead = {};
    // Implicitly shared: keeping the bytes costs no copy unless the caller changes its own array.
    d->data = data;
    d->width = width;
    d->height = height;
    d->decodedRect = QRect();
    d->decodedImage = QImage();
    d->decodeFailed = false;
}

void JpegImage::decodeAhead(const QRect &region)
{
    d->collectAhead();
    const QRect needed = region & QRect(0, 0, d->width, d->height);
    if (needed.isEmpty() || d->decodeFailed || d->decodedRect.contains(needed))
        return;
    const QRect decoding = d->decodingRegion(needed);
    try {
        d->ahead = std::async(std::launch::async,
                              [data = d->data, decoding] { return decodeSalvaging(data, decoding); });
        ++d->decodeCount;
    } catch (const std::system_error &) {
        // No thread to be had: the first draw decodes, as it would have anyway.
    }
}

void JpegImage::draw(QPainter &painter, QPoint origin, const QRect &visible)
{
    if (empty())
        return;
    d->collectAhead();
    const QRect picture(0, 0, d->width, d->height);
    const QRect area = picture.translated(origin) & reachableArea(painter, visible);
    if (area.isEmpty())
        return;
    const QRect needed = area.translated(-origin);

    if (!d->decodedRect.contains(needed) && !d->decodeFailed) {
        try {
            d->decode(d->decodingRegion(needed));
        } catch (const std::bad_alloc &) { // a copy of the bytes while salvaging: give up like any failure
            d->decodeFailed = true;
        }
    }

    const QRect shown = needed & d->decodedRect;
    if (!shown.isEmpty())
        painter.drawImage(shown.topLeft() + origin, d->decodedImage,
                          shown.translated(-d->decodedRect.topLeft()));
}

QRect JpegImage::decodedRect() const
{
    d->collectAhead();
    return d->decodedRect;
}

const QImage &JpegImage::decodedImage() const
{
    d->collectAhead();
    return d->decodedImage;
}

bool JpegImage::decodeFailed() const
{
    d->collectAhead();
    return d->decodeFailed;
}

int JpegImage::decodeCount() const
{
    d->collectAhead();
    return d->decodeCount;
}

void registerJpegFormat()
{
    const auto makeJpeg = [] { return std::unique_ptr<Graphic>(std::make_unique<JpegImage>()); };
    registerFileFormat(u"jpeg"_qs, makeJpeg);
    registerFileFormat(u"jpg"_qs, makeJpeg);
}

} // namespace tk
