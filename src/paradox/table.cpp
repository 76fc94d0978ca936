#include "paradox/table.h"

#include "paradox/bytes.h"
#include "paradox/codepage.h"
#include "store/layout.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace paradox {

Error::Error(std::string file, const std::string& reason)
    : std::runtime_error(file + ": " + reason), file_(std::move(file)), reason_(reason)
{
}

char typeLetter(FieldType type)
{
    switch (type) {
    case FieldType::Alpha: return 'A';
    case FieldType::Date: return 'D';
    case FieldType::Short: return 'S';
    case FieldType::Long: return 'I';
    case FieldType::Currency: return '$';
    case FieldType::Number: return 'N';
    case FieldType::Logical: return 'L';
    case FieldType::Memo: return 'M';
    case FieldType::Blob: return 'B';
    case FieldType::FormattedMemo: return 'F';
    case FieldType::Ole: return 'O';
    case FieldType::Graphic: return 'G';
    case FieldType::Time: return 'T';
    case FieldType::Timestamp: return '@';
    case FieldType::AutoInc: return '+';
    case FieldType::Bcd: return '#';
    case FieldType::Bytes: return 'Y';
    }
    return '?';
}

int Table::fieldIndex(std::string_view name) const
{
    const auto lower = [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); };
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (std::ranges::equal(fields[i].name, name, {}, lower, lower))
            return static_cast<int>(i);
    return -1;
}

namespace {

using namespace detail;

class Reader {
public:
    Reader(std::string_view table, std::optional<std::string_view> memo, const std::string& tableName,
           const std::string& memoName)
        : db_(table, tableName), memoName_(memoName)
    {
        if (memo)
            mb_.emplace(*memo, memoName_);
    }

    Table read()
    {
        readHeader();
        readFields();
        readBlocks();
        return std::move(table_);
    }

private:
    void readHeader()
    {
        Header& h = table_.header;
        db_.need(0, baseHeaderSize, "the header");
        h.recordSize = static_cast<int>(db_.u16(0x00, "the header"));
        h.headerSize = static_cast<int>(db_.u16(0x02, "the header"));
        h.fileType = static_cast<int>(db_.u8(0x04, "the header"));
        const unsigned blockKib = db_.u8(0x05, "the header");
        h.recordCount = db_.u32(0x06, "the header");
        h.usedBlocks = static_cast<int>(db_.u16(0x0A, "the header"));
        h.firstBlock = static_cast<int>(db_.u16(0x0E, "the header"));
        numFields_ = db_.u16(0x21, "the header");
        h.keyFields = static_cast<int>(db_.u16(0x23, "the header"));
        h.versionId = static_cast<int>(db_.u8(0x39, "the header"));
        h.nextAutoInc = static_cast<std::int32_t>(db_.u32(0x49, "the header"));

        if (h.fileType != 0 && h.fileType != 2)
            db_.fail("is not a table but an index or another kind of Paradox file (file type " +
                     std::to_string(h.fileType) + ")");
        if (h.versionId < 3 || h.versionId > 12)
            db_.fail("unknown file format version " + std::to_string(h.versionId));
        // Level 4.0 on keeps the password in the data header and marks the
        // old place with FF00FF00.
        const std::uint32_t oldPassword = db_.u32(0x25, "the header");
        const std::uint32_t password = h.versionId >= 5 ? db_.u32(0x5C, "the header") : oldPassword;
        if (password != 0 && password != 0xFF00FF00u)
            db_.fail("the table is password-protected");
        if (blockKib != 1 && blockKib != 2 && blockKib != 3 && blockKib != 4 && blockKib != 8 && blockKib != 16 &&
            blockKib != 32)
            db_.fail("invalid block size of " + std::to_string(blockKib) + " KiB");
        h.blockSize = static_cast<int>(blockKib * 1024);
        if (numFields_ == 0 || numFields_ > 255)
            db_.fail("invalid number of fields " + std::to_string(numFields_));
        if (h.recordSize == 0)
            db_.fail("invalid record size 0");
        if (std::size_t(h.recordSize) + blockHeaderSize > std::size_t(h.blockSize))
            db_.fail("a record of " + std::to_string(h.recordSize) + " bytes does not fit in a block of " +
                     std::to_string(h.blockSize));
        if (std::size_t(h.headerSize) > db_.size())
            db_.fail("the header of " + std::to_string(h.headerSize) +
                     " bytes lies beyond the end of the file; the file is truncated");

        hasDataHeader_ = h.versionId >= 5;
        h.codePage = hasDataHeader_ ? static_cast<int>(db_.u16(0x6A, "the header")) : 0;
        if (h.codePage == 0)
            h.codePage = fallbackCodePage;
    }

    // The part of the file that the header claims for itself.
    std::size_t headerEnd() const { return std::size_t(table_.header.headerSize); }

    void needInHeader(std::size_t offset, std::size_t length, const char* what) const
    {
        db_.need(offset, length, what);
        if (offset + length > headerEnd())
            db_.fail(std::string(what) + " overruns the header's " + std::to_string(headerEnd()) + " bytes");
    }

    void readFields()
    {
        Header& h = table_.header;
        std::size_t at = hasDataHeader_ ? dataHeaderSize : baseHeaderSize;
        needInHeader(at, numFields_ * 2, "the field descriptors");
        int total = 0;
        bool hasText = false;
        for (std::size_t i = 0; i < numFields_; ++i) {
            const unsigned code = db_.u8(at + 2 * i, "a field descriptor");
            const int declared = static_cast<int>(db_.u8(at + 2 * i + 1, "a field descriptor"));
            if (!knownType(code))
                db_.fail("field " + std::to_string(i + 1) + " has the unknown type code " + std::to_string(code));
            const auto type = static_cast<FieldType>(code);
            const int size = storedSize(type, declared);
            if (size == 0)
                db_.fail("field " + std::to_string(i + 1) + " of type " + typeLetter(type) +
                         (type == FieldType::Bcd ? " cannot be read by this program"
                                                 : " has the invalid size " + std::to_string(declared)));
            hasText = hasText || isText(type);
            table_.fields.push_back(Field{{}, type, size});
            total += size;
        }
        if (total != h.recordSize)
            db_.fail("the fields take " + std::to_string(total) + " bytes but the header gives records of " +
                     std::to_string(h.recordSize));
        if (hasText && !knownCodePage(h.codePage))
            db_.fail("text in code page " + std::to_string(h.codePage) +
                     " cannot be converted (code pages 437, 850 and 1252 can)");
        codePage_ = h.codePage;

        // After the descriptors: a pointer to the table name, one pointer per
        // field name (both meaningful only in memory), the table name in a
        // fixed-size slot, and the field names one after another.
        at += numFields_ * 2 + 4 + numFields_ * 4;
        const std::size_t nameSlot = h.versionId >= 12 ? 261 : 79;
        needInHeader(at, nameSlot, "the table name");
        h.tableName = text(cString(db_.at(at, nameSlot, "the table name")));
        at += nameSlot;
        for (std::size_t i = 0; i < numFields_; ++i) {
            const std::size_t end = std::min(headerEnd(), db_.size());
            const std::string_view rest = db_.at(at, end - std::min(at, end), "the field names");
            const std::size_t nul = rest.find('\0');
            if (nul == std::string_view::npos)
                db_.fail("the name of field " + std::to_string(i + 1) + " overruns the header");
            if (nul == 0)
                db_.fail("field " + std::to_string(i + 1) + " has no name");
            table_.fields[i].name = text(rest.substr(0, nul));
            at += nul + 1;
        }
    }

    void readBlocks()
    {
        const Header& h = table_.header;
        const std::size_t blockSize = std::size_t(h.blockSize);
        const std::size_t recordSize = std::size_t(h.recordSize);
        const std::size_t blocksInFile = (db_.size() - headerEnd() + blockSize - 1) / blockSize;
        std::vector<bool> seen(blocksInFile + 1, false);
        for (std::size_t block = std::size_t(h.firstBlock); block != 0;) {
            const std::string where = "block " + std::to_string(block);
            if (block > blocksInFile)
                db_.fail(where + " lies beyond the end of the file; the file is truncated or damaged");
            if (seen[block])
                db_.fail("the chain of blocks loops back to " + where);
            seen[block] = true;
            const std::size_t start = headerEnd() + (block - 1) * blockSize;
            const std::size_t next = db_.u16(start, "a block header");
            const auto lastOffset = static_cast<std::int16_t>(db_.u16(start + 4, "a block header"));
            if (lastOffset >= 0) {
                const auto last = std::size_t(lastOffset);
                if (last % recordSize != 0 || blockHeaderSize + last + recordSize > blockSize)
                    db_.fail(where + " gives the invalid offset " + std::to_string(last) + " of its last record");
                const std::size_t count = last / recordSize + 1;
                db_.need(start + blockHeaderSize, count * recordSize, ("the records of " + where).c_str());
                for (std::size_t r = 0; r < count; ++r) {
                    if (table_.rows.size() >= h.recordCount)
                        db_.fail("its blocks hold more records than the " + std::to_string(h.recordCount) +
                                 " that the header counts");
                    readRecord(db_.at(start + blockHeaderSize + r * recordSize, recordSize, "a record"));
                }
            }
            block = next;
        }
        if (table_.rows.size() != h.recordCount)
            db_.fail("the header counts " + std::to_string(h.recordCount) + " records but its blocks hold " +
                     std::to_string(table_.rows.size()));
    }

    void readRecord(std::string_view record)
    {
        Row row;
        row.reserve(table_.fields.size());
        std::size_t at = 0;
        for (const Field& f : table_.fields) {
            const std::string_view b = record.substr(at, std::size_t(f.size));
            at += std::size_t(f.size);
            row.push_back(value(f, b));
        }
        table_.rows.push_back(std::move(row));
    }

    // The record and field in an error: "record 3, field 'Vassals'".
    std::string where(const Field& f) const
    {
        return "record " + std::to_string(table_.rows.size() + 1) + ", field '" + f.name + "'";
    }

    Cell value(const Field& f, std::string_view b)
    {
        if (isBlob(f.type))
            return blob(f, b);
        if (allZero(b))
            return std::nullopt;
        switch (f.type) {
        case FieldType::Alpha: {
            // Text ends at the first zero byte; what follows it is left over.
            const std::string_view s = cString(b);
            if (s.empty())
                return std::nullopt;
            return Value(text(s));
        }
        case FieldType::Short:
            return Value(static_cast<std::int32_t>(static_cast<std::int16_t>(bigEndian(b) ^ 0x8000u)));
        case FieldType::Long:
        case FieldType::AutoInc:
        case FieldType::Time:
            return Value(signFlipped32(b));
        case FieldType::Date: {
            const std::int32_t days = signFlipped32(b);
            if (days < 1 || days > lastDay)
                db_.fail(where(f) + ": the day number " + std::to_string(days) + " is no date");
            return Value(dateFromDays(days));
        }
        case FieldType::Currency:
        case FieldType::Number:
        case FieldType::Timestamp:
            return Value(storedDouble(b));
        case FieldType::Logical: {
            const unsigned v = static_cast<unsigned char>(b[0]);
            if (v != 0x80 && v != 0x81)
                db_.fail(where(f) + ": the byte " + std::to_string(v) + " is neither true nor false");
            return Value(v == 0x81);
        }
        case FieldType::Bytes:
            return Value(Binary{std::string(b)});
        default:
            db_.fail(where(f) + ": the type cannot be read");
        }
    }

    // A blob field: the leading part of the data, then its offset in the
    // memo file (the low byte an index into a block of small blobs, or 0xFF),
    // its length and a modification number. Data no longer than the leading
    // part lives in the record only.
    Cell blob(const Field& f, std::string_view b)
    {
        const std::size_t leader = b.size() - blobTrailerSize;
        const Bytes trailer(b, db_.name());
        const std::uint32_t offset = trailer.u32(leader, "a memo reference");
        const std::uint32_t length = trailer.u32(leader + 4, "a memo reference");
        if (length == 0)
            return std::nullopt;
        if (isText(f.type) && length > std::uint32_t(store::memoLimit))
            db_.fail(where(f) + ": the memo of " + std::to_string(length) + " characters is longer than the " +
                     std::to_string(store::memoLimit) + " that the program can show");
        std::string_view data;
        if (length <= leader)
            data = b.substr(0, length);
        else
            data = memoData(f, offset, length);
        if (isText(f.type))
            return Value(text(data));
        return Value(Binary{std::string(data)});
    }

    std::string_view memoData(const Field& f, std::uint32_t offset, std::uint32_t length)
    {
        if (!mb_)
            throw Error(memoName_, "the memo file is missing; " + db_.name() + " needs it for " + where(f));
        const Bytes& mb = *mb_;
        const std::string ref = "the memo of " + db_.name() + " " + where(f);
        const std::size_t block = offset & ~0xFFu;
        const unsigned index = offset & 0xFFu;
        if (block == 0 || block % memoBlockSize != 0)
            mb.fail(ref + " points at " + std::to_string(block) + ", which is not the start of a data block");
        const unsigned type = mb.u8(block, ("the block of " + ref).c_str());
        const unsigned chunks = mb.u16(block + 1, ("the block of " + ref).c_str());
        if (type == 2) {
            const std::uint32_t stored = mb.u32(block + 3, ("the block of " + ref).c_str());
            if (stored != length)
                mb.fail(ref + " is " + std::to_string(length) + " bytes long but its block holds " +
                        std::to_string(stored));
            if (9 + std::size_t(length) > std::size_t(chunks) * memoBlockSize)
                mb.fail("the block of " + ref + " is too short for it");
            return mb.at(block + 9, length, ("the text of " + ref).c_str());
        }
        if (type == 3) {
            if (index >= subAllocatedEntries)
                mb.fail(ref + " names the invalid entry " + std::to_string(index) + " of its block");
            const std::size_t entry = block + 12 + 5 * std::size_t(index);
            const std::size_t start = std::size_t(mb.u8(entry, ("the entry of " + ref).c_str())) * 16;
            const unsigned sixteens = mb.u8(entry + 1, ("the entry of " + ref).c_str());
            const unsigned rest = mb.u8(entry + 4, ("the entry of " + ref).c_str());
            // The last sixteen's share is stored as 0 or as 16 when the
            // length is a whole number of sixteens; writers differ.
            const bool restMatches = rest == length % 16 || (length % 16 == 0 && rest == 16);
            if (start == 0 || sixteens != (length + 15) / 16 || !restMatches)
                mb.fail("the entry of " + ref + " does not match its length of " + std::to_string(length));
            if (start + length > memoBlockSize)
                mb.fail(ref + " overruns its block");
            return mb.at(block + start, length, ("the text of " + ref).c_str());
        }
        mb.fail(ref + " points at a block of the unknown type " + std::to_string(type));
    }

    static std::string_view cString(std::string_view b)
    {
        return b.substr(0, std::min(b.find('\0'), b.size()));
    }

    std::string text(std::string_view s) const
    {
        return toUtf8(s, knownCodePage(codePage_) ? codePage_ : fallbackCodePage);
    }

    Bytes db_;
    const std::string& memoName_;
    std::optional<Bytes> mb_;
    Table table_;
    std::size_t numFields_ = 0;
    bool hasDataHeader_ = false;
    int codePage_ = fallbackCodePage;
};

std::string readFile(const std::filesystem::path& path)
{
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec)
        throw Error(path.string(), "cannot be read: " + ec.message());
    if (size > maxFileSize)
        throw Error(path.string(), "is larger than " + std::to_string(maxFileSize >> 20) +
                                       " MiB, too large for a table of this program");
    std::ifstream in(path, std::ios::binary);
    std::string data(static_cast<std::size_t>(size), '\0');
    if (!in.read(data.data(), static_cast<std::streamsize>(size)))
        throw Error(path.string(), "cannot be read");
    return data;
}

// The memo file beside a table: its name with the extension .MB, in the
// letter case of the table's extension first, since file systems may tell
// cases apart.
std::filesystem::path memoPath(const std::filesystem::path& table)
{
    const std::string ext = table.extension().string();
    const bool lower = ext.size() > 1 && std::islower(static_cast<unsigned char>(ext[1]));
    for (const char* e : {lower ? ".mb" : ".MB", ".MB", ".mb", ".Mb", ".mB"}) {
        std::filesystem::path p = table;
        p.replace_extension(e);
        if (std::filesystem::exists(p))
            return p;
    }
    std::filesystem::path p = table;
    p.replace_extension(lower ? ".mb" : ".MB");
    return p;
}

}  // namespace

Table parseTable(std::string_view tableFile, std::optional<std::string_view> memoFile,
                 const std::string& tableName, const std::string& memoName)
{
    return Reader(tableFile, memoFile, tableName, memoName).read();
}

Table readTable(const std::string& path)
{
    const std::string db = readFile(path);
    const std::filesystem::path mbPath = memoPath(path);
    std::optional<std::string> mb;
    if (std::filesystem::exists(mbPath))
        mb = readFile(mbPath);
    std::optional<std::string_view> mbView;
    if (mb)
        mbView = *mb;
    return parseTable(db, mbView, path, mbPath.string());
}

}  // namespace paradox
