#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

// The open-request file another program may leave for the browser: line 1 the
// game name, line 2 the character name. It is consumed: read, then deleted.
struct OpenRequest {
    std::string gameName;
    std::string characterName;
};

class RequestFile {
public:
    // Two names and their line breaks; anything larger is no request.
    static constexpr std::size_t maxSize = 4096;

    explicit RequestFile(std::filesystem::path path);
    const std::filesystem::path& path() const { return path_; }

    struct Taken {
        std::optional<OpenRequest> request;  // nothing: no file, or one passed over
        std::string error;                   // the file could not be read or deleted
    };
    // The request waiting in the file, if any. Only a regular file of at most
    // maxSize bytes is read; a link, a FIFO, a device, a folder or a larger
    // file is refused as unreadable and left where it is. A file that cannot be read or
    // deleted is reported once and served at most once: the same file (same
    // size, time and contents) found again later is passed over, so that it is
    // not reported or opened at every activation.
    Taken take();

private:
    struct Seen {
        std::uintmax_t size = 0;
        std::int64_t time = 0;
        std::string contents;
        bool operator==(const Seen&) const = default;
    };

    std::filesystem::path path_;
    std::optional<Seen> stuck_;  // a file we could not read or delete
};

// Line breaks may be CR LF or LF; neither is part of a name. Text that is not
// UTF-8 is taken as Windows-1252, which the old programs wrote.
OpenRequest parseOpenRequest(const std::string& contents);
