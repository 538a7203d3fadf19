#pragma once

// The picture speed buttons of the component library and everything they are made of, in one include.

#include "controls/abc/abcbtnframes.h"     // face fill, frame styles, the shared checkerboard patterns
#include "controls/abc/abcbtnglyph.h"      // the glyph engine: state images, layout, drawing
#include "controls/abc/abcglyphlist.h"     // the shared lists of state images
#include "controls/abc/abcimagelist.h"     // image lists a button can take its picture from
#include "controls/abc/abcpicturestream.h" // the compact picture store
#include "controls/abc/abcspeedbtn.h"      // the buttons themselves
