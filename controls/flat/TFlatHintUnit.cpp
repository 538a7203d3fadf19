#include "controls/flat/TFlatHintUnit.h"

#include "toolkit/base/callout.h"
#include "toolkit/painting/canvas.h"
#include "toolkit/painting/fonts.h"
#include "toolkit/widgets/windowplacement.h"

#include <QCursor>
#include <QPainter>

#include <algorithm>
#include <array>
#include <limits>

namespace {

constexpr int kHintShortPause = 25;
constexpr int kHintPause = 500;
constexpr int kHintHidePause = 5000;

// Width of the arrow strip inside the frame.
constexpr int kStripWidth = 14;
// How far the window keeps from the cursor: further in the top-left quarter, where the window lies
// below and right of the cursor and would otherwise sit under the arrow cursor's body.
constexpr int kDistanceBelowRight = 12;
constexpr int kDistance = 5;

// The outline of the arrow, from its tip; mirrored by placement.
constexpr std::array<QPoint, 18> kArrow = {{{0, 0},
                                            {0, 6},
                                            {1, 6},
                                            {1, 0},
                                            {6, 0},
                                            {6, 1},
                                            {2, 1},
                                            {2, 4},
                                            {5, 7},
                                            {6, 7},
                                            {3, 4},
                                            {3, 3},
                                            {6, 6},
                                            {7, 6},
                                            {3, 2},
                                            {4, 2},
                                            {7, 5},
                                            {7, 6}}};

bool stripOnLeft(TFlatHintPlacement placement)
{
    return placement == hpBelowRight || placement == hpAboveRight;
}

bool arrowAtTop(TFlatHintPlacement placement)
{
    return placement == hpBelowLeft || placement == hpBelowRight;
}

} // namespace

TFlatHint::TFlatHint(QObject *owner) : QObject(owner)
{
    if (tk::Application *app = tk::Application::instance()) {
        app->hints().setHintWindowClass<TFlatHintWindow>();
        // Off and on again: a hint window already made is replaced by one of the new class.
        app->hints().setShowHint(!app->hints().ShowHint());
        app->hints().setShowHint(!app->hints().ShowHint());
        // The application outlives this component; a handler left behind must not reach a dead one.
        app->hints().OnShowHint = [self = QPointer<TFlatHint>(this)](QString &hint, bool &canShow,
                                                                     tk::THintInfo &info) {
            if (self)
                self->ForwardShowHint(hint, canShow, info);
        };
        app->hints().setHintShortPause(kHintShortPause);
        app->hints().setHintPause(kHintPause);
        app->hints().setHintHidePause(kHintHidePause);
    }
    m_font = tk::defaultFont();
}

TFlatHint::~TFlatHint() = default;

void TFlatHint::setColors(int index, tk::TColor value)
{
    if (index >= 0 && index < 4)
        m_colors[index] = value;
}

void TFlatHint::setFont(const QFont &font, tk::TColor color)
{
    m_font = font;
    m_fontColor = color;
}

void TFlatHint::ForwardShowHint(QString &HintStr, bool &CanShow, tk::THintInfo &HintInfo)
{
    if (OnShowHint)
        tk::callOut(this, [&] { OnShowHint(HintStr, CanShow, HintInfo); });
}

TFlatHint *FindFlatHint()
{
    tk::Application *app = tk::Application::instance();
    QWidget *form = app ? app->MainForm() : nullptr;
    if (!form)
        return nullptr;
    for (QObject *component : form->children())
        if (auto *hint = qobject_cast<TFlatHint *>(component))
            return hint;
    return nullptr;
}

TFlatHintWindow::TFlatHintWindow() = default;

void TFlatHintWindow::CreateParams(tk::HintWindowParams &params)
{
    tk::THintWindow::CreateParams(params);
    params.border = false;
}

void TFlatHintWindow::ActivateHint(tk::TRect, const QString &hint)
{
    setCaption(hint);
    FFlatHint = FindFlatHint();
    if (FFlatHint) {
        canvasFont() = FFlatHint->Font();
        canvasFontColor() = FFlatHint->fontColor();
    } else {
        // Without a component the window looks as a fresh one would make it look.
        canvasFont() = tk::defaultFont();
        canvasFontColor() = tk::clWindowText;
    }
    const int maxWidth = FFlatHint ? FFlatHint->MaxHintWidth() : TFlatHint::kDefaultMaxHintWidth;

    // Measured from the origin: the corner the application gave cancels out of the result. Any width
    // from none up to what leaves room for the extra stays as it is; beyond, it is that much.
    const qint64 wrapWidth =
        std::clamp<qint64>(qint64(maxWidth) - kExtraWidth, 0, std::numeric_limits<int>::max() - kExtraWidth);
    tk::TRect r{0, 0, int(wrapWidth), 0};
    const unsigned measure = tk::DT_CALCRECT | tk::DT_WORDBREAK | tk::DT_NOPREFIX;
    tk::DrawText(nullptr, canvasFont(), Qt::black, hint, r, measure);
    tk::DrawText(nullptr, canvasFont(), Qt::black, hint, r, measure);
    r.Right += kExtraWidth;
    r.Bottom += kExtraHeight;
    const int w = r.width(), h = r.height();

    const QRect area = tk::hintPlacementArea();
    const int sw = area.width(), sh = area.height();
    const QPoint p = QCursor::pos();
    const QPoint q = p - area.topLeft(); // the quarters are the area's own
    if (tk::TRect{0, 0, sw / 2, sh / 2}.contains(q))
        FPlacement = hpBelowRight;
    else if (tk::TRect{sw / 2, 0, sw, sh / 2}.contains(q))
        FPlacement = hpBelowLeft;
    else if (tk::TRect{0, sh / 2, sw / 2, sh}.contains(q))
        FPlacement = hpAboveRight;
    else
        FPlacement = hpAboveLeft;

    const int d = FPlacement == hpBelowRight ? kDistanceBelowRight : kDistance;
    const int left = stripOnLeft(FPlacement) ? p.x() + d : p.x() - d - w;
    const int top = arrowAtTop(FPlacement) ? p.y() + d : p.y() - d - h;
    // Where the quarters leave the window crossing an edge of a small screen, it comes inside by the
    // least distance, whole and readable; its placement, and so the arrow's corner, stays the quarter's.
    showAt(tk::TRect::fromQRect(tk::keepOnScreen(QRect(left, top, w, h), p)));
}

void TFlatHintWindow::Paint(QPainter &painter)
{
    // Without a component, the colours of a fresh one.
    tk::TColor arrowBackground = TFlatHint::kDefaultArrowBackground, background = tk::clWhite;
    tk::TColor border = tk::clBlack, arrow = tk::clBlack;
    if (const TFlatHint *settings = FFlatHint) {
        arrowBackground = settings->ColorArrowBackground();
        background = settings->ColorBackground();
        border = settings->ColorBorder();
        arrow = settings->ColorArrow();
    }

    const int W = width(), H = height();
    tk::TRect strip, text;
    if (stripOnLeft(FPlacement)) {
        strip = {1, 1, 1 + kStripWidth, H - 1};
        text = {1 + kStripWidth, 1, W - 1, H - 1};
    } else {
        strip = {W - 1 - kStripWidth, 1, W - 1, H - 1};
        text = {1, 1, W - 1 - kStripWidth, H - 1};
    }
    tk::FillRect(painter, strip, tk::toQColor(arrowBackground));
    tk::FillRect(painter, text, tk::toQColor(background));
    tk::FrameRect(painter, {0, 0, W, H}, tk::toQColor(border));

    const int x = stripOnLeft(FPlacement) ? strip.Left + 2 : strip.Right - 3;
    const int y = arrowAtTop(FPlacement) ? strip.Top + 2 : strip.Bottom - 3;
    FArrowPoint = {x, y};
    const int sx = stripOnLeft(FPlacement) ? 1 : -1;
    const int sy = arrowAtTop(FPlacement) ? 1 : -1;
    std::array<QPoint, kArrow.size()> outline;
    for (size_t i = 0; i < kArrow.size(); ++i)
        outline[i] = {x + sx * kArrow[i].x(), y + sy * kArrow[i].y()};
    tk::Polyline(painter, outline, tk::toQColor(arrow));

    text.Left += 3;
    text.Right -= 3;
    text.Top += 1;
    text.Bottom -= 1;
    tk::DrawText(&painter, canvasFont(), tk::toQColor(canvasFontColor()), Caption(), text,
                 tk::DT_WORDBREAK | tk::DT_NOPREFIX | tk::DT_LEFT);
}
