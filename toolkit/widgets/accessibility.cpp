#include "toolkit/widgets/accessibility.h"

#include "toolkit/widgets/control.h"
#include "toolkit/widgets/hintwindow.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QMetaObject>
#include <QPointer>

using namespace Qt::StringLiterals;

namespace tk {

namespace {

// A control of ours as a screen reader sees it. Name and description follow what the control shows;
// the press action runs what a click runs, from the event loop like a click, so that a reader's request
// returns at once even when the command puts up an error box.
class AccessibleControl : public QAccessibleWidget {
public:
    AccessibleControl(QWidget *widget, Control *control)
        : QAccessibleWidget(widget, control->accessibleRole()), m_control(control)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        switch (t) {
        case QAccessible::Name:
            if (!widget()->accessibleName().isEmpty())
                return widget()->accessibleName();
            return m_control->accessibleCaption();
        case QAccessible::Description:
            if (!widget()->accessibleDescription().isEmpty())
                return widget()->accessibleDescription();
            return m_control->Hint();
        default:
            return QAccessibleWidget::text(t);
        }
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        if (coveredByWindowedSibling(widget()))
            s.offscreen = true;
        m_control->accessibleState(s);
        return s;
    }

    QStringList actionNames() const override
    {
        QStringList names;
        if (m_control->hasPress())
            names << pressAction();
        return names + QAccessibleWidget::actionNames();
    }

    void doAction(const QString &actionName) override
    {
        if (actionName != pressAction() || !m_control->hasPress()) {
            QAccessibleWidget::doAction(actionName);
            return;
        }
        QPointer<QWidget> target(widget());
        Control *control = m_control;
        QMetaObject::invokeMethod(
            widget(),
            [target, control] {
                // What lies under the open panel is out of the mouse's reach, and so of a reader's.
                if (target && !coveredByWindowedSibling(target))
                    control->press();
            },
            Qt::QueuedConnection);
    }

    QStringList keyBindingsForAction(const QString &actionName) const override
    {
        if (actionName == pressAction() && m_control->hasPress())
            return {u"Space"_s};
        return QAccessibleWidget::keyBindingsForAction(actionName);
    }

private:
    Control *m_control;
};

// The pop-up hint: read as a tooltip whose name is the text it shows.
class AccessibleHint : public QAccessibleWidget {
public:
    explicit AccessibleHint(THintWindow *hint) : QAccessibleWidget(hint, QAccessible::ToolTip) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return static_cast<THintWindow *>(widget())->Caption();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface *controlFactory(const QString &, QObject *object)
{
    auto *widget = qobject_cast<QWidget *>(object);
    if (!widget)
        return nullptr;
    if (auto *hint = qobject_cast<THintWindow *>(widget))
        return new AccessibleHint(hint);
    Control *control = asControl(widget);
    // A control that says nothing of itself keeps Qt's own interface (the text box's text interface).
    if (!control || control->accessibleRole() == QAccessible::NoRole)
        return nullptr;
    return new AccessibleControl(widget, control);
}

void announce(QObject *object, QAccessible::Event what)
{
    // Qt itself returns at once unless a reader listens.
    if (!object)
        return;
    // Nobody can have read what is not shown yet; asking would connect the reader bridge early.
    if (object->isWidgetType() && !static_cast<QWidget *>(object)->isVisible())
        return;
    QAccessibleEvent event(object, what);
    QAccessible::updateAccessibility(&event);
}

} // namespace

void installAccessibility()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QAccessible::installFactory(controlFactory);
}

void announceNameChange(QObject *object)
{
    announce(object, QAccessible::NameChanged);
}

void announceDescriptionChange(QObject *object)
{
    announce(object, QAccessible::DescriptionChanged);
}

QString withoutAccelerators(const QString &caption)
{
    QString text;
    text.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == u'&' && i + 1 < caption.size())
            ++i; // "&x" is x, "&&" is "&"
        text += caption[i];
    }
    return text;
}

} // namespace tk
