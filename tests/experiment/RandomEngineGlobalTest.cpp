// Runs in a program of its own, so that nothing has drawn from the global
// engine before: it must be seeded before main() and start the sequence.
#include "RandomEngine.h"

#include <gtest/gtest.h>

TEST(RandomEngineGlobal, IsSeededAtStartUp)
{
    RandomEngine &engine = RandomEngine::global();
    EXPECT_EQ(engine.nextWord(), 3499211612u);
    // Later calls continue the same sequence: the engine is never reseeded.
    EXPECT_EQ(RandomEngine::global().uniformReal(0, 1), 0.13547700410708785);
}
