#include "tests/soak/soakverdict.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// A kind whose share of the actions the others explain to more than this part cannot be told apart.
constexpr double kMinOwnVariation = 0.05;
// A kind's rate counts as above the allowance only when it stays above it less this many standard errors.
constexpr double kSureErrors = 2;

struct Measure {
    const char *name;
    long SoakSample::*kib;
};
constexpr Measure kMeasures[] = {{"resident memory", &SoakSample::rssKiB},
                                 {"anonymous memory", &SoakSample::rssAnonKiB}};

std::string number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

double leastSquaresSlope(const std::vector<const SoakSample *> &samples, long SoakSample::*kib)
{
    double meanX = 0, meanY = 0;
    for (const SoakSample *s : samples) {
        meanX += double(s->actions);
        meanY += double(s->*kib) * 1024;
    }
    meanX /= double(samples.size());
    meanY /= double(samples.size());
    double sxy = 0, sxx = 0;
    for (const SoakSample *s : samples) {
        const double dx = double(s->actions) - meanX;
        sxy += dx * (double(s->*kib) * 1024 - meanY);
        sxx += dx * dx;
    }
    return sxx > 0 ? sxy / sxx : 0;
}

// The most a count reached up to and with the settling sample, and the first judged sample above it.
template <class Field> struct Ceiling {
    long most = 0;
    const SoakSample *above = nullptr;
};
template <class Field>
Ceiling<Field> ceilingOf(const std::vector<SoakSample> &samples, long settleActions, Field field)
{
    Ceiling<Field> c;
    for (const SoakSample &s : samples) {
        if (s.actions <= settleActions)
            c.most = std::max(c.most, field(s));
        else if (!c.above && field(s) > c.most)
            c.above = &s;
    }
    return c;
}

} // namespace

const char *soakKindName(int kind)
{
    static const char *const names[SoakKindCount] = {"draws", "panels", "hints"};
    return kind >= 0 && kind < SoakKindCount ? names[kind] : "?";
}

namespace {

// Solves the n x n system a x = b by elimination; false when a pivot shrinks to a small part of its
// diagonal, that is when one column is nearly a combination of the others.
bool solve(int n, std::array<std::array<double, SoakKindCount>, SoakKindCount> a,
           std::array<double, SoakKindCount> b, std::array<double, SoakKindCount> &x)
{
    for (int p = 0; p < n; ++p) {
        const double diagonal = a[p][p];
        for (int r = 0; r < p; ++r) {
            const double f = a[p][r] / a[r][r];
            for (int c = r; c < n; ++c)
                a[p][c] -= f * a[r][c];
            b[p] -= f * b[r];
        }
        if (diagonal <= 0 || a[p][p] < kMinOwnVariation * diagonal)
            return false;
    }
    for (int r = n - 1; r >= 0; --r) {
        double sum = b[r];
        for (int c = r + 1; c < n; ++c)
            sum -= a[r][c] * x[c];
        x[r] = sum / a[r][r];
    }
    return true;
}

} // namespace

KindSlopes kindSlopes(const std::vector<const SoakSample *> &samples, long SoakSample::*memoryKiB)
{
    // Least squares on the steps between samples: each step's growth is the sum of each kind's growth
    // per action times the actions of that kind in the step. A kind absent from the whole stretch has no
    // rate and takes no part.
    KindSlopes result;
    std::array<int, SoakKindCount> index{};
    int n = 0;
    for (int k = 0; k < SoakKindCount; ++k)
        index[k] = samples.back()->counts[k] > samples.front()->counts[k] ? n++ : -1;
    if (n == 0)
        return result;
    std::vector<std::array<double, SoakKindCount>> steps;
    std::vector<double> growths;
    std::array<std::array<double, SoakKindCount>, SoakKindCount> normal{};
    std::array<double, SoakKindCount> right{};
    for (size_t i = 1; i < samples.size(); ++i) {
        std::array<double, SoakKindCount> step{};
        for (int k = 0; k < SoakKindCount; ++k) {
            if (index[k] >= 0)
                step[index[k]] = double(samples[i]->counts[k] - samples[i - 1]->counts[k]);
        }
        const double growth = double(samples[i]->*memoryKiB - samples[i - 1]->*memoryKiB) * 1024;
        for (int r = 0; r < n; ++r) {
            for (int c = 0; c < n; ++c)
                normal[r][c] += step[r] * step[c];
            right[r] += step[r] * growth;
        }
        steps.push_back(step);
        growths.push_back(growth);
    }
    std::array<double, SoakKindCount> b{};
    if (!solve(n, normal, right, b))
        return result;
    // The steps' scatter around the fit gives each rate's standard error.
    double residual = 0;
    for (size_t i = 0; i < steps.size(); ++i) {
        double fitted = 0;
        for (int r = 0; r < n; ++r)
            fitted += b[r] * steps[i][r];
        residual += (growths[i] - fitted) * (growths[i] - fitted);
    }
    const double variance = steps.size() > size_t(n) ? residual / double(steps.size() - size_t(n)) : 0;
    result.separable = true;
    for (int k = 0; k < SoakKindCount; ++k) {
        if (index[k] < 0)
            continue;
        std::array<double, SoakKindCount> unit{}, column{};
        unit[index[k]] = 1;
        solve(n, normal, unit, column);
        result.bytesPerAction[k] = b[index[k]];
        result.standardError[k] = std::sqrt(std::max(0.0, variance * column[index[k]]));
    }
    return result;
}

SoakVerdict judgeSoak(const std::vector<SoakSample> &samples, const SoakLimits &limits)
{
    std::vector<const SoakSample *> settled;
    for (const SoakSample &s : samples) {
        if (s.actions >= limits.settleActions)
            settled.push_back(&s);
    }
    if (settled.size() < 3 || settled.back()->actions == settled.front()->actions)
        return {false, "fewer than three samples after the first " + std::to_string(limits.settleActions) +
                           " actions"};

    std::string failures, held;
    const auto fail = [&failures](const std::string &what) {
        failures += (failures.empty() ? "" : "; ") + what;
    };
    const auto note = [&held](const std::string &what) { held += (held.empty() ? "" : ", ") + what; };
    const double judgedActions = double(settled.back()->actions - settled.front()->actions);
    const double allowance = limits.maxBytesPerAction * judgedActions;

    for (const Measure &m : kMeasures) {
        const double slope = leastSquaresSlope(settled, m.kib);
        const std::string rate = std::string(m.name) + " grows " + number(slope) + " bytes per action";
        if (slope > limits.maxBytesPerAction)
            fail(rate + " (at most " + number(limits.maxBytesPerAction) + ")");
        else
            note(rate);
        const KindSlopes kinds = kindSlopes(settled, m.kib);
        if (!kinds.separable)
            continue;
        std::string perKind;
        for (int k = 0; k < SoakKindCount; ++k) {
            const long done = settled.back()->counts[k] - settled.front()->counts[k];
            if (done == 0)
                continue;
            const double perAction = kinds.bytesPerAction[k];
            const std::string what =
                number(perAction) + " bytes per one of " + std::to_string(done) + " " + soakKindName(k);
            // Short runs estimate a kind's rate roughly: what it might be by chance is given to it.
            const double surely = perAction - kSureErrors * kinds.standardError[k];
            if (surely * double(done) > allowance)
                fail(std::string(m.name) + " grows " + what + ", more than the run allows (" +
                     number(allowance / 1024) + " KiB)");
            perKind += (perKind.empty() ? "" : ", ") + what;
        }
        note("by kind " + perKind);
    }

    // Qt's pool threads, each with an event descriptor, end after half a minute without work and come
    // again with the next: open files and threads may fall and rise, never above what settling saw.
    const auto judgeCount = [&](const char *what, auto field) {
        const auto c = ceilingOf(samples, limits.settleActions, field);
        if (c.above)
            fail(std::string(what) + " " + std::to_string(field(*c.above)) + " at " +
                 std::to_string(c.above->actions) + " actions, above the " + std::to_string(c.most) +
                 " of the settling actions");
        else
            note(std::string("at most ") + std::to_string(c.most) + " " + what);
    };
    judgeCount("open files", [](const SoakSample &s) { return s.fds; });
    judgeCount("threads", [](const SoakSample &s) { return s.threads; });
    if (!failures.empty())
        return {false, failures};
    return {true, held};
}
