#pragma once
#include <cstdio>
#include <cstdlib>

// A broken property ends the run at once, so that libFuzzer keeps the input
// and the replay test fails on it.
#define FUZZ_CHECK(cond, what)                                                               \
    do {                                                                                     \
        if (!(cond)) {                                                                       \
            std::fprintf(stderr, "%s:%d: check failed: %s (%s)\n", __FILE__, __LINE__, #cond, \
                         what);                                                              \
            std::abort();                                                                    \
        }                                                                                    \
    } while (0)
