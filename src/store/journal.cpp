// Reading SQLite's rollback journal just far enough to find its copy of the
// first page: a header (magic, record count, nonce, original page count,
// sector size, page size) padded to the sector size, then records of page
// number, page image and checksum, in segments that each begin with a header.
#include "store/journal.h"

#include "store/database.h"
#include "store/durable.h"
#include "store/error.h"
#include "store/paths.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <ctime>
#include <fstream>
#include <optional>
#include <random>
#include <vector>

namespace store {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t identityOffset = 60;  // the header's user version
constexpr std::array<unsigned char, 8> journalMagic = {0xd9, 0xd5, 0x05, 0xf9, 0x20, 0xa1, 0x63, 0xd7};

std::uint32_t bigEndian(const unsigned char* p)
{
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | std::uint32_t(p[3]);
}

bool powerOfTwo(std::uint32_t n) { return n != 0 && (n & (n - 1)) == 0; }

fs::path journalOf(const fs::path& file)
{
    fs::path journal = file;
    journal += "-journal";
    return journal;
}

// What a journal says about the file as it was before the interrupted write.
struct JournalFacts {
    std::uint32_t pageSize = 0;
    std::uint32_t originalPages = 0;
    std::optional<std::vector<unsigned char>> firstPage;  // as SQLite would put it back
};

// Nothing when SQLite would play nothing back: no journal, or no valid header.
std::optional<JournalFacts> readJournal(const fs::path& journal)
{
    std::ifstream in(journal, std::ios::binary);
    if (!in)
        return std::nullopt;
    in.seekg(0, std::ios::end);
    const std::uint64_t size = static_cast<std::uint64_t>(in.tellg());
    auto readAt = [&in](std::uint64_t at, unsigned char* into, std::size_t n) {
        in.clear();
        in.seekg(static_cast<std::streamoff>(at));
        return static_cast<bool>(in.read(reinterpret_cast<char*>(into), static_cast<std::streamsize>(n)));
    };
    unsigned char header[28];
    if (!readAt(0, header, sizeof header) || !std::equal(journalMagic.begin(), journalMagic.end(), header))
        return std::nullopt;
    JournalFacts facts;
    facts.originalPages = bigEndian(header + 16);
    const std::uint32_t sector = bigEndian(header + 20);
    facts.pageSize = bigEndian(header + 24);
    if (!powerOfTwo(sector) || sector < 32 || sector > 65536 || !powerOfTwo(facts.pageSize) || facts.pageSize < 512 ||
        facts.pageSize > 65536)
        return std::nullopt;
    const std::uint64_t recordSize = facts.pageSize + 8;
    std::vector<unsigned char> record(recordSize);
    for (std::uint64_t segment = 0; segment + sector <= size;) {
        if (segment != 0 && (!readAt(segment, header, sizeof header) ||
                             !std::equal(journalMagic.begin(), journalMagic.end(), header)))
            break;
        std::uint64_t records = bigEndian(header + 8);
        const std::uint32_t nonce = bigEndian(header + 12);
        std::uint64_t at = segment + sector;
        if (records == 0xffffffffu)  // written without syncs: as many as the file holds
            records = (size - at) / recordSize;
        if (records == 0)
            break;
        for (std::uint64_t r = 0; r < records; ++r, at += recordSize) {
            if (!readAt(at, record.data(), recordSize))
                return facts;
            // SQLite's own checksum; playback ends at the first that fails.
            std::uint32_t sum = nonce;
            for (std::uint32_t i = facts.pageSize - 200; i > 0 && i < facts.pageSize; i -= 200)
                sum += record[4 + i];
            if (sum != bigEndian(record.data() + 4 + facts.pageSize))
                return facts;
            if (bigEndian(record.data()) == 1) {
                facts.firstPage.emplace(record.begin() + 4, record.begin() + 4 + facts.pageSize);
                return facts;
            }
        }
        segment = (at + sector - 1) / sector * sector;
    }
    return facts;
}

// The stamping of an identity changes only these header fields of the first
// page: the change counter, the user version, the version the count is valid
// for and the library's version.
bool sameBesideIdentity(const std::vector<unsigned char>& before, const std::vector<unsigned char>& now)
{
    if (before.size() != now.size() || before.size() < 100)
        return false;
    for (std::size_t i = 0; i < before.size(); ++i) {
        const bool stamped = (i >= 24 && i < 28) || (i >= identityOffset && i < identityOffset + 4) || (i >= 92 && i < 100);
        if (!stamped && before[i] != now[i])
            return false;
    }
    return true;
}


}  // namespace

std::uint32_t newFileIdentity()
{
    static std::mt19937 random{std::random_device{}()};
    std::uint32_t id = 0;
    while (id == 0 || id > 0x7fffffffu)  // a positive user version, as SQLite shows it
        id = static_cast<std::uint32_t>(random());
    return id;
}

std::string identityPragma(const std::string& schema)
{
    return "PRAGMA " + (schema.empty() ? std::string() : schema + ".") + "user_version=" +
           std::to_string(newFileIdentity()) + ";\n";
}

bool giveNewIdentity(const fs::path& file, std::error_code& ec)
{
    std::fstream io(file, std::ios::binary | std::ios::in | std::ios::out);
    unsigned char header[100];
    if (!io || !io.read(reinterpret_cast<char*>(header), sizeof header)) {
        ec = std::make_error_code(std::errc::io_error);
        return false;
    }
    const std::uint32_t id = newFileIdentity();
    const unsigned char bytes[4] = {static_cast<unsigned char>(id >> 24), static_cast<unsigned char>(id >> 16),
                                    static_cast<unsigned char>(id >> 8), static_cast<unsigned char>(id)};
    io.seekp(identityOffset);
    if (!io.write(reinterpret_cast<const char*>(bytes), sizeof bytes) || !io.flush()) {
        ec = std::make_error_code(std::errc::io_error);
        return false;
    }
    return true;
}

void ensureFileIdentity(sql::Connection& conn, const std::string& schema)
{
    try {
        sql::Statement read(conn, "PRAGMA " + schema + ".user_version");
        if (!read.step() || read.int64(0) != 0)
            return;
        read.reset();
        conn.exec("PRAGMA busy_timeout=0");
        try {
            conn.exec(identityPragma(schema));
        } catch (const sql::SqlError&) {
            // Stays without one; the file opens as it is.
        }
        conn.exec("PRAGMA busy_timeout=" + std::to_string(busyTimeoutSetting().count()));
    } catch (const sql::SqlError&) {
    }
}

JournalVerdict judgeJournal(const fs::path& file)
{
    const std::optional<JournalFacts> journal = readJournal(journalOf(file));
    if (!journal)
        return JournalVerdict::None;
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(file, ec);
    if (ec)
        return JournalVerdict::None;
    if (size == 0)
        return JournalVerdict::Belongs;  // nothing there to damage
    // The program's files never take their first write under their own name
    // (a first start builds them aside): a journal of an empty file is another's.
    if (journal->originalPages == 0)
        return JournalVerdict::Foreign;
    std::vector<unsigned char> page(journal->pageSize);
    std::ifstream in(file, std::ios::binary);
    if (size < journal->pageSize || !in.read(reinterpret_cast<char*>(page.data()), std::streamsize(page.size())))
        return JournalVerdict::Foreign;
    std::uint32_t filePageSize = std::uint32_t(page[16]) << 8 | page[17];
    if (filePageSize == 1)
        filePageSize = 65536;
    if (filePageSize != journal->pageSize)
        return JournalVerdict::Foreign;
    if (!journal->firstPage) {
        // A write that neither grew the file nor reached its first page yet:
        // nothing to compare but the size.
        return size / journal->pageSize == journal->originalPages ? JournalVerdict::Belongs : JournalVerdict::Foreign;
    }
    const std::uint32_t was = bigEndian(journal->firstPage->data() + identityOffset);
    const std::uint32_t is = bigEndian(page.data() + identityOffset);
    if (was == is)
        return JournalVerdict::Belongs;  // the same file, or two of an earlier version
    if (was == 0 && sameBesideIdentity(*journal->firstPage, page))
        return JournalVerdict::Belongs;  // the stamping of the identity itself
    return JournalVerdict::Foreign;
}

std::string setAsideForeignJournal(const fs::path& file)
{
    if (judgeJournal(file) != JournalVerdict::Foreign)
        return {};
    const fs::path journal = journalOf(file);
    fs::path aside = journal;
    aside += ".set-aside-" + localStamp(std::chrono::system_clock::now(), "%Y-%m-%d-%H%M%S");
    std::error_code ec;
    for (int n = 2; fs::exists(aside, ec); ++n) {
        aside = journal;
        aside += ".set-aside-" + localStamp(std::chrono::system_clock::now(), "%Y-%m-%d-%H%M%S") + "-" + std::to_string(n);
    }
    if (!renameDurably(journal, aside, ec))
        throw StoreError(msg::journalNotSetAside(utf8(journal), utf8(file), ec.message()));
    return msg::journalSetAside(utf8(journal), utf8(file), utf8(aside.filename()));
}

}  // namespace store
