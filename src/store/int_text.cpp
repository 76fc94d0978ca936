// Parsing whole-number text and printf's %g for the range message.
#include "store/int_text.h"

#include <cstdio>

namespace store {

std::optional<std::int32_t> parseInteger(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    if (i == text.size())
        return std::nullopt;
    if (text[i] == '$') {
        ++i;
        if (i == text.size())
            return std::nullopt;
        std::uint64_t v = 0;
        int significant = 0;
        for (; i < text.size(); ++i) {
            char c = text[i];
            int d;
            if (c >= '0' && c <= '9') d = c - '0';
            else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
            else return std::nullopt;
            if (significant > 0 || d != 0)
                ++significant;
            if (significant > 8)
                return std::nullopt;
            v = v * 16 + static_cast<std::uint64_t>(d);
        }
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
    }
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size())
        return std::nullopt;
    std::int64_t v = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c < '0' || c > '9')
            return std::nullopt;
        v = v * 10 + (c - '0');
        if (v > 2147483647)
            return std::nullopt;
    }
    return static_cast<std::int32_t>(negative ? -v : v);
}

std::string formatG(double value)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%g", value);
    return buf;
}

}  // namespace store
