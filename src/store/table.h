#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <deque>

#include "store/filter.h"
#include "store/lru_cache.h"
#include "store/layout.h"
#include "store/sqlite.h"
#include "store/value.h"

namespace store {

class Database;
class Session;
class Table;

enum class State { Inactive, Browse, Edit, Insert };

// What bound controls (through their data source) hear from a table object.
class TableObserver {
public:
    virtual ~TableObserver() = default;
    virtual void stateChanged(Table&) {}
    // Another record is shown, or the shown one was re-read.
    virtual void recordChanged(Table&) {}
    // One field of the current record was written.
    virtual void fieldChanged(Table&, int /*column*/) {}
    // Before a post or a browse-mode check: controls write what they hold.
    virtual void updateRecord(Table&) {}
};

// Where a record stands in key order; remembers a record across moves.
struct Bookmark {
    std::int64_t rowid = 0;
    std::vector<Value> key;
    bool valid = false;
};

// One row as a grid reads it, without moving the table object.
struct Row {
    Bookmark mark;
    std::vector<Value> values;
};

// One open view of a table: its own current record, filter and state.
// Rows are read from SQLite as they are needed; only the current record is
// held in memory.
class Table {
public:
    explicit Table(Session& session);
    ~Table();
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    // Opens a table through an alias by the name the program knows it by
    // ("vddb.DB"); the object then stands on its first record.
    void open(const std::string& alias, const std::string& tableName);
    void close();
    bool isOpen() const { return state_ != State::Inactive; }
    const TableLayout& layout() const;
    const std::string& tableName() const { return tableName_; }
    Database& database() const { return *db_; }

    State state() const { return state_; }
    bool editing() const { return state_ == State::Edit || state_ == State::Insert; }
    bool modified() const { return modified_; }

    // Moves; each first ends a pending insert or change (posted if modified,
    // else dropped).
    void first();
    void prior();
    void next();
    void last();
    bool bof() const { return bof_; }
    bool eof() const { return eof_; }
    // No record under the filter (a pending insert does not count).
    bool isEmpty();
    std::int64_t recordCount();
    bool hasCurrentRecord() const { return hasRecord_; }

    // The filter text is checked when set; a malformed text or an unknown
    // column is refused before anything changes.
    void setFilter(const std::string& text);
    const std::string& filter() const { return filterText_; }
    void setFiltered(bool on);
    bool filtered() const { return filtered_; }

    // Exact lookup of the key columns (Game_Name, Character_Name) among the
    // rows the filter lets through; the record found becomes current.
    bool findKey(const std::vector<std::string>& keyValues);
    // Puts this object on the record that `other` (same table) shows.
    void gotoCurrent(const Table& other);

    void insert();
    void append();  // like insert; grids show the new row at the end
    // Set from the start of an append, so its handlers can tell it apart.
    bool insertAtEnd() const { return appending_; }
    void edit();
    void post();
    void cancel();
    void remove();  // the before-delete handler runs first and may refuse
    void refresh();
    // Posts if modified, else drops a pending insert or change.
    void checkBrowseMode();

    Bookmark bookmark() const;
    void gotoBookmark(const Bookmark& mark);

    // Nested suspension of the notifications to bound controls; the last
    // resume sends what was held back.
    void disableControls();
    void enableControls();
    bool controlsDisabled() const { return disabled_ > 0; }

    // Fields of the current record (the pending one while editing).
    int fieldIndex(std::string_view name) const;  // throws for an unknown column
    int fieldCount() const;
    const Value& value(int column) const;
    std::string text(int column) const;
    std::string text(std::string_view name) const { return text(fieldIndex(name)); }
    bool asBool(int column) const;
    bool asBool(std::string_view name) const { return asBool(fieldIndex(name)); }
    bool isNull(int column) const;
    bool isNull(std::string_view name) const { return isNull(fieldIndex(name)); }
    // Writing needs edit or insert state. Text is converted by the column's
    // type; "" empties the field.
    void setText(int column, std::string_view text);
    void setText(std::string_view name, std::string_view text) { setText(fieldIndex(name), text); }
    void setBool(int column, bool value);
    void setBool(std::string_view name, bool value) { setBool(fieldIndex(name), value); }
    void clear(int column);

    // Rows in key order under the filter, for grids. With `from` they start
    // after (or, going backwards, before) that row; `inclusive` takes it too.
    std::vector<Row> readRows(const Bookmark* from, bool inclusive, int count, bool backwards);
    // How many rows under the filter come before the row in key order.
    std::int64_t rowsBefore(const Bookmark& mark);
    // The row at a position in key order (0 first), for a grid's scroll-bar
    // jump; it counts its way there over the key index, so it costs in
    // proportion to the position. Invalid past the end.
    Bookmark rowAt(std::int64_t position);
    bool sameRecord(const Bookmark& a, const Bookmark& b) const { return a.valid && b.valid && a.rowid == b.rowid; }
    // Changes whenever anything is written through this object's database
    // connection, by any table object: cached rows are stale once it moves.
    std::int64_t dataVersion() const;

    // The batch append into this table: every row that `source` shows under
    // its filter, in key order, columns paired by position. All or nothing;
    // a duplicate key stops it with the key-violation error. This table is
    // left on its first record either way.
    void appendFrom(Table& source);

    // The window's handlers.
    std::function<void(Table&)> beforeDelete, afterDelete, afterInsert, afterPost, afterScroll, afterCancel;

    void addObserver(TableObserver* observer);
    void removeObserver(TableObserver* observer);

    // The SQL condition and parameters of the current filter, for the few
    // statements built outside (batch append, queries).
    struct Where {
        std::string sql;  // "1" when nothing restricts
        std::vector<Value> params;
    };
    static Where whereFor(const TableLayout& layout, const Filter& filter, int firstParam);

    // Ends the forward read in progress, releasing its read lock; the next
    // move starts a fresh one. Called by the database between events.
    void releaseCursor();

private:
    enum Kind {
        kFirst, kLast, kNextOne, kPriorOne, kRowid, kFind, kCount, kExists,
        kStreamFirst, kStreamNext,  // no limit: stepped while the object walks forward
        kReadStart, kReadStartBack, kReadAfter, kReadFrom, kReadBefore, kReadUpTo, kRowsBefore, kRowAt,
        kKinds
    };
    struct Statements {
        sql::Statement st[kKinds];
    };
    enum class Seek { First, Last, Next, Prior };
    void startInsert(bool atEnd);

    void requireOpen() const;
    void useWhere(Where where);
    sql::Statement& stmt(Kind kind);
    std::string sqlFor(Kind kind) const;
    void readRow(sql::Statement& st, Row& row) const;
    void take(Row&& row);
    bool load(sql::Statement& st);  // reads one row into the buffer, resets st
    bool seek(Seek how);
    bool seekRowid(std::int64_t rowid);
    bool seekFrom(const Bookmark& mark);  // that row, else the next, else the prior
    bool reloadUnfiltered(std::int64_t rowid);
    bool startStream(Kind kind);
    bool stepStream(Row& row);
    bool streamValid() const;
    void endStream();
    void bindKey(sql::Statement& st, int firstParam, const std::vector<Value>& key);
    void bindWhere(sql::Statement& st);
    void clearBuffer();
    void setState(State s);
    void notifyRecord();
    void notifyField(int column);
    void notifyUpdateRecord();
    void fire(const std::function<void(Table&)>& handler);
    void setValue(int column, Value v);
    Bookmark currentMark() const;
    std::string selectList() const;
    std::string fromWhere() const;
    std::string keyTuple() const;
    std::string keyParams(int first) const;
    std::string orderBy(bool descending) const;

    Session& session_;
    std::shared_ptr<Database> db_;
    const TableLayout* layout_ = nullptr;
    std::string schema_;
    std::string tableName_;

    State state_ = State::Inactive;
    bool modified_ = false;
    bool appending_ = false;
    std::vector<Value> buf_;
    std::int64_t rowid_ = 0;
    std::vector<Value> key_;  // stored key values of the current record
    bool hasRecord_ = false;
    bool bof_ = true, eof_ = true;
    Bookmark beforeInsert_;

    std::string filterText_;
    Filter filter_;
    bool filtered_ = false;
    Where where_;

    // Prepared statements by the text of the filter's condition, so that
    // switching between filters of the same shape prepares nothing.
    LruCache<std::string, std::unique_ptr<Statements>> statements_{4};
    Statements* set_ = nullptr;
    sql::Statement byRowid_;  // unfiltered

    // The forward read in progress: rows are stepped from one open statement
    // while nothing is written; `ahead_` holds rows a grid read past the
    // current record.
    sql::Statement* stream_ = nullptr;
    std::int64_t streamChanges_ = 0;
    bool streamAtStart_ = false;
    std::deque<Row> ahead_;

    int disabled_ = 0;
    bool heldRecord_ = false, heldState_ = false;
    std::vector<TableObserver*> observers_;
};

// Suspends a table object's bound controls for one scope; they are resumed
// however the scope ends.
class ControlsSuspended {
public:
    explicit ControlsSuspended(Table& table) : table_(table) { table_.disableControls(); }
    ~ControlsSuspended() { table_.enableControls(); }
    ControlsSuspended(const ControlsSuspended&) = delete;
    ControlsSuspended& operator=(const ControlsSuspended&) = delete;

private:
    Table& table_;
};

}  // namespace store
