#include "paradox/table.h"

#include "paradox/bytes.h"
#include "paradox/codepage.h"
#include "paradox/source.h"
#include "store/layout.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cstring>
#include <filesystem>

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

// The most a header can take: its size is a 16-bit number.
constexpr std::size_t headerWindow = 0x10000;

}  // namespace

struct TableReader::Impl {
    Impl(std::unique_ptr<Source> table, std::unique_ptr<Source> memo, std::string tableName, std::string memoName)
        : dbFile_(std::move(table)), mbFile_(std::move(memo)), dbName_(std::move(tableName)),
          memoName_(std::move(memoName))
    {
        dbFile_->read(0, headerWindow, header_);
        db_.emplace(header_, dbName_, 0, dbFile_->size());
        readHeader();
        readFields();
    }

    Table table_;  // the header and the fields; its rows stay empty

    // Where each block of the chain lies and the number of its first record.
    struct Block {
        std::size_t start;
        std::uint32_t first;
    };
    std::vector<Block> blocks_;
    bool mapped_ = false;

    void forEach(const std::function<void(std::uint32_t, const Row&)>& each, const Wanted& wanted)
    {
        const Header& h = table_.header;
        const std::size_t blockSize = std::size_t(h.blockSize);
        const std::size_t recordSize = std::size_t(h.recordSize);
        const std::size_t fileSize = db_->size();
        const std::size_t blocksInFile = (fileSize - headerEnd() + blockSize - 1) / blockSize;
        std::vector<bool> seen(blocksInFile + 1, false);
        std::vector<Block> blocks;
        std::uint32_t count = 0;
        Row row;
        for (std::size_t block = std::size_t(h.firstBlock); block != 0;) {
            const std::string where = "block " + std::to_string(block);
            if (block > blocksInFile)
                db_->fail(where + " lies beyond the end of the file; the file is truncated or damaged");
            if (seen[block])
                db_->fail("the chain of blocks loops back to " + where);
            seen[block] = true;
            const std::size_t start = headerEnd() + (block - 1) * blockSize;
            const Bytes b = loadBlock(start);
            const std::size_t next = b.u16(start, "a block header");
            const auto lastOffset = static_cast<std::int16_t>(b.u16(start + 4, "a block header"));
            blocks.push_back({start, count});
            if (lastOffset >= 0) {
                const auto last = std::size_t(lastOffset);
                if (last % recordSize != 0 || blockHeaderSize + last + recordSize > blockSize)
                    db_->fail(where + " gives the invalid offset " + std::to_string(last) + " of its last record");
                const std::size_t records = last / recordSize + 1;
                b.need(start + blockHeaderSize, records * recordSize, ("the records of " + where).c_str());
                for (std::size_t r = 0; r < records; ++r) {
                    if (count >= h.recordCount)
                        db_->fail("its blocks hold more records than the " + std::to_string(h.recordCount) +
                                  " that the header counts");
                    number_ = count;
                    readRecord(b.at(start + blockHeaderSize + r * recordSize, recordSize, "a record"), wanted, row);
                    each(count++, row);
                }
            }
            block = next;
        }
        if (count != h.recordCount)
            db_->fail("the header counts " + std::to_string(h.recordCount) + " records but its blocks hold " +
                      std::to_string(count));
        blocks_ = std::move(blocks);
        mapped_ = true;
    }

    Row row(std::uint32_t number, const Wanted& wanted)
    {
        if (!mapped_ || number >= table_.header.recordCount)
            db_->fail("record " + std::to_string(number + 1) + " was asked for before the table was read");
        const auto it = std::upper_bound(blocks_.begin(), blocks_.end(), number,
                                         [](std::uint32_t n, const Block& b) { return n < b.first; });
        const Block& block = *std::prev(it);
        const Bytes b = loadBlock(block.start);
        const std::size_t at = block.start + blockHeaderSize + (number - block.first) * std::size_t(table_.header.recordSize);
        number_ = number;
        Row row;
        readRecord(b.at(at, std::size_t(table_.header.recordSize), "a record"), wanted, row);
        return row;
    }

private:
    // The block from `start` on, read once while it is the one in use.
    Bytes loadBlock(std::size_t start)
    {
        if (blockStart_ != start) {
            blockStart_ = std::size_t(-1);
            dbFile_->read(start, std::size_t(table_.header.blockSize), block_);
            blockStart_ = start;
        }
        return Bytes(block_, dbName_, start, dbFile_->size());
    }

    void readHeader()
    {
        Header& h = table_.header;
        db_->need(0, baseHeaderSize, "the header");
        h.recordSize = static_cast<int>(db_->u16(0x00, "the header"));
        h.headerSize = static_cast<int>(db_->u16(0x02, "the header"));
        h.fileType = static_cast<int>(db_->u8(0x04, "the header"));
        const unsigned blockKib = db_->u8(0x05, "the header");
        h.recordCount = db_->u32(0x06, "the header");
        h.usedBlocks = static_cast<int>(db_->u16(0x0A, "the header"));
        h.firstBlock = static_cast<int>(db_->u16(0x0E, "the header"));
        numFields_ = db_->u16(0x21, "the header");
        h.keyFields = static_cast<int>(db_->u16(0x23, "the header"));
        h.versionId = static_cast<int>(db_->u8(0x39, "the header"));
        h.nextAutoInc = static_cast<std::int32_t>(db_->u32(0x49, "the header"));

        if (h.fileType != 0 && h.fileType != 2)
            db_->fail("is not a table but an index or another kind of Paradox file (file type " +
                     std::to_string(h.fileType) + ")");
        if (h.versionId < 3 || h.versionId > 12)
            db_->fail("unknown file format version " + std::to_string(h.versionId));
        // Level 4.0 on keeps the password in the data header and marks the
        // old place with FF00FF00.
        const std::uint32_t oldPassword = db_->u32(0x25, "the header");
        const std::uint32_t password = h.versionId >= 5 ? db_->u32(0x5C, "the header") : oldPassword;
        if (password != 0 && password != 0xFF00FF00u)
            db_->fail("the table is password-protected");
        if (blockKib != 1 && blockKib != 2 && blockKib != 3 && blockKib != 4 && blockKib != 8 && blockKib != 16 &&
            blockKib != 32)
            db_->fail("invalid block size of " + std::to_string(blockKib) + " KiB");
        h.blockSize = static_cast<int>(blockKib * 1024);
        if (numFields_ == 0 || numFields_ > 255)
            db_->fail("invalid number of fields " + std::to_string(numFields_));
        if (h.recordSize == 0)
            db_->fail("invalid record size 0");
        if (std::size_t(h.recordSize) + blockHeaderSize > std::size_t(h.blockSize))
            db_->fail("a record of " + std::to_string(h.recordSize) + " bytes does not fit in a block of " +
                     std::to_string(h.blockSize));
        if (std::size_t(h.headerSize) > db_->size())
            db_->fail("the header of " + std::to_string(h.headerSize) +
                     " bytes lies beyond the end of the file; the file is truncated");

        hasDataHeader_ = h.versionId >= 5;
        h.codePage = hasDataHeader_ ? static_cast<int>(db_->u16(0x6A, "the header")) : 0;
        if (h.codePage == 0)
            h.codePage = fallbackCodePage;
    }

    // The part of the file that the header claims for itself.
    std::size_t headerEnd() const { return std::size_t(table_.header.headerSize); }

    void needInHeader(std::size_t offset, std::size_t length, const char* what) const
    {
        db_->need(offset, length, what);
        if (offset + length > headerEnd())
            db_->fail(std::string(what) + " overruns the header's " + std::to_string(headerEnd()) + " bytes");
    }

    void readFields()
    {
        Header& h = table_.header;
        std::size_t at = hasDataHeader_ ? dataHeaderSize : baseHeaderSize;
        needInHeader(at, numFields_ * 2, "the field descriptors");
        int total = 0;
        bool hasText = false;
        for (std::size_t i = 0; i < numFields_; ++i) {
            const unsigned code = db_->u8(at + 2 * i, "a field descriptor");
            const int declared = static_cast<int>(db_->u8(at + 2 * i + 1, "a field descriptor"));
            if (!knownType(code))
                db_->fail("field " + std::to_string(i + 1) + " has the unknown type code " + std::to_string(code));
            const auto type = static_cast<FieldType>(code);
            const int size = storedSize(type, declared);
            if (size == 0)
                db_->fail("field " + std::to_string(i + 1) + " of type " + typeLetter(type) +
                         (type == FieldType::Bcd ? " cannot be read by this program"
                                                 : " has the invalid size " + std::to_string(declared)));
            hasText = hasText || isText(type);
            table_.fields.push_back(Field{{}, type, size});
            total += size;
        }
        if (total != h.recordSize)
            db_->fail("the fields take " + std::to_string(total) + " bytes but the header gives records of " +
                     std::to_string(h.recordSize));
        if (hasText && !knownCodePage(h.codePage))
            db_->fail("text in code page " + std::to_string(h.codePage) +
                     " cannot be converted (code pages 437, 850 and 1252 can)");
        codePage_ = h.codePage;

        // After the descriptors: a pointer to the table name, one pointer per
        // field name (both meaningful only in memory), the table name in a
        // fixed-size slot, and the field names one after another.
        at += numFields_ * 2 + 4 + numFields_ * 4;
        const std::size_t nameSlot = h.versionId >= 12 ? 261 : 79;
        needInHeader(at, nameSlot, "the table name");
        h.tableName = text(cString(db_->at(at, nameSlot, "the table name")));
        at += nameSlot;
        for (std::size_t i = 0; i < numFields_; ++i) {
            const std::size_t end = std::min(headerEnd(), db_->size());
            const std::string_view rest = db_->at(at, end - std::min(at, end), "the field names");
            const std::size_t nul = rest.find('\0');
            if (nul == std::string_view::npos)
                db_->fail("the name of field " + std::to_string(i + 1) + " overruns the header");
            if (nul == 0)
                db_->fail("field " + std::to_string(i + 1) + " has no name");
            table_.fields[i].name = text(rest.substr(0, nul));
            at += nul + 1;
        }
    }

    void readRecord(std::string_view record, const Wanted& wanted, Row& row)
    {
        row.assign(table_.fields.size(), std::nullopt);
        std::size_t at = 0;
        for (std::size_t i = 0; i < table_.fields.size(); ++i) {
            const Field& f = table_.fields[i];
            const std::string_view b = record.substr(at, std::size_t(f.size));
            at += std::size_t(f.size);
            if (wanted.empty() || (i < wanted.size() && wanted[i]))
                row[i] = value(f, b);
        }
    }

    // The record and field in an error: "record 3, field 'Vassals'".
    std::string where(const Field& f) const
    {
        return "record " + std::to_string(number_ + 1) + ", field '" + f.name + "'";
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
                db_->fail(where(f) + ": the day number " + std::to_string(days) + " is no date");
            return Value(dateFromDays(days));
        }
        case FieldType::Currency:
        case FieldType::Number:
        case FieldType::Timestamp:
            return Value(storedDouble(b));
        case FieldType::Logical: {
            const unsigned v = static_cast<unsigned char>(b[0]);
            if (v != 0x80 && v != 0x81)
                db_->fail(where(f) + ": the byte " + std::to_string(v) + " is neither true nor false");
            return Value(v == 0x81);
        }
        case FieldType::Bytes:
        case FieldType::Bcd:
            return Value(Binary{std::string(b)});
        default:
            db_->fail(where(f) + ": the type cannot be read");
        }
    }

    // A blob field: the leading part of the data, then its offset in the
    // memo file (the low byte an index into a block of small blobs, or 0xFF),
    // its length and a modification number. Data no longer than the leading
    // part lives in the record only.
    Cell blob(const Field& f, std::string_view b)
    {
        const std::size_t leader = b.size() - blobTrailerSize;
        const Bytes trailer(b, db_->name());
        const std::uint32_t offset = trailer.u32(leader, "a memo reference");
        const std::uint32_t length = trailer.u32(leader + 4, "a memo reference");
        if (length == 0)
            return std::nullopt;
        if (isText(f.type) && length > std::uint32_t(store::memoLimit))
            db_->fail(where(f) + ": the memo of " + std::to_string(length) + " characters is longer than the " +
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
        if (!mbFile_)
            throw Error(memoName_, "the memo file is missing; " + db_->name() + " needs it for " + where(f));
        const std::string ref = "the memo of " + db_->name() + " " + where(f);
        const std::size_t block = offset & ~0xFFu;
        const unsigned index = offset & 0xFFu;
        // The memo's block, and all of a memo longer than a block; small
        // memos share a block, which is read once for all of them.
        const std::size_t want = std::max(memoBlockSize, 9 + std::size_t(length));
        const std::size_t inFile = block < mbFile_->size() ? std::min(want, mbFile_->size() - block) : 0;
        if (memoStart_ != block || memo_.size() < inFile) {
            memoStart_ = std::size_t(-1);
            mbFile_->read(block, want, memo_);
            memoStart_ = block;
        }
        const Bytes mb(memo_, memoName_, block, mbFile_->size());
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

    std::unique_ptr<Source> dbFile_;
    std::unique_ptr<Source> mbFile_;
    std::string dbName_;
    std::string memoName_;
    std::string header_;
    std::optional<Bytes> db_;  // the header's window, which errors name the file by
    std::string block_;
    std::size_t blockStart_ = std::size_t(-1);
    std::string memo_;
    std::size_t memoStart_ = std::size_t(-1);
    std::size_t numFields_ = 0;
    bool hasDataHeader_ = false;
    int codePage_ = fallbackCodePage;
    std::uint32_t number_ = 0;  // the record being read, for errors
};

namespace {

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

TableReader::TableReader(const std::string& path)
{
    const std::filesystem::path mbPath = memoPath(path);
    std::unique_ptr<Source> db = std::make_unique<OnDisk>(path);
    std::unique_ptr<Source> mb;
    if (std::filesystem::exists(mbPath))
        mb = std::make_unique<OnDisk>(mbPath);
    impl_ = std::make_unique<Impl>(std::move(db), std::move(mb), path, mbPath.string());
}

TableReader::TableReader(std::string_view tableFile, std::optional<std::string_view> memoFile,
                         const std::string& tableName, const std::string& memoName)
    : impl_(std::make_unique<Impl>(std::make_unique<InMemory>(tableFile),
                                   memoFile ? std::make_unique<InMemory>(*memoFile) : nullptr, tableName, memoName))
{
}

TableReader::TableReader(TableReader&&) noexcept = default;
TableReader::~TableReader() = default;

const Header& TableReader::header() const { return impl_->table_.header; }
const std::vector<Field>& TableReader::fields() const { return impl_->table_.fields; }
int TableReader::fieldIndex(std::string_view name) const { return impl_->table_.fieldIndex(name); }

void TableReader::forEach(const std::function<void(std::uint32_t, const Row&)>& each, const Wanted& wanted)
{
    impl_->forEach(each, wanted);
}

Row TableReader::row(std::uint32_t number, const Wanted& wanted) { return impl_->row(number, wanted); }

namespace {

Table readWhole(TableReader reader)
{
    Table t{reader.header(), reader.fields(), {}};
    reader.forEach([&t](std::uint32_t, const Row& row) { t.rows.push_back(row); });
    return t;
}

}  // namespace

Table parseTable(std::string_view tableFile, std::optional<std::string_view> memoFile,
                 const std::string& tableName, const std::string& memoName)
{
    return readWhole(TableReader(tableFile, memoFile, tableName, memoName));
}

Table readTable(const std::string& path) { return readWhole(TableReader(path)); }

}  // namespace paradox
