#pragma once

#include "divination/RuneCatalogue.h"

// The catalogue's texts as stored: one entry per rune, one per reading, in index order.
namespace runetexts {

struct Rune {
    const char *name;        // Latin capitals, as it opens the texts
    const char *description; // one paragraph, begins with the name
    const char *magic;       // one paragraph with the "$" entry; nullptr for the blank rune
};

struct Reading {
    int rune; // index into kRunes
    ReadingPosition position;
    const char *shortMeaning;
};

extern const Rune kRunes[RuneCount];
extern const Reading kReadings[LastReading];

} // namespace runetexts
