// Text as the files hold it: UTF-8 that another program may have written
// wrong. SQLite counts a lead byte and every continuation byte after it as one
// character, so a count of invalid text says nothing; it is checked first.
#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace store {

// Bytes of the valid UTF-8 character at the start of `s` (1 to 4), or 0 when
// it does not begin one: no overlong form, no surrogate, nothing past U+10FFFF.
std::size_t utf8CharacterAt(std::string_view s);

// The characters of valid UTF-8; nothing when the text is not valid.
std::optional<std::size_t> utf8Characters(std::string_view s);

inline bool isValidUtf8(std::string_view s) { return utf8Characters(s).has_value(); }

// The text with each run of bytes that are no valid UTF-8 shown as one
// U+FFFD, so that a run of any length takes one character on the screen.
std::string withInvalidUtf8Replaced(std::string_view s);

}  // namespace store
