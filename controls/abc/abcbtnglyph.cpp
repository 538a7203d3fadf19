#include "controls/abc/abcbtnglyph.h"

#include "controls/abc/abcglyphimages_p.h"
#include "controls/abc/abcglyphlooks_p.h"

#include "toolkit/application/application.h"
#include "toolkit/base/errors.h"
#include "toolkit/painting/canvas.h"
#include "toolkit/painting/colors.h"
#include "toolkit/painting/edges.h"
#include "toolkit/painting/glyphlayout.h"
#include "toolkit/painting/pixels.h"

#include <QBuffer>
#include <QPainter>
#include <QScopeGuard>

#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

using namespace abcglyph;

namespace {

// Colours read from a bitmap carry the palette-relative flag, so that a picture's transparent colour
// never compares equal to a system colour value (one of which a button's face colour usually is).
constexpr tk::TColor kPaletteRelative = 0x02000000;
constexpr int kMaxGlyphs = 5;
constexpr tk::TColor kDisabledTextGrey = 0x808080;

tk::TColor lowerLeftColor(const QImage &image)
{
    return tk::fromQColor(image.pixelColor(0, image.height() - 1)) | kPaletteRelative;
}

// The colour a bitmap leaves out when it is drawn: white for a two-colour bitmap, else its lower-left
// pixel; clFuchsia for anything that is not a bitmap.
tk::TColor transparentColorOf(const tk::Graphic *graphic)
{
    const auto *bitmap = dynamic_cast<const tk::BitmapImage *>(graphic);
    if (!bitmap || bitmap->image().isNull())
        return tk::clFuchsia;
    const QImage::Format format = bitmap->image().format();
    if (format == QImage::Format_Mono || format == QImage::Format_MonoLSB)
        return tk::clWhite | kPaletteRelative;
    return lowerLeftColor(bitmap->image());
}

// Draws text centred on both axes within rect. The text drawing centres only across, so the row is
// found from the measured height.
void drawCentred(QPainter &canvas, const QString &text, tk::TRect rect, tk::TColor color, unsigned flags)
{
    tk::TRect extent{rect.Left, rect.Top, rect.Right, rect.Top};
    const int textHeight =
        tk::DrawText(nullptr, canvas.font(), QColor(), text, extent, flags | tk::DT_CALCRECT);
    const int down = (rect.height() - textHeight) / 2;
    rect.Top += down;
    rect.Bottom += down;
    tk::DrawText(&canvas, canvas.font(), tk::toQColor(color), text, rect, flags | tk::DT_CENTER);
}

tk::TRect moved(tk::TRect r, int dx, int dy)
{
    return {r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy};
}

} // namespace

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
    if (GlyphCache && GlyphCache->empty()) {
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
    m_compact->readPicture(m_picture);
    m_compact.reset();
}

void TabcButtonGlyph::compactPicture()
{
    if (!CompactPictureStorage || !m_picture.graphic() || graphicClassName(m_picture.graphic()).isEmpty())
        return;
    auto store = std::make_unique<TSmallPictureStream>();
    store->writePicture(m_picture);
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
    // An image-list entry is one image, never a strip.
    const TabcNumGlyphs numGlyphs =
        (imageEntrySelected() || count < 1 || count > kMaxGlyphs) ? 1 : TabcNumGlyphs(count);
    if (numGlyphs == m_numGlyphs)
        return;
    ReleaseStateImages();
    m_numGlyphs = numGlyphs;
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
        m_changeLink->onListDestroyed = [this] {
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
        m_transparentColor = transparentColorOf(m_picture.graphic());
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
            m_transparentColor = lowerLeftColor(source);
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
            m_transparentColor = lowerLeftColor(source);
    }
    return source;
}

QImage TabcButtonGlyph::buildImage(TabcButtonState state, const QImage &slice, QRgb transparent, int step,
                                   const std::function<QImage()> &hotImage)
{
    const QRgb face = rgbOf(m_color);
    switch (state) {
    case abtUp:
        switch (m_highlight) {
        case aghNormal:
            break;
        case aghGray:
            return greyed(slice, transparent, face);
        case aghFade:
            return faded(hotImage(), face);
        case aghDarken:
            return darkened(hotImage(), face);
        }
        break;
    case abtDisabled:
        return m_numGlyphs < 2 ? embossedOutline(slice, transparent, face, step)
                               : disabledSlice(slice, transparent, face);
    case abtExclusive:
        return slice.copy(); // kept as it is; its mask lets the latched face through
    case abtDown:
    case abtHot:
        break;
    }
    return brushCopy(slice, transparent, face);
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
                                    [this] { return m_glyphList->image(BuildStateImage(abtHot)); });
    const int slot = state == abtExclusive ? m_glyphList->AddMaskedImage(image, m_transparentColor)
                                           : m_glyphList->AddImage(image);
    m_stateImage[state] = slot;
    compactPicture();
    return slot;
}

void TabcButtonGlyph::prepareDenseImage(TabcButtonState state, int slot, qreal ratio)
{
    if (sameRatio(ratio, 1) || !m_glyphList || m_glyphList->denseImage(slot, ratio))
        return;
    // Reading the double-size picture and building its state image would make the window's first frame
    // wait; that frame enlarges the 1x image smoothly and the next shows the dense one.
    if (waitsForFirstFrame())
        return;
    const QSize logical(m_glyphList->Width(), m_glyphList->Height());
    QImage fine = buildCompanionImage(state, ratio);
    if (fine.isNull()) {
        // Only the 1x picture: its finished state image, enlarged.
        const QImage &mask = m_glyphList->mask(slot);
        fine = mask.isNull() ? m_glyphList->image(slot) : withMaskAlpha(m_glyphList->image(slot), mask);
    }
    m_glyphList->setDenseImage(slot, tk::fittedToDevice(std::move(fine), logical, ratio));
}

bool TabcButtonGlyph::waitsForFirstFrame()
{
    tk::Application *app = tk::Application::instance();
    if (!app || app->startupWork().firstFrameShown())
        return false;
    if (!std::exchange(m_repaintAfterFirstFrame, true)) {
        app->startupWork().afterFirstFrame([this, alive = std::weak_ptr<bool>(m_alive)] {
            if (alive.expired())
                return;
            m_repaintAfterFirstFrame = false;
            if (OnChange)
                OnChange();
        });
    }
    return true;
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
        transparent = rgbOf(lowerLeftColor(source));
    const int w = source.width() / m_numGlyphs, h = source.height();
    if (w != m_glyphList->Width() * kCompanionScale || h != m_glyphList->Height() * kCompanionScale)
        return {};
    const int k = state < m_numGlyphs ? state : 0;
    const QImage slice = source.copy(w * k, 0, w, h);
    const QImage image = buildImage(state, slice, transparent, kCompanionScale,
                                    [&] { return buildCompanionImage(abtHot, ratio); });
    return state == abtExclusive ? tk::withColorKeyedOut(image, transparent) : image;
}

TGlyphLayout TabcButtonGlyph::ComputeGlyphLayout(QPainter &canvas, const tk::TRect &client,
                                                 unsigned biDiFlags, const QString &caption,
                                                 TabcButtonLayout layout, int margin, int spacing) const
{
    // Read right to left, a glyph on the left stands on the right, and the other way round.
    if (biDiFlags & tk::DT_RIGHT) {
        if (layout == ablGlyphLeft)
            layout = ablGlyphRight;
        else if (layout == ablGlyphRight)
            layout = ablGlyphLeft;
    }
    tk::TRect extent;
    if (!caption.isEmpty()) {
        extent = {0, 0, client.width(), 0};
        tk::DrawText(nullptr, canvas.font(), QColor(), caption, extent, tk::DT_CALCRECT | biDiFlags);
    }
    TGlyphLayout result;
    result.GlyphSize = glyphSize();
    if (layout == ablGlyphCenter || layout == ablGlyphTiled) {
        // Both centred on their own; a tiled glyph starts in the corner. Neither side of the caption.
        const tk::GlyphPlacement text =
            tk::placeGlyphAndCaption(client, {}, extent, tk::GlyphSide::Left, -1, 0);
        const tk::GlyphPlacement glyph =
            tk::placeGlyphAndCaption(client, result.GlyphSize, {}, tk::GlyphSide::Left, -1, 0);
        result.CaptionRect = text.captionRect;
        result.GlyphPos = layout == ablGlyphCenter ? glyph.glyphPos : QPoint(client.Left, client.Top);
        return result;
    }
    const tk::GlyphSide side = layout == ablGlyphRight    ? tk::GlyphSide::Right
                               : layout == ablGlyphTop    ? tk::GlyphSide::Top
                               : layout == ablGlyphBottom ? tk::GlyphSide::Bottom
                                                          : tk::GlyphSide::Left;
    const tk::GlyphPlacement placed =
        tk::placeGlyphAndCaption(client, result.GlyphSize, extent, side, margin, spacing);
    result.GlyphPos = placed.glyphPos;
    result.CaptionRect = placed.captionRect;
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
