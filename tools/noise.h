#pragma once

#include <cstdint>

// Value noise built on an integer hash, so every run on every machine gets the same textures; the
// standard library's engines and distributions leave too much to the implementation for that.
namespace noise {

// A pseudo-random value in [0, 1) for the lattice point (x, y).
double lattice(int x, int y, std::uint32_t seed);

// Smoothly interpolated lattice values, in [0, 1).
double value(double x, double y, std::uint32_t seed);

// Sum of `octaves` layers of value noise, each twice as fine and half as strong as the one before,
// scaled back into [0, 1).
double fractal(double x, double y, int octaves, std::uint32_t seed);

} // namespace noise
