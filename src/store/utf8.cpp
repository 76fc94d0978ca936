#include "store/utf8.h"

#include <cstdint>
#include <cstring>

namespace store {

namespace {

bool continuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// How many bytes from `at` on are plain ASCII; eight at a time, since most
// text of the files is.
std::size_t asciiRun(std::string_view s, std::size_t at)
{
    std::size_t i = at;
    for (; i + 8 <= s.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, s.data() + i, 8);
        if (word & 0x8080808080808080ull)
            break;
    }
    while (i < s.size() && static_cast<unsigned char>(s[i]) < 0x80)
        ++i;
    return i - at;
}

}  // namespace

std::size_t utf8CharacterAt(std::string_view s)
{
    if (s.empty())
        return 0;
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char c = b(0);
    if (c < 0x80)
        return 1;
    // The second byte's range depends on the lead (Unicode's table of
    // well-formed sequences); the others are any continuation byte.
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (c >= 0xC2 && c <= 0xDF)
        length = 2;
    else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        low = c == 0xE0 ? 0xA0 : 0x80;
        high = c == 0xED ? 0x9F : 0xBF;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        low = c == 0xF0 ? 0x90 : 0x80;
        high = c == 0xF4 ? 0x8F : 0xBF;
    } else
        return 0;
    if (s.size() < length || b(1) < low || b(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (!continuation(b(i)))
            return 0;
    return length;
}

std::optional<std::size_t> utf8Characters(std::string_view s)
{
    std::size_t characters = 0;
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t ascii = asciiRun(s, i);
        characters += ascii;
        i += ascii;
        if (i == s.size())
            break;
        const std::size_t n = utf8CharacterAt(s.substr(i));
        if (n == 0)
            return std::nullopt;
        i += n;
        ++characters;
    }
    return characters;
}

std::string withInvalidUtf8Replaced(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    bool inInvalid = false;
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t n = utf8CharacterAt(s.substr(i));
        if (n == 0) {
            if (!inInvalid)
                out += "\xEF\xBF\xBD";
            inInvalid = true;
            ++i;
            continue;
        }
        inInvalid = false;
        out.append(s.substr(i, n));
        i += n;
    }
    return out;
}

}  // namespace store
