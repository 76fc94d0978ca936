// Text of old tables is in the single-byte code page that the table's header
// names; the program works in UTF-8.
#pragma once
#include <string>
#include <string_view>

namespace paradox {

// Code pages whose text can be converted: 437 (DOS, US), 850 (DOS, Western
// Europe) and 1252 (Windows, Western Europe).
bool knownCodePage(int codePage);

// Converts text from a known code page to UTF-8. Bytes below 0x80 are ASCII
// in all of them; a byte that 1252 leaves undefined becomes the C1 control of
// the same number, as Windows converts it.
std::string toUtf8(std::string_view text, int codePage);

}  // namespace paradox
