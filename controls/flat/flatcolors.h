#pragma once

#include "toolkit/painting/colors.h"

#include <cstdint>

class QWidget;

// The step (0..100) by which an advanced colour is made lighter or darker. It is added to or taken from
// the scaled lightness as it is, not as a percentage.
using TAdvColors = std::uint8_t;
// Steps above this count as this: a colour goes at most all the way to white or black.
inline constexpr TAdvColors kMaxAdvStep = 100;
// The advanced colour of base: with step 0 the fallback as it is; otherwise the base's scaled lightness
// raised by 10 (in both directions) and then moved by step, lightening capped at 100 and darkening
// floored at 0. The cap of 100 makes a light colour come out darker than it was.
tk::TColor AdjustLightness(tk::TColor base, tk::TColor fallback, TAdvColors step, bool darken);

// A flat control's font colour. Qt fonts carry no colour, so the colour goes with ParentFont: while the
// control follows its parent's font it shows the parent's colour (fontColorOf); setting a colour, or
// making the font the control's own, makes the colour in use its own too.
class ParentFontColor {
public:
    explicit ParentFontColor(QWidget *control) : m_control(control) {}

    tk::TColor get() const;
    // False when nothing changed.
    bool set(tk::TColor color);
    void setParentFont(bool follow);

private:
    QWidget *m_control;
    tk::TColor m_own = tk::clWindowText;
};
