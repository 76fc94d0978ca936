// A table object: one open view of a table with its own current record,
// filter and state (browse, edit, insert). This is the state machine that
// the windows drive; it reads through a KeysetReader, holds its record in a
// RecordBuffer and tells bound controls through a Notifier.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "store/filter.h"
#include "store/layout.h"
#include "store/notifier.h"
#include "store/record_buffer.h"
#include "store/sqlite.h"
#include "store/value.h"

#include <optional>

namespace store {

class Database;
class KeysetReader;
class Session;

// One open view of a table: its own current record, filter and state.
// Rows are read from SQLite as they are needed, one indexed seek a move; only
// the current record is held in memory.
class Table {
public:
    explicit Table(Session& session);
    ~Table();
    Table(const Table&) = delete;
    Table& operator=(const Table&) = delete;

    // Opens a table through an alias by the name the program knows it by
    // ("people.DB"); the object then stands on its first record.
    void open(const std::string& alias, const std::string& tableName);
    void close();
    bool isOpen() const { return state_ != State::Inactive; }
    const TableLayout& layout() const;
    const std::string& tableName() const { return tableName_; }
    // The open table's database; throws when the table is closed.
    Database& database() const;
    // The statement that takes the write lock on this table's file alone.
    std::string lockForWrite() const;

    State state() const { return state_; }
    bool editing() const { return state_ == State::Edit || state_ == State::Insert; }
    bool modified() const { return modified_; }
    // The current record may be changed here: not one that the database it
    // is a copy of keeps for someone else (edit() then says why).
    bool mayChange() const;

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
    bool hasCurrentRecord() const { return record_.hasRecord(); }

    // The filter text is checked when set; a malformed text or an unknown
    // column is refused before anything changes.
    void setFilter(const std::string& text);
    const std::string& filter() const { return filterText_; }
    void setFiltered(bool on);
    bool filtered() const { return filtered_; }

    // Exact lookup of the key columns (in key order) among the rows the
    // filter lets through; the record found becomes current. Tables without
    // a unique key refuse it.
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
    // Deletes every row the table shows under its filter, from the first to
    // the last, in one transaction, and stands at the empty end. Without
    // delete handlers to see each row it takes one statement.
    void removeAll();
    // Posts if modified, else drops a pending insert or change.
    void checkBrowseMode();

    Bookmark bookmark() const;
    void gotoBookmark(const Bookmark& mark);

    // Nested suspension of the notifications to bound controls; the last
    // resume sends what was held back.
    void disableControls();
    void enableControls();
    bool controlsDisabled() const { return notifier_.suspended(); }

    // Fields of the current record (the pending one while editing).
    int fieldIndex(std::string_view name) const;  // throws for an unknown column
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
    bool sameRecord(const Bookmark& a, const Bookmark& b) const
    {
        return a.valid && b.valid && a.rowid == b.rowid && a.key == b.key;
    }
    // Changes whenever the table's rows may have changed: a write through
    // any table object of this connection, or another program's commit seen
    // since. Cached rows are stale once it moves.
    std::int64_t dataVersion() const;
    // The count under the filter when it is known without counting.
    std::optional<std::int64_t> knownRecordCount();
    // The file that holds the table.
    std::string fileName() const;
    // A count of every row made elsewhere (BackgroundCount) beside the file's
    // change counter; kept when the file is unchanged since and no
    // transaction of this connection is open.
    void adoptCount(std::int64_t rows, std::uint32_t changeCounter);
    // Where a record stands (the rows before it under the filter), as a
    // grid read it since the table last changed.
    // `version` is the dataVersion() the grid read the rows at.
    void notePosition(const Bookmark& mark, std::int64_t rowsBefore, std::int64_t version);

    // The batch append into this table: every row that `source` shows under
    // its filter, in key order, columns paired by position. All or nothing;
    // a duplicate key stops it with the key-violation error. This table is
    // left on its first record either way.
    void appendFrom(Table& source);

    // Rows (under no filter) whose `columns` hold exactly `from` take `to`,
    // in one statement: how the records that follow another record's key
    // move with it.
    void replaceValues(const std::vector<std::string>& columns, const std::vector<Value>& from,
                       const std::vector<Value>& to);

    // The window's handlers.
    std::function<void(Table&)> beforeDelete, afterDelete, afterInsert, afterPost, afterScroll, afterCancel;
    // Runs inside the post's transaction when a post changes a stored
    // record's key, with the key as it was stored and as it is now; a throw
    // undoes the post.
    std::function<void(Table&, const std::vector<Value>& storedKey, const std::vector<Value>& newKey)> keyChanged;

    void addObserver(TableObserver* observer);
    void removeObserver(TableObserver* observer);

    // The SQL condition and parameters of a filter, for the few statements
    // built outside (queries).
    using Where = SqlCondition;
    static Where whereFor(const TableLayout& layout, const Filter& filter, int firstParam)
    {
        return store::whereFor(layout, filter, firstParam);
    }

private:
    void requireOpen() const;
    void startInsert(bool atEnd);
    void useWhere(SqlCondition where);
    // Shows a row (or none) after a move, with the flags of the move.
    void show(std::optional<Row> row);
    void arrive(bool atStart, bool atEnd);
    void setState(State s);
    void fire(const std::function<void(Table&)>& handler);
    void setValue(int column, Value v);
    // Re-reads the current record after a committed write.
    void storedAt(std::int64_t rowid);
    // Refuses, naming the record, a post that wrote `written` (layout
    // columns) when they hold an owner key that no owner record holds.
    void requireOwner(const std::vector<int>& written);

    Session& session_;
    std::shared_ptr<Database> db_;
    const TableLayout* layout_ = nullptr;
    std::string tableName_;
    std::unique_ptr<KeysetReader> reader_;
    RecordBuffer record_;
    Notifier notifier_{*this};

    State state_ = State::Inactive;
    bool modified_ = false;
    bool appending_ = false;
    bool bof_ = true, eof_ = true;
    Bookmark beforeInsert_;

    std::string filterText_;
    Filter filter_;
    bool filtered_ = false;
    // The last copy from another table, kept prepared: an export runs the
    // same one for every character.
    std::string appendFrom_;
    sql::Statement append_;
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
