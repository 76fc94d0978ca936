// The SQLite calls behind the connection and statement owners.
#include "store/sqlite.h"

#include <string_view>

// The row watch needs SQLite's pre-update hook, which Debian's library has.
#define SQLITE_ENABLE_PREUPDATE_HOOK 1
#include <sqlite3.h>

#include "store/error.h"

#include <stdexcept>

namespace store::sql {

void ConnectionCloser::operator()(sqlite3* db) const { sqlite3_close_v2(db); }
void StatementFinalizer::operator()(sqlite3_stmt* st) const { sqlite3_finalize(st); }

Connection Connection::open(const std::string& path, bool create)
{
    sqlite3* raw = nullptr;
    // No per-call locking: a connection is opened, used and closed by one
    // thread (the GUI's, or the daily copy's own), and locking each column
    // read cost as much as reading it.
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    Connection c;
    // A read-write open that fails for a moment (an I/O error) makes SQLite
    // open the file read-only without a word, and every later save of the
    // session would fail: such a file is opened again, and refused when it
    // stays read-only.
    for (int attempt = 0;; ++attempt) {
        int rc = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
        c.db_.reset(raw);
        if (rc != SQLITE_OK)
            throw SqlError(rc, raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc));
        // A URI that asks for reading only (a backup looked at) is meant so.
        const char* mode = sqlite3_uri_parameter(sqlite3_db_filename(raw, "main"), "mode");
        if (sqlite3_db_readonly(raw, "main") != 1 || (mode && std::string_view(mode) == "ro"))
            break;
        if (attempt == 2)
            throw SqlError(SQLITE_READONLY, msg::readOnlyFile(path));
    }
    sqlite3_extended_result_codes(raw, 1);
    // The files come from elsewhere (a transfer file is carried between
    // databases): nothing stored in them may act on the program.
    sqlite3_db_config(raw, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(raw, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    return c;
}

void Connection::setProgressHandler(int steps, std::function<bool()> tick)
{
    if (!tick) {
        sqlite3_progress_handler(db_.get(), 0, nullptr, nullptr);
        tick_.reset();
        return;
    }
    tick_ = std::make_unique<std::function<bool()>>(std::move(tick));
    // No exception may cross SQLite's frames: one stops the statement.
    auto call = [](void* f) -> int {
        try {
            return (*static_cast<std::function<bool()>*>(f))() ? 0 : 1;
        } catch (...) {
            return 1;
        }
    };
    sqlite3_progress_handler(db_.get(), steps, call, tick_.get());
}

void Connection::watchRowsBefore(std::function<void(const RowChange&, const ValueBefore&)> watch)
{
    if (!watch) {
        sqlite3_preupdate_hook(db_.get(), nullptr, nullptr);
        beforeRow_.reset();
        return;
    }
    beforeRow_ = std::make_unique<RowWatch>(std::move(watch));
    auto call = [](void* f, sqlite3* db, int op, const char* schema, const char* table, sqlite3_int64 before,
                   sqlite3_int64 after) {
        RowChange change{op == SQLITE_INSERT ? RowChange::Kind::Insert
                         : op == SQLITE_DELETE ? RowChange::Kind::Delete
                                               : RowChange::Kind::Update,
                         schema, table, op == SQLITE_INSERT ? 0 : before, op == SQLITE_DELETE ? 0 : after};
        const ValueBefore old = [db](int column) -> Value {
            sqlite3_value* v = nullptr;
            if (sqlite3_preupdate_old(db, column, &v) != SQLITE_OK || !v)
                return {};
            switch (sqlite3_value_type(v)) {
            case SQLITE_INTEGER: return static_cast<std::int64_t>(sqlite3_value_int64(v));
            case SQLITE_NULL: return {};
            default:
                return std::string(reinterpret_cast<const char*>(sqlite3_value_text(v)),
                                   static_cast<std::size_t>(sqlite3_value_bytes(v)));
            }
        };
        (*static_cast<RowWatch*>(f))(change, old);
    };
    sqlite3_preupdate_hook(db_.get(), call, beforeRow_.get());
}

void Connection::checkCommits(std::function<bool()> allow)
{
    if (!allow) {
        sqlite3_commit_hook(db_.get(), nullptr, nullptr);
        allowCommit_.reset();
        return;
    }
    allowCommit_ = std::make_unique<std::function<bool()>>(std::move(allow));
    sqlite3_commit_hook(
        db_.get(), [](void* f) { return (*static_cast<std::function<bool()>*>(f))() ? 0 : 1; }, allowCommit_.get());
}

bool Connection::keepGoing() const { return !tick_ || (*tick_)(); }

void Connection::exec(const std::string& sql)
{
    char* err = nullptr;
    int rc = sqlite3_exec(db_.get(), sql.c_str(), nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
        std::string message = err ? err : sqlite3_errstr(rc);
        sqlite3_free(err);
        throw SqlError(rc, message);
    }
}

std::int64_t Connection::changes() const { return sqlite3_changes64(db_.get()); }
std::int64_t Connection::totalChanges() const { return sqlite3_total_changes64(db_.get()); }
bool Connection::autocommit() const { return sqlite3_get_autocommit(db_.get()) != 0; }
bool Connection::writing(const std::string& schema) const
{
    return sqlite3_txn_state(db_.get(), schema.c_str()) == SQLITE_TXN_WRITE;
}
bool Connection::readOnly(const std::string& schema) const
{
    return sqlite3_db_readonly(db_.get(), schema.c_str()) != 0;
}
std::string Connection::fileName(const std::string& schema) const
{
    const char* name = sqlite3_db_filename(db_.get(), schema.c_str());
    return name ? name : "";
}
std::int64_t Connection::lastInsertRowid() const { return sqlite3_last_insert_rowid(db_.get()); }

Statement::Statement(const Connection& db, const std::string& sql) : db_(db.get())
{
    sqlite3_stmt* raw = nullptr;
    int rc = sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &raw,
                                nullptr);
    if (rc != SQLITE_OK)
        throw SqlError(rc, sqlite3_errmsg(db_));
    st_.reset(raw);
}

void Statement::reset()
{
    sqlite3_reset(st_.get());
    sqlite3_clear_bindings(st_.get());
}

void Statement::bindNull(int index) { sqlite3_bind_null(st_.get(), index); }
void Statement::bind(int index, std::int64_t value) { sqlite3_bind_int64(st_.get(), index, value); }
void Statement::bind(int index, std::string_view text)
{
    sqlite3_bind_text(st_.get(), index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

bool Statement::step()
{
    int rc = sqlite3_step(st_.get());
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    // The statement's own code is the useful one; reset() would repeat it.
    std::string message = sqlite3_errmsg(db_);
    int code = sqlite3_extended_errcode(db_);
    sqlite3_reset(st_.get());
    throw SqlError(code, message);
}

void Statement::run()
{
    while (step()) {
    }
}

bool Statement::active() const { return st_ && sqlite3_stmt_busy(st_.get()) != 0; }

bool Statement::isNull(int col) const { return sqlite3_column_type(st_.get(), col) == SQLITE_NULL; }
Statement::Type Statement::type(int col) const
{
    switch (sqlite3_column_type(st_.get(), col)) {
    case SQLITE_INTEGER: return Type::Integer;
    case SQLITE_FLOAT: return Type::Real;
    case SQLITE_TEXT: return Type::Text;
    case SQLITE_BLOB: return Type::Blob;
    default: return Type::Null;
    }
}
std::string_view Statement::bytes(int col) const
{
    const void* p = sqlite3_column_blob(st_.get(), col);
    const int n = sqlite3_column_bytes(st_.get(), col);
    return p ? std::string_view(static_cast<const char*>(p), static_cast<std::size_t>(n)) : std::string_view();
}
std::int64_t Statement::int64(int col) const { return sqlite3_column_int64(st_.get(), col); }
std::string Statement::text(int col) const
{
    const unsigned char* p = sqlite3_column_text(st_.get(), col);
    int n = sqlite3_column_bytes(st_.get(), col);
    return p ? std::string(reinterpret_cast<const char*>(p), static_cast<std::size_t>(n)) : std::string();
}
int Statement::columnCount() const { return sqlite3_column_count(st_.get()); }

std::string quoteIdentifier(std::string_view name)
{
    std::string out = "\"";
    for (char c : name) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    return out;
}

}  // namespace store::sql
