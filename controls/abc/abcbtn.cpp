#include "abcbtn.h"

#include "abcwav.h"
#include "application.h"
#include "canvas.h"
#include "colors.h"
#include "edges.h"
#include "errors.h"
#include "events.h"

#include <QApplication>
#include <QCursor>

#include <QBuffer>
#include <QMouseEvent>
#include <QPainter>
#include <QScopeGuard>

#include <algorithm>
#include <utility>

namespace {

constexpr int kPatternSize = 8;
// The light grey of the highlight styles' inner frame; a plain colour, the same in every scheme.
constexpr tk::TColor kLightGrey = 0x00DEDEDE;

enum class FrameLook { Rest, Hot, Pressed };

void raisedInner(QPainter &canvas, tk::TRect &r)
{
    tk::DrawEdge(canvas, r, tk::Edge::RaisedInner);
}

void sunkenOuter(QPainter &canvas, tk::TRect &r)
{
    tk::DrawEdge(canvas, r, tk::Edge::SunkenOuter);
}

void softRaisedOuter(QPainter &canvas, tk::TRect &r)
{
    tk::DrawEdge(canvas, r, tk::Edge::RaisedOuter, tk::EdgeLook::Soft);
}

void softSunkenOuter(QPainter &canvas, tk::TRect &r)
{
    tk::DrawEdge(canvas, r, tk::Edge::SunkenOuter, tk::EdgeLook::Soft);
}

void greyRaised(QPainter &canvas, tk::TRect &r)
{
    tk::DrawTwoColorFrame(canvas, r, kLightGrey, tk::clBtnShadow);
}

void greySunken(QPainter &canvas, tk::TRect &r)
{
    tk::DrawTwoColorFrame(canvas, r, tk::clBtnShadow, kLightGrey);
}

void drawFrame(QPainter &canvas, tk::TRect &r, TabcButtonStyle style, FrameLook look)
{
    const bool pressed = look == FrameLook::Pressed, hot = look == FrameLook::Hot;
    switch (style) {
    case absAutoDetect: // every desktop we run on has the 3-D look
    case absNew:
        if (pressed) {
            softSunkenOuter(canvas, r);
            tk::DrawEdge(canvas, r, tk::Edge::SunkenInner, tk::EdgeLook::Soft);
        } else {
            softRaisedOuter(canvas, r);
            tk::DrawEdge(canvas, r, tk::Edge::RaisedInner, tk::EdgeLook::Soft,
                         tk::SideRight | tk::SideBottom);
        }
        return;
    case absWin31:
        tk::DrawEdge(canvas, r, tk::Edge::RaisedOuter, tk::EdgeLook::Mono);
        if (pressed) {
            tk::DrawEdge(canvas, r, tk::Edge::SunkenInner, tk::EdgeLook::Soft, tk::SideLeft | tk::SideTop);
        } else {
            raisedInner(canvas, r);
            raisedInner(canvas, r);
        }
        return;
    case absThin:
        if (pressed)
            sunkenOuter(canvas, r);
        else
            raisedInner(canvas, r);
        return;
    case absThinBlack:
        if (pressed)
            softSunkenOuter(canvas, r);
        else
            softRaisedOuter(canvas, r);
        return;
    case absThinGray:
        if (pressed)
            greySunken(canvas, r);
        else
            greyRaised(canvas, r);
        return;
    case absThinHighlight:
    case absMidHighlight:
    case absThickHighlight:
        if (pressed) {
            softSunkenOuter(canvas, r);
            if (style != absThinHighlight)
                greySunken(canvas, r);
        } else if (hot) {
            if (style == absThickHighlight)
                tk::DrawBottomLine(canvas, r, tk::clBtnShadow);
            softRaisedOuter(canvas, r);
            if (style != absThinHighlight)
                greyRaised(canvas, r);
        } else {
            raisedInner(canvas, r);
            if (style == absThickHighlight)
                tk::DrawBottomLine(canvas, r, tk::clBtnShadow);
        }
        return;
    default:
        break;
    }

    // The framed and recessed styles: a sunken ring, a gap for the recessed ones, then a raised ring,
    // black-shadowed for the black and raised variants; pressed, two sunken rings.
    const bool black = style == absFramedBlack || style == absFramedBlackHighlight ||
                       style == absRecessedBlack || style == absRecessedBlackHighlight;
    const bool raised = style == absFramedRaised || style == absRecessedRaised;
    const bool recessed = style >= absRecessed;
    const bool highlight = style == absFramedHighlight || style == absFramedBlackHighlight ||
                           style == absRecessedHighlight || style == absRecessedBlackHighlight;
    if (pressed) {
        const auto ring = black ? softSunkenOuter : sunkenOuter;
        ring(canvas, r);
        ring(canvas, r);
        return;
    }
    const bool darkShadowed = black || raised;
    if (darkShadowed)
        softSunkenOuter(canvas, r);
    else
        sunkenOuter(canvas, r);
    if (recessed)
        tk::StepIn(r);
    if (darkShadowed)
        softRaisedOuter(canvas, r);
    else
        raisedInner(canvas, r);
    if (raised || (highlight && hot))
        greyRaised(canvas, r);
}

} // namespace

TabcBrushPattern::TabcBrushPattern(tk::TColor color)
    : m_bitmap(kPatternSize, kPatternSize, QImage::Format_RGB32), m_color(color)
{
    m_bitmap.fill(tk::toQColor(color));
    const QColor highlight = tk::toQColor(tk::clBtnHighlight);
    for (int y = 0; y < kPatternSize; ++y)
        for (int x = y % 2; x < kPatternSize; x += 2)
            m_bitmap.setPixelColor(x, y, highlight);
}

TabcBrushPatternList &BrushPatterns()
{
    static TabcBrushPatternList list;
    return list;
}

TabcBrushPattern *AcquireBrushPattern(tk::TColor color)
{
    auto &items = BrushPatterns().m_items;
    auto found =
        std::find_if(items.begin(), items.end(), [color](const auto &p) { return p->m_color == color; });
    TabcBrushPattern *pattern = found != items.end()
                                    ? found->get()
                                    : items.emplace_back(std::make_unique<TabcBrushPattern>(color)).get();
    ++pattern->m_userCount;
    return pattern;
}

void ReleaseBrushPattern(TabcBrushPattern *pattern)
{
    if (!pattern)
        return;
    if (--pattern->m_userCount >= 1)
        return;
    // Only patterns of the list are freed here; anything else belongs to whoever made it.
    auto &items = BrushPatterns().m_items;
    auto found =
        std::find_if(items.begin(), items.end(), [pattern](const auto &p) { return p.get() == pattern; });
    if (found != items.end())
        items.erase(found);
}

tk::TRect DrawButtonFrame(QPainter &canvas, tk::TRect rect, TabcButtonStyle style, TabcFillMode fillMode,
                          TabcBrushPattern *pattern, tk::TColor color, bool pressed, bool hot, bool popup)
{
    if (fillMode == afmPattern && pattern && rect.width() > 0 && rect.height() > 0)
        canvas.fillRect(rect.toQRect(), QBrush(pattern->Bitmap()));
    else if (fillMode != afmNone)
        tk::FillRect(canvas, rect, tk::toQColor(color));

    if (popup && !pressed && !hot)
        return rect;
    tk::TRect inner = rect;
    drawFrame(canvas, inner, style, pressed ? FrameLook::Pressed : hot ? FrameLook::Hot : FrameLook::Rest);
    return inner;
}

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

} // namespace

bool CompactPictureStorage = false;

TabcFileFormatsList::TabcFileFormatsList()
{
    // Bitmaps are the only kind whose own file format we can write back.
    Add(u"bmp"_qs, u"Bitmaps"_qs, 0, u"BitmapImage"_qs, [] { return std::make_unique<tk::BitmapImage>(); });
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
    return dynamic_cast<const tk::BitmapImage *>(graphic) ? u"BitmapImage"_qs : QString();
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
        throw tk::Error(u"Invalid image size"_qs);
    return image.copy(0, 0, m_width, m_height).convertToFormat(QImage::Format_RGB32);
}

int TabcGlyphList::AddImage(const QImage &image)
{
    QImage copy = checkedCopy(image);
    const int slot = allocateSlot();
    m_slots[size_t(slot)] = {std::move(copy), QImage()};
    ++m_count;
    return slot;
}

int TabcGlyphList::AddMaskedImage(const QImage &image, tk::TColor transparent)
{
    QImage copy = checkedCopy(image);
    QImage mask = copy.createMaskFromColor(rgbOf(transparent), Qt::MaskInColor);
    const int slot = allocateSlot();
    m_slots[size_t(slot)] = {std::move(copy), std::move(mask)};
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
}

void TabcGlyphList::Draw(QPainter &canvas, int slot, QPoint at, bool masked) const
{
    if (slot < 0 || size_t(slot) >= m_slots.size())
        return;
    const Slot &entry = m_slots[size_t(slot)];
    if (!masked || entry.mask.isNull()) {
        canvas.drawImage(at, entry.image);
        return;
    }
    QImage see = entry.image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < see.height(); ++y)
        for (int x = 0; x < see.width(); ++x)
            if (entry.mask.pixelIndex(x, y))
                see.setPixel(x, y, 0);
    canvas.drawImage(at, see);
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

QImage TabcButtonGlyph::buildImage(TabcButtonState state, const QImage &slice)
{
    const QRgb face = rgbOf(m_color), transparent = rgbOf(m_transparentColor);
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
            const int hotSlot = BuildStateImage(abtHot);
            const QImage hot = m_glyphList->Image(hotSlot);
            for (int y = 0; y < t.height(); ++y)
                for (int x = 0; x < t.width(); ++x) {
                    const QRgb p = hot.pixel(x, y);
                    if (m_highlight == aghDarken) {
                        t.setPixel(x, y, p & (face | 0xFF000000));
                        continue;
                    }
                    // Our reading of the 25 % blend with the destination's colour: a quarter of the hot
                    // image over three quarters of the face colour already in the bitmap, rounded.
                    auto mix = [](int image, int under) { return (image + 3 * under + 2) / 4; };
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
            for (int y = 0; y < t.height(); ++y)
                for (int x = 0; x < t.width(); ++x)
                    if (drawn(x, y) && x + 1 < t.width() && y + 1 < t.height())
                        t.setPixel(x + 1, y + 1, highlight);
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

int TabcButtonGlyph::BuildStateImage(TabcButtonState state)
{
    // A picture without a pressed slice shows its hot image while pressed.
    if (state == abtDown && m_numGlyphs < 3)
        state = abtHot;
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
    const QImage image = buildImage(state, slice);
    const int slot = state == abtExclusive ? m_glyphList->AddMaskedImage(image, m_transparentColor)
                                           : m_glyphList->AddImage(image);
    m_stateImage[state] = slot;
    compactPicture();
    return slot;
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
    const QPoint clientSize(client.width(), client.height());
    const QSize size = glyphSize();
    const QPoint glyph(size.width(), size.height());

    tk::TRect captionRect;
    QPoint text(0, 0);
    if (!caption.isEmpty()) {
        captionRect = {0, 0, clientSize.x(), 0};
        tk::DrawText(nullptr, canvas.font(), QColor(), caption, captionRect, tk::DT_CALCRECT | biDiFlags);
        text = QPoint(captionRect.width(), captionRect.height());
    }

    QPoint glyphPos, textPos;
    switch (layout) {
    case ablGlyphLeft:
    case ablGlyphRight:
        glyphPos.setY((clientSize.y() - glyph.y() + 1) / 2);
        textPos.setY((clientSize.y() - text.y() + 1) / 2);
        break;
    case ablGlyphTop:
    case ablGlyphBottom:
        glyphPos.setX((clientSize.x() - glyph.x() + 1) / 2);
        textPos.setX((clientSize.x() - text.x() + 1) / 2);
        break;
    case ablGlyphCenter:
    case ablGlyphTiled:
        textPos = QPoint((clientSize.x() - text.x() + 1) / 2, (clientSize.y() - text.y() + 1) / 2);
        if (layout == ablGlyphCenter)
            glyphPos = QPoint((clientSize.x() - glyph.x() + 1) / 2, (clientSize.y() - glyph.y() + 1) / 2);
        break;
    }

    if (text.x() == 0 || glyph.x() == 0)
        spacing = 0;

    const bool across = layout == ablGlyphLeft || layout == ablGlyphRight;
    auto along = [across](QPoint p) { return across ? p.x() : p.y(); };
    if (margin == -1) {
        if (spacing == -1) {
            margin = (along(clientSize) - (along(glyph) + along(text))) / 3;
            spacing = margin;
        } else {
            margin = (along(clientSize) - (along(glyph) + spacing + along(text)) + 1) / 2;
        }
    } else if (spacing == -1) {
        spacing = (along(clientSize) - (margin + along(glyph)) - along(text)) / 2;
    }

    switch (layout) {
    case ablGlyphLeft:
        glyphPos.setX(margin);
        textPos.setX(glyphPos.x() + glyph.x() + spacing);
        break;
    case ablGlyphRight:
        glyphPos.setX(clientSize.x() - margin - glyph.x());
        textPos.setX(glyphPos.x() - spacing - text.x());
        break;
    case ablGlyphTop:
        glyphPos.setY(margin);
        textPos.setY(glyphPos.y() + glyph.y() + spacing);
        break;
    case ablGlyphBottom:
        glyphPos.setY(clientSize.y() - margin - glyph.y());
        textPos.setY(glyphPos.y() - spacing - text.y());
        break;
    case ablGlyphCenter:
    case ablGlyphTiled:
        break;
    }

    TGlyphLayout result;
    result.GlyphSize = size;
    result.GlyphPos = glyphPos + QPoint(client.Left, client.Top);
    result.CaptionRect = moved(captionRect, client.Left + textPos.x(), client.Top + textPos.y());
    return result;
}

void TabcButtonGlyph::DrawGlyphImage(QPainter &canvas, TabcButtonState state, QPoint pos)
{
    if (glyphSize().isEmpty())
        return;
    const int slot = BuildStateImage(state);
    if (slot < 0)
        return;
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

namespace {

bool isTrackingStyle(TabcButtonStyle style)
{
    switch (style) {
    case absThinHighlight:
    case absMidHighlight:
    case absThickHighlight:
    case absFramedHighlight:
    case absFramedBlackHighlight:
    case absRecessedHighlight:
    case absRecessedBlackHighlight:
        return true;
    default:
        return false;
    }
}

TMouseButton toMouseButton(Qt::MouseButton button)
{
    switch (button) {
    case Qt::RightButton:
        return mbRight;
    case Qt::MiddleButton:
        return mbMiddle;
    default:
        return mbLeft;
    }
}

TShiftState shiftOf(const QMouseEvent *event)
{
    TShiftState shift = 0;
    const Qt::KeyboardModifiers keys = event->modifiers();
    if (keys & Qt::ShiftModifier)
        shift |= ssShift;
    if (keys & Qt::AltModifier)
        shift |= ssAlt;
    if (keys & Qt::ControlModifier)
        shift |= ssCtrl;
    const Qt::MouseButtons held = event->buttons();
    if (held & Qt::LeftButton)
        shift |= ssLeft;
    if (held & Qt::RightButton)
        shift |= ssRight;
    if (held & Qt::MiddleButton)
        shift |= ssMiddle;
    return shift;
}

TShiftState ownFlag(TMouseButton button)
{
    return button == mbLeft ? ssLeft : button == mbRight ? ssRight : ssMiddle;
}

} // namespace

TabcCustomPicSpeedBtn::TabcCustomPicSpeedBtn(QWidget *parent) : tk::GraphicControl(parent)
{
    m_glyph.setColor(m_color);
    m_glyph.OnChange = [this] {
        if (!m_destroying)
            update();
    };
    resize(22, 23);
    // Moves without a button are what bring the hot look back after the pointer was lost.
    setMouseTracking(true);
}

TabcCustomPicSpeedBtn::~TabcCustomPicSpeedBtn()
{
    m_destroying = true;
    m_glyph.OnChange = nullptr;
    ReleaseBrushPattern(std::exchange(m_pattern, nullptr));
    if (tk::Application::captureControl() == this)
        tk::Application::setCaptureControl(nullptr);
}

void TabcCustomPicSpeedBtn::setPicture(std::unique_ptr<tk::Graphic> graphic)
{
    if (m_destroying)
        return;
    m_glyph.setPicture(std::move(graphic));
    update();
}

void TabcCustomPicSpeedBtn::setDown(bool value)
{
    if (m_groupIndex == 0)
        value = false; // outside a group a button never latches
    // A latched button of a group without all-up is released only by another button of its group.
    if (value == m_down || (m_down && !m_allowAllUp))
        return;
    m_down = value;
    if (value) {
        if (m_state == abtUp || m_state == abtHot)
            update();
        m_state = abtExclusive;
    } else {
        m_state = m_mouseInside ? abtHot : abtUp;
        update();
    }
    if (value)
        notifyGroup();
}

void TabcCustomPicSpeedBtn::setAllowAllUp(bool value)
{
    m_allowAllUp = value;
    notifyGroup();
}

void TabcCustomPicSpeedBtn::setGroupIndex(int value)
{
    m_groupIndex = value;
    notifyGroup();
}

void TabcCustomPicSpeedBtn::notifyGroup()
{
    if (m_groupIndex == 0 || !parentWidget())
        return;
    const QObjectList siblings = parentWidget()->children();
    for (QObject *child : siblings)
        if (auto *button = qobject_cast<TabcCustomPicSpeedBtn *>(child))
            button->buttonPressed(m_groupIndex, this);
}

void TabcCustomPicSpeedBtn::buttonPressed(int groupIndex, TabcCustomPicSpeedBtn *sender)
{
    if (groupIndex != m_groupIndex || sender == this)
        return;
    if (sender->m_down && m_down) {
        m_down = false;
        m_state = abtUp;
        update();
    }
    m_allowAllUp = sender->m_allowAllUp;
}

void TabcCustomPicSpeedBtn::setLayout(TabcButtonLayout value)
{
    if (value == m_layout)
        return;
    m_layout = value;
    update();
}

void TabcCustomPicSpeedBtn::setMargin(int value)
{
    if (value < -1 || value == m_margin)
        return;
    m_margin = value;
    update();
}

void TabcCustomPicSpeedBtn::setSpacing(int value)
{
    if (value == m_spacing)
        return;
    m_spacing = value;
    update();
}

void TabcCustomPicSpeedBtn::setStyle(TabcButtonStyle value)
{
    if (value == m_style)
        return;
    m_style = value;
    update();
}

void TabcCustomPicSpeedBtn::setTextStyle(TabcTextStyle value)
{
    if (value == m_textStyle)
        return;
    m_textStyle = value;
    update();
}

void TabcCustomPicSpeedBtn::setPictureHighlight(TabcGlyphHighlight value)
{
    m_glyph.setPictureHighlight(value);
    repaint();
}

void TabcCustomPicSpeedBtn::setPopup(bool value)
{
    if (value == m_popup)
        return;
    m_popup = value;
    update();
}

void TabcCustomPicSpeedBtn::setDisabledShadow(bool value)
{
    if (value == m_disabledShadow)
        return;
    m_disabledShadow = value;
    if (!isEnabled())
        update();
}

void TabcCustomPicSpeedBtn::setNumGlyphs(int value)
{
    value = std::min(value, 5);
    if (value == m_glyph.NumGlyphs())
        return;
    m_glyph.setNumGlyphs(value);
    update();
}

void TabcCustomPicSpeedBtn::setTransparentColor(tk::TColor value)
{
    m_glyph.setTransparentColor(value);
}

void TabcCustomPicSpeedBtn::setImages(TabcImageList *images)
{
    if (images == m_glyph.Images())
        return;
    m_glyph.setImages(images);
    update();
}

void TabcCustomPicSpeedBtn::setImageIndex(int index)
{
    if (index == m_glyph.ImageIndex())
        return;
    m_glyph.setImageIndex(index);
    update();
}

void TabcCustomPicSpeedBtn::setColor(tk::TColor color)
{
    if (color == m_color)
        return;
    m_color = color;
    m_glyph.setColor(color);
    ReleaseBrushPattern(std::exchange(m_pattern, nullptr));
    if (m_state == abtHot && m_popup && !m_mouseInside)
        m_state = abtUp;
    m_glyph.ReleaseStateImages();
    tk::runGuarded([this] { m_glyph.BuildStateImage(m_state); });
    repaint();
}

void TabcCustomPicSpeedBtn::setFontColor(tk::TColor color)
{
    if (color == m_fontColor)
        return;
    m_fontColor = color;
    update();
}

void TabcCustomPicSpeedBtn::setCaption(const QString &caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    update();
}

bool TabcCustomPicSpeedBtn::NeedsTrackRepaint() const
{
    return m_popup || m_glyph.PictureHighlight() != aghNormal || isTrackingStyle(m_style);
}

bool TabcCustomPicSpeedBtn::inside(int x, int y) const
{
    // The row just below the bottom edge still counts, as it always has for these buttons.
    return x >= 0 && x < width() && y >= 0 && y <= height();
}

unsigned TabcCustomPicSpeedBtn::biDiFlags() const
{
    return layoutDirection() == Qt::RightToLeft ? unsigned(tk::DT_RIGHT) : 0u;
}

void TabcCustomPicSpeedBtn::playSound(int index)
{
    if (index < 0 || !m_soundList)
        return;
    TabcCustomWaveList *list = m_soundList;
    tk::runGuarded([list, index] { list->PlayIndex(index); });
}

void TabcCustomPicSpeedBtn::FireMouseEnter()
{
    if (OnMouseEnter)
        OnMouseEnter(this);
}

void TabcCustomPicSpeedBtn::FireMouseLeave()
{
    if (OnMouseLeave)
        OnMouseLeave(this);
}

void TabcCustomPicSpeedBtn::pointerEntered()
{
    if (!QApplication::activeWindow() || m_mouseInside || !isEnabled() || m_capture)
        return;
    m_mouseInside = true;
    if (!m_down)
        m_state = abtHot;
    if (NeedsTrackRepaint())
        repaint();
    playSound(SoundOver);
    tk::runGuarded([this] { FireMouseEnter(); });
}

void TabcCustomPicSpeedBtn::pointerLeft()
{
    m_mouseInside = false;
    if (!isEnabled() || m_capture) {
        // The look drops the frame at the next paint; ask for it, or the hot frame would linger.
        update();
        return;
    }
    if (!m_down)
        m_state = abtUp;
    if (NeedsTrackRepaint())
        repaint();
    tk::runGuarded([this] { FireMouseLeave(); });
}

void TabcCustomPicSpeedBtn::syncMouseInside()
{
    if (!m_popup)
        return;
    m_pointerOver = tk::Application::findControlAt(QCursor::pos()) == this;
    if (m_pointerOver)
        pointerEntered();
    else
        pointerLeft();
}

void TabcCustomPicSpeedBtn::Click()
{
    bool cancel = false;
    if (BeforeClick)
        BeforeClick(this, cancel);
    if (cancel)
        return;
    ClickHook();
    if (OnClick)
        OnClick(this);
}

bool TabcCustomPicSpeedBtn::press(QMouseEvent *event, bool doubleClick)
{
    event->accept();
    // A release swallowed after a veto belongs to that press only; a new press starts afresh, so a
    // release that went elsewhere cannot eat the next click.
    m_skipNextMouseUp = false;
    const TMouseButton button = toMouseButton(event->button());
    TShiftState shift = shiftOf(event) | ownFlag(button);
    if (doubleClick && button == mbLeft)
        shift |= ssDouble;
    const QPoint at = event->position().toPoint();
    const int x = qint16(at.x()), y = qint16(at.y());
    if (BeforeMouseDown) {
        bool cancel = false;
        bool failed = true;
        tk::runGuarded([&] {
            BeforeMouseDown(this, button, shift, x, y, cancel);
            failed = false;
        });
        if (cancel || failed) {
            m_skipNextMouseUp = true;
            return false;
        }
    }
    m_capture = true;
    tk::Application::setCaptureControl(this);
    QPointer<TabcCustomPicSpeedBtn> self(this);
    MouseDown(button, shift, x, y);
    return self;
}

void TabcCustomPicSpeedBtn::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    if (OnMouseDown) {
        QPointer<TabcCustomPicSpeedBtn> self(this);
        tk::runGuarded([&] { OnMouseDown(this, button, shift, x, y); });
        if (!self || !m_capture)
            return; // an error box took the mouse
    }
    if (button != mbLeft || !isEnabled())
        return;
    if (!m_down) {
        m_state = abtDown;
        repaint();
        playSound(SoundDown);
    }
    m_pressing = true;
}

void TabcCustomPicSpeedBtn::mousePressEvent(QMouseEvent *event)
{
    press(event, false);
}

void TabcCustomPicSpeedBtn::mouseDoubleClickEvent(QMouseEvent *event)
{
    QPointer<TabcCustomPicSpeedBtn> self(this);
    if (!press(event, true) || !self)
        return;
    if (event->button() == Qt::LeftButton && m_down && OnDblClick)
        tk::runGuarded([this] { OnDblClick(this); });
}

void TabcCustomPicSpeedBtn::MouseMove(TShiftState shift, int x, int y)
{
    if (OnMouseMove) {
        QPointer<TabcCustomPicSpeedBtn> self(this);
        tk::runGuarded([&] { OnMouseMove(this, shift, x, y); });
        if (!self)
            return;
    }
    if (m_pressing) {
        const TabcButtonState state = m_down ? abtExclusive : (inside(x, y) ? abtDown : abtHot);
        if (state != m_state) {
            m_state = state;
            repaint();
        }
    } else if (!m_mouseInside) {
        syncMouseInside();
    }
}

void TabcCustomPicSpeedBtn::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint at = event->position().toPoint();
    QPointer<TabcCustomPicSpeedBtn> self(this);
    MouseMove(shiftOf(event), qint16(at.x()), qint16(at.y()));
    if (!self || !m_capture)
        return;
    // Qt sends neither leave nor enter while a press holds the mouse: the moves tell where it is.
    const bool over = rect().contains(at);
    if (over == m_pointerOver)
        return;
    m_pointerOver = over;
    if (over)
        pointerEntered();
    else
        pointerLeft();
}

void TabcCustomPicSpeedBtn::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
    // The capture ends with the last button up; a release of another button leaves it.
    const bool lastButton = event->buttons() == Qt::NoButton;
    if (lastButton) {
        m_capture = false;
        if (tk::Application::captureControl() == this)
            tk::Application::setCaptureControl(nullptr);
    }
    if (m_skipNextMouseUp) {
        m_skipNextMouseUp = false;
        return;
    }
    const QPoint at = event->position().toPoint();
    MouseUp(toMouseButton(event->button()), shiftOf(event), qint16(at.x()), qint16(at.y()));
}

void TabcCustomPicSpeedBtn::MouseUp(TMouseButton button, TShiftState shift, int x, int y)
{
    QPointer<TabcCustomPicSpeedBtn> self(this);
    if (OnMouseUp) {
        tk::runGuarded([&] { OnMouseUp(this, button, shift, x, y); });
        if (!self)
            return;
    }
    if (!m_pressing || button != mbLeft)
        return;
    m_pressing = false;
    const bool in = inside(x, y);
    if (m_groupIndex == 0) {
        if (in)
            m_state = abtHot;
        m_mouseInside = false;
        if (m_state != abtDown && m_state != abtExclusive)
            repaint();
    } else if (in) {
        setDown(!m_down);
    } else if (m_down) {
        m_state = abtExclusive;
        repaint();
    }
    if (in) {
        // The click may show an error box: nothing of the press may be left for it to cancel.
        tk::runGuarded([this] { Click(); });
        if (!self)
            return;
    }
    m_pointerOver = tk::Application::findControlAt(QCursor::pos()) == this;
    if (m_pointerOver) {
        m_mouseInside = true;
        // An error box from the click may have taken the hot look away meanwhile.
        if (m_state == abtUp)
            m_state = abtHot;
    } else {
        pointerLeft();
    }
    repaint();
}

void TabcCustomPicSpeedBtn::cancelPress()
{
    // The release will go to the error box, not here.
    m_capture = false;
    m_pressing = false;
    m_pointerOver = false;
    m_mouseInside = false;
    if (isEnabled())
        m_state = m_down ? abtExclusive : abtUp;
    PressCancelled();
    update();
}

void TabcCustomPicSpeedBtn::syncEnabledState()
{
    if (!isEnabled()) {
        m_state = abtDisabled;
        m_pressing = false;
    } else if (m_state == abtDisabled) {
        m_state = (m_down && m_groupIndex != 0) ? abtExclusive : abtUp;
    }
}

void TabcCustomPicSpeedBtn::changeEvent(QEvent *event)
{
    tk::GraphicControl::changeEvent(event);
    switch (event->type()) {
    case QEvent::EnabledChange:
        if (m_destroying)
            break;
        syncEnabledState();
        tk::runGuarded([this] {
            m_glyph.BuildStateImage(isEnabled() ? abtUp : abtDisabled);
            syncMouseInside();
        });
        update();
        break;
    case QEvent::FontChange:
        update();
        break;
    default:
        break;
    }
}

bool TabcCustomPicSpeedBtn::event(QEvent *event)
{
    switch (int(event->type())) {
    case QEvent::Enter:
        m_pointerOver = true;
        pointerEntered();
        break;
    case QEvent::Leave:
        // After a press that left the button, Qt reports the leave once the mouse is released; the
        // moves have told it already.
        if (m_pointerOver || m_mouseInside) {
            m_pointerOver = false;
            pointerLeft();
        }
        break;
    case tk::CancelModeType:
        if (m_capture || m_pressing)
            cancelPress();
        break;
    case tk::SystemColorsChangedType:
        ReleaseBrushPattern(std::exchange(m_pattern, nullptr));
        m_glyph.ReleaseStateImages();
        tk::runGuarded([this] { m_glyph.BuildStateImage(m_state); });
        break;
    default:
        break;
    }
    return tk::GraphicControl::event(event);
}

void TabcCustomPicSpeedBtn::paintEvent(QPaintEvent *)
{
    if (m_destroying)
        return;
    QPainter painter(this);
    painter.setClipRect(rect());
    const bool hot = isEnabled() && m_mouseInside;
    const bool pressed = m_state == abtDown || m_state == abtExclusive;

    TabcFillMode fill = afmSolid;
    if (m_state == abtExclusive) {
        fill = afmPattern;
        if (!m_pattern) // held from now on: one per button and colour
            m_pattern = AcquireBrushPattern(m_color);
    } else if (m_layout == ablGlyphTiled && m_glyph.TransparentColor() == m_color && Picture().graphic()) {
        fill = afmNone;
    }
    painter.setFont(font());
    painter.setPen(tk::toQColor(m_fontColor));

    const tk::TRect whole{0, 0, width(), height()};
    tk::TRect inner =
        DrawButtonFrame(painter, whole, m_style, fill, m_pattern, m_color, pressed, hot, m_popup);
    tk::TRect tileArea = whole;
    if (pressed) {
        inner = {inner.Left + 1, inner.Top + 1, inner.Right + 1, inner.Bottom + 1};
        tileArea = {1, 1, width() + 1, height() + 1};
    }
    tk::runGuarded([&] {
        m_glyph.DrawGlyphAndCaption(painter, inner, tileArea, m_caption, m_layout, m_margin, m_spacing,
                                    m_state, m_textStyle, m_disabledShadow, hot, biDiFlags());
    });
    // Once more, so that the frame lies on a picture that overlaps it.
    DrawButtonFrame(painter, whole, m_style, afmNone, nullptr, m_color, pressed, hot, m_popup);
}

TabcRepSpeedBtn::TabcRepSpeedBtn(QWidget *parent) : TabcPicSpeedBtn(parent)
{
}

TabcRepSpeedBtn::~TabcRepSpeedBtn()
{
    m_repeatTimer.reset();
}

void TabcRepSpeedBtn::MouseDown(TMouseButton button, TShiftState shift, int x, int y)
{
    QPointer<TabcRepSpeedBtn> self(this);
    TabcPicSpeedBtn::MouseDown(button, shift, x, y);
    if (!self || !HoldsCapture() || !RepeatEnabled || !OnTimer)
        return;
    if (!m_repeatTimer) {
        m_repeatTimer = std::make_unique<QTimer>();
        m_repeatTimer->setSingleShot(true);
        connect(m_repeatTimer.get(), &QTimer::timeout, this, &TabcRepSpeedBtn::TimerExpired);
    }
    m_repeatTimer->start(RepeatInitialpause);
}

void TabcRepSpeedBtn::TimerExpired()
{
    m_repeatTimer->stop();
    if (State() != abtDown || !HoldsCapture() || !OnTimer)
        return;
    QPointer<TabcRepSpeedBtn> self(this);
    tk::runGuarded([this] { OnTimer(this); });
    // The handler may have ended the press (an error box) or the button.
    if (self && Repeatpause != 0 && State() == abtDown && HoldsCapture())
        m_repeatTimer->start(Repeatpause);
}

void TabcRepSpeedBtn::mouseReleaseEvent(QMouseEvent *event)
{
    QPointer<TabcRepSpeedBtn> self(this);
    TabcPicSpeedBtn::mouseReleaseEvent(event);
    if (self)
        stopRepeat();
}

void TabcRepSpeedBtn::PressCancelled()
{
    stopRepeat();
}

void TabcRepSpeedBtn::stopRepeat()
{
    if (m_repeatTimer)
        m_repeatTimer->stop();
}
