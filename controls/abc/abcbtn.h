#pragma once

// The picture speed buttons of the component library and everything they are made of, in one include.

#include "abcbtnframes.h"     // face fill, frame styles, the shared checkerboard patterns
#include "abcbtnglyph.h"      // the glyph engine: state images, layout, drawing
#include "abcglyphlist.h"     // the shared lists of state images
#include "abcimagelist.h"     // image lists a button can take its picture from
#include "abcpicturestream.h" // the compact picture store
#include "abcspeedbtn.h"      // the buttons themselves
