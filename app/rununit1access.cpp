#include "app/rununit1.h"

#include "controls/abc/abcbtn.h"
#include "controls/abc/abclabel.h"
#include "controls/flat/TFlatButtonUnit.h"
#include "controls/flat/TFlatMemoUnit.h"
#include "controls/flat/TFlatPanelUnit.h"
#include "toolkit/widgets/image.h"
#include "toolkit/widgets/keyboard.h"

#include <QAccessible>
#include <QKeyEvent>

using namespace Qt::StringLiterals;

// The main window for the keyboard and for screen readers.

using namespace rununit1;

void Tform1::setUpKeyboardAndReaders()
{
    abcRepSpeedBtn1->setAccessibleName(kDivineName);
    abcRepSpeedBtn2->setAccessibleName(kHelpName);
    abcRepSpeedBtn3->setAccessibleName(kExitName);
    tk::TImage *slots[] = {run1, run2, run3};
    for (int i = 0; i < 3; ++i)
        slots[i]->setAccessibleName(kSlotNames[i]);

    // The commands first, then the slots from left to right, then the link. Only the tab key moves the
    // focus: a click leaves it where it is.
    QWidget *order[] = {abcRepSpeedBtn1, abcRepSpeedBtn2, abcRepSpeedBtn3, run1, run2, run3, abcURLLabel1};
    for (QWidget *w : order)
        w->setFocusPolicy(Qt::TabFocus);
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    FlatButton1->setTabStop(true);
    FlatPanel1->installEventFilter(this);
    // Until the tab key chooses a control the window keeps the focus itself; otherwise Qt hands it to
    // the first control when the window becomes active, and Enter would run a command nobody chose.
    setFocus(Qt::OtherFocusReason);
}

void Tform1::keyPressEvent(QKeyEvent *event)
{
    const bool plain = !(event->modifiers() & ~Qt::KeypadModifier);
    const int key = event->key();
    QWidget *target = nullptr;
    if (plain && key == Qt::Key_F1) {
        // The open panel covers the help button, and the text it shows stays until it is closed.
        if (FlatPanel1->isVisible()) {
            event->accept();
            return;
        }
        // Whoever asks for the help from the keyboard reads it from the keyboard.
        tk::setKeyboardInUse(true);
        target = abcRepSpeedBtn2;
    } else if (plain && key == Qt::Key_Escape && FlatPanel1->isVisible()) {
        target = FlatButton1;
    } else if (tk::isActivationKey(*event) && key != Qt::Key_Space) {
        // The close button takes only the space key itself.
        QWidget *focus = focusWidget();
        if (const tk::Control *c = tk::asControl(focus); focus && focus != this && c && c->hasPress())
            target = focus;
    }
    if (!target) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    if (!tk::isKeyRepeat(*event))
        tk::asControl(target)->press();
}

bool Tform1::focusNextPrevChild(bool next)
{
    if (FlatPanel1 && FlatPanel1->isVisible())
        return tk::cycleFocusWithin(FlatPanel1, next);
    return QWidget::focusNextPrevChild(next);
}

bool Tform1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == FlatPanel1) {
        if (event->type() == QEvent::Show)
            panelShown();
        else if (event->type() == QEvent::Hide)
            panelHidden();
    }
    return QWidget::eventFilter(watched, event);
}

void Tform1::panelShown()
{
    QWidget *focus = focusWidget();
    m_panelOpener = focus && !FlatPanel1->isAncestorOf(focus) ? focus : nullptr;
    // A reader starts reading the text; a keyboard user can scroll it at once. A mouse user's window
    // keeps its look: the text box would light up with the focus.
    if (tk::keyboardInUse() || QAccessible::isActive())
        FlatMemo1->setFocus(Qt::OtherFocusReason);
}

void Tform1::panelHidden()
{
    // Before Qt would pass the focus on to the next control in the window, which nobody chose.
    QWidget *focus = focusWidget();
    if (!focus || !FlatPanel1->isAncestorOf(focus))
        return;
    QWidget *opener = m_panelOpener;
    if (tk::keyboardInUse() && opener && opener->isVisible() && opener->isEnabled() &&
        (opener->focusPolicy() & Qt::TabFocus))
        opener->setFocus(Qt::OtherFocusReason);
    else
        setFocus(Qt::OtherFocusReason);
}
