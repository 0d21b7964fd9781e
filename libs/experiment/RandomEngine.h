#pragma once
// The single source of randomness of the simulation.
//
// A 32-bit Mersenne twister (MT19937) seeded with 5489 and never reseeded, so
// the first run after every program start reproduces the same trials. Two
// draws are built on it, with exactly Boost.Random's rules so that results
// agree across machines:
//   uniformReal(min, max)  w / 2^32 * (max - min) + min, drawn again while >= max
//   uniformInt(n)          1 ... n by bucket division with rejection; n == 1
//                          returns 1 without consuming an output
// On every trial the staircase pick (uniformInt) is drawn before the
// observer's answer (uniformReal); nothing else draws.
//
// The program uses the process-wide engine `RandomEngine::global()`, which is
// constructed and seeded before main() runs. Tests construct their own
// freshly seeded engines and hand them to ParStaircase and
// PsychometricObserver explicitly.

#include <boost/random/mersenne_twister.hpp>

#include <cstdint>

class RandomEngine
{
public:
    static constexpr std::uint32_t defaultSeed = 5489;

    RandomEngine();
    // Seeded with `seed` by the standard MT19937 initialisation; RandomEngine()
    // is RandomEngine(defaultSeed).
    explicit RandomEngine(std::uint32_t seed);
    RandomEngine(const RandomEngine &) = delete;
    RandomEngine &operator=(const RandomEngine &) = delete;

    // The engine shared by the whole program.
    static RandomEngine &global();

    // One tempered MT19937 output.
    std::uint32_t nextWord() { return generator(); }

    // A real in [min, max); requires min <= max.
    double uniformReal(double min, double max);

    // An integer in [1, n]; requires n >= 1.
    int uniformInt(int n);

private:
    boost::random::mt19937 generator;
};
