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

// The Russian tables also give every language its runes' names, its readings' runes and positions.
extern const Rune kRunes[kRuneCount];
extern const Reading kReadings[kLastReading];

// Another language's texts, in the order of the Russian tables.
struct RuneText {
    const char *description;
    const char *magic; // nullptr for the blank rune
};

extern const RuneText kEnglishRunes[kRuneCount];
extern const char *const kEnglishShortMeanings[kLastReading];

} // namespace runetexts
