#include "toolkit/widgets/heldinput.h"

#include "toolkit/base/delivery.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>

#include <memory>

namespace tk {

namespace {

bool isInput(const QEvent &event)
{
    switch (event.type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Enter:
    case QEvent::Leave:
    case QEvent::ContextMenu:
        return true;
    default:
        return false;
    }
}

// A mouse event or a context menu request that its receiver left: it goes on to the receiver's parent,
// as Qt would have sent it on, at the same place in the parent's coordinates.
void passOnToParent(const QWidget *receiver, const QEvent &event)
{
    QWidget *parent = receiver->parentWidget();
    if (!parent || receiver->isWindow() || receiver->testAttribute(Qt::WA_NoMousePropagation))
        return;
    if (event.type() == QEvent::ContextMenu) {
        const auto &request = static_cast<const QContextMenuEvent &>(event);
        QContextMenuEvent passed(request.reason(), request.pos() + receiver->pos(), request.globalPos(),
                                 request.modifiers());
        QCoreApplication::sendEvent(parent, &passed);
        return;
    }
    const auto &mouse = static_cast<const QMouseEvent &>(event);
    QMouseEvent passed(mouse.type(), mouse.position() + receiver->pos(), mouse.scenePosition(),
                       mouse.globalPosition(), mouse.button(), mouse.buttons(), mouse.modifiers(),
                       mouse.pointingDevice());
    passed.setTimestamp(mouse.timestamp());
    QCoreApplication::sendEvent(parent, &passed);
}

} // namespace

bool holdBackInput(QWidget *receiver, QEvent *event)
{
    if (!isInput(*event) || !deliveryEnclosed())
        return false;
    std::shared_ptr<QEvent> copy(event->clone());
    event->accept();
    afterDelivery(receiver, [widget = receiver, copy] {
        const QPointer<QWidget> alive(widget);
        // Straight to the receiver's own handling (QObject::event, public there): its event filters and
        // the application's saw the event as Qt delivered it, and must not see it twice.
        copy->setAccepted(true);
        const bool handled = static_cast<QObject *>(widget)->event(copy.get());
        const QEvent::Type type = copy->type();
        const bool passable = type != QEvent::Enter && type != QEvent::Leave;
        if (alive && passable && (!handled || !copy->isAccepted()))
            passOnToParent(widget, *copy);
    });
    return true;
}

} // namespace tk
