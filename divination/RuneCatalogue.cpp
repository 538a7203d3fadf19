#include "divination/RuneCatalogue.h"

#include "divination/runetexts_p.h"

#include <array>
#include <cassert>

namespace RuneCatalogue {

const RuneReading &Reading(ReadingIndex index)
{
    assert(index >= FirstReading && index <= LastReading);
    // Built once from the stored texts; the table is constant for the life of the program.
    static const auto readings = [] {
        std::array<RuneReading, LastReading> all{};
        for (int i = 0; i < LastReading; ++i) {
            const runetexts::Reading &r = runetexts::kReadings[i];
            const runetexts::Rune &rune = runetexts::kRunes[r.rune];
            all[i] = RuneReading{rune.name, r.position, r.shortMeaning, rune.description,
                                 rune.magic ? std::string_view(rune.magic) : std::string_view()};
        }
        return all;
    }();
    return readings[index - 1];
}

std::string_view ShortMeaning(ReadingIndex index)
{
    return Reading(index).ShortMeaning;
}

std::string Interpretation(ReadingIndex index)
{
    const RuneReading &r = Reading(index);
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
