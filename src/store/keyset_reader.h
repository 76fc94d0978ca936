// How a table object reads: every read is one indexed seek or range in key
// order under the filter, from prepared statements kept per filter shape,
// and every statement is reset once read, so a finished one is never stepped
// again. SQLite's failures leave as StoreErrors naming the table.
//
// Moving forward reads a window of rows at once (and so does going to the
// first row under a filter, which may have SQLite sort: a grid's first
// screenful then comes from the same read). The window is only used
// while it is certainly what the file holds: under the same filter, with no
// write through the connection since, and within the same shared read of the
// file (which keeps other connections from writing). Anything else reads
// afresh.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "store/filter.h"
#include "store/known_places.h"
#include "store/lru_cache.h"
#include "store/record_buffer.h"
#include "store/sqlite.h"
#include "store/table_sql.h"

namespace store {

class Database;

// Binds a field value (number, text or empty) as a statement parameter.
void bindValue(sql::Statement& st, int index, const Value& v);

class KeysetReader {
public:
    KeysetReader(Database& db, const TableLayout& layout, std::string schema, std::string tableName);
    KeysetReader(const KeysetReader&) = delete;
    KeysetReader& operator=(const KeysetReader&) = delete;

    const TableSql& sql() const { return sql_; }
    // The filter's condition; statements of a condition seen lately are kept.
    void setWhere(SqlCondition where);
    const SqlCondition& where() const { return where_; }
    // Binds the condition's parameters (?1..?m) to a statement built outside.
    void bindWhere(sql::Statement& st) const;

    std::optional<Row> first();
    std::optional<Row> last();
    std::optional<Row> after(const Bookmark& mark);
    std::optional<Row> before(const Bookmark& mark);
    // The record the bookmark names, under the filter or anywhere in the
    // table; none when it was deleted, or its row number went to another.
    std::optional<Row> same(const Bookmark& mark, bool filtered);
    // The row with the row number, whatever its key (a record just written).
    std::optional<Row> byRowNumber(std::int64_t rowid);
    // That record, else the one after its place, else the one before.
    std::optional<Row> near(const Bookmark& mark);
    // Exact lookup of the key values.
    std::optional<Row> find(const std::vector<std::string>& key);

    // Up to `count` rows after (or before) `from`, or from an end.
    std::vector<Row> read(const Bookmark* from, bool inclusive, int count, bool backwards);
    std::int64_t count();
    bool any();
    std::int64_t rowsBefore(const Bookmark& mark);
    Bookmark rowAt(std::int64_t position);

    // Changes whenever the table's rows may have changed.
    std::uint64_t version();
    // A count under the filter, or the rows before a record, known without
    // counting: read or worked out since the table last changed.
    std::optional<std::int64_t> knownCount();
    // Kept when the table's version is still `at`, the one it was read at.
    void notePlace(const Bookmark& mark, std::int64_t before, std::uint64_t at);
    // A count of every row read elsewhere beside the file's change counter.
    void adoptCount(std::int64_t rows, std::uint32_t changeCounter, const std::string& file);
    const std::string& schema() const { return schema_; }
    // What is known before a write of one's own, carried past it when the
    // write changed the table by exactly the rows it says.
    struct Known {
        std::optional<std::int64_t> count, place;
        std::uint64_t version = 0, rowWrites = 0;
    };
    Known known(const Bookmark& mark);
    void carry(const Known& before, int rowsChanged, std::int64_t countChange, const Bookmark& mark, std::int64_t place);

private:
    enum Kind { kStart, kStartBack, kAfter, kFrom, kBefore, kUpTo, kSame, kFind, kCount, kExists, kRowsBefore, kRowAt, kKinds };
    static constexpr int kReads = kUpTo + 1;  // the kinds that read rows in order
    struct Statements {
        sql::Statement st[kKinds];
        // The reads walking the key index, for a condition SQLite would
        // serve from another index and then sort.
        sql::Statement byKey[kReads];
        int sorts = -1;  // does the plain read sort? -1: not yet asked
    };
    Statements& statements(const SqlCondition& where);
    sql::Statement& statement(Kind kind, bool filtered = true);
    // Whether the reads under the filter walk the key index: when SQLite
    // would sort every match and the matches are many. A screenful then
    // costs a walk to its last row rather than a sort of them all; few
    // matches are sorted, which is cheap.
    bool readsByKey();
    bool planSorts(const std::string& text);
    std::string textOf(Kind kind, const SqlCondition& where) const;
    void bindWhere(sql::Statement& st, const SqlCondition& where) const;
    int bindPlace(sql::Statement& st, int first, const Bookmark& mark) const;
    std::optional<Row> one(sql::Statement& st);
    std::vector<Row> all(sql::Statement& st);
    void readRow(sql::Statement& st, Row& row) const;
    std::vector<Row> range(Kind kind, const Bookmark* from, int count);
    template <class Read>
    auto guarded(Read read) -> decltype(read());

    // Rows in key order from a start or after a place, read at one moment.
    struct Window {
        std::vector<Row> rows;
        bool fromStart = false;  // rows[0] is the first row
        bool toEnd = false;      // nothing follows the last one
        SqlCondition where;
        std::int64_t changes = -1;
        std::uint64_t epoch = 0;
    };
    static constexpr int windowRows = 32;
    // The window's index of the row, or -1 when the window is stale or
    // does not hold it.
    int inWindow(const Bookmark& mark);
    std::optional<Row> readWindow(Kind kind, const Bookmark* from, int count);
    // Rows from the window if it holds them all; nullopt otherwise.
    std::optional<std::vector<Row>> fromWindow(const Bookmark* from, bool inclusive, int count);

    Database& db_;
    KnownPlaces known_;
    TableSql sql_;
    std::string schema_;
    std::string tableName_;
    SqlCondition where_{"1", {}};
    static inline const SqlCondition everything_{"1", {}};
    Statements unfiltered_;
    // By the text of the filter's condition, so that switching between
    // filters of one shape prepares nothing.
    LruCache<std::string, std::unique_ptr<Statements>> filtered_{4};
    sql::Statement byRowNumber_;
    Window window_;
    std::size_t windowAt_ = 0;  // where the last lookup found its row
    bool reading_ = false;      // the shared read was held for the last read
    int byKey_ = -1;            // readsByKey() for the filter; -1: not yet known
    // Matches at which walking the key index beats sorting: walking costs
    // about screen * rows / matches index entries, which grows with the
    // table, sorting the matches a few milliseconds for a few thousand of
    // them, whatever the table's size.
    static constexpr std::int64_t manyMatches = 4096;
};

// Throws the error for a record no longer stored under its key: deleted, or
// renamed by another program (its row number under another key, every other
// field as `known`, the values last read).
[[noreturn]] void throwRecordGone(KeysetReader& reader, const TableLayout& layout, std::int64_t rowid,
                                  const std::vector<Value>& known);

}  // namespace store
