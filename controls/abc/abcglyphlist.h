#pragma once

#include "toolkit/painting/colors.h"

#include <QImage>
#include <QPoint>

#include <memory>
#include <vector>

class QPainter;

// The state images of every button whose slices have one size. Slots keep their numbers: a freed slot
// is only marked free and is reused by the next image, so the slots other buttons hold never move.
class TabcGlyphList {
public:
    TabcGlyphList(int width, int height);
    TabcGlyphList(const TabcGlyphList &) = delete;
    TabcGlyphList &operator=(const TabcGlyphList &) = delete;

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // Occupied slots.
    int Count() const { return m_count; }
    // All slots, free ones included.
    int slotCount() const { return int(m_slots.size()); }
    bool occupied(int slot) const;
    const QImage &image(int slot) const { return m_slots.at(size_t(slot)).image; }
    // Set pixels are the see-through ones; null for a slot stored without a mask.
    const QImage &mask(int slot) const { return m_slots.at(size_t(slot)).mask; }

    // The image must be at least the list's size (tk::Error "Invalid image size"); its top-left part of
    // that size is kept.
    int AddImage(const QImage &image);
    // As AddImage, with a mask through which every pixel of colour transparent shows what lies below.
    int AddMaskedImage(const QImage &image, tk::TColor transparent);
    void DeleteImage(int slot);

    // Draws a slot at its full size; through its mask when it has one and masked is asked for,
    // opaque otherwise. On a denser device the slot's image for that ratio is drawn when one is stored,
    // else the image itself, smoothly scaled.
    void Draw(QPainter &canvas, int slot, QPoint at, bool masked) const;

    // A slot's image for a device of another pixel ratio: the list's size in that device's pixels, the
    // ratio set on it, see-through pixels as alpha. Null until stored; a freed slot loses them.
    const QImage *denseImage(int slot, qreal ratio) const;
    void setDenseImage(int slot, QImage image);

private:
    struct Slot {
        QImage image;
        QImage mask;
        std::vector<QImage> dense; // one per device pixel ratio drawn on
    };
    int allocateSlot();
    QImage checkedCopy(const QImage &image) const;

    int m_width, m_height;
    std::vector<Slot> m_slots;
    std::vector<bool> m_occupied;
    int m_count = 0;
};

// The glyph lists in use, at most one per size.
class TGlyphCache {
public:
    TGlyphCache() = default;
    TGlyphCache(const TGlyphCache &) = delete;
    TGlyphCache &operator=(const TGlyphCache &) = delete;

    // The list of that size, made when there is none.
    TabcGlyphList *GetList(int width, int height);
    // Frees the list once nobody holds a slot of it.
    void ReturnList(TabcGlyphList *list);
    bool empty() const { return m_lists.empty(); }
    int Count() const { return int(m_lists.size()); }

private:
    std::vector<std::unique_ptr<TabcGlyphList>> m_lists;
};

// The program's glyph lists: made with the first glyph, freed by the glyph whose end leaves it empty,
// made again when an image is next built. Null while there is none.
extern TGlyphCache *GlyphCache;
