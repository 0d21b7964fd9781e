#include "RandomEngine.h"

#include "Contract.h"

#include <limits>

namespace
{
// Forces the process-wide engine into existence (seeded) before main() runs,
// while global() keeps it safe to use from other static initialisers.
RandomEngine &processEngine = RandomEngine::global();
} // namespace

RandomEngine::RandomEngine()
    : RandomEngine(defaultSeed)
{
}

RandomEngine::RandomEngine(std::uint32_t seed)
    : generator(seed)
{
}

RandomEngine &RandomEngine::global()
{
    static RandomEngine engine;
    return engine;
}

double RandomEngine::uniformReal(double min, double max)
{
    QUORVEL_ASSERT(min <= max, "min_arg <= max_arg");
    // 2^32: one more than the largest output, so w / 2^32 is exact and below 1.
    constexpr double divisor = 4294967296.0;
    for (;;) {
        const double result = static_cast<double>(nextWord()) / divisor * (max - min) + min;
        if (result < max)
            return result;
    }
}

int RandomEngine::uniformInt(int n)
{
    QUORVEL_ASSERT(n >= 1, "min_arg <= max_arg");
    if (n == 1)
        return 1;
    // Split the 2^32 outputs into n buckets of equal size and reject the
    // outputs that fall past the last whole bucket.
    constexpr std::uint32_t outputRange = std::numeric_limits<std::uint32_t>::max();
    const std::uint32_t range = static_cast<std::uint32_t>(n) - 1;
    std::uint32_t bucketSize = outputRange / (range + 1);
    if (outputRange % (range + 1) == range)
        ++bucketSize;
    for (;;) {
        const std::uint32_t bucket = nextWord() / bucketSize;
        if (bucket <= range)
            return 1 + static_cast<int>(bucket);
    }
}
