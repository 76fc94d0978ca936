// One alias folder's database: its two files behind one connection, the
// transactions that writes run in, and the read that table objects share
// within one event.
#pragma once
#include <chrono>
#include <filesystem>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "store/layout.h"
#include "store/sqlite.h"
#include "store/table_versions.h"

namespace store {


// The two files of one alias folder, reached through one connection: the
// catalogue's main file as the main database and its side file attached
// beside it.
// One connection lets a later transaction span both files atomically, which
// the rollback journal guarantees and WAL would not.
class Database {
public:
    // Opens the folder. When it holds neither file (a first start) the folder
    // and both files are created with the catalogue's empty tables; otherwise
    // nothing is ever created, and a missing file only makes its tables fail
    // to open. A file that holds anything the program does not create there
    // (a trigger, a view, ...) is refused: its tables fail to open with an
    // error naming the file and the object, and the outermost transaction
    // checks again whenever a file's schema has changed since.
    // The catalogue must outlive the database.
    Database(std::filesystem::path folder, const Catalogue& catalogue);

    const std::filesystem::path& folder() const { return folder_; }
    const Catalogue& catalogue() const { return catalogue_; }
    sql::Connection& connection() { return conn_; }

    // The schema name ("main" or "xfer") that holds the table; throws a
    // StoreError naming the table when its file or the table is missing, or
    // the table's columns are not the expected ones.
    std::string schemaFor(const TableLayout& layout);

    // Creates the tables of one file; used for a first start and by tests.
    // `which` names the file in the catalogue.
    static void createFile(const Catalogue& catalogue, const std::filesystem::path& file, const std::string& which);

    // What opening the files did that the user must hear of (a left-over
    // journal of another file set aside), each told once: taking them
    // empties the list.
    std::vector<std::string> takeNotices();

    // Reads of table objects within one event share one read of the file, so
    // that each move costs one indexed seek and not a new lock on the file.
    // releaseCursors() ends it, so that no read lock outlives the event being
    // handled; writes through this connection go on meanwhile.
    // True while the read is held (a file without tables holds none).
    bool keepReading(const std::string& schema);
    void releaseCursors();
    // Changes whenever a shared read ends: rows read in one read epoch, with
    // no write through this connection since, are still what the file holds.
    std::uint64_t readEpoch() const { return readEpoch_; }
    // Changes whenever the table's rows may have changed (see TableVersions);
    // current once a read of its file has begun.
    std::uint64_t tableVersion(const std::string& schema, const std::string& table)
    {
        return versions_.version(schema, table);
    }
    // The rows written to the table through this connection so far.
    std::uint64_t rowWrites(const std::string& schema, const std::string& table) const
    {
        return versions_.rowWrites(schema, table);
    }
    bool onlyRowWritesSince(const std::string& schema, std::uint64_t version)
    {
        return versions_.onlyRowWritesSince(schema, version);
    }

    // Where the database is the local copy of one kept elsewhere (a
    // campaign on a server), the copy hears of every outermost transaction:
    // beforeCommit() stores its changes there first and refuses the commit
    // by throwing a StoreError, so that the copy never holds what the other
    // does not; ended() follows the local commit or rollback. One at a time;
    // it must outlive its attachment.
    class Remote {
    public:
        virtual ~Remote() = default;
        virtual void beforeCommit() = 0;
        virtual void ended(bool committed) = 0;
        // Why the row may not be changed here (the other store keeps it for
        // someone else); nothing when it may.
        virtual std::optional<std::string> refusal(const std::string& table, std::int64_t rowid) = 0;
    };
    void setRemote(Remote* remote) { remote_ = remote; }
    std::optional<std::string> refusal(const std::string& schema, const std::string& table, std::int64_t rowid)
    {
        return remote_ && schema == mainSchema_ ? remote_->refusal(table, rowid) : std::nullopt;
    }
    // The row a row inserted at `rowid` became in the last outermost commit:
    // the other store may have had that number taken already.
    std::int64_t rowNumberAfterCommit(const std::string& schema, const std::string& table, std::int64_t rowid) const;
    // Told by the remote, before the commit, for the schema of the main file.
    void renumbered(const std::string& table, std::int64_t from, std::int64_t to);
    const std::string& mainSchema() const { return mainSchema_; }

    // A nestable transaction (a savepoint): rolled back unless committed.
    // Its failures are StoreErrors.
    class Transaction {
    public:
        explicit Transaction(Database& db);
        // The write lock taken only on the files these statements write
        // (each a write that changes nothing, TableSql::lockForWrite): a
        // commit to one file then needs no super-journal over all of them.
        Transaction(Database& db, const std::vector<std::string>& lockWrites);
        ~Transaction();
        void commit();
        Transaction(const Transaction&) = delete;
        Transaction& operator=(const Transaction&) = delete;
    private:
        Database& db_;
        std::string name_;
        bool done_ = false;
    };

    // Long work that the user can follow and stop. While a watch lives,
    // `keepGoing` is called every few thousand steps of whatever statement
    // runs; once it returns false, the statement in flight and any later one
    // fail, so that the transaction around the work rolls back. The watch
    // ends before that rollback. One at a time; `keepGoing` must not use the
    // database.
    class Watch {
    public:
        Watch(Database& db, std::function<bool()> keepGoing);
        ~Watch();
        bool stopped() const { return stopped_; }
        Watch(const Watch&) = delete;
        Watch& operator=(const Watch&) = delete;
    private:
        Database& db_;
        bool stopped_ = false;
    };

private:
    // Refuses the file behind the schema if it holds an object the program
    // did not create; skipped while its schema is unchanged since the last
    // check.
    void checkObjectsOf(const std::string& schema);
    void checkOpenSchemas();
    // Sets aside a journal beside each file that belongs to another file,
    // before SQLite would play it; see journal.h.
    void admitJournals(std::initializer_list<std::filesystem::path> files);
    // A table made by an earlier version, before its rows had to belong to
    // a stored owner, is made again with that rule, in one transaction.
    void giveOwnerRule(const std::string& schema, const TableLayout& layout);
    // A statement of the transactions' own (BEGIN, a lock, COMMIT, a
    // savepoint) prepared once and kept: preparing them cost more than
    // running them. Reset, ready to run.
    sql::Statement& kept(const std::string& text);
    void runKept(const std::string& text);
    // The change counters of the files the outermost transaction has
    // locked for writing, read when it begins; and after a COMMIT that
    // failed with the transaction ended, whether the files hold it all the
    // same (the fault came after the commit point).
    void noteChangeCounters();
    bool committedAfterAll();

    std::filesystem::path folder_;
    const Catalogue& catalogue_;
    TableVersions versions_;  // before conn_, which reports to it until closed
    sql::Connection conn_;
    Remote* remote_ = nullptr;
    std::map<std::pair<std::string, std::int64_t>, std::int64_t> renumbered_;  // table, row: its number now
    std::string mainSchema_;  // empty when the file is missing or damaged
    std::string mainDamage_;  // why the main file was not opened
    std::string sideSchema_;
    bool sidePending_ = false;  // present, attached when first needed
    int savepoints_ = 0;
    std::uint64_t readEpoch_ = 0;
    std::map<std::string, std::int64_t> checkedSchemaVersion_;
    std::vector<std::string> notices_;
    std::vector<std::pair<std::string, std::uint32_t>> changeCounters_;  // schema, counter
    // After conn_, so that they are finalised first: one statement per
    // schema, left standing on its first row while a read is kept.
    std::map<std::string, sql::Statement> readers_;
    std::map<std::string, sql::Statement> kept_;
};

// The change counter in a database file's header, which every commit that
// writes the file raises; nothing when the file cannot be read.
std::optional<std::uint32_t> fileChangeCounter(const std::string& file);

// Connection settings, applied to every connection the store opens and to the
// benchmark's plain SQLite connection alike.
void applyPragmas(sql::Connection& conn);

// How long a write waits for another program's lock on the files before it
// fails (5 seconds); applies to connections opened after it is set.
void setBusyTimeout(std::chrono::milliseconds wait);
std::chrono::milliseconds busyTimeoutSetting();

}  // namespace store
