#pragma once

#include <cstdio>
#include <cstdlib>

// An invariant of a fuzz target: when it does not hold, the target aborts and libFuzzer
// keeps the input that broke it.
inline void FuzzCheck(bool condition, int line)
{
    if (condition)
        return;
    std::fprintf(stderr, "invariant at line %d does not hold\n", line);
    std::abort();
}
#define Require(condition) FuzzCheck((condition), __LINE__)
