#pragma once
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>

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

// Whether the text is well-formed UTF-8 (sequences of one to four bytes).
inline bool validUtf8(const std::string& s)
{
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        std::size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (n == 0 || i + n > s.size())
            return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        i += n;
    }
    return true;
}
