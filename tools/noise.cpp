#include "tools/noise.h"

#include <cmath>

namespace noise {

namespace {

std::uint32_t mix(std::uint32_t x)
{
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

double fade(double t)
{
    return t * t * t * (t * (t * 6 - 15) + 10);
}

} // namespace

double lattice(int x, int y, std::uint32_t seed)
{
    const std::uint32_t h = mix(static_cast<std::uint32_t>(x) * 0x9E3779B1U ^
                                mix(static_cast<std::uint32_t>(y) + seed * 0x85EBCA77U));
    return h / 4294967296.0;
}

double value(double x, double y, std::uint32_t seed)
{
    const double fx = std::floor(x);
    const double fy = std::floor(y);
    const int ix = static_cast<int>(fx);
    const int iy = static_cast<int>(fy);
    const double tx = fade(x - fx);
    const double ty = fade(y - fy);
    const double top = lattice(ix, iy, seed) + (lattice(ix + 1, iy, seed) - lattice(ix, iy, seed)) * tx;
    const double bottom =
        lattice(ix, iy + 1, seed) + (lattice(ix + 1, iy + 1, seed) - lattice(ix, iy + 1, seed)) * tx;
    return top + (bottom - top) * ty;
}

double fractal(double x, double y, int octaves, std::uint32_t seed)
{
    double sum = 0;
    double weight = 0;
    double amplitude = 1;
    for (int i = 0; i < octaves; ++i) {
        sum += amplitude * value(x, y, seed + static_cast<std::uint32_t>(i) * 1013U);
        weight += amplitude;
        amplitude *= 0.5;
        x *= 2;
        y *= 2;
    }
    return sum / weight;
}

} // namespace noise
