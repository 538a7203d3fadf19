#pragma once

// The helpers the flat controls share, in one include.

#include "controls/flat/flatbevel.h"            // DrawBevelFrame
#include "controls/flat/flatcolors.h"           // AdjustLightness, the advanced colours
#include "controls/flat/flatdisabledglyph.h"    // MakeDisabledGlyph
#include "controls/flat/flatlayout.h"           // LayoutGlyphAndCaption
#include "controls/flat/flatparentbackground.h" // PaintParentBackground, see-through faces
