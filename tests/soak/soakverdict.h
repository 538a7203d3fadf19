#pragma once

#include <array>
#include <string>
#include <vector>

// The kinds of action the soak runs, in the order of SoakSample::counts.
enum SoakKind { SoakDraw, SoakPanel, SoakHint, SoakKindCount };
const char *soakKindName(int kind); // "draws", "panels", "hints"

// What the soak reads from /proc after every so many actions, with how many of each kind were done by
// then.
struct SoakSample {
    long actions = 0;
    long rssKiB = 0;
    long rssAnonKiB = 0;
    long fds = 0;
    long threads = 0;
    std::array<long, SoakKindCount> counts{};
};

struct SoakLimits {
    // The actions that fill the caches; only samples taken at or after them are judged.
    long settleActions = 1000;
    // The growth rate a program that keeps nothing per action stays under. A leak of 16 bytes per action
    // is above it by enough to fail through the noise of a full run; the growth of a flat program (a
    // few pages the allocator takes once in a while) stays well below it.
    double maxBytesPerAction = 12;
};

struct SoakVerdict {
    bool pass = false;
    std::string reason; // why it failed, or what held
};

// Judges the samples after the settling actions. Resident and anonymous memory each: the least-squares
// slope against actions must stay under the limit, and where the run varies the mix of kinds enough to
// tell them apart, so must the growth each kind accounts for (its own slope, less twice its standard
// error, times its actions) against the run's whole allowance. Open files and threads must never rise
// above the most that the samples up to and with the settling one saw. Fewer than three samples after
// settling prove nothing and fail.
SoakVerdict judgeSoak(const std::vector<SoakSample> &samples, const SoakLimits &limits = {});

// The growth per action of a kind that the samples show, in bytes, for each memory measure; empty when
// the mix of kinds never varies between samples, so that no kind can be told from another.
struct KindSlopes {
    bool separable = false;
    std::array<double, SoakKindCount> bytesPerAction{};
    std::array<double, SoakKindCount> standardError{};
};
KindSlopes kindSlopes(const std::vector<const SoakSample *> &samples, long SoakSample::*memoryKiB);
