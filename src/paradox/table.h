// A reader of Paradox tables (.DB, file format levels 3.0 to 7.x) and their
// memo files (.MB), so that data kept by the older program can be brought in.
// Every file is taken as untrusted: each offset and length is checked against
// the file's size, and a damaged file is reported, never read past.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace paradox {

// A file that cannot be read; what() names the file and the reason.
class Error : public std::runtime_error {
public:
    Error(std::string file, const std::string& reason);
    const std::string& file() const { return file_; }
    const std::string& reason() const { return reason_; }

private:
    std::string file_;
    std::string reason_;
};

// The field types by the codes that the files store.
enum class FieldType : std::uint8_t {
    Alpha = 0x01,
    Date = 0x02,
    Short = 0x03,
    Long = 0x04,
    Currency = 0x05,
    Number = 0x06,
    Logical = 0x09,
    Memo = 0x0C,
    Blob = 0x0D,
    FormattedMemo = 0x0E,
    Ole = 0x0F,
    Graphic = 0x10,
    Time = 0x14,
    Timestamp = 0x15,
    AutoInc = 0x16,
    Bcd = 0x17,
    Bytes = 0x18,
};

// The letter by which Paradox names a type: A, D, S, I, $, N, L, M, B, F, O,
// G, T, @, +, #, Y.
char typeLetter(FieldType type);

struct Field {
    std::string name;   // UTF-8
    FieldType type;
    int size;           // bytes in the record; for Alpha the most characters,
                        // for memos the leading part kept in the record plus 10
};

struct Date {
    int year;
    int month;
    int day;
    bool operator==(const Date&) const = default;
};

// Raw bytes of a binary field (B, O, G, Y, and #, whose packed digits this
// reader does not decode), apart from text.
struct Binary {
    std::string bytes;
    bool operator==(const Binary&) const = default;
};

// A value by type:
//   std::string   Alpha, Memo and FormattedMemo, in UTF-8 (a formatted memo
//                 comes back as its stored bytes, formatting codes and all);
//   std::int32_t  Short, Long, AutoInc, and Time (milliseconds after midnight);
//   double        Number, Currency, and Timestamp (milliseconds since 1 Jan 1);
//   bool          Logical;
//   Date          Date;
//   Binary        Blob, Ole, Graphic, Bytes and Bcd.
using Value = std::variant<std::string, std::int32_t, double, bool, Date, Binary>;

// std::nullopt when the field holds no value. Paradox keeps no empty text
// apart from no text, so "" comes back as no value too.
using Cell = std::optional<Value>;
using Row = std::vector<Cell>;

struct Header {
    int recordSize = 0;
    int headerSize = 0;
    int fileType = 0;         // 0 keyed table, 2 table without a key
    int blockSize = 0;        // bytes
    std::uint32_t recordCount = 0;
    int usedBlocks = 0;
    int firstBlock = 0;
    int versionId = 0;        // 3 = 3.0, 4 = 3.5, 5-9 = 4.x, 10-11 = 5.x, 12 = 7.x
    int codePage = 0;         // the one that text was converted from
    int keyFields = 0;        // the first keyFields fields make the key
    std::int32_t nextAutoInc = 0;
    std::string tableName;
};

struct Table {
    Header header;
    std::vector<Field> fields;
    std::vector<Row> rows;   // in the order of the table's blocks

    int fieldIndex(std::string_view name) const;  // -1 when absent; letter case ignored
};

// Tables whose header names no code page (before level 4.0, or a zero) were
// written by DOS programs; their text is taken as code page 437.
inline constexpr int fallbackCodePage = 437;

// A table read a record at a time, as the records are wanted: it holds one
// block of the table and one memo, whatever the size of its files. Opening
// reads the header and the fields; every call may throw Error.
class TableReader {
public:
    // The table and, when a memo needs it, the memo file beside it (same
    // name, extension .MB in any letter case).
    explicit TableReader(const std::string& path);
    // Bytes already in memory; memoFile is nullopt when there is none.
    TableReader(std::string_view tableFile, std::optional<std::string_view> memoFile, const std::string& tableName,
                const std::string& memoName);
    TableReader(TableReader&&) noexcept;
    ~TableReader();

    const Header& header() const;
    const std::vector<Field>& fields() const;
    int fieldIndex(std::string_view name) const;  // -1 when absent; letter case ignored

    // Which fields to decode, by index; the others come back as no value and
    // are never read, so a field nobody wants cannot refuse the table. Empty:
    // every field.
    using Wanted = std::vector<bool>;

    // Every record in the order of the table's blocks, with its number from 0.
    // The whole chain of blocks is checked as it is read.
    void forEach(const std::function<void(std::uint32_t number, const Row&)>& each, const Wanted& wanted = {});
    // Record `number` as forEach numbered it; forEach has run to its end.
    Row row(std::uint32_t number, const Wanted& wanted = {});

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Reads a table and, when a memo needs it, the memo file beside it (same
// name, extension .MB in any letter case), every row at once. Throws Error.
Table readTable(const std::string& path);

// Reads a table from bytes already in memory. memoFile is the content of the
// memo file, or nullopt when there is none; the names go into the errors.
Table parseTable(std::string_view tableFile, std::optional<std::string_view> memoFile,
                 const std::string& tableName, const std::string& memoName);

}  // namespace paradox
