// File names as UTF-8 text on every platform, and the store's path helpers.
#pragma once
#include <filesystem>
#include <string>

namespace store {

// The store's texts are UTF-8 everywhere, file names included; these convert
// at the edge (on Windows path::string() would use the ANSI code page).
inline std::string utf8(const std::filesystem::path& p)
{
    const std::u8string s = p.u8string();
    return std::string(s.begin(), s.end());
}

inline std::filesystem::path pathFromUtf8(const std::string& s)
{
    return std::filesystem::path(std::u8string(s.begin(), s.end()));
}

}  // namespace store
