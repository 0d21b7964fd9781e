#pragma once
// How the engine's functions report what the user can put right: they return
// either their result or a Problem, the message that says what is wrong, and
// never throw for it. A broken caller contract stays an assertion (Contract.h).
//
//   const Expected<std::vector<double>> steps = positiveStepSizes(text);
//   if (!steps)
//       return steps.problem().message;
//   use(*steps);

#include "Contract.h"

#include <string>
#include <utility>
#include <variant>

struct Problem {
    std::string message;
};

inline bool operator==(const Problem &a, const Problem &b)
{
    return a.message == b.message;
}
inline bool operator!=(const Problem &a, const Problem &b)
{
    return !(a == b);
}

template <typename T> class Expected
{
public:
    Expected(T value)
        : content(std::move(value))
    {
    }
    Expected(Problem problem)
        : content(std::move(problem))
    {
    }

    explicit operator bool() const { return content.index() == 0; }
    const T &operator*() const
    {
        QUORVEL_ASSERT(content.index() == 0, "Expected holds a value");
        return std::get<0>(content);
    }
    T &operator*()
    {
        QUORVEL_ASSERT(content.index() == 0, "Expected holds a value");
        return std::get<0>(content);
    }
    const T *operator->() const { return &**this; }
    T *operator->() { return &**this; }
    const Problem &problem() const
    {
        QUORVEL_ASSERT(content.index() == 1, "Expected holds a problem");
        return std::get<1>(content);
    }

private:
    std::variant<T, Problem> content;
};
