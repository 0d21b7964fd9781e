#pragma once
// Caller contracts of the engine.
//
// A broken contract is a programming error of the caller (a vector of the
// wrong length, an id that is not in the set, a step list that is empty when
// a step needs it). Unlike assert(), QUORVEL_ASSERT stays active in release
// builds: it writes the text of the broken condition to the standard error
// stream and aborts, so a broken contract fails loudly instead of reading
// out of bounds.

#include <cstdio>
#include <cstdlib>

namespace contract_detail
{

[[noreturn]] inline void fail(const char *conditionText, const char *file, int line)
{
    std::fprintf(stderr, "%s:%d: Assertion `%s' failed.\n", file, line, conditionText);
    std::fflush(stderr);
    std::abort();
}

} // namespace contract_detail

// QUORVEL_ASSERT(condition, "text naming the condition")
#define QUORVEL_ASSERT(condition, conditionText)                                                             \
    do {                                                                                                     \
        if (!(condition))                                                                                    \
            ::contract_detail::fail(conditionText, __FILE__, __LINE__);                                      \
    } while (false)
