// Which tables may have changed: a stamp per table that moves on whenever
// its rows may differ from what was read before, so that a count or a place
// read at one stamp is still true at the same stamp, and the count after a
// write of one's own can be worked out rather than counted again.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace store {

class TableVersions {
public:
    TableVersions() = default;
    TableVersions(const TableVersions&) = delete;
    TableVersions& operator=(const TableVersions&) = delete;

    // Watches every row the connection writes; `schemas` are the names of
    // the schemas whose files others may change, read anew each time (an
    // empty one is not open).
    void watch(sqlite3* conn, std::vector<const std::string*> schemas);

    // Changes whenever the table's rows may have changed: a row written
    // through the connection, a write it cannot tell the table of (a table
    // emptied by its pages), a rollback, or another program's commit to the
    // file (seen once a read of the file has begun).
    std::uint64_t version(const std::string& schema, const std::string& table);
    // The rows written to the table through the connection so far.
    std::uint64_t rowWrites(const std::string& schema, const std::string& table) const;
    // Since `version` (one the schema's table had), nothing but rows written
    // through the connection may have changed the schema's tables.
    bool onlyRowWritesSince(const std::string& schema, std::uint64_t version);

    // Another program's commits seen so far are told apart from the
    // connection's own: called when the write lock is taken, before writing.
    void noticeOthers();
    // The connection's own commit: the files' changes since noticeOthers()
    // are its own.
    void committed();
    // Rows written and then rolled back: every table may differ from what
    // was read meanwhile.
    void rolledBack() { everything_ = ++stamp_; }

private:
    static void onRowWritten(void* self, int op, const char* schema, const char* table, long long rowid);
    std::uint32_t dataVersion(const std::string& schema) const;

    struct Table {
        std::uint64_t stamp = 0, rows = 0;
    };
    // SQLite's names ignore the case of ASCII letters.
    struct NoCase {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const;
    };
    sqlite3* conn_ = nullptr;
    std::vector<const std::string*> schemas_;
    std::map<std::string, std::map<std::string, Table, NoCase>, NoCase> tables_;
    std::map<std::string, std::pair<std::uint32_t, std::uint64_t>> files_;  // data version, stamp
    std::uint64_t stamp_ = 1, everything_ = 1;
    std::int64_t rowsWritten_ = 0, unseen_ = 0;  // rows the hook saw; writes it did not
};

}  // namespace store
