#include "controls/flat/flatparentbackground.h"

#include "toolkit/widgets/control.h"

#include <QPainter>
#include <QRegion>
#include <QWidget>

namespace {

bool isWindowless(const QWidget *widget)
{
    const tk::Control *control = tk::asControl(widget);
    return control && !control->windowed();
}

} // namespace

void PaintParentBackground(QWidget *control, QPainter &canvas)
{
    // A window of its own lies over its parent's window, not inside it: nothing of the parent is under it.
    QWidget *parent = control && !control->isWindow() ? control->parentWidget() : nullptr;
    if (!parent)
        return;
    // Only what lies under the control can show through it; an empty region would make render() paint
    // the whole widget.
    const QRect under = parent->rect() & control->geometry();
    if (under.isEmpty())
        return;

    canvas.save();
    canvas.translate(-control->pos());
    canvas.setClipRect(parent->rect(), Qt::IntersectClip);
    parent->render(&canvas, under.topLeft(), QRegion(under), QWidget::DrawWindowBackground);
    // The parent's own painting takes in its windowless controls, as where the platform draws them
    // itself, and leaves out its windowed ones, which are windows beside the control's. Windowless ones
    // above the control do not count: Qt paints them over it anyway.
    for (QObject *child : parent->children()) {
        if (child == control)
            break;
        auto *sibling = qobject_cast<QWidget *>(child);
        if (!sibling || sibling->isWindow() || !sibling->isVisibleTo(parent) || !isWindowless(sibling))
            continue;
        const QRect shown = under & sibling->geometry();
        if (shown.isEmpty())
            continue;
        sibling->render(&canvas, shown.topLeft(), QRegion(shown.translated(-sibling->pos())));
    }
    canvas.restore();
}
