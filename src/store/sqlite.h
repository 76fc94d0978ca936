// Thin RAII owners of SQLite connections and statements; the only place that
// calls SQLite's C API besides tests.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "store/value.h"

struct sqlite3;
struct sqlite3_stmt;

namespace store::sql {

// A row the connection is about to change, told before it changes.
struct RowChange {
    enum class Kind { Insert, Update, Delete } kind;
    std::string_view schema, table;
    std::int64_t before = 0, after = 0;  // row numbers: no `before` for an insert, no `after` for a delete
};
// The row's value of one column before the change (not for an insert).
using ValueBefore = std::function<Value(int column)>;

struct ConnectionCloser { void operator()(sqlite3* db) const; };
struct StatementFinalizer { void operator()(sqlite3_stmt* st) const; };

// Owner of one SQLite connection.
class Connection {
public:
    Connection() = default;
    // Opens an existing file read-write, or creates it when `create` is set.
    // Every connection is defensive: a file's schema may not be written
    // directly, and functions with side effects may not be called from it.
    // A connection belongs to one thread at a time: it does no locking of
    // its own.
    static Connection open(const std::string& path, bool create);

    sqlite3* get() const { return db_.get(); }
    explicit operator bool() const { return static_cast<bool>(db_); }
    void exec(const std::string& sql);
    std::int64_t changes() const;
    std::int64_t lastInsertRowid() const;
    std::int64_t totalChanges() const;
    // No transaction open: SQLite ended the last one (a failed COMMIT rolls
    // back by itself unless the lock was only busy).
    bool autocommit() const;
    // The schema's file is written by the open transaction.
    bool writing(const std::string& schema) const;
    // The schema's file was opened read-only (SQLite falls back to reading
    // when a read-write open fails) or does not exist.
    bool readOnly(const std::string& schema) const;
    // The schema's file name; empty for a database in memory.
    std::string fileName(const std::string& schema) const;

    // Calls `tick` every `steps` steps of a running statement; a tick that
    // returns false interrupts the statement (SQLITE_INTERRUPT). An empty
    // function removes it. The tick must not use this connection.
    void setProgressHandler(int steps, std::function<bool()> tick);
    // Asks the progress handler, as a long statement does: false when it
    // says to stop; true when there is none.
    bool keepGoing() const;

    // Calls `watch` before each row that any statement of the connection
    // inserts, updates or deletes; an empty function removes it. The watch
    // must not use this connection or throw.
    void watchRowsBefore(std::function<void(const RowChange&, const ValueBefore&)> watch);
    // Asks `allow` before each commit: false turns it into a rollback, and
    // the statement that committed fails. An empty function removes it. It
    // must not use this connection or throw.
    void checkCommits(std::function<bool()> allow);

private:
    using RowWatch = std::function<void(const RowChange&, const ValueBefore&)>;
    std::unique_ptr<RowWatch> beforeRow_;
    std::unique_ptr<std::function<bool()>> allowCommit_;
    // Before db_, so that the connection is closed first; on the heap, so
    // that SQLite's pointer to it survives a move of the owner.
    std::unique_ptr<std::function<bool()>> tick_;
    std::unique_ptr<sqlite3, ConnectionCloser> db_;
};

// Owner of one prepared statement, with the few binding and reading calls the
// store needs. Indexes of bind() start at 1, those of column reads at 0.
class Statement {
public:
    Statement() = default;
    Statement(const Connection& db, const std::string& sql);

    explicit operator bool() const { return static_cast<bool>(st_); }
    sqlite3_stmt* get() const { return st_.get(); }

    void reset();
    void bindNull(int index);
    void bind(int index, std::int64_t value);
    void bind(int index, std::string_view text);
    // True while a row is there; throws on errors.
    bool step();
    void run();  // step to the end, for statements without rows
    // Stepped and not yet finished or reset: it holds its read of the file.
    bool active() const;

    bool isNull(int col) const;
    // A value's storage class as read, without converting it.
    enum class Type { Integer, Real, Text, Blob, Null };
    Type type(int col) const;
    // A text or blob value's bytes as stored (a text in the file's encoding),
    // without converting it; valid until the next step or read of the column.
    std::string_view bytes(int col) const;
    std::int64_t int64(int col) const;
    std::string text(int col) const;
    int columnCount() const;

private:
    sqlite3* db_ = nullptr;
    std::unique_ptr<sqlite3_stmt, StatementFinalizer> st_;
};

// Quotes an identifier for SQL text ("Net/Gross", a column name with a slash).
std::string quoteIdentifier(std::string_view name);

// A failure of SQLite with its extended error code, so that callers can tell
// a key violation from other errors. The store turns it into a StoreError
// before it reaches a caller.
class SqlError : public std::runtime_error {
public:
    SqlError(int code, const std::string& message) : std::runtime_error(message), code_(code) {}
    int code() const { return code_; }
private:
    int code_;
};

}  // namespace store::sql
