// File names as UTF-8 text on every platform, and the store's path helpers.
#pragma once
#include <chrono>
#include <ctime>
#include <filesystem>
#include <string>
#include <system_error>

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

// An SQLite URI for the file, opened in `mode` ("ro", "rw"): the characters
// a URI gives a meaning of its own are escaped.
inline std::string fileUri(const std::filesystem::path& file, const char* mode)
{
    std::string uri = "file:";
    for (char c : utf8(file)) {
        if (c == '%' || c == '?' || c == '#')
            uri += c == '%' ? "%25" : (c == '?' ? "%3f" : "%23");
        else
            uri += c;
    }
    return uri + "?mode=" + mode;
}

// The local time in a strftime format, for names of files.
inline std::string localStamp(std::chrono::system_clock::time_point now, const char* format)
{
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm tm{};
#ifdef _WIN32
    localtime_s(&tm, &t);
#else
    localtime_r(&t, &tm);
#endif
    char text[32];
    std::strftime(text, sizeof text, format, &tm);
    return text;
}

// A file of a first start is built under this name and renamed into place
// only when it is complete.
inline std::filesystem::path pendingName(const std::filesystem::path& file)
{
    std::filesystem::path tmp = file;
    tmp += ".new";
    return tmp;
}

// Removes a pending file with its journal: a journal left by a kill would
// be played into the next new file.
inline void removePending(const std::filesystem::path& file)
{
    std::error_code ec;
    std::filesystem::path tmp = pendingName(file);
    std::filesystem::remove(tmp, ec);
    tmp += "-journal";
    std::filesystem::remove(tmp, ec);
}

}  // namespace store
