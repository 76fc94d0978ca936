// The open-request file reader: any contents up to its size limit, read from
// a real file, give two names of valid UTF-8 without line feeds, the file is
// consumed, and UTF-8 text comes back as its first two lines, each without
// the one carriage return before its line feed (a stray carriage return
// elsewhere is kept). Larger contents are refused and the file left alone.
#include "browser/request_file.h"
#include "fuzz/fuzz_check.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string line(const std::string& s, std::size_t& start)
{
    if (start > s.size())
        return {};
    std::size_t end = s.find('\n', start);
    std::string l = s.substr(start, end == std::string::npos ? std::string::npos : end - start);
    start = end == std::string::npos ? s.size() + 1 : end + 1;
    if (!l.empty() && l.back() == '\r')
        l.pop_back();
    return l;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string contents(reinterpret_cast<const char*>(data), size);
    static const fs::path file = fs::temp_directory_path() / ("vddb-request-fuzz-" + std::to_string(std::random_device{}()));
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    }
    RequestFile reader(file);
    const RequestFile::Taken taken = reader.take();
    if (size > RequestFile::maxSize) {
        // Larger than any request: refused, and left for its owner.
        FUZZ_CHECK(!taken.error.empty() && !taken.request, "a file over the limit was served");
        FUZZ_CHECK(fs::exists(file), "a file over the limit was removed");
        fs::remove(file);
        return 0;
    }
    FUZZ_CHECK(taken.error.empty(), taken.error.c_str());
    FUZZ_CHECK(taken.request.has_value(), "no request from a file that is there");
    FUZZ_CHECK(!fs::exists(file), "the file was not consumed");

    const OpenRequest& r = *taken.request;
    for (const std::string* name : {&r.gameName, &r.characterName}) {
        FUZZ_CHECK(validUtf8(*name), name->c_str());
        FUZZ_CHECK(name->find('\n') == std::string::npos, name->c_str());
    }
    // Valid UTF-8 is taken as it stands: the first two lines.
    if (validUtf8(contents)) {
        std::size_t start = 0;
        const std::string game = line(contents, start);
        const std::string character = line(contents, start);
        FUZZ_CHECK(r.gameName == game, contents.c_str());
        FUZZ_CHECK(r.characterName == character, contents.c_str());
    }
    // Reading the same text again gives the same names.
    const OpenRequest again = parseOpenRequest(contents);
    FUZZ_CHECK(again.gameName == r.gameName && again.characterName == r.characterName, contents.c_str());
    return 0;
}
