#include "controls/flat/flatcolors.h"

#include "controls/flat/HSLUtils.h"
#include "controls/flat/TFlatPanelUnit.h"
#include "toolkit/widgets/control.h"

namespace {

// Every advanced colour starts from the base's lightness raised by this much, whichever way it then goes.
constexpr int kLightnessRaise = 10;
// Lightening stops here, well below the scale's top.
constexpr int kLightnessCap = 100;

} // namespace

tk::TColor AdjustLightness(tk::TColor base, tk::TColor fallback, TAdvColors step, bool darken)
{
    if (step == 0)
        return fallback;
    int H, S, L;
    ColorToScaledHsl(tk::ColorToRGB(base), H, S, L);
    L += kLightnessRaise;
    if (darken)
        L = L - step < 0 ? 0 : L - step;
    else
        L = L + step > kLightnessCap ? kLightnessCap : L + step;
    return ScaledHslToColor(H, S, L);
}

tk::TColor ParentFontColor::get() const
{
    if (!tk::followsParentFont(m_control) || !m_control->parentWidget())
        return m_own;
    return fontColorOf(m_control->parentWidget());
}

bool ParentFontColor::set(tk::TColor color)
{
    if (!tk::followsParentFont(m_control) && m_own == color)
        return false;
    setParentFont(false);
    m_own = color;
    return true;
}

void ParentFontColor::setParentFont(bool follow)
{
    if (!follow && tk::followsParentFont(m_control))
        m_own = get();
    tk::setFollowsParentFont(m_control, follow);
}
