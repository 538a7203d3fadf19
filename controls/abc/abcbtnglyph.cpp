#include "abcbtn.h"

#include "canvas.h"
#include "colors.h"
#include "edges.h"
#include "errors.h"

#include <QBuffer>
#include <QPainter>
#include <QScopeGuard>

#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

// Colours read from a bitmap carry the palette-relative flag, so that a picture's transparent colour
// never compares equal to a system colour value (one of which a button's face colour usually is).
constexpr tk::TColor kPaletteRelative = 0x02000000;
constexpr int kMaxGlyphs = 5;
constexpr tk::TColor kDisabledTextGrey = 0x808080;

QRgb rgbOf(tk::TColor color)
{
    return tk::toQColor(color).rgb();
}

bool sameColour(QRgb pixel, QRgb colour)
{
    return (pixel & 0x00FFFFFF) == (colour & 0x00FFFFFF);
}

tk::TColor lowerLeftColour(const QImage &image)
{
    return tk::fromQColor(image.pixelColor(0, image.height() - 1)) | kPaletteRelative;
}

// The colour a bitmap leaves out when it is drawn: white for a two-colour bitmap, else its lower-left
// pixel; clFuchsia for anything that is not a bitmap.
tk::TColor transparentColourOf(const tk::Graphic *graphic)
{
    const auto *bitmap = dynamic_cast<const tk::BitmapImage *>(graphic);
    if (!bitmap || bitmap->image().isNull())
        return tk::clFuchsia;
    const QImage::Format format = bitmap->image().format();
    if (format == QImage::Format_Mono || format == QImage::Format_MonoLSB)
        return tk::clWhite | kPaletteRelative;
    return lowerLeftColour(bitmap->image());
}

QImage workBitmap(int width, int height, tk::TColor fill)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(tk::toQColor(fill));
    return image;
}

// Every pixel of colour `from` becomes `to`.
void replaceColour(QImage &image, const QImage &source, QRgb from, QRgb to)
{
    auto plain = [](QImage::Format f) { return f == QImage::Format_RGB32 || f == QImage::Format_ARGB32; };
    const QImage::Format format = image.format();
    const bool direct = plain(format) && plain(source.format()) && source.size() == image.size();
    if (direct) {
        // The pixels themselves, as setPixel would store them: whole pictures go through here.
        const QRgb stored = format == QImage::Format_RGB32 ? (to | 0xFF000000u) : to;
        for (int y = 0; y < image.height(); ++y) {
            const auto *in = reinterpret_cast<const QRgb *>(source.constScanLine(y));
            auto *out = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x)
                if (sameColour(in[x], from))
                    out[x] = stored;
        }
        return;
    }
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (sameColour(source.pixel(x, y), from))
                image.setPixel(x, y, to);
}

// Draws text centred on both axes within rect. The text drawing centres only across, so the row is
// found from the measured height.
void drawCentred(QPainter &canvas, const QString &text, tk::TRect rect, tk::TColor colour, unsigned flags)
{
    tk::TRect extent{rect.Left, rect.Top, rect.Right, rect.Top};
    const int textHeight =
        tk::DrawText(nullptr, canvas.font(), QColor(), text, extent, flags | tk::DT_CALCRECT);
    const int down = (rect.height() - textHeight) / 2;
    rect.Top += down;
    rect.Bottom += down;
    tk::DrawText(&canvas, canvas.font(), tk::toQColor(colour), text, rect, flags | tk::DT_CENTER);
}

tk::TRect moved(tk::TRect r, int dx, int dy)
{
    return {r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy};
}

qreal deviceRatio(const QPainter &canvas)
{
    const QPaintDevice *device = canvas.device();
    return device ? device->devicePixelRatio() : 1.0;
}

// Ratios come from window systems as floating-point sums; two that print alike are the same screen.
bool sameRatio(qreal a, qreal b)
{
    return qAbs(a - b) < 1e-6;
}

QSize deviceSize(QSize logical, qreal ratio)
{
    return (QSizeF(logical) * ratio).toSize();
}

// Pixels of the key colour (or those a mask marks) become see-through, so that smoothing blends the
// picture's edge into whatever lies below instead of into the key colour.
QImage withAlpha(const QImage &image, QRgb key)
{
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            if (sameColour(line[x], key))
                line[x] = 0;
    }
    return out;
}

QImage withMaskAlpha(const QImage &image, const QImage &mask)
{
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x)
            if (mask.pixelIndex(x, y))
                out.setPixel(x, y, 0);
    return out;
}

// Ready to be drawn on a device of this ratio: exactly the device pixels of the logical size, scaled
// smoothly when the image has another resolution (never a blocky enlargement).
QImage fittedToRatio(QImage image, QSize logical, qreal ratio)
{
    const QSize device = deviceSize(logical, ratio);
    if (image.size() != device)
        image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                    .scaled(device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    image.setDevicePixelRatio(ratio);
    return image;
}

} // namespace

bool CompactPictureStorage = false;

TabcFileFormatsList::TabcFileFormatsList()
{
    // Bitmaps are the only kind whose own file format we can write back.
    Add(u"bmp"_s, u"Bitmaps"_s, 0, u"BitmapImage"_s, [] { return std::make_unique<tk::BitmapImage>(); });
}

void TabcFileFormatsList::Add(const QString &extension, const QString &description, std::int32_t extra,
                              const QString &className, tk::GraphicFactory factory)
{
    m_entries.push_back({className, extension.toLower(), description, extra, std::move(factory)});
}

const TabcFileFormatsList::Entry *TabcFileFormatsList::FindClassName(const QString &className) const
{
    for (auto it = m_entries.rbegin(); it != m_entries.rend(); ++it)
        if (it->className == className)
            return &*it;
    return nullptr;
}

TabcFileFormatsList &abcFileFormatsList()
{
    static TabcFileFormatsList list;
    return list;
}

QString GraphicClassName(const tk::Graphic *graphic)
{
    return dynamic_cast<const tk::BitmapImage *>(graphic) ? u"BitmapImage"_s : QString();
}

void TSmallPictureStream::WritePicture(const tk::Picture &picture)
{
    m_data.clear();
    const tk::Graphic *graphic = picture.graphic();
    const QByteArray name = GraphicClassName(graphic).toLatin1();
    if (!graphic || name.isEmpty()) {
        m_data.append(char(0));
        return;
    }
    m_data.append(char(name.size()));
    m_data.append(name);
    QBuffer buffer(&m_data);
    buffer.open(QIODevice::WriteOnly | QIODevice::Append);
    static_cast<const tk::BitmapImage *>(graphic)->image().save(&buffer, "BMP");
}

void TSmallPictureStream::ReadPicture(tk::Picture &picture) const
{
    const int length = m_data.isEmpty() ? 0 : int(quint8(m_data.at(0)) & 0x3F);
    if (length == 0) {
        picture.setGraphic(nullptr);
        return;
    }
    const QString name = QString::fromLatin1(m_data.mid(1, length));
    const TabcFileFormatsList::Entry *entry = abcFileFormatsList().FindClassName(name);
    if (!entry)
        throw tk::Error(
            QStringLiteral(
                "Graphic Class \"%1\" needs to be registered with the abcFileFormatsList in unit abcgreg")
                .arg(name));
    std::unique_ptr<tk::Graphic> graphic = entry->factory();
    graphic->loadFromData(m_data.mid(1 + length));
    picture.setGraphic(std::move(graphic));
}

TChangeLink::~TChangeLink()
{
    if (m_sender)
        m_sender->UnRegisterChanges(this);
}

TabcImageList::TabcImageList(int width, int height) : m_width(width), m_height(height)
{
}

TabcImageList::~TabcImageList()
{
    // Subscribers may still point here: tell them before the list is gone.
    const std::vector<TChangeLink *> links = m_links;
    m_links.clear();
    for (TChangeLink *link : links) {
        link->m_sender = nullptr;
        if (link->OnListDestroyed)
            link->OnListDestroyed();
    }
}

QImage TabcImageList::fitted(const QImage &image) const
{
    QImage out = workBitmap(m_width, m_height, tk::clBlack);
    QPainter painter(&out);
    painter.drawImage(0, 0, image);
    return out;
}

int TabcImageList::Add(const QImage &image)
{
    m_images.push_back(fitted(image));
    changed();
    return Count() - 1;
}

void TabcImageList::Replace(int index, const QImage &image)
{
    if (index < 0 || index >= Count())
        return;
    m_images[size_t(index)] = fitted(image);
    changed();
}

void TabcImageList::Draw(QPainter &canvas, int index, QPoint at) const
{
    if (index >= 0 && index < Count())
        canvas.drawImage(at, m_images[size_t(index)]);
}

void TabcImageList::RegisterChanges(TChangeLink *link)
{
    if (!link || link->m_sender == this)
        return;
    if (link->m_sender)
        link->m_sender->UnRegisterChanges(link);
    link->m_sender = this;
    m_links.push_back(link);
}

void TabcImageList::UnRegisterChanges(TChangeLink *link)
{
    std::erase(m_links, link);
    if (link && link->m_sender == this)
        link->m_sender = nullptr;
}

void TabcImageList::changed()
{
    // A subscriber may unsubscribe while it is told.
    const std::vector<TChangeLink *> links = m_links;
    for (TChangeLink *link : links)
        if (std::find(m_links.begin(), m_links.end(), link) != m_links.end() && link->OnChange)
            link->OnChange();
}

TabcGlyphList::TabcGlyphList(int width, int height) : m_width(width), m_height(height)
{
}

bool TabcGlyphList::Occupied(int slot) const
{
    return slot >= 0 && size_t(slot) < m_occupied.size() && m_occupied[size_t(slot)];
}

int TabcGlyphList::allocateSlot()
{
    const auto clear = std::find(m_occupied.begin(), m_occupied.end(), false);
    const int slot = int(clear - m_occupied.begin());
    if (clear == m_occupied.end()) {
        m_occupied.push_back(false);
        m_slots.push_back({});
    }
    m_occupied[size_t(slot)] = true;
    return slot;
}

QImage TabcGlyphList::checkedCopy(const QImage &image) const
{
    // Checked before a slot is taken, so that a refused image leaves the list as it was.
    if (image.width() < m_width || image.height() < m_height)
        throw tk::Error(u"Invalid image size"_s);
    return image.copy(0, 0, m_width, m_height).convertToFormat(QImage::Format_RGB32);
}

int TabcGlyphList::AddImage(const QImage &image)
{
    QImage copy = checkedCopy(image);
    const int slot = allocateSlot();
    m_slots[size_t(slot)] = {std::move(copy), QImage(), {}};
    ++m_count;
    return slot;
}

int TabcGlyphList::AddMaskedImage(const QImage &image, tk::TColor transparent)
{
    QImage copy = checkedCopy(image);
    QImage mask = copy.createMaskFromColor(rgbOf(transparent), Qt::MaskInColor);
    const int slot = allocateSlot();
    m_slots[size_t(slot)] = {std::move(copy), std::move(mask), {}};
    ++m_count;
    return slot;
}

void TabcGlyphList::DeleteImage(int slot)
{
    // The image stays: the slot is only marked free, for the next image to take.
    if (!Occupied(slot))
        return;
    --m_count;
    m_occupied[size_t(slot)] = false;
    m_slots[size_t(slot)].dense.clear();
}

void TabcGlyphList::Draw(QPainter &canvas, int slot, QPoint at, bool masked) const
{
    if (slot < 0 || size_t(slot) >= m_slots.size())
        return;
    const Slot &entry = m_slots[size_t(slot)];
    const bool throughMask = masked && !entry.mask.isNull();
    const qreal ratio = deviceRatio(canvas);
    if (!sameRatio(ratio, 1)) {
        const QRectF area(at, QSizeF(m_width, m_height));
        canvas.save();
        canvas.setRenderHint(QPainter::SmoothPixmapTransform);
        // A dense image of a masked slot is see-through; drawn opaque, the slot shows its key colour.
        const QImage *dense = DenseImage(slot, ratio);
        if (dense && (throughMask || entry.mask.isNull()))
            canvas.drawImage(area, *dense);
        else
            canvas.drawImage(area, throughMask ? withMaskAlpha(entry.image, entry.mask) : entry.image);
        canvas.restore();
        return;
    }
    if (!throughMask) {
        canvas.drawImage(at, entry.image);
        return;
    }
    canvas.drawImage(at, withMaskAlpha(entry.image, entry.mask));
}

const QImage *TabcGlyphList::DenseImage(int slot, qreal ratio) const
{
    if (!Occupied(slot))
        return nullptr;
    for (const QImage &image : m_slots[size_t(slot)].dense)
        if (sameRatio(image.devicePixelRatio(), ratio))
            return &image;
    return nullptr;
}

void TabcGlyphList::SetDenseImage(int slot, QImage image)
{
    if (!Occupied(slot) || image.isNull())
        return;
    std::vector<QImage> &dense = m_slots[size_t(slot)].dense;
    std::erase_if(dense, [&](const QImage &held) {
        return sameRatio(held.devicePixelRatio(), image.devicePixelRatio());
    });
    dense.push_back(std::move(image));
}

TGlyphCache *GlyphCache = nullptr;

TabcGlyphList *TGlyphCache::GetList(int width, int height)
{
    for (auto it = m_lists.rbegin(); it != m_lists.rend(); ++it)
        if ((*it)->Width() == width && (*it)->Height() == height)
            return it->get();
    return m_lists.emplace_back(std::make_unique<TabcGlyphList>(width, height)).get();
}

void TGlyphCache::ReturnList(TabcGlyphList *list)
{
    if (!list || list->Count() > 0)
        return;
    std::erase_if(m_lists, [list](const auto &held) { return held.get() == list; });
}

TabcButtonGlyph::TabcButtonGlyph()
{
    m_picture.OnChange = [this] {
        m_compact.reset(); // a new picture, not the one kept there
        PictureChanged(&m_picture);
    };
    if (!GlyphCache)
        GlyphCache = new TGlyphCache;
}

TabcButtonGlyph::~TabcButtonGlyph()
{
    m_picture.OnChange = nullptr;
    m_changeLink.reset();
    ReleaseStateImages();
    if (GlyphCache && GlyphCache->Empty()) {
        delete GlyphCache;
        GlyphCache = nullptr;
    }
}

tk::Picture &TabcButtonGlyph::Picture()
{
    restorePicture();
    return m_picture;
}

// Restoring and compacting are no change of the picture: its notice stays off around them.
void TabcButtonGlyph::restorePicture()
{
    if (!m_compact)
        return;
    auto notify = std::exchange(m_picture.OnChange, nullptr);
    const auto restoreNotice = qScopeGuard([&] { m_picture.OnChange = std::move(notify); });
    m_compact->ReadPicture(m_picture);
    m_compact.reset();
}

void TabcButtonGlyph::compactPicture()
{
    if (!CompactPictureStorage || !m_picture.graphic() || GraphicClassName(m_picture.graphic()).isEmpty())
        return;
    auto store = std::make_unique<TSmallPictureStream>();
    store->WritePicture(m_picture);
    auto notify = std::exchange(m_picture.OnChange, nullptr);
    m_picture.setGraphic(nullptr);
    m_picture.OnChange = std::move(notify);
    m_compact = std::move(store);
}

void TabcButtonGlyph::setPicture(std::unique_ptr<tk::Graphic> graphic)
{
    ReleaseStateImages();
    m_picture.setGraphic(std::move(graphic));
    m_pictureSize = QSize(m_picture.width(), m_picture.height());
    DetectNumGlyphs();
}

void TabcButtonGlyph::setPictureHighlight(TabcGlyphHighlight highlight)
{
    if (highlight == m_highlight)
        return;
    m_highlight = highlight;
    ReleaseStateImages();
}

void TabcButtonGlyph::setTransparentColor(tk::TColor color)
{
    if (color == m_transparentColor)
        return;
    m_transparentColor = color;
    m_transparentColorSet = true;
    ReleaseStateImages();
    if (OnChange)
        OnChange();
}

void TabcButtonGlyph::setNumGlyphs(int count)
{
    ReleaseStateImages();
    // An image-list entry is one image, never a strip.
    m_numGlyphs = (imageEntrySelected() || count < 1 || count > kMaxGlyphs) ? 1 : TabcNumGlyphs(count);
    PictureChanged(nullptr);
}

void TabcButtonGlyph::setImages(TabcImageList *images)
{
    if (images == m_images)
        return;
    m_changeLink.reset();
    m_images = images;
    if (images) {
        m_changeLink = std::make_unique<TChangeLink>();
        m_changeLink->OnChange = [this] { PictureChanged(m_images); };
        // The link outlives its list here; the next setImages frees it.
        m_changeLink->OnListDestroyed = [this] {
            m_images = nullptr;
            DetectNumGlyphs();
        };
        images->RegisterChanges(m_changeLink.get());
    }
    DetectNumGlyphs();
}

void TabcButtonGlyph::setImageIndex(int index)
{
    if (index == m_imageIndex)
        return;
    m_imageIndex = index;
    DetectNumGlyphs();
}

bool TabcButtonGlyph::imageEntrySelected() const
{
    return m_images && m_imageIndex >= 0 && m_imageIndex < m_images->Count();
}

bool TabcButtonGlyph::sourceAvailable() const
{
    return imageEntrySelected() || !m_pictureSize.isEmpty();
}

QSize TabcButtonGlyph::glyphSize() const
{
    if (imageEntrySelected())
        return {m_images->Width() / m_numGlyphs, m_images->Height()};
    return {m_pictureSize.width() / m_numGlyphs, m_pictureSize.height()};
}

void TabcButtonGlyph::ReleaseStateImages()
{
    for (int &slot : m_stateImage) {
        if (slot != -1 && m_glyphList)
            m_glyphList->DeleteImage(slot);
        slot = -1;
    }
    if (m_glyphList && GlyphCache)
        GlyphCache->ReturnList(m_glyphList);
    m_glyphList = nullptr;
}

void TabcButtonGlyph::DetectNumGlyphs()
{
    restorePicture();
    const int w = m_picture.width(), h = m_picture.height();
    if (w > 0 && h > 0 && w % h == 0 && w / h <= kMaxGlyphs)
        setNumGlyphs(w / h);
    else
        setNumGlyphs(1);
}

void TabcButtonGlyph::PictureChanged(const void *sender)
{
    restorePicture(); // its size is read below
    if (sender == &m_picture) {
        m_transparentColor = transparentColourOf(m_picture.graphic());
        m_transparentColorSet = false;
    }
    ReleaseStateImages();
    m_pictureSize = QSize(m_picture.width(), m_picture.height());
    if (OnChange)
        OnChange();
}

QImage TabcButtonGlyph::renderSource()
{
    if (imageEntrySelected()) {
        QImage source = workBitmap(m_images->Width(), m_images->Height(), tk::clBlack);
        {
            QPainter painter(&source);
            m_images->Draw(painter, m_imageIndex, {0, 0});
        }
        if (!m_transparentColorSet)
            m_transparentColor = lowerLeftColour(source);
        return source;
    }
    restorePicture();
    QImage source = workBitmap(m_pictureSize.width(), m_pictureSize.height(), tk::clBlack);
    if (tk::Graphic *graphic = m_picture.graphic()) {
        {
            QPainter painter(&source);
            graphic->draw(painter, {0, 0}, source.rect());
        }
        if (!m_transparentColorSet && dynamic_cast<tk::BitmapImage *>(graphic))
            m_transparentColor = lowerLeftColour(source);
    }
    return source;
}

QImage TabcButtonGlyph::buildImage(TabcButtonState state, const QImage &slice, QRgb transparent, int step,
                                   const std::function<QImage()> &hotImage)
{
    const QRgb face = rgbOf(m_color);
    QImage t = slice.copy();
    auto brushCopy = [&] { replaceColour(t, slice, transparent, face); };

    switch (state) {
    case abtUp:
        switch (m_highlight) {
        case aghNormal:
            brushCopy();
            break;
        case aghGray:
            brushCopy();
            // The red component alone makes the grey, not a weighted luminance.
            for (int y = 0; y < t.height(); ++y)
                for (int x = 0; x < t.width(); ++x) {
                    const int r = qRed(t.pixel(x, y));
                    t.setPixel(x, y, qRgb(r, r, r));
                }
            break;
        case aghFade:
        case aghDarken: {
            const QImage hot = hotImage();
            for (int y = 0; y < t.height(); ++y)
                for (int x = 0; x < t.width(); ++x) {
                    const QRgb p = hot.pixel(x, y);
                    if (m_highlight == aghDarken) {
                        t.setPixel(x, y, p & (face | 0xFF000000));
                        continue;
                    }
                    // The image list's 25 % blend moves the picture a quarter of the way towards the
                    // face colour already in the bitmap: three quarters picture, one quarter face.
                    auto mix = [](int image, int under) { return (3 * image + under + 2) / 4; };
                    t.setPixel(x, y,
                               qRgb(mix(qRed(p), qRed(face)), mix(qGreen(p), qGreen(face)),
                                    mix(qBlue(p), qBlue(face))));
                }
            break;
        }
        }
        break;
    case abtDisabled:
        if (m_numGlyphs < 2) {
            // No disabled slice: an embossed outline of whatever is not transparent, white or silver.
            const QRgb white = rgbOf(tk::clWhite), silver = rgbOf(tk::clSilver);
            auto drawn = [&](int x, int y) {
                const QRgb p = slice.pixel(x, y);
                return !sameColour(p, transparent) && !sameColour(p, white) && !sameColour(p, silver);
            };
            t.fill(face);
            const QRgb highlight = rgbOf(tk::clBtnHighlight), shadow = rgbOf(tk::clBtnShadow);
            // One picture pixel down and right, however many device pixels that is.
            for (int y = 0; y < t.height(); ++y)
                for (int x = 0; x < t.width(); ++x)
                    if (drawn(x, y) && x + step < t.width() && y + step < t.height())
                        t.setPixel(x + step, y + step, highlight);
            for (int y = 0; y < t.height(); ++y)
                for (int x = 0; x < t.width(); ++x)
                    if (drawn(x, y))
                        t.setPixel(x, y, shadow);
        } else {
            replaceColour(t, slice, rgbOf(tk::clWhite), rgbOf(tk::clBtnHighlight));
            replaceColour(t, slice, rgbOf(tk::clGray), rgbOf(tk::clBtnShadow));
            replaceColour(t, slice, transparent, face);
        }
        break;
    case abtExclusive:
        break; // kept as it is; its mask lets the latched face through
    case abtDown:
    case abtHot:
        brushCopy();
        break;
    }
    return t;
}

TabcButtonState TabcButtonGlyph::builtState(TabcButtonState state) const
{
    // A picture without a pressed slice shows its hot image while pressed.
    return state == abtDown && m_numGlyphs < 3 ? abtHot : state;
}

int TabcButtonGlyph::BuildStateImage(TabcButtonState state)
{
    state = builtState(state);
    if (m_stateImage[state] != -1)
        return m_stateImage[state];
    if (!sourceAvailable())
        return -1;

    const QImage source = renderSource();
    const int w = source.width() / m_numGlyphs, h = source.height();
    if (w <= 0 || h <= 0)
        return -1; // more slices than pixels across: nothing to show
    if (m_glyphList && (m_glyphList->Width() != w || m_glyphList->Height() != h))
        ReleaseStateImages();
    if (!m_glyphList) {
        if (!GlyphCache)
            GlyphCache = new TGlyphCache;
        m_glyphList = GlyphCache->GetList(w, h);
    }

    const int k = state < m_numGlyphs ? state : 0;
    const QImage slice = source.copy(w * k, 0, w, h);
    const QImage image = buildImage(state, slice, rgbOf(m_transparentColor), 1,
                                    [this] { return m_glyphList->Image(BuildStateImage(abtHot)); });
    const int slot = state == abtExclusive ? m_glyphList->AddMaskedImage(image, m_transparentColor)
                                           : m_glyphList->AddImage(image);
    m_stateImage[state] = slot;
    compactPicture();
    return slot;
}

void TabcButtonGlyph::prepareDenseImage(TabcButtonState state, int slot, qreal ratio)
{
    if (sameRatio(ratio, 1) || !m_glyphList || m_glyphList->DenseImage(slot, ratio))
        return;
    const QSize logical(m_glyphList->Width(), m_glyphList->Height());
    QImage fine = buildCompanionImage(state, ratio);
    if (fine.isNull()) {
        // Only the 1x picture: its finished state image, smoothly scaled.
        const QImage &mask = m_glyphList->Mask(slot);
        fine = mask.isNull() ? m_glyphList->Image(slot) : withMaskAlpha(m_glyphList->Image(slot), mask);
    }
    m_glyphList->SetDenseImage(slot, fittedToRatio(std::move(fine), logical, ratio));
}

QImage TabcButtonGlyph::buildCompanionImage(TabcButtonState state, qreal ratio)
{
    constexpr int kCompanionScale = 2;
    if (imageEntrySelected() || !m_glyphList)
        return {};
    tk::Graphic *companion = m_picture.graphicForRatio(ratio);
    if (!companion || companion == m_picture.graphic())
        return {};
    const QSize size(companion->width(), companion->height());
    if (size != m_pictureSize * kCompanionScale)
        return {};
    QImage source = workBitmap(size.width(), size.height(), tk::clBlack);
    {
        QPainter painter(&source);
        companion->draw(painter, {0, 0}, source.rect());
    }
    // The companion's own key colour, unless one was chosen for the picture.
    QRgb transparent = rgbOf(m_transparentColor);
    if (!m_transparentColorSet && dynamic_cast<const tk::BitmapImage *>(companion))
        transparent = rgbOf(lowerLeftColour(source));
    const int w = source.width() / m_numGlyphs, h = source.height();
    if (w != m_glyphList->Width() * kCompanionScale || h != m_glyphList->Height() * kCompanionScale)
        return {};
    const int k = state < m_numGlyphs ? state : 0;
    const QImage slice = source.copy(w * k, 0, w, h);
    const QImage image = buildImage(state, slice, transparent, kCompanionScale,
                                    [&] { return buildCompanionImage(abtHot, ratio); });
    return state == abtExclusive ? withAlpha(image, transparent) : image;
}

TGlyphLayout TabcButtonGlyph::ComputeGlyphLayout(QPainter &canvas, const tk::TRect &client,
                                                 unsigned biDiFlags, const QString &caption,
                                                 TabcButtonLayout layout, int margin, int spacing) const
{
    if (biDiFlags & tk::DT_RIGHT) {
        if (layout == ablGlyphLeft)
            layout = ablGlyphRight;
        else if (layout == ablGlyphRight)
            layout = ablGlyphLeft;
    }
    // Margin and Spacing may be anything an int holds: the arithmetic runs in 64 bits, and only the
    // final places are brought back into a range that painting can still offset safely.
    struct Pair {
        qint64 x = 0, y = 0;
    };
    const Pair clientSize{client.width(), client.height()};
    const QSize size = glyphSize();
    const Pair glyph{size.width(), size.height()};
    qint64 margin64 = margin, spacing64 = spacing;

    tk::TRect captionRect;
    Pair text;
    if (!caption.isEmpty()) {
        captionRect = {0, 0, client.width(), 0};
        tk::DrawText(nullptr, canvas.font(), QColor(), caption, captionRect, tk::DT_CALCRECT | biDiFlags);
        text = {captionRect.width(), captionRect.height()};
    }

    Pair glyphPos, textPos;
    switch (layout) {
    case ablGlyphLeft:
    case ablGlyphRight:
        glyphPos.y = (clientSize.y - glyph.y + 1) / 2;
        textPos.y = (clientSize.y - text.y + 1) / 2;
        break;
    case ablGlyphTop:
    case ablGlyphBottom:
        glyphPos.x = (clientSize.x - glyph.x + 1) / 2;
        textPos.x = (clientSize.x - text.x + 1) / 2;
        break;
    case ablGlyphCenter:
    case ablGlyphTiled:
        textPos = {(clientSize.x - text.x + 1) / 2, (clientSize.y - text.y + 1) / 2};
        if (layout == ablGlyphCenter)
            glyphPos = {(clientSize.x - glyph.x + 1) / 2, (clientSize.y - glyph.y + 1) / 2};
        break;
    }

    if (text.x == 0 || glyph.x == 0)
        spacing64 = 0;

    const bool across = layout == ablGlyphLeft || layout == ablGlyphRight;
    auto along = [across](Pair p) { return across ? p.x : p.y; };
    if (margin64 == -1) {
        if (spacing64 == -1) {
            margin64 = (along(clientSize) - (along(glyph) + along(text))) / 3;
            spacing64 = margin64;
        } else {
            margin64 = (along(clientSize) - (along(glyph) + spacing64 + along(text)) + 1) / 2;
        }
    } else if (spacing64 == -1) {
        spacing64 = (along(clientSize) - (margin64 + along(glyph)) - along(text)) / 2;
    }

    switch (layout) {
    case ablGlyphLeft:
        glyphPos.x = margin64;
        textPos.x = glyphPos.x + glyph.x + spacing64;
        break;
    case ablGlyphRight:
        glyphPos.x = clientSize.x - margin64 - glyph.x;
        textPos.x = glyphPos.x - spacing64 - text.x;
        break;
    case ablGlyphTop:
        glyphPos.y = margin64;
        textPos.y = glyphPos.y + glyph.y + spacing64;
        break;
    case ablGlyphBottom:
        glyphPos.y = clientSize.y - margin64 - glyph.y;
        textPos.y = glyphPos.y - spacing64 - text.y;
        break;
    case ablGlyphCenter:
    case ablGlyphTiled:
        break;
    }

    // Far enough out to be off any face, near enough that the caption's shadow offsets cannot overflow.
    static constexpr qint64 farthest = qint64(1) << 29;
    auto place = [](qint64 v) { return int(std::clamp(v, -farthest, farthest)); };
    TGlyphLayout result;
    result.GlyphSize = size;
    result.GlyphPos = QPoint(place(glyphPos.x + client.Left), place(glyphPos.y + client.Top));
    const int dx = place(textPos.x + client.Left), dy = place(textPos.y + client.Top);
    result.CaptionRect = moved(captionRect, dx, dy);
    return result;
}

void TabcButtonGlyph::DrawGlyphImage(QPainter &canvas, TabcButtonState state, QPoint pos)
{
    if (glyphSize().isEmpty())
        return;
    const int slot = BuildStateImage(state);
    if (slot < 0)
        return;
    prepareDenseImage(builtState(state), slot, deviceRatio(canvas));
    // Only the latched image has a mask; every other one already holds the face colour where the
    // picture is transparent.
    m_glyphList->Draw(canvas, slot, pos, state == abtExclusive);
}

void TabcButtonGlyph::DrawGlyphTiles(QPainter &canvas, TabcButtonState state, const tk::TRect &area)
{
    const QSize size = glyphSize();
    if (size.isEmpty())
        return;
    const int slot = BuildStateImage(state);
    if (slot < 0)
        return;
    prepareDenseImage(builtState(state), slot, deviceRatio(canvas));
    // Full-width ints: a 16-bit counter would never pass a right edge beyond 65535.
    for (int x = area.Left; x < area.Right; x += size.width())
        for (int y = area.Top; y < area.Bottom; y += size.height())
            m_glyphList->Draw(canvas, slot, {x, y}, true);
}

void TabcButtonGlyph::DrawCaption(QPainter &canvas, const QString &caption, unsigned biDiFlags,
                                  bool disabledShadow, TabcTextStyle textStyle, TabcButtonState state,
                                  const tk::TRect &rect) const
{
    if (caption.isEmpty())
        return;
    const QPen pen = canvas.pen();
    const tk::TColor font = tk::fromQColor(pen.color());
    if (state == abtDisabled) {
        if (disabledShadow) {
            drawCentred(canvas, caption, moved(rect, 1, 1), tk::clWhite, biDiFlags);
            drawCentred(canvas, caption, rect, kDisabledTextGrey, biDiFlags);
        } else {
            tk::TRect r = rect;
            tk::DrawText(&canvas, canvas.font(), tk::toQColor(tk::clBtnShadow), caption, r, 0);
        }
    } else {
        const unsigned line = tk::DT_SINGLELINE;
        if (textStyle == tsRaised) {
            drawCentred(canvas, caption, moved(rect, 1, 1), tk::clBtnShadow, line);
            drawCentred(canvas, caption, moved(rect, -1, -1), tk::clBtnHighlight, line);
        } else if (textStyle == tsLowered) {
            drawCentred(canvas, caption, moved(rect, 1, 1), tk::clBtnHighlight, line);
            drawCentred(canvas, caption, moved(rect, -1, -1), tk::clBtnShadow, line);
        }
        drawCentred(canvas, caption, rect, font, line);
    }
    canvas.setPen(pen);
}

tk::TRect TabcButtonGlyph::DrawGlyphAndCaption(QPainter &canvas, const tk::TRect &client,
                                               const tk::TRect &tileArea, const QString &caption,
                                               TabcButtonLayout layout, int margin, int spacing,
                                               TabcButtonState state, TabcTextStyle textStyle,
                                               bool disabledShadow, bool /*hot*/, unsigned biDiFlags)
{
    const TGlyphLayout where =
        ComputeGlyphLayout(canvas, client, biDiFlags, caption, layout, margin, spacing);
    if (layout == ablGlyphTiled)
        DrawGlyphTiles(canvas, state, tileArea);
    else
        DrawGlyphImage(canvas, state, where.GlyphPos);
    DrawCaption(canvas, caption, biDiFlags, disabledShadow, textStyle, state, where.CaptionRect);
    return where.CaptionRect;
}
