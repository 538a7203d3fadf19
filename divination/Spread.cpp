#include "divination/Spread.h"

#include <chrono>

SpreadState Spread;
std::uint32_t g_randSeed = 0;
std::uint32_t (*g_seedClock)() = timeOfDaySeed;

namespace {
constexpr std::uint32_t kMultiplier = 134775813; // 0x08088405
constexpr std::uint64_t kReadingCount = kLastReading;
} // namespace

std::uint32_t timeOfDaySeed()
{
    using namespace std::chrono;
    const auto now = system_clock::now().time_since_epoch();
    // Milliseconds since midnight UTC: the date and the local zone take no part.
    const auto ms = duration_cast<milliseconds>(now).count() % (24LL * 60 * 60 * 1000);
    return static_cast<std::uint32_t>(ms < 0 ? ms + 24LL * 60 * 60 * 1000 : ms);
}

ReadingIndex DrawReading()
{
    g_randSeed = g_randSeed * kMultiplier + 1; // wraps modulo 2^32
    // floor(state / 2^32 * 41 + 1), exact in integer arithmetic.
    return static_cast<ReadingIndex>(1 + ((g_randSeed * kReadingCount) >> 32));
}

void drawFromSeed(std::uint32_t seed, Language language)
{
    g_randSeed = seed;
    const ReadingIndex i1 = DrawReading();
    ReadingIndex i2 = DrawReading();
    while (i2 == i1)
        i2 = DrawReading();
    ReadingIndex i3 = DrawReading();
    while (i3 == i1 || i3 == i2)
        i3 = DrawReading();

    const std::array<ReadingIndex, 4> indexes{0, i1, i2, i3};
    Spread.SpreadIndexes = indexes;
    for (int p = SpreadLeft; p <= SpreadRight; ++p) {
        Spread.SpreadTexts[p] = RuneCatalogue::Interpretation(indexes[p], language);
        Spread.SpreadPictures[p] = RuneCatalogue::PicturePath(indexes[p]);
    }
}

void Draw(Language language)
{
    drawFromSeed(g_seedClock(), language);
}
