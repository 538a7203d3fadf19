#include "divination/RuneCatalogue.h"

#include "divination/runetexts_p.h"

#include <array>
#include <cassert>

namespace RuneCatalogue {

namespace {

using Table = std::array<RuneReading, kLastReading>;

std::string_view optional(const char *text)
{
    return text ? std::string_view(text) : std::string_view();
}

Table russianTable()
{
    Table all{};
    for (int i = 0; i < kLastReading; ++i) {
        const runetexts::Reading &r = runetexts::kReadings[i];
        const runetexts::Rune &rune = runetexts::kRunes[r.rune];
        all[i] = RuneReading{rune.name, r.position, r.shortMeaning, rune.description, optional(rune.magic)};
    }
    return all;
}

Table englishTable()
{
    Table all{};
    for (int i = 0; i < kLastReading; ++i) {
        const runetexts::Reading &r = runetexts::kReadings[i];
        const runetexts::RuneText &rune = runetexts::kEnglishRunes[r.rune];
        all[i] = RuneReading{runetexts::kRunes[r.rune].name, r.position, runetexts::kEnglishShortMeanings[i],
                             rune.description, optional(rune.magic)};
    }
    return all;
}

} // namespace

const RuneReading &reading(ReadingIndex index, Language language)
{
    assert(index >= kFirstReading && index <= kLastReading);
    // Built once from the stored texts; the tables are constant for the life of the program.
    static const Table russian = russianTable();
    static const Table english = englishTable();
    return (language == Language::English ? english : russian)[index - 1];
}

std::string_view ShortMeaning(ReadingIndex index, Language language)
{
    return reading(index, language).ShortMeaning;
}

std::string Interpretation(ReadingIndex index, Language language)
{
    const RuneReading &r = reading(index, language);
    std::string text;
    text.reserve(r.ShortMeaning.size() + r.Description.size() + r.MagicSection.size() + 4);
    text.append(r.ShortMeaning).append("\n\n").append(r.Description);
    if (!r.MagicSection.empty())
        text.append("\n\n").append(r.MagicSection);
    return text;
}

std::string PicturePath(ReadingIndex index)
{
    return "g\\" + std::to_string(index) + ".jpg";
}

} // namespace RuneCatalogue
