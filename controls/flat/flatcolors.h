#pragma once

#include "colors.h"

#include <cstdint>

// The step (0..100) by which an advanced colour is made lighter or darker. It is added to or taken from
// the scaled lightness as it is, not as a percentage.
using TAdvColors = std::uint8_t;
// The advanced colour of base: with step 0 the fallback as it is; otherwise the base's scaled lightness
// raised by 10 (in both directions) and then moved by step, lightening capped at 100 and darkening
// floored at 0. The cap of 100 makes a light colour come out darker than it was.
tk::TColor AdjustLightness(tk::TColor base, tk::TColor fallback, TAdvColors step, bool darken);
