#include "browser/request_file.h"

#include "app/platform.h"
#include "store/paths.h"

#include <system_error>

namespace fs = std::filesystem;

namespace {

bool isUtf8(const std::string& s)
{
    std::size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        int extra = c < 0x80 ? 0 : (c >> 5) == 0x6 ? 1 : (c >> 4) == 0xE ? 2 : (c >> 3) == 0x1E ? 3 : -1;
        if (extra < 0 || i + static_cast<std::size_t>(extra) >= s.size() + (extra == 0 ? 1 : 0))
            return false;
        for (int k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]) & 0xC0) != 0x80)
                return false;
        i += static_cast<std::size_t>(extra) + 1;
    }
    return true;
}

std::string fromCp1252(const std::string& s)
{
    // 0x80..0x9F differ from Latin-1; the rest maps straight to U+00A0..U+00FF.
    static const char16_t high[32] = {0x20AC, 0x81, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D, 0x017D, 0x8F,
                                      0x90, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D, 0x017E, 0x0178};
    std::string out;
    for (unsigned char c : s) {
        char32_t u = c >= 0x80 && c < 0xA0 ? high[c - 0x80] : c;
        if (u < 0x80) {
            out += static_cast<char>(u);
        } else if (u < 0x800) {
            out += static_cast<char>(0xC0 | (u >> 6));
            out += static_cast<char>(0x80 | (u & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (u >> 12));
            out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (u & 0x3F));
        }
    }
    return out;
}

}  // namespace

OpenRequest parseOpenRequest(const std::string& contents)
{
    std::string text = isUtf8(contents) ? contents : fromCp1252(contents);
    OpenRequest r;
    std::string* target[2] = {&r.gameName, &r.characterName};
    std::size_t start = 0;
    for (std::string* t : target) {
        if (start > text.size())
            break;
        std::size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        *t = line;
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return r;
}

RequestFile::RequestFile(fs::path path) : path_(std::move(path)) {}

RequestFile::Taken RequestFile::take()
{
    using Status = app::platform::ForeignFile::Status;
    app::platform::ForeignFile file = app::platform::readForeignFile(path_, maxSize);
    if (file.status == Status::Missing)
        return {};
    Seen seen{file.size, file.modified, std::move(file.contents)};
    if (stuck_ && *stuck_ == seen)
        return {};
    if (file.status == Status::Refused) {
        stuck_ = std::move(seen);
        return {std::nullopt, "Cannot read the open-request file " + store::utf8(path_) + ": " + file.reason};
    }
    Taken taken{parseOpenRequest(seen.contents), {}};
    std::error_code ec;
    if (!fs::remove(path_, ec) || ec) {
        // Served now; the file that stays behind is not served again.
        stuck_ = std::move(seen);
        taken.error = "Cannot delete the open-request file " + store::utf8(path_) + (ec ? ": " + ec.message() : "");
    } else {
        stuck_.reset();
    }
    return taken;
}
