#include "controls/abc/abcglyphlist.h"

#include "controls/abc/abcglyphimages_p.h"
#include "toolkit/base/errors.h"

#include <QPainter>

using namespace Qt::StringLiterals;
using namespace abcglyph;

TabcGlyphList::TabcGlyphList(int width, int height) : m_width(width), m_height(height)
{
}

bool TabcGlyphList::occupied(int slot) const
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
    if (!occupied(slot))
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
        const QImage *dense = denseImage(slot, ratio);
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

const QImage *TabcGlyphList::denseImage(int slot, qreal ratio) const
{
    if (!occupied(slot))
        return nullptr;
    for (const QImage &image : m_slots[size_t(slot)].dense)
        if (sameRatio(image.devicePixelRatio(), ratio))
            return &image;
    return nullptr;
}

void TabcGlyphList::setDenseImage(int slot, QImage image)
{
    if (!occupied(slot) || image.isNull())
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
