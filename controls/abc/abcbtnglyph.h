#pragma once

#include "controls/abc/abcglyphlist.h"
#include "controls/abc/abcimagelist.h"
#include "controls/abc/abcpicturestream.h"
#include "toolkit/painting/canvas.h"
#include "toolkit/painting/colors.h"
#include "toolkit/pictures/graphics.h"

#include <QPoint>
#include <QSize>

#include <cstdint>
#include <functional>
#include <memory>

class QPainter;

// Where the picture lies against the caption (stored in one byte, in this order).
enum TabcButtonLayout : std::uint8_t {
    ablGlyphLeft,
    ablGlyphRight,
    ablGlyphTop,
    ablGlyphBottom,
    ablGlyphCenter,
    ablGlyphTiled,
};

// How the picture looks at rest, against its look under the pointer.
enum TabcGlyphHighlight : std::uint8_t {
    aghNormal, // the same picture
    aghGray,   // grey at rest
    aghFade,   // faded towards the face colour at rest
    aghDarken, // AND-ed with the face colour at rest
};

enum TabcTextStyle : std::uint8_t { tsNormal, tsRaised, tsLowered };

// The number of slices the picture is cut into, 1..5.
using TabcNumGlyphs = std::uint8_t;

// A button's look; also the index of its state image and of the picture slice that shows it.
enum TabcButtonState : std::uint8_t {
    abtUp,
    abtDisabled,
    abtDown,
    abtExclusive, // latched down
    abtHot,       // under the pointer
};
inline constexpr int kButtonStateCount = 5;

// Where ComputeGlyphLayout puts picture and caption.
struct TGlyphLayout {
    QSize GlyphSize;
    QPoint GlyphPos;
    tk::TRect CaptionRect;
};

// The picture of one button, cut into the images of its states. Images are built on first use and kept
// in the shared glyph lists until something they depend on changes.
class TabcButtonGlyph {
public:
    TabcButtonGlyph();
    TabcButtonGlyph(const TabcButtonGlyph &) = delete;
    TabcButtonGlyph &operator=(const TabcButtonGlyph &) = delete;
    ~TabcButtonGlyph();

    // Brought back from the compact store first when it is kept there.
    tk::Picture &Picture();
    // Takes the graphic as the new picture; the slice count follows its shape.
    void setPicture(std::unique_ptr<tk::Graphic> graphic);
    QSize PictureSize() const { return m_pictureSize; }

    TabcGlyphHighlight PictureHighlight() const { return m_highlight; }
    void setPictureHighlight(TabcGlyphHighlight highlight);

    tk::TColor Color() const { return m_color; }
    // The face colour; the owner releases the state images when it changes it.
    void setColor(tk::TColor color) { m_color = color; }

    tk::TColor TransparentColor() const { return m_transparentColor; }
    void setTransparentColor(tk::TColor color);
    // True once TransparentColor was set explicitly and no longer follows the picture.
    bool TransparentColorSet() const { return m_transparentColorSet; }

    TabcNumGlyphs NumGlyphs() const { return m_numGlyphs; }
    void setNumGlyphs(int count);

    TabcImageList *Images() const { return m_images; }
    void setImages(TabcImageList *images);
    int ImageIndex() const { return m_imageIndex; }
    void setImageIndex(int index);

    int StateImage(TabcButtonState state) const { return m_stateImage[state]; }
    // True while the picture is kept only in the compact store.
    bool pictureCompacted() const { return m_compact != nullptr; }
    TabcGlyphList *glyphList() const { return m_glyphList; }

    // Tells the owner that the glyph looks different now.
    std::function<void()> OnChange;

    void ReleaseStateImages();
    // The slot of the state's image in glyphList(), built when missing; -1 when there is nothing to draw.
    int BuildStateImage(TabcButtonState state);
    // Cuts the picture into square-ish slices when its width is 1 to 5 times its height.
    void DetectNumGlyphs();
    // sender: the picture, the image list, or null for a change of the glyph's own settings.
    void PictureChanged(const void *sender);

    // The canvas's font measures the caption. biDiFlags with DT_RIGHT read right to left.
    TGlyphLayout ComputeGlyphLayout(QPainter &canvas, const tk::TRect &client, unsigned biDiFlags,
                                    const QString &caption, TabcButtonLayout layout, int margin,
                                    int spacing) const;
    void DrawGlyphImage(QPainter &canvas, TabcButtonState state, QPoint pos);
    void DrawGlyphTiles(QPainter &canvas, TabcButtonState state, const tk::TRect &area);
    // Text in the canvas's font and pen colour; the pen is left as it was.
    void DrawCaption(QPainter &canvas, const QString &caption, unsigned biDiFlags, bool disabledShadow,
                     TabcTextStyle textStyle, TabcButtonState state, const tk::TRect &rect) const;
    // Returns the caption's rectangle.
    tk::TRect DrawGlyphAndCaption(QPainter &canvas, const tk::TRect &client, const tk::TRect &tileArea,
                                  const QString &caption, TabcButtonLayout layout, int margin, int spacing,
                                  TabcButtonState state, TabcTextStyle textStyle, bool disabledShadow,
                                  bool hot, unsigned biDiFlags);

private:
    bool imageEntrySelected() const;
    bool sourceAvailable() const;
    QSize glyphSize() const;
    QImage renderSource();
    // step: device pixels per picture pixel of the slice (the emboss offset of the disabled image).
    QImage buildImage(TabcButtonState state, const QImage &slice, QRgb transparent, int step,
                      const std::function<QImage()> &hotImage);
    // The state that BuildStateImage keeps an image for when asked for state.
    TabcButtonState builtState(TabcButtonState state) const;
    // Stores the slot's image for the canvas's pixel ratio when it is not 1 and none is stored yet.
    void prepareDenseImage(TabcButtonState state, int slot, qreal ratio);
    // While the program's first frame is being made: asks for a repaint once it is up.
    bool waitsForFirstFrame();
    // The state image built afresh from the picture's double-resolution companion, or null when there
    // is none that fits this glyph.
    QImage buildCompanionImage(TabcButtonState state, qreal ratio);
    void restorePicture();
    void compactPicture();

    tk::Picture m_picture;
    std::unique_ptr<TSmallPictureStream> m_compact; // holds the picture while it is compacted
    QSize m_pictureSize{0, 0};
    TabcGlyphHighlight m_highlight = aghNormal;
    TabcGlyphList *m_glyphList = nullptr;
    int m_imageIndex = -1;
    TabcImageList *m_images = nullptr;
    std::unique_ptr<TChangeLink> m_changeLink;
    int m_stateImage[kButtonStateCount] = {-1, -1, -1, -1, -1};
    tk::TColor m_color = tk::clBtnFace;
    tk::TColor m_transparentColor = tk::clFuchsia;
    bool m_transparentColorSet = false;
    TabcNumGlyphs m_numGlyphs = 1;
    bool m_repaintAfterFirstFrame = false;
    // Held by the glyph alone: work queued for later finds the glyph gone when it has expired.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
