#pragma once

#include <string>
#include <vector>

// What the soak reads from /proc after every so many actions.
struct SoakSample {
    long actions = 0;
    long rssKiB = 0;
    long fds = 0;
    long threads = 0;
};

struct SoakVerdict {
    bool pass = false;
    std::string reason; // why it failed, or what held
};

// A program that keeps nothing per action stays flat once its caches have filled: resident memory
// within a tolerance, and not one open file or thread more or less. Only the samples taken at or after
// settleActions count; fewer than two of them prove nothing and fail.
SoakVerdict judgeSoak(const std::vector<SoakSample> &samples, long settleActions, long rssToleranceKiB);
