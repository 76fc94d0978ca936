// Whole-number text as the program reads and writes it, shared by field
// conversion, filters and the windows' computations.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace store {

// Whole-number text as the program reads it everywhere: leading blanks, then
// an optional sign and decimal digits, or '$' and up to eight significant hex
// digits taken as a 32-bit pattern. Nothing may follow the digits.
std::optional<std::int32_t> parseInteger(std::string_view text);

// printf's %g, which the range message uses for its numbers.
std::string formatG(double value);

}  // namespace store
