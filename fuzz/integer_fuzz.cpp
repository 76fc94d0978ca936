// The number reading rule (store::parseInteger) against a plain reading of
// the rule: leading blanks; then an optional sign and decimal digits within
// -2147483647..2147483647, or "$" and hex digits of which at most eight are
// significant, taken as a 32-bit pattern; nothing after the digits.
#include "fuzz/fuzz_check.h"
#include "store/int_text.h"

#include <cstdint>
#include <optional>
#include <string>

namespace {

std::optional<std::int32_t> reference(const std::string& s)
{
    std::size_t i = s.find_first_not_of(' ');
    if (i == std::string::npos)
        return std::nullopt;
    if (s[i] == '$') {
        const std::string digits = s.substr(i + 1);
        if (digits.empty() || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            return std::nullopt;
        const std::size_t first = digits.find_first_not_of('0');
        const std::string significant = first == std::string::npos ? "" : digits.substr(first);
        if (significant.size() > 8)
            return std::nullopt;
        const std::uint32_t bits = significant.empty() ? 0u : static_cast<std::uint32_t>(std::stoul(significant, nullptr, 16));
        return static_cast<std::int32_t>(bits);
    }
    bool negative = false;
    if (s[i] == '+' || s[i] == '-') {
        negative = s[i] == '-';
        ++i;
    }
    std::string digits = s.substr(i);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const std::size_t first = digits.find_first_not_of('0');
    digits = first == std::string::npos ? "0" : digits.substr(first);
    // Compared as text: no overflow, however long.
    if (digits.size() > 10 || (digits.size() == 10 && digits > "2147483647"))
        return std::nullopt;
    const long long v = std::stoll(digits);
    return static_cast<std::int32_t>(negative ? -v : v);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::optional<std::int32_t> got = store::parseInteger(text);
    const std::optional<std::int32_t> want = reference(text);
    FUZZ_CHECK(got.has_value() == want.has_value(), text.c_str());
    if (got)
        FUZZ_CHECK(*got == *want, text.c_str());
    // What the program writes back reads back the same.
    if (got && *got != INT32_MIN)
        FUZZ_CHECK(store::parseInteger(std::to_string(*got)) == got, text.c_str());
    return 0;
}
