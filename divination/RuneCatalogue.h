#pragma once

#include "divination/language.h"

#include <string>
#include <string_view>

// The fixed content of a divination: 41 readings of the 24 runes of the elder row and the blank rune.
// Texts are UTF-8; a caller that needs code page 1251 converts at its own boundary. Every text exists in
// each Language with the same shape; the caller chooses, and Russian is what a caller that does not gets.

using ReadingIndex = int;

inline constexpr ReadingIndex kFirstReading = 1;
inline constexpr ReadingIndex kLastReading = 41;
inline constexpr int kRuneCount = 25;

enum class ReadingPosition { Upright, Reversed, Single };

struct RuneReading {
    std::string_view RuneName;
    ReadingPosition Position;
    std::string_view ShortMeaning;
    std::string_view Description;
    std::string_view MagicSection; // empty for the blank rune, which has none
};

namespace RuneCatalogue {

// Each lookup takes an index in kFirstReading..kLastReading; anything else is a programming error.
const RuneReading &reading(ReadingIndex index, Language language = Language::Russian);
std::string_view ShortMeaning(ReadingIndex index, Language language = Language::Russian);
std::string Interpretation(ReadingIndex index, Language language = Language::Russian);
std::string PicturePath(ReadingIndex index);

} // namespace RuneCatalogue
