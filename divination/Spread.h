#pragma once

#include "divination/RuneCatalogue.h"

#include <array>
#include <cstdint>
#include <string>

// Program-wide generator and result of the last draw. Everything runs on the one UI thread.

enum SpreadPosition { SpreadLeft = 1, SpreadMiddle = 2, SpreadRight = 3 };

struct SpreadState {
    // Indexed by SpreadPosition; element 0 is unused so that positions read as they are numbered.
    std::array<ReadingIndex, 4> SpreadIndexes{};
    std::array<std::string, 4> SpreadTexts;
    std::array<std::string, 4> SpreadPictures;
    int HasDrawn = 0; // set by the divine command once the pictures are loaded; never cleared
};

extern SpreadState Spread;
extern std::uint32_t g_randSeed;

// UTC time of day in milliseconds, 0 .. 86399999: the seed of every draw.
std::uint32_t timeOfDaySeed();

// Where the divine command's draw takes its seed from: timeOfDaySeed, or a fixed time of day in tests.
extern std::uint32_t (*g_seedClock)();

// Advances the generator and maps its value onto 1..41.
ReadingIndex DrawReading();

// The draw of the divine command: seeds from g_seedClock, then drawFromSeed. The interpretations are kept in
// the language given; the readings drawn do not depend on it.
void Draw(Language language = Language::Russian);

// The same draw from a given seed, so that any time of day can be replayed.
void drawFromSeed(std::uint32_t seed, Language language = Language::Russian);
