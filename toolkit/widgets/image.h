#pragma once

#include "toolkit/pictures/graphics.h"
#include "toolkit/widgets/control.h"

namespace tk {

// A picture control without a window of its own. The picture keeps its natural size, drawn from the
// control's top-left corner or, with Center, centred (a larger picture then shows its middle); with
// Stretch it fills the control. Whatever falls outside the control is clipped.
class TImage : public GraphicControl {
    Q_OBJECT
public:
    explicit TImage(QWidget *parent);

    ::tk::Picture &Picture() { return m_picture; }
    const ::tk::Picture &Picture() const { return m_picture; }

    bool Center() const { return m_center; }
    void setCenter(bool center);
    bool Stretch() const { return m_stretch; }
    void setStretch(bool stretch);

    // Where the picture's top-left corner lies in the control (natural size only).
    QPoint pictureOrigin() const;
    // Lets the picture start decoding what the first paint of the whole control will show, at the
    // device pixel ratio of the screen it is on, while the caller goes on. On a dense screen that first
    // paint shows the 1x picture, enlarged, and the companion follows in the next frame.
    void decodeVisibleAhead();

    QAccessible::Role accessibleRole() const override { return QAccessible::Graphic; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void decodeWholeAhead();
    void releaseCompanion();
    // Picture coordinates to the control's, when stretched.
    QTransform stretching() const;

    ::tk::Picture m_picture;
    bool m_center = false;
    bool m_stretch = false;
};

} // namespace tk
