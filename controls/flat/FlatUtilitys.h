#pragma once

// The helpers the flat controls share, in one include.

#include "flatbevel.h"            // DrawBevelFrame
#include "flatcolors.h"           // AdjustLightness, the advanced colours
#include "flatdisabledglyph.h"    // MakeDisabledGlyph
#include "flatlayout.h"           // LayoutGlyphAndCaption
#include "flatparentbackground.h" // PaintParentBackground, see-through faces
