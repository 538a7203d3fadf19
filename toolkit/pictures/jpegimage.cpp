#include "toolkit/pictures/jpegimage.h"

#include "toolkit/base/errors.h"

#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QSysInfo>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE declared before it
#include <future>
#include <jerror.h>
#include <jpeglib.h>
#include <limits>
#include <new>
#include <optional>
#include <system_error>
#include <vector>

using namespace Qt::StringLiterals;

namespace tk {

namespace {

// Whole-image buffers (progressive and multi-scan files) above this fail instead of taking the machine's
// memory: a hostile header may claim 65500 x 65500 pixels.
constexpr long kMaxDecoderMemory = 64L * 1024 * 1024;
// Ordinary progressive files have about ten scans; thousands of tiny ones only make decoding crawl.
constexpr int kMaxInputScans = 100;
// Our own failure codes, past libjpeg's last message; they never reach the user.
constexpr int kTooManyScans = JMSG_LASTMSGCODE;
constexpr int kOverBudget = JMSG_LASTMSGCODE + 1;
// What one paint may cost, in picture pixels the entropy decoder walks through: it decodes whole rows
// of the picture, however few columns are shown, and cannot jump to a row without decoding those above.
// A few times what is shown, and enough for any ordinary photograph drawn whole or reached in the
// middle; a header that claims a giant picture then costs a few milliseconds, not seconds.
constexpr qint64 kMinDecodeBudget = 12LL * 1024 * 1024;
constexpr qint64 kDecodeBudgetPerShownPixel = 64;
// Files of several scans are read whole before the first row comes out; the decoder memory bound
// (kMaxDecoderMemory) already limits their size, this limits the passes over it.
constexpr qint64 kMultiScanBudgetFactor = 3;
// Where a picture cannot be decoded, it shows this grey, as a JPEG file cut short does.
constexpr QRgb kMissingDataGrey = qRgb(128, 128, 128);
// Rows decoded larger than this many times the shown size are averaged down while they are read, so
// that memory follows what is shown, not what the file holds.
constexpr int kMaxOversampling = 2;
// A cached region grows to take in a newly needed one only while the two together stay this small.
constexpr qint64 kMaxGrownCachePixels = 4LL * 1024 * 1024;
// Subsampled colour is upsampled from the neighbouring samples, and at the edge of a cropped decode the
// neighbour is missing: one more column on each side makes a part decode exactly as the whole would.
constexpr int kUpsamplingMargin = 1;
// The decoded region is found by scaling output rows and columns back to the picture, which may round a
// whole edge (65500 of them) a hair short; far less than any row or column that could be missing.
constexpr qreal kCoverTolerance = 1e-3;
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

[[noreturn]] void fail(j_common_ptr cinfo, int code)
{
    cinfo->err->msg_code = code;
    (*cinfo->err->error_exit)(cinfo);
    std::abort(); // error_exit never returns
}

// One decompression. Everything in here is plain C data, so a longjmp may leave frames that use it;
// only the owner, which never calls setjmp, runs the destructor.
struct Decoder {
    jpeg_decompress_struct cinfo{};
    ErrorManager err{};
    jpeg_progress_mgr progress{};
    bool created = false;
    boolean (*fillFromMemory)(j_decompress_ptr) = nullptr;
    // The decoder asked for bytes past the end of the data: the file holds less than it claims.
    bool exhausted = false;
    // Once the decoder has used up what there was: output rows from here on hold nothing of the file.
    JDIMENSION rowsWithData = std::numeric_limits<JDIMENSION>::max();
    // Counted while the scans of a multi-scan file are read in jpeg_start_decompress.
    bool absorbing = false;
    bool multiScan = false;
    qint64 budget = 0;
    qint64 spent = 0;

    Decoder() = default;
    Decoder(const Decoder &) = delete;
    Decoder &operator=(const Decoder &) = delete;
    ~Decoder()
    {
        if (created)
            jpeg_destroy_decompress(&cinfo); // also ends a decompression left half way
    }
};

// Called once for every row of blocks libjpeg takes in while it reads the scans of a multi-scan file,
// and once per read call afterwards.
void watchProgress(j_common_ptr common)
{
    if (!common->is_decompressor)
        return;
    auto *cinfo = reinterpret_cast<j_decompress_ptr>(common);
    if (cinfo->input_scan_number > kMaxInputScans)
        fail(common, kTooManyScans);
    auto *dec = static_cast<Decoder *>(cinfo->client_data);
    if (dec->absorbing) {
        dec->spent += qint64(cinfo->image_width) * cinfo->max_v_samp_factor * DCTSIZE;
        if (dec->spent > dec->budget)
            fail(common, kOverBudget);
    }
}

// Marks the rows that still show something of a file cut short. The data ran out inside the row of
// blocks being decoded: the rows above are whole, that row has its first blocks. Smoothed colour carries
// its last samples into the row just below; everything past that is grey that libjpeg makes up.
void endDataInCurrentBlockRow(j_decompress_ptr cinfo)
{
    auto *dec = static_cast<Decoder *>(cinfo->client_data);
    const auto rowsPerBlockRow =
        JDIMENSION(std::max(1, cinfo->max_v_samp_factor * cinfo->min_DCT_scaled_size));
    dec->rowsWithData = std::min(dec->rowsWithData, (cinfo->input_iMCU_row + 2) * rowsPerBlockRow);
}

// The Huffman decoder reads up to eight bytes ahead, so the source runs dry a row of blocks or more
// before the data does; it warns once a block really finds no more bits, and that is where the data ends.
void noteWarning(j_common_ptr common, int level)
{
    auto *cinfo = reinterpret_cast<j_decompress_ptr>(common);
    if (common->is_decompressor && level < 0 && common->err->msg_code == JWRN_HIT_MARKER &&
        static_cast<Decoder *>(cinfo->client_data)->exhausted)
        endDataInCurrentBlockRow(cinfo);
}

boolean noteEndOfData(j_decompress_ptr cinfo)
{
    auto *dec = static_cast<Decoder *>(cinfo->client_data);
    dec->exhausted = true;
    // The arithmetic decoder gives no warning: from here on it decodes zeros into made-up blocks.
    if (cinfo->arith_code)
        endDataInCurrentBlockRow(cinfo);
    return dec->fillFromMemory(cinfo); // supplies an end-of-image marker, as for any file cut short
}

// The functions that call setjmp hold no object with a destructor: longjmp would skip it. Each returns
// 0 or libjpeg's message code.

int readHeader(Decoder &dec, const QByteArray &data)
{
    dec.cinfo.err = jpeg_std_error(&dec.err.pub);
    dec.err.pub.error_exit = jumpToHandler;
    dec.err.pub.output_message = stayQuiet;
    dec.err.pub.emit_message = noteWarning;
    // Armed before jpeg_mem_src: it is what refuses empty data.
    if (setjmp(dec.err.jump))
        return dec.err.pub.msg_code;
    dec.created = true;
    jpeg_create_decompress(&dec.cinfo);
    dec.cinfo.mem->max_memory_to_use = kMaxDecoderMemory;
    jpeg_mem_src(&dec.cinfo, reinterpret_cast<const unsigned char *>(data.constData()),
                 static_cast<unsigned long>(data.size()));
    dec.cinfo.client_data = &dec;
    dec.fillFromMemory = dec.cinfo.src->fill_input_buffer;
    dec.cinfo.src->fill_input_buffer = noteEndOfData;
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

// For progressive and multi-scan files this reads every scan. scale is libjpeg's DCT scaling in
// eighths (1 to 8).
int startDecompress(Decoder &dec, int scale)
{
    if (setjmp(dec.err.jump))
        return dec.err.pub.msg_code;
    dec.cinfo.scale_num = unsigned(scale);
    dec.cinfo.scale_denom = 8;
    // Format_RGB32 is 0xffRRGGBB in native byte order. The "A" layouts, unlike the "X" ones, promise the
    // fourth byte is 0xff, which QImage relies on for that format. CMYK is converted by hand afterwards;
    // it has four bytes a pixel too, so it is decoded into the picture's own rows.
    if (isCmyk(dec.cinfo))
        dec.cinfo.out_color_space = JCS_CMYK;
    else
        dec.cinfo.out_color_space =
            QSysInfo::ByteOrder == QSysInfo::LittleEndian ? JCS_EXT_BGRA : JCS_EXT_ARGB;
    dec.progress.progress_monitor = watchProgress;
    dec.cinfo.progress = &dec.progress;
    dec.multiScan = jpeg_has_multiple_scans(&dec.cinfo);
    dec.absorbing = dec.multiScan;
    jpeg_start_decompress(&dec.cinfo);
    dec.absorbing = false;
    if (dec.cinfo.output_components != 4)
        return JERR_CONVERSION_NOTIMPL;
    return 0;
}

// Full-width picture pixels the entropy decoder goes through for rows output rows (which may be scaled).
qint64 entropyWork(const Decoder &dec, JDIMENSION rows)
{
    if (dec.multiScan)
        return 0; // all of it was read, and paid for, while starting
    return qint64(dec.cinfo.image_width) * rows * dec.cinfo.image_height /
           std::max(1u, dec.cinfo.output_height);
}

// The first output row that holds nothing of the file.
JDIMENSION firstRowWithoutData(const Decoder &dec)
{
    // A multi-scan file is read whole before the first row: its end was met then, and what it held is
    // in every row.
    return dec.multiScan ? std::numeric_limits<JDIMENSION>::max() : dec.rowsWithData;
}

// Stops a decode that has spent its budget or has run past the end of the data: rows after that would
// only be made up by the decoder.
int checkBudget(const Decoder &dec)
{
    if (dec.cinfo.output_scanline >= firstRowWithoutData(dec))
        return JERR_INPUT_EOF;
    return dec.spent > dec.budget ? kOverBudget : 0;
}

// Columns x .. x + width - 1 of the output. libjpeg may widen them to iMCU boundaries: *cropX and
// *cropWidth receive what it will deliver. Narrowing first makes skipped and read rows cheaper.
int crop(Decoder &dec, JDIMENSION x, JDIMENSION width, JDIMENSION *cropX, JDIMENSION *cropWidth)
{
    if (setjmp(dec.err.jump))
        return dec.err.pub.msg_code;
    *cropX = x;
    *cropWidth = width;
    jpeg_crop_scanline(&dec.cinfo, cropX, cropWidth);
    return 0;
}

// Skips to output row y a row of blocks at a time, so that the budget and the end of the data are
// checked as it goes: libjpeg itself would decode every skipped row of a giant picture without pause.
int skipRows(Decoder &dec, JDIMENSION y)
{
    if (setjmp(dec.err.jump))
        return dec.err.pub.msg_code;
    const JDIMENSION step =
        JDIMENSION(std::max(1, dec.cinfo.max_v_samp_factor * dec.cinfo.min_DCT_scaled_size));
    while (dec.cinfo.output_scanline < y) {
        if (const int stop = checkBudget(dec))
            return stop;
        const JDIMENSION rows = std::min(step, y - dec.cinfo.output_scanline);
        if (jpeg_skip_scanlines(&dec.cinfo, rows) != rows)
            return JERR_TOO_LITTLE_DATA;
        dec.spent += entropyWork(dec, rows);
    }
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
        if (const int stop = checkBudget(dec))
            return stop;
        const int batch = int(std::min({JDIMENSION(kRowsPerRead), JDIMENSION(rows - *rowsRead),
                                        firstRowWithoutData(dec) - dec.cinfo.output_scanline}));
        for (int i = 0; i < batch; ++i)
            rowPointers[i] = bits + (*rowsRead + i) * bytesPerLine;
        const JDIMENSION got = jpeg_read_scanlines(&dec.cinfo, rowPointers, JDIMENSION(batch));
        if (got == 0)
            return JERR_TOO_LITTLE_DATA; // cannot happen with data in memory: that source never suspends
        *rowsRead += int(got);
        // Rows of a multi-scan file cost their inverse transforms only, but a tall one has many.
        dec.spent += dec.multiScan ? qint64(dec.cinfo.output_width) * got : entropyWork(dec, got);
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

struct DecodeRequest {
    QRect region;  // picture coordinates, inside the picture
    int scale = 8; // libjpeg's DCT scaling, in eighths
    // Device pixels per picture pixel: rows decoded much finer than that are averaged down as they come.
    qreal densityX = 1;
    qreal densityY = 1;
    qint64 budget = kMinDecodeBudget;
};

struct DecodedRegion {
    QImage image;
    QRectF rect; // picture coordinates covered by image
    bool failed = false;
    // After a fatal error while reading the scans of a multi-scan file, the scans libjpeg had begun; the
    // last of them may be the one that failed. 0 when retrying with fewer scans would not help.
    int scansBegun = 0;
};

// Averages source rows, as they are decoded, into a smaller image: a picture drawn small never needs
// its full decoded size in memory.
class RowReducer {
public:
    RowReducer(QImage &target, int sourceWidth, int sourceRows)
        : m_target(target), m_sourceRows(sourceRows), m_column(size_t(sourceWidth)),
          m_sums(size_t(target.width()) * 3), m_counts(size_t(target.width()))
    {
        for (int x = 0; x < sourceWidth; ++x)
            m_column[size_t(x)] = int(qint64(x) * target.width() / sourceWidth);
    }

    void add(const QRgb *row)
    {
        const int y = int(qint64(m_row++) * m_target.height() / m_sourceRows);
        if (y != m_targetRow)
            flush();
        m_targetRow = y;
        for (size_t x = 0; x < m_column.size(); ++x) {
            const size_t to = size_t(m_column[x]);
            m_sums[to * 3] += qRed(row[x]);
            m_sums[to * 3 + 1] += qGreen(row[x]);
            m_sums[to * 3 + 2] += qBlue(row[x]);
            ++m_counts[to];
        }
    }

    void flush()
    {
        if (m_targetRow < 0)
            return;
        auto *out = reinterpret_cast<QRgb *>(m_target.scanLine(m_targetRow));
        for (size_t x = 0; x < m_counts.size(); ++x) {
            if (const quint32 n = m_counts[x])
                out[x] = qRgb(int(m_sums[x * 3] / n), int(m_sums[x * 3 + 1] / n), int(m_sums[x * 3 + 2] / n));
        }
        std::fill(m_sums.begin(), m_sums.end(), 0);
        std::fill(m_counts.begin(), m_counts.end(), 0);
        m_targetRow = -1;
    }

private:
    QImage &m_target;
    int m_sourceRows;
    int m_row = 0;
    int m_targetRow = -1;
    std::vector<int> m_column;
    std::vector<quint64> m_sums;
    std::vector<quint32> m_counts;
};

// Reads rows rows into image (its width is the decoder's cropped width), or, when image is smaller,
// averages them into it. Returns 0 or the failure that stopped it; rows not reached stay as they were.
int readInto(Decoder &dec, QImage &image, int rows)
{
    const bool cmyk = isCmyk(dec.cinfo);
    if (image.width() == int(dec.cinfo.output_width) && image.height() == rows) {
        int read = 0;
        const int failure = readRows(dec, image.bits(), image.bytesPerLine(), rows, &read);
        if (cmyk)
            cmykToRgb32(image, read, dec.cinfo.saw_Adobe_marker);
        return failure;
    }
    QImage strip(int(dec.cinfo.output_width), kRowsPerRead, QImage::Format_RGB32);
    if (strip.isNull())
        return JERR_OUT_OF_MEMORY;
    RowReducer reducer(image, strip.width(), rows);
    int done = 0;
    int failure = 0;
    while (done < rows && failure == 0) {
        int read = 0;
        failure =
            readRows(dec, strip.bits(), strip.bytesPerLine(), std::min(kRowsPerRead, rows - done), &read);
        if (cmyk)
            cmykToRgb32(strip, read, dec.cinfo.saw_Adobe_marker);
        for (int y = 0; y < read; ++y)
            reducer.add(reinterpret_cast<const QRgb *>(strip.constScanLine(y)));
        done += read;
    }
    reducer.flush();
    return failure;
}

DecodedRegion decodeRegion(const QByteArray &data, const DecodeRequest &request)
{
    DecodedRegion result;
    result.failed = true;
    Decoder dec;
    dec.budget = request.budget;
    if (readHeader(dec, data) != 0)
        return result;
    if (jpeg_has_multiple_scans(&dec.cinfo))
        dec.budget *= kMultiScanBudgetFactor;
    if (const int failure = startDecompress(dec, request.scale)) {
        if (failure != kTooManyScans && failure != JERR_NO_BACKING_STORE && failure != JERR_OUT_OF_MEMORY &&
            failure != kOverBudget)
            result.scansBegun = dec.cinfo.input_scan_number;
        return result;
    }
    // Output pixels per picture pixel.
    const double fx = double(dec.cinfo.output_width) / dec.cinfo.image_width;
    const double fy = double(dec.cinfo.output_height) / dec.cinfo.image_height;
    const QRect &region = request.region;
    const auto outX = JDIMENSION(std::floor(region.x() * fx));
    const auto outY = JDIMENSION(std::floor(region.y() * fy));
    const JDIMENSION outRight =
        std::min(dec.cinfo.output_width, JDIMENSION(std::ceil((region.x() + region.width()) * fx)));
    const JDIMENSION outBottom =
        std::min(dec.cinfo.output_height, JDIMENSION(std::ceil((region.y() + region.height()) * fy)));
    if (outRight <= outX || outBottom <= outY)
        return result;
    JDIMENSION cropX = 0;
    JDIMENSION cropWidth = 0;
    const JDIMENSION fullWidth = dec.cinfo.output_width; // cropping narrows it
    if (crop(dec, outX, outRight - outX, &cropX, &cropWidth) != 0 || cropWidth == 0 ||
        cropX + cropWidth > fullWidth)
        return result;

    const int rows = int(outBottom - outY);
    // Averaged down only where the rows are much finer than the device pixels they will cover.
    const auto shown = [](JDIMENSION count, double perPicturePixel, qreal density) {
        return std::max(1, int(std::ceil(count / perPicturePixel * density)));
    };
    int width = int(cropWidth);
    int height = rows;
    if (width > kMaxOversampling * shown(cropWidth, fx, request.densityX))
        width = shown(cropWidth, fx, request.densityX);
    if (height > kMaxOversampling * shown(JDIMENSION(rows), fy, request.densityY))
        height = shown(JDIMENSION(rows), fy, request.densityY);
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull()) // out of memory
        return result;
    image.fill(kMissingDataGrey);
    result.rect = QRectF(cropX / fx, outY / fy, cropWidth / fx, rows / fy);
    int failure = skipRows(dec, outY);
    if (failure == 0)
        failure = readInto(dec, image, rows);
    // Data that ends early and a spent budget leave grey rows, like a file cut short, but they are not
    // failures of the file: another part of it may still decode within its own budget.
    result.failed = failure != 0 && failure != JERR_INPUT_EOF && failure != kOverBudget;
    result.image = std::move(image);
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

// The device pixels the painter can reach, or an empty rect when the device does not say. A caller's
// visible rect larger than the device must not make us decode pixels nobody can see.
QRect deviceBounds(const QPainter &painter)
{
    const QPaintDevice *device = painter.device();
    if (!device)
        return QRect();
    // A widget paints within the region Qt gives it, in device pixels. Its own size is logical, and the
    // pixel ratio may sit in the painter's world transform or below it, depending on the path: the
    // system clip is the one measure that does not depend on that.
    if (const QPaintEngine *engine = painter.paintEngine(); engine && !engine->systemClip().isEmpty())
        return engine->systemClip().boundingRect();
    switch (device->devType()) {
    case QInternal::Image:
    case QInternal::Pixmap:
        // Their own size is counted in device pixels already, whatever their pixel ratio.
        return QRect(0, 0, device->width(), device->height());
    case QInternal::Widget: {
        bool invertible = false;
        const QTransform base = painter.combinedTransform().inverted(&invertible) * painter.deviceTransform();
        if (!invertible)
            return QRect();
        return QRectF(base.map(QPointF(0, 0)),
                      QSizeF(device->width(), device->height()) * device->devicePixelRatioF())
            .toAlignedRect();
    }
    default:
        return QRect(); // pictures, printers: sizes that say nothing about what is reachable
    }
}

// libjpeg's DCT scaling in eighths: the smallest at least as fine as the device pixels need.
int scaleFor(qreal density)
{
    return std::clamp(int(std::ceil(density * 8 - 1e-6)), 1, 8);
}

// What one draw needs, decided in device pixels: at a pixel ratio of 2 a picture drawn unscaled covers
// twice as many of them each way, and a picture drawn small covers fewer than it has.
struct DrawPlan {
    QRect needed;     // picture coordinates
    QRect deviceArea; // the device pixels the picture covers there
    qreal densityX = 1;
    qreal densityY = 1;
    qreal density = 1;
};

// toDevice is the painter's device transform and deviceClip the device pixels it may reach (empty when
// that is not known). Empty when nothing of the picture can be seen.
std::optional<DrawPlan> planDraw(const QRect &picture, const QTransform &toDevice, const QRect &deviceClip,
                                 QPoint origin, const QRect &visible)
{
    const QRect area = picture.translated(origin) & visible;
    if (area.isEmpty())
        return std::nullopt;
    bool invertible = false;
    const QTransform fromDevice = toDevice.inverted(&invertible);
    if (!invertible)
        return std::nullopt;
    DrawPlan plan;
    plan.deviceArea = toDevice.mapRect(QRectF(area)).toAlignedRect();
    if (!deviceClip.isEmpty())
        plan.deviceArea &= deviceClip;
    if (plan.deviceArea.isEmpty())
        return std::nullopt;
    plan.needed = fromDevice.mapRect(QRectF(plan.deviceArea)).toAlignedRect().translated(-origin) & picture;
    if (plan.needed.isEmpty())
        return std::nullopt;
    plan.densityX = std::hypot(toDevice.m11(), toDevice.m12());
    plan.densityY = std::hypot(toDevice.m21(), toDevice.m22());
    plan.density = std::max(plan.densityX, plan.densityY);
    return plan;
}

// A decoded region, and the picture's data cut down to its sound scans when that was what made it decode.
struct SalvagedDecode {
    DecodedRegion result;
    QByteArray shortenedData;
};

// Touches nothing but its arguments, so that it may run on any thread.
SalvagedDecode decodeSalvaging(const QByteArray &data, const DecodeRequest &request)
{
    SalvagedDecode outcome{decodeRegion(data, request), QByteArray()};
    // Typically a progressive file cut inside the tables or the header of a scan. libjpeg gives up on
    // the whole file; the scans before that still make a picture, as they would had the cut fallen
    // inside scan data. Whether the last scan begun is sound is not known: try with it, then without.
    const int scansBegun = outcome.result.scansBegun;
    for (int scans = scansBegun; scans > 0 && scans >= scansBegun - 1; --scans) {
        QByteArray shortened = withFirstScans(data, scans);
        if (shortened.isEmpty())
            continue;
        DecodedRegion retry = decodeRegion(shortened, request);
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
    QRectF decodedRect; // picture coordinates
    QImage decodedImage;
    bool decodeFailed = false;
    int decodeCount = 0;
    // A decode started ahead of the first draw. The thread holds its own reference to the bytes and
    // returns its result; nothing else is shared with it.
    std::future<SalvagedDecode> ahead;

    QRect picture() const { return QRect(0, 0, width, height); }
    bool covers(const DrawPlan &plan) const;
    DecodeRequest requestFor(const DrawPlan &plan) const;
    void decode(const DecodeRequest &request);
    void apply(SalvagedDecode outcome);
    void collectAhead();
    // Device pixels per picture pixel the cache holds along each axis: a stretched picture may have
    // been averaged down along one and not the other.
    QSizeF cachedDensity() const
    {
        if (decodedRect.isEmpty())
            return QSizeF(0, 0);
        return QSizeF(decodedImage.width() / decodedRect.width(),
                      decodedImage.height() / decodedRect.height());
    }
};

bool JpegImage::Private::covers(const DrawPlan &plan) const
{
    const QSizeF cached = cachedDensity();
    const QRectF tolerated =
        decodedRect.adjusted(-kCoverTolerance, -kCoverTolerance, kCoverTolerance, kCoverTolerance);
    return tolerated.contains(QRectF(plan.needed)) &&
           cached.width() >= std::min<qreal>(1, plan.densityX) * (1 - 1e-6) &&
           cached.height() >= std::min<qreal>(1, plan.densityY) * (1 - 1e-6);
}

DecodeRequest JpegImage::Private::requestFor(const DrawPlan &plan) const
{
    DecodeRequest request;
    request.scale = scaleFor(plan.density);
    request.densityX = plan.densityX;
    request.densityY = plan.densityY;
    const int margin = kUpsamplingMargin * 8 / request.scale;
    request.region = plan.needed.adjusted(-margin, 0, margin, 0) & picture();
    // Grow a full-resolution cache rather than replace it, while that stays small.
    if (request.scale == 8 && plan.density >= 1 && !decodedRect.isEmpty() && cachedDensity().width() == 1 &&
        cachedDensity().height() == 1) {
        const QRect both = request.region | decodedRect.toAlignedRect();
        if (qint64(both.width()) * both.height() <= kMaxGrownCachePixels)
            request.region = both;
    }
    request.budget = std::max(kMinDecodeBudget, kDecodeBudgetPerShownPixel * plan.deviceArea.width() *
                                                    plan.deviceArea.height());
    return request;
}

// Decodes the request's region into the cache. Failures leave decodeFailed set and keep what rows could
// be decoded (with grey for the rest), or the old cache when there were none.
void JpegImage::Private::decode(const DecodeRequest &request)
{
    ++decodeCount;
    apply(decodeSalvaging(data, request));
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
    } catch (const std::bad_alloc &) { // as when the draw decodes: give up like any failure
        decodeFailed = true;
    }
}

JpegImage::JpegImage() : d(std::make_unique<Private>())
{
}

// The decode ahead, if any, is waited for when its future goes with the rest.
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
    // The old picture's pixels are of no use any more; the thread decodes from its own reference to the
    // old bytes, so only its end is waited for.
    d->ahead = {};
    // Implicitly shared: keeping the bytes costs no copy unless the caller changes its own array.
    d->data = data;
    d->width = width;
    d->height = height;
    d->decodedRect = QRect();
    d->decodedImage = QImage();
    d->decodeFailed = false;
}

void JpegImage::decodeAhead(const QTransform &toDevice, const QRect &deviceClip, QPoint origin,
                            const QRect &visible)
{
    if (empty())
        return;
    d->collectAhead();
    const std::optional<DrawPlan> plan = planDraw(d->picture(), toDevice, deviceClip, origin, visible);
    if (!plan || d->covers(*plan) || d->decodeFailed)
        return;
    // Exactly the request that draw would make, so that the draw finds its pixels in the cache.
    const DecodeRequest request = d->requestFor(*plan);
    try {
        d->ahead = std::async(std::launch::async,
                              [data = d->data, request] { return decodeSalvaging(data, request); });
        ++d->decodeCount;
    } catch (const std::system_error &) {
        // No thread to be had: the first draw decodes, as it would have anyway.
    } catch (const std::bad_alloc &) {
        // Nor memory for one: likewise.
    }
}

void JpegImage::draw(QPainter &painter, QPoint origin, const QRect &visible)
{
    if (empty())
        return;
    d->collectAhead();
    const QTransform toDevice = painter.deviceTransform();
    const std::optional<DrawPlan> plan =
        planDraw(d->picture(), toDevice, deviceBounds(painter), origin, visible);
    if (!plan)
        return;
    const QRect &needed = plan->needed;

    if (!d->covers(*plan) && !d->decodeFailed) {
        try {
            d->decode(d->requestFor(*plan));
        } catch (const std::bad_alloc &) { // a copy of the bytes while salvaging: give up like any failure
            d->decodeFailed = true;
        }
    }

    painter.save();
    painter.translate(origin);
    // Pixels the decoder could not give show grey, as a file cut short does; never a hole.
    if (d->decodeFailed)
        painter.fillRect(needed, QColor(kMissingDataGrey));
    const QRectF shown = QRectF(needed) & d->decodedRect;
    if (!shown.isEmpty()) {
        const qreal sx = d->decodedImage.width() / d->decodedRect.width();
        const qreal sy = d->decodedImage.height() / d->decodedRect.height();
        const QRectF source((shown.x() - d->decodedRect.x()) * sx, (shown.y() - d->decodedRect.y()) * sy,
                            shown.width() * sx, shown.height() * sy);
        const bool oneToOne = sx == 1 && sy == 1 && toDevice.type() <= QTransform::TxTranslate;
        if (!oneToOne)
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(shown, d->decodedImage, source);
    }
    painter.restore();
}

QRectF JpegImage::decodedRect() const
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
    return d->decodeCount;
}

void registerJpegFormat()
{
    const auto makeJpeg = [] { return std::unique_ptr<Graphic>(std::make_unique<JpegImage>()); };
    registerFileFormat(u"jpeg"_s, makeJpeg);
    registerFileFormat(u"jpg"_s, makeJpeg);
}

} // namespace tk
