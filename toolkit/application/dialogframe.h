#pragma once

#include <QAbstractButton>
#include <QWidget>

class QDialog;

namespace tk {

// Whether a dialog shows the title bar the program draws rather than the window system's. Under
// Wayland the title bar is the compositor's or Qt's own decoration, and neither can be asked for a
// dialog's title and close alone: Qt's draws minimise, maximise and close whatever the window's flags,
// and KWin puts a minimise button on every dialog. Everywhere else the window manager draws it from
// the dialog's flags.
bool dialogsDrawOwnTitleBar();
// Tests may settle the question instead of the platform's name.
void overrideDialogsDrawOwnTitleBar(bool own);
void clearDialogsDrawOwnTitleBarOverride();

// The close button of the program's own title bar: a small raised button with a cross that closes
// its window. Qt's button behaviour gives it press, release and click; it takes no keyboard focus, as
// a title bar's buttons do not.
class TitleBarCloseButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit TitleBarCloseButton(QWidget *parent);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};

// A dialog's frame and title bar, drawn by the program: a raised window edge all round and, inside it
// at the top, a bar with the window's title in bold and a close button at its right end. A press on the
// bar elsewhere moves the window, handed to the window system as the main window's background does. The
// title reads black while the dialog is active and grey while it is not.
class DialogFrame : public QWidget {
    Q_OBJECT
public:
    // The edge's width on each side, and the bar's height below the top edge.
    static constexpr int kBorder = 3;
    static constexpr int kBarHeight = 18;
    // Where the caption begins in the bar.
    static constexpr int kCaptionIndent = 3;

    // Makes dialog frameless and draws the frame in its place; the dialog's contents move inside it.
    // The dialog owns the frame, its parent. Its layout, if any, keeps its own margins within the frame.
    explicit DialogFrame(QDialog *dialog);

    // The width the bar needs for the whole title, the close button and the space around them.
    int neededWidth() const;
    TitleBarCloseButton *closeButton() const { return m_close; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // The dialog, as a widget: its events reach the filter while it is destroyed, when it is no
    // longer a dialog.
    QWidget *dialog() const { return parentWidget(); }
    void followDialogWidth();
    void paintEdge();
    QFont captionFont() const;

    TitleBarCloseButton *m_close;
};

} // namespace tk
