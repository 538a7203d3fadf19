#pragma once

#include "abcwav.h"
#include "canvas.h"
#include "colors.h"
#include "control.h"
#include "graphics.h"

#include <QPointer>
#include <QTimer>

#include <QImage>
#include <QPoint>
#include <QSize>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// The looks a button face can be framed in, in their stored order (kept in one byte).
enum TabcButtonStyle : std::uint8_t {
    absAutoDetect,
    absNew,
    absWin31,
    absThin,
    absThinBlack,
    absThinGray,
    absThinHighlight,
    absMidHighlight,
    absThickHighlight,
    absFramed,
    absFramedBlack,
    absFramedRaised,
    absFramedHighlight,
    absFramedBlackHighlight,
    absRecessed,
    absRecessedBlack,
    absRecessedRaised,
    absRecessedHighlight,
    absRecessedBlackHighlight,
};

// How DrawButtonFrame fills the face before framing it.
enum TabcFillMode : std::uint8_t {
    afmSolid,   // the button colour
    afmPattern, // the checkerboard of a TabcBrushPattern
    afmNone,    // leave what is there
};

// An 8x8 checkerboard of a colour and the button highlight (pixel (0, 0) is highlight), the face of a
// latched-down button. One exists per colour value and is shared by every button of that colour.
class TabcBrushPattern {
public:
    explicit TabcBrushPattern(tk::TColor color);
    TabcBrushPattern(const TabcBrushPattern &) = delete;
    TabcBrushPattern &operator=(const TabcBrushPattern &) = delete;

    const QImage &Bitmap() const { return m_bitmap; }
    // The colour as it was asked for: a system colour stays a system colour, so that it and its
    // current RGB value get patterns of their own.
    tk::TColor Color() const { return m_color; }
    std::int32_t UserCount() const { return m_userCount; }

private:
    friend TabcBrushPattern *AcquireBrushPattern(tk::TColor color);
    friend void ReleaseBrushPattern(TabcBrushPattern *pattern);

    QImage m_bitmap;
    tk::TColor m_color;
    std::int32_t m_userCount = 0;
};

// The brush patterns in use, oldest first. It lasts as long as the program; whatever is still in it at
// the end is freed with it.
class TabcBrushPatternList {
public:
    int Count() const { return int(m_items.size()); }
    TabcBrushPattern *Items(int index) const { return m_items.at(size_t(index)).get(); }

private:
    friend TabcBrushPattern *AcquireBrushPattern(tk::TColor color);
    friend void ReleaseBrushPattern(TabcBrushPattern *pattern);

    std::vector<std::unique_ptr<TabcBrushPattern>> m_items;
};

TabcBrushPatternList &BrushPatterns();

// The pattern of this colour value, made on first demand, with one more user. Every acquisition is
// balanced by one ReleaseBrushPattern.
TabcBrushPattern *AcquireBrushPattern(tk::TColor color);
// Gives up one use; the last user's release frees the pattern. A null pattern is ignored.
void ReleaseBrushPattern(TabcBrushPattern *pattern);

// Fills rect (the button's whole area) and draws the frame of style in its pressed, hot or resting look,
// pressed winning over hot. A popup button at rest is filled but not framed. Returns what lies inside
// the frame. A pattern fill without a pattern falls back to a solid fill.
tk::TRect DrawButtonFrame(QPainter &canvas, tk::TRect rect, TabcButtonStyle style, TabcFillMode fillMode,
                          TabcBrushPattern *pattern, tk::TColor color, bool pressed, bool hot, bool popup);

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

class TabcImageList;

// A subscription to an image list's change notices. The list forgets the link when the link goes, and
// the link hears of the list's end through OnListDestroyed.
class TChangeLink {
public:
    TChangeLink() = default;
    TChangeLink(const TChangeLink &) = delete;
    TChangeLink &operator=(const TChangeLink &) = delete;
    ~TChangeLink();

    TabcImageList *Sender() const { return m_sender; }

    std::function<void()> OnChange;
    std::function<void()> OnListDestroyed;

private:
    friend class TabcImageList;
    TabcImageList *m_sender = nullptr;
};

// An image list a button can pick its picture from (Images, ImageIndex): images of one fixed size.
class TabcImageList {
public:
    TabcImageList(int width, int height);
    TabcImageList(const TabcImageList &) = delete;
    TabcImageList &operator=(const TabcImageList &) = delete;
    ~TabcImageList();

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int Count() const { return int(m_images.size()); }
    const QImage &Image(int index) const { return m_images.at(size_t(index)); }

    // Adds a copy of image, cropped or padded with black to the list's size; returns its index.
    int Add(const QImage &image);
    void Replace(int index, const QImage &image);
    void Draw(QPainter &canvas, int index, QPoint at) const;

    void RegisterChanges(TChangeLink *link);
    void UnRegisterChanges(TChangeLink *link);

private:
    void changed();
    QImage fitted(const QImage &image) const;

    int m_width, m_height;
    std::vector<QImage> m_images;
    std::vector<TChangeLink *> m_links;
};

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
    int SlotCount() const { return int(m_slots.size()); }
    bool Occupied(int slot) const;
    const QImage &Image(int slot) const { return m_slots.at(size_t(slot)).image; }
    // Set pixels are the see-through ones; null for a slot stored without a mask.
    const QImage &Mask(int slot) const { return m_slots.at(size_t(slot)).mask; }

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
    const QImage *DenseImage(int slot, qreal ratio) const;
    void SetDenseImage(int slot, QImage image);

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
    bool Empty() const { return m_lists.empty(); }
    int Count() const { return int(m_lists.size()); }

private:
    std::vector<std::unique_ptr<TabcGlyphList>> m_lists;
};

// The program's glyph lists: made with the first glyph, freed by the glyph whose end leaves it empty,
// made again when an image is next built. Null while there is none.
extern TGlyphCache *GlyphCache;

// While on, a glyph keeps its picture only as bytes in a TSmallPictureStream between image builds. Off
// in this program; it trades a decode per build for memory.
extern bool CompactPictureStorage;

// The picture kinds the compact store can write and read back, by class name.
class TabcFileFormatsList {
public:
    struct Entry {
        QString className;
        QString extension; // lower case
        QString description;
        std::int32_t extra = 0;
        tk::GraphicFactory factory;
    };

    TabcFileFormatsList();
    void Add(const QString &extension, const QString &description, std::int32_t extra,
             const QString &className, tk::GraphicFactory factory);
    // The newest entry of exactly that class name (case counts), or null.
    const Entry *FindClassName(const QString &className) const;
    int Count() const { return int(m_entries.size()); }

private:
    std::vector<Entry> m_entries;
};

// The program-wide list, made on first use.
TabcFileFormatsList &abcFileFormatsList();

// The class name a picture kind is stored under; empty for kinds the store cannot write.
QString GraphicClassName(const tk::Graphic *graphic);

// A picture as bytes: one length byte n (0..63), n bytes of the class name (0 for an empty picture),
// then the picture in its own file format.
class TSmallPictureStream {
public:
    void WritePicture(const tk::Picture &picture);
    // Throws tk::Error when the stored class is unknown or the bytes do not load; the picture is then
    // left as it was.
    void ReadPicture(tk::Picture &picture) const;
    const QByteArray &Data() const { return m_data; }
    void SetData(QByteArray data) { m_data = std::move(data); }

private:
    QByteArray m_data;
};

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
    bool PictureCompacted() const { return m_compact != nullptr; }
    TabcGlyphList *GlyphList() const { return m_glyphList; }

    // Tells the owner that the glyph looks different now.
    std::function<void()> OnChange;

    void ReleaseStateImages();
    // The slot of the state's image in GlyphList(), built when missing; -1 when there is nothing to draw.
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
};

// Picture speed buttons: windowless buttons that show a picture cut into state images, an optional
// caption and a frame in one of the styles above; hot under the pointer, sunken while pressed, latched
// down in a group, with vetoes before a press and before a click.

enum TMouseButton : std::uint8_t { mbLeft, mbRight, mbMiddle };

// Bit set of the keys and mouse buttons held with a mouse event.
enum TShiftStateBit : unsigned {
    ssShift = 1u << 0,
    ssAlt = 1u << 1,
    ssCtrl = 1u << 2,
    ssLeft = 1u << 3,
    ssRight = 1u << 4,
    ssMiddle = 1u << 5,
    ssDouble = 1u << 6,
};
using TShiftState = unsigned;

// Setting Cancel to true vetoes what follows.
using TBeforeClickEvent = std::function<void(QObject *Sender, bool &Cancel)>;
using TabcCancelEvent = TBeforeClickEvent;
using TabcMouseCancelEvent =
    std::function<void(QObject *Sender, TMouseButton Button, TShiftState Shift, int X, int Y, bool &Cancel)>;
using TabcMouseEvent =
    std::function<void(QObject *Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TabcMouseMoveEvent = std::function<void(QObject *Sender, TShiftState Shift, int X, int Y)>;

// All behaviour of the picture speed buttons.
class TabcCustomPicSpeedBtn : public tk::GraphicControl {
    Q_OBJECT
public:
    explicit TabcCustomPicSpeedBtn(QWidget *parent);
    ~TabcCustomPicSpeedBtn() override;

    // The glyph's picture; loading into it in place keeps the slice count.
    tk::Picture &Picture() { return m_glyph.Picture(); }
    // A new picture whose slice count follows its shape.
    void setPicture(std::unique_ptr<tk::Graphic> graphic);

    TabcButtonState State() const { return m_state; }
    bool Down() const { return m_down; }
    void setDown(bool value);
    bool AllowAllUp() const { return m_allowAllUp; }
    void setAllowAllUp(bool value);
    int GroupIndex() const { return m_groupIndex; }
    void setGroupIndex(int value);

    TabcButtonLayout Layout() const { return m_layout; }
    void setLayout(TabcButtonLayout value);
    int Margin() const { return m_margin; }
    void setMargin(int value);
    int Spacing() const { return m_spacing; }
    void setSpacing(int value);
    TabcButtonStyle Style() const { return m_style; }
    void setStyle(TabcButtonStyle value);
    TabcTextStyle TextStyle() const { return m_textStyle; }
    void setTextStyle(TabcTextStyle value);
    TabcGlyphHighlight PictureHighlight() const { return m_glyph.PictureHighlight(); }
    void setPictureHighlight(TabcGlyphHighlight value);
    bool Popup() const { return m_popup; }
    void setPopup(bool value);
    bool DisabledShadow() const { return m_disabledShadow; }
    void setDisabledShadow(bool value);
    int NumGlyphs() const { return m_glyph.NumGlyphs(); }
    void setNumGlyphs(int value);
    tk::TColor TransparentColor() const { return m_glyph.TransparentColor(); }
    void setTransparentColor(tk::TColor value);
    TabcImageList *Images() const { return m_glyph.Images(); }
    void setImages(TabcImageList *images);
    int ImageIndex() const { return m_glyph.ImageIndex(); }
    void setImageIndex(int index);

    tk::TColor Color() const { return m_color; }
    void setColor(tk::TColor color);
    // The caption's colour.
    tk::TColor FontColor() const { return m_fontColor; }
    void setFontColor(tk::TColor color);
    const QString &Caption() const { return m_caption; }
    void setCaption(const QString &caption);

    // Not owned; forgotten when the list is destroyed. Sound numbers below 0 play nothing.
    TabcCustomWaveList *SoundList() const { return m_soundList; }
    void setSoundList(TabcCustomWaveList *list) { m_soundList = list; }
    int SoundDown = -1;
    int SoundOver = -1;

    bool Pressing() const { return m_pressing; }
    // Pressing under the name the main window's tests know it by.
    bool Pressed() const { return m_pressing; }
    bool MouseInside() const { return m_mouseInside; }
    bool NeedsTrackRepaint() const;
    const TabcButtonGlyph &Glyph() const { return m_glyph; }

    // Runs the click as a release inside would: BeforeClick, then OnClick.
    void Click() override;

    // Read as a push button named by its caption (or its accessible name), checked while latched down.
    QAccessible::Role AccessibleRole() const override { return QAccessible::Button; }
    QString AccessibleCaption() const override;
    void AccessibleState(QAccessible::State &state) const override;
    bool HasPress() const override { return true; }

    TabcCancelEvent BeforeClick;
    TabcMouseCancelEvent BeforeMouseDown;
    tk::TNotifyEvent OnDblClick;
    TabcMouseEvent OnMouseDown;
    TabcMouseEvent OnMouseUp;
    TabcMouseMoveEvent OnMouseMove;
    tk::TNotifyEvent OnMouseEnter;
    tk::TNotifyEvent OnMouseLeave;

protected:
    // A click without the mouse: a group button toggles as under a release inside, then Click.
    void PressAction() override;
    virtual void FireMouseEnter();
    virtual void FireMouseLeave();
    virtual void ClickHook() {}

    // The press, move and release steps, after the veto and the capture bookkeeping.
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    // True while a press on this button holds the mouse.
    bool HoldsCapture() const { return m_capture; }

    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool event(QEvent *event) override;

    // Called when the press ends without a release here (an error box took the mouse).
    virtual void PressCancelled() {}

private:
    void pointerEntered();
    void pointerLeft();
    void syncMouseInside();
    void notifyGroup();
    void buttonPressed(int groupIndex, TabcCustomPicSpeedBtn *sender);
    void playSound(int index);
    void cancelPress();
    bool press(QMouseEvent *event, bool doubleClick);
    bool inside(int x, int y) const;
    unsigned biDiFlags() const;
    void syncEnabledState();

    TabcButtonGlyph m_glyph;
    TabcButtonState m_state = abtUp;
    bool m_down = false;
    bool m_allowAllUp = false;
    int m_groupIndex = 0;
    TabcButtonLayout m_layout = ablGlyphLeft;
    int m_margin = -1;
    int m_spacing = 4;
    TabcButtonStyle m_style = absThin;
    TabcTextStyle m_textStyle = tsNormal;
    bool m_popup = true;
    bool m_disabledShadow = true;
    tk::TColor m_color = tk::clBtnFace;
    tk::TColor m_fontColor = tk::clBtnText;
    QString m_caption;
    QPointer<TabcCustomWaveList> m_soundList;
    TabcBrushPattern *m_pattern = nullptr;
    bool m_pressing = false;
    bool m_mouseInside = false;
    bool m_skipNextMouseUp = false;
    bool m_capture = false;     // a press on the button holds the mouse
    bool m_pointerOver = false; // where the pointer is, as enter, leave and the moves tell
    bool m_destroying = false;
};

// The picture speed button with its properties published; no behaviour of its own.
class TabcPicSpeedBtn : public TabcCustomPicSpeedBtn {
    Q_OBJECT
public:
    using TabcCustomPicSpeedBtn::TabcCustomPicSpeedBtn;
};

// A picture speed button that fires OnTimer while it is held down: first after RepeatInitialpause ms,
// then every Repeatpause ms (0: only once).
class TabcRepSpeedBtn : public TabcPicSpeedBtn {
    Q_OBJECT
public:
    static constexpr std::uint16_t kDefaultRepeatInitialPause = 400;
    static constexpr std::uint16_t kDefaultRepeatPause = 100;

    explicit TabcRepSpeedBtn(QWidget *parent);
    ~TabcRepSpeedBtn() override;

    bool RepeatEnabled = true;
    std::uint16_t RepeatInitialpause = kDefaultRepeatInitialPause;
    std::uint16_t Repeatpause = kDefaultRepeatPause;
    tk::TNotifyEvent OnTimer;

    // Made on the first press that repeats; null before.
    QTimer *RepeatTimer() const { return m_repeatTimer.get(); }

protected:
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void PressCancelled() override;

private:
    void TimerExpired();
    void stopRepeat();

    std::unique_ptr<QTimer> m_repeatTimer;
};
