#pragma once
// A failed check is a crash, which libFuzzer reports with the input that caused it.
#include <cstdlib>

inline void check(bool condition)
{
    if (!condition)
        std::abort();
}
