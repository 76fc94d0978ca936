// Opening an alias folder's files (creating them on a first start), attaching
// the side file, savepoint transactions and the shared read of an event.
#include "store/database.h"

#include "store/durable.h"
#include "store/error.h"
#include "store/journal.h"
#include "store/paths.h"
#include "store/schema.h"

#include <chrono>
#include <fstream>
#include <optional>
#include <system_error>
#include <utility>

namespace store {

namespace fs = std::filesystem;

namespace {

std::chrono::milliseconds busyTimeout{5000};

}  // namespace

void setBusyTimeout(std::chrono::milliseconds wait) { busyTimeout = wait; }

std::chrono::milliseconds busyTimeoutSetting() { return busyTimeout; }

void applyPragmas(sql::Connection& conn)
{
    // Rollback journal with full syncs: every commit is durable and atomic
    // across attached files; see the README. EXTRA syncs the folder after a
    // commit deletes its journal: otherwise a power cut can bring the journal
    // back, and the next open rolls a commit of one file back. A file another program is
    // writing is waited for a few seconds before the store gives up: the
    // wait is set first, since setting the journal reads the file. The
    // files' own rules on which rows belong to which (foreign keys) hold
    // only where a connection asks for them.
    conn.exec("PRAGMA busy_timeout=" + std::to_string(busyTimeout.count()) +
              "; PRAGMA journal_mode=DELETE; PRAGMA synchronous=EXTRA; PRAGMA foreign_keys=ON;");
}

namespace {


std::string sqlLiteral(const std::string& s)
{
    std::string out = "'";
    for (char c : s) {
        if (c == '\'')
            out += '\'';
        out += c;
    }
    return out + "'";
}

}  // namespace

void Database::createFile(const Catalogue& catalogue, const fs::path& file, const std::string& which)
{
    sql::Connection conn = sql::Connection::open(utf8(file), true);
    applyPragmas(conn);
    std::string ddl = "BEGIN;\n";
    for (const auto& layout : catalogue.tables)
        if (layout.file == which)
            ddl += createTableSql(layout, "");
    ddl += identityPragma("") + "COMMIT;";
    conn.exec(ddl);
}

namespace {

std::uint32_t bigEndian(const unsigned char* p)
{
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | std::uint32_t(p[3]);
}

// Why a file cannot be opened as a sound database, as the user is told it;
// empty when it looks whole. Only reads: a damaged file is left exactly as it
// was. The first read also plays back the journal of an interrupted write,
// which is what makes the header trustworthy.
std::string damageOf(sql::Connection& conn, const fs::path& file)
{
    const std::string damaged = "the file " + utf8(file) + " is damaged: ";
    try {
        sql::Statement st(conn, "SELECT count(*) FROM sqlite_master");
        st.step();
    } catch (const sql::SqlError& e) {
        return damaged + e.what();
    }
    std::error_code ec;
    const auto size = fs::file_size(file, ec);
    if (ec || size == 0)
        return {};  // an empty file is an empty database
    unsigned char header[100] = {};
    std::ifstream in(file, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(header), sizeof header))
        return damaged + "it is truncated";
    std::uint32_t pageSize = std::uint32_t(header[16]) << 8 | header[17];
    if (pageSize == 1)
        pageSize = 65536;
    if (pageSize < 512 || (pageSize & (pageSize - 1)) != 0)
        return damaged + "its header is not valid";
    // The page count in the header counts when it was written with the
    // change counter beside it, as every SQLite since 2010 does.
    const std::uint32_t pages = bigEndian(header + 28);
    const bool countValid = bigEndian(header + 92) == bigEndian(header + 24) && pages != 0;
    if (size % pageSize != 0 || (countValid && std::uintmax_t(pages) * pageSize > size))
        return damaged + "it is truncated";
    return {};
}

}  // namespace

Database::Database(fs::path folder, const Catalogue& catalogue) : folder_(std::move(folder)), catalogue_(catalogue)
{
    const std::string& mainFile = catalogue_.mainFile;
    const std::string& sideFile = catalogue_.sideFile;
    const fs::path mainPath = folder_ / mainFile;
    const fs::path sidePath = folder_ / sideFile;
    std::error_code ec;
    // A file that cannot even be looked up is named, never taken for a
    // missing one: a first start would otherwise begin beside it.
    const auto present = [&ec](const fs::path& file) {
        const bool there = fs::exists(file, ec);
        if (ec)
            throw StoreError(msg::cannotOpenDatabase(utf8(file), ec.message()));
        return there;
    };
    bool haveMain = present(mainPath);
    bool haveSide = present(sidePath);
    // A first start builds both files aside and only then renames them, so
    // that a kill leaves either no file (and the next start begins again) or
    // files waiting under their temporary names, which the next start
    // finishes. A file never comes into being beside existing data otherwise,
    // and nothing is ever created over a file that is there.
    std::vector<std::pair<fs::path, std::string>> toMake;
    if (!haveMain && !haveSide) {
        toMake = {{mainPath, mainFile}, {sidePath, sideFile}};
    } else {
        if (!haveMain && present(pendingName(mainPath)))
            toMake.emplace_back(mainPath, mainFile);
        if (!haveSide && present(pendingName(sidePath)))
            toMake.emplace_back(sidePath, sideFile);
    }
    try {
        if (!toMake.empty()) {
            fs::create_directories(folder_, ec);
            if (ec)
                throw StoreError(msg::cannotCreateFolder(utf8(folder_), ec.message()));
            // The files of a first start hold no records, so one left half
            // made is simply made again.
            for (const auto& [target, which] : toMake) {
                removePending(target);
                try {
                    createFile(catalogue_, pendingName(target), which);
                } catch (const sql::SqlError& e) {
                    throw StoreError(msg::cannotCreateFile(utf8(pendingName(target)), e.what()));
                }
            }
            // Both files take their names or neither does: after a failed
            // rename the ones renamed go back to their temporary names, so
            // that no start finds one file of a pair and takes it for data.
            std::vector<fs::path> renamed;
            for (const auto& [target, which] : toMake) {
                std::string why;
                if (present(target))
                    why = "the file already exists";
                else if (!renameDurably(pendingName(target), target, ec))
                    why = ec.message();
                if (!why.empty()) {
                    std::error_code undo;
                    if (!fs::exists(pendingName(target), undo) && fs::exists(target, undo))
                        renamed.push_back(target);  // renamed, but its folder not synced
                    for (const fs::path& done : renamed)
                        renameDurably(done, pendingName(done), undo);
                    throw StoreError(msg::cannotCreateFile(utf8(target), why));
                }
                renamed.push_back(target);
            }
            haveMain = haveSide = true;
        }
        admitJournals({mainPath, sidePath});
        if (haveMain) {
            conn_ = sql::Connection::open(utf8(mainPath), false);
            mainDamage_ = damageOf(conn_, mainPath);
            if (mainDamage_.empty()) {
                mainSchema_ = "main";
                sidePending_ = haveSide;
            } else if (haveSide) {
                // The side file's tables still open; the damaged file is only
                // read, never written, so that it can still be rescued.
                conn_ = sql::Connection::open(utf8(sidePath), false);
                sideSchema_ = "main";
            } else {
                // Nothing opens; a connection without files keeps the
                // object usable for the questions asked of it.
                conn_ = sql::Connection::open(":memory:", true);
            }
        } else {
            conn_ = sql::Connection::open(utf8(sidePath), false);
            sideSchema_ = "main";
        }
        applyPragmas(conn_);
        if (mainSchema_ == "main" || sideSchema_ == "main")
            ensureFileIdentity(conn_, "main");
        versions_.watch(conn_.get(), {&mainSchema_, &sideSchema_});
    } catch (const sql::SqlError& e) {
        throw StoreError(msg::cannotOpenDatabase(utf8(folder_), e.what()));
    }
}

std::string Database::schemaFor(const TableLayout& layout)
{
    if (layout.file == catalogue_.sideFile && sidePending_) {
        releaseCursors();  // ATTACH needs no read in progress
        admitJournals({folder_ / catalogue_.sideFile});
        try {
            // mode=rw: attaching must never create the file.
            const std::string attach = "ATTACH DATABASE " + sqlLiteral(fileUri(folder_ / catalogue_.sideFile, "rw")) + " AS xfer";
            conn_.exec(attach);
            // As at open: a read-write open that failed for a moment leaves
            // the file read-only for the session unless it is opened again.
            for (int attempt = 0; conn_.readOnly("xfer"); ++attempt) {
                conn_.exec("DETACH DATABASE xfer");
                if (attempt == 2)
                    throw StoreError(msg::cannotOpenTable(layout.displayName, msg::readOnlyFile(utf8(folder_ / catalogue_.sideFile))));
                conn_.exec(attach);
            }
            conn_.exec("PRAGMA xfer.journal_mode=DELETE; PRAGMA xfer.synchronous=EXTRA;");
            ensureFileIdentity(conn_, "xfer");
        } catch (const sql::SqlError& e) {
            throw StoreError(msg::cannotOpenTable(layout.displayName, e.what()));
        }
        sideSchema_ = "xfer";
        sidePending_ = false;
    }
    const bool inMain = layout.file == catalogue_.mainFile;
    const std::string& schema = inMain ? mainSchema_ : sideSchema_;
    if (schema.empty() && inMain && !mainDamage_.empty())
        throw StoreError(msg::cannotOpenTable(layout.displayName, mainDamage_));
    if (schema.empty())
        throw StoreError(msg::fileMissing(layout.displayName, layout.file, utf8(folder_)));
    // The table's own check first, so that its faults are named by table.
    checkTable(conn_, schema, layout, utf8(folder_ / layout.file));
    checkObjectsOf(schema);
    giveOwnerRule(schema, layout);
    return schema;
}

void Database::admitJournals(std::initializer_list<fs::path> files)
{
    for (const fs::path& file : files)
        if (std::string notice = setAsideForeignJournal(file); !notice.empty())
            notices_.push_back(std::move(notice));
}

std::vector<std::string> Database::takeNotices() { return std::exchange(notices_, {}); }

void Database::giveOwnerRule(const std::string& schema, const TableLayout& layout)
{
    try {
        if (!predatesOwner(conn_, schema, layout))
            return;
        Transaction tx(*this);
        // Checked again under the write lock: another program may have done it.
        if (predatesOwner(conn_, schema, layout))
            giveOwner(conn_, schema, layout);
        tx.commit();
    } catch (const sql::SqlError&) {
        // A file that cannot be written now (read-only, locked) is used as
        // an earlier version made it, and given the rule at a later opening.
    } catch (const StoreError&) {
    }
}

void Database::checkObjectsOf(const std::string& schema)
{
    const std::string file = schema == mainSchema_ ? catalogue_.mainFile : catalogue_.sideFile;
    const std::string fileName = utf8(folder_ / file);
    std::int64_t version = 0;
    try {
        sql::Statement& st = kept("PRAGMA " + schema + ".schema_version");
        st.step();
        version = st.int64(0);
        st.reset();
    } catch (const sql::SqlError& e) {
        throw StoreError(msg::cannotOpenDatabase(fileName, e.what()));
    }
    auto checked = checkedSchemaVersion_.find(schema);
    if (checked != checkedSchemaVersion_.end() && checked->second == version)
        return;
    checkedSchemaVersion_.erase(schema);
    checkObjects(conn_, schema, catalogue_, file, fileName);
    checkedSchemaVersion_[schema] = version;
}

void Database::checkOpenSchemas()
{
    // Another program may have changed a file since it was opened; what it
    // added would act within this transaction.
    for (const std::string* schema : {&mainSchema_, &sideSchema_})
        if (!schema->empty())
            checkObjectsOf(*schema);
}

Database::Watch::Watch(Database& db, std::function<bool()> keepGoing) : db_(db)
{
    // Often enough for a window to answer within a fraction of a second,
    // seldom enough to cost nothing measurable.
    constexpr int steps = 1000;
    db_.conn_.setProgressHandler(steps, [this, keepGoing = std::move(keepGoing)] {
        if (!stopped_ && !keepGoing())
            stopped_ = true;
        return !stopped_;
    });
}

Database::Watch::~Watch() { db_.conn_.setProgressHandler(0, {}); }

bool Database::keepReading(const std::string& schema)
{
    sql::Statement& reader = readers_[schema];
    if (reader && reader.active())
        return true;
    if (!reader)
        reader = sql::Statement(conn_, "SELECT 1 FROM " + schema + ".sqlite_master");
    ++readEpoch_;
    return reader.step();
}

sql::Statement& Database::kept(const std::string& text)
{
    auto it = kept_.find(text);
    if (it == kept_.end()) {
        // A handful of texts in practice; a bound keeps odd nesting cheap.
        if (kept_.size() >= 32)
            kept_.clear();
        it = kept_.emplace(text, sql::Statement(conn_, text)).first;
    }
    it->second.reset();
    return it->second;
}

void Database::runKept(const std::string& text)
{
    sql::Statement& st = kept(text);
    st.run();
    st.reset();
}

void Database::releaseCursors()
{
    ++readEpoch_;
    for (auto& [schema, reader] : readers_)
        reader.reset();
}

Database::Transaction::Transaction(Database& db) : Transaction(db, {}) {}

Database::Transaction::Transaction(Database& db, const std::vector<std::string>& lockWrites)
    : db_(db), name_("sp" + std::to_string(++db.savepoints_))
{
    try {
        if (db_.savepoints_ == 1) {
            // The outermost one takes the write lock at once, waiting while
            // another program holds it. SQLite waits only for a connection
            // that holds no read, so the shared read ends first; a read kept
            // into a write would fail at once instead.
            db_.releaseCursors();
            db_.renumbered_.clear();
            if (lockWrites.empty()) {
                db_.runKept("BEGIN IMMEDIATE");
            } else {
                db_.runKept("BEGIN");
                try {
                    for (const std::string& lock : lockWrites)
                        db_.runKept(lock);
                } catch (const sql::SqlError&) {
                    db_.conn_.exec("ROLLBACK");
                    throw;
                }
            }
            try {
                db_.checkOpenSchemas();
                db_.noteChangeCounters();
                db_.versions_.noticeOthers();
            } catch (const StoreError&) {
                --db_.savepoints_;
                try {
                    db_.conn_.exec("ROLLBACK");
                } catch (const sql::SqlError&) {
                    // The refusal is the error to report.
                }
                throw;
            }
        } else {
            db_.runKept("SAVEPOINT " + name_);
        }
    } catch (const sql::SqlError& e) {
        --db_.savepoints_;
        throw StoreError(msg::transactionFailed(e.what()));
    }
}

Database::Transaction::~Transaction()
{
    if (!done_) {
        db_.versions_.rolledBack();
        try {
            if (db_.savepoints_ == 1)
                db_.conn_.exec("ROLLBACK");
            else
                db_.conn_.exec("ROLLBACK TO " + name_ + "; RELEASE " + name_);
        } catch (...) {
        }
    }
    const bool outermost = db_.savepoints_ == 1;
    --db_.savepoints_;
    // Told once the transaction is over, so that the remote may begin one.
    if (!done_ && outermost) {
        db_.renumbered_.clear();
        if (db_.remote_)
            db_.remote_->ended(false);
    }
}

void Database::Transaction::commit()
{
    if (db_.savepoints_ == 1 && db_.remote_)
        db_.remote_->beforeCommit();
    try {
        // A commit refused before it wrote (the lock not granted in time)
        // leaves the transaction open, and the destructor rolls it back.
        db_.runKept(db_.savepoints_ == 1 ? "COMMIT" : "RELEASE " + name_);
    } catch (const sql::SqlError& e) {
        // Any other failed COMMIT ends the transaction. A fault after the
        // commit point (removing the journal or super-journal, unlocking)
        // leaves it stored, and reporting it unsaved would have it stored
        // twice when the user saves again.
        if (db_.savepoints_ != 1 || !db_.conn_.autocommit() || !db_.committedAfterAll())
            throw StoreError(msg::transactionFailed(e.what()));
    }
    if (db_.savepoints_ == 1)
        db_.versions_.committed();
    done_ = true;
    if (db_.savepoints_ == 1 && db_.remote_)
        db_.remote_->ended(true);
}

std::int64_t Database::rowNumberAfterCommit(const std::string& schema, const std::string& table,
                                            std::int64_t rowid) const
{
    if (schema != mainSchema_)
        return rowid;
    auto it = renumbered_.find({table, rowid});
    return it == renumbered_.end() ? rowid : it->second;
}

void Database::renumbered(const std::string& table, std::int64_t from, std::int64_t to)
{
    renumbered_[{table, from}] = to;
}

namespace {

// The file change counter of a database's header, which every commit that
// writes the file raises; 0 for a file without a header yet.
std::optional<std::uint32_t> changeCounter(const std::string& file)
{
    std::ifstream in(pathFromUtf8(file), std::ios::binary);
    if (!in)
        return std::nullopt;
    unsigned char header[28] = {};
    in.read(reinterpret_cast<char*>(header), sizeof header);
    if (in.gcount() == 0)
        return 0;
    if (in.gcount() != sizeof header)
        return std::nullopt;
    return bigEndian(header + 24);
}

}  // namespace

std::optional<std::uint32_t> fileChangeCounter(const std::string& file) { return changeCounter(file); }

void Database::noteChangeCounters()
{
    // Under the write lock, before anything is written: what the file holds
    // is the last commit's, and no other program can commit until this one
    // ends. Only this transaction moves the counter on from here.
    changeCounters_.clear();
    for (const std::string* schema : {&mainSchema_, &sideSchema_}) {
        if (schema->empty() || !conn_.writing(*schema))
            continue;
        if (auto counter = changeCounter(conn_.fileName(*schema)))
            changeCounters_.emplace_back(*schema, *counter);
    }
}

bool Database::committedAfterAll()
{
    // A first read of each file settles it as every reader finds it: a hot
    // journal left by the failure (its deletion failed) is played back, one
    // whose super-journal is gone is discarded. While that read holds the
    // file no other program can commit, so the counter read beside it tells
    // whether this transaction is in the file. A file that cannot be read
    // yet is asked again a few times.
    bool stored = false;
    for (const auto& [schema, before] : changeCounters_) {
        std::optional<std::uint32_t> now;
        for (int attempt = 0; attempt < 3 && !now; ++attempt) {
            // A read kept from before the commit (the stored row read to
            // compare with an edit) would see the file as the failed commit
            // left it, before the journal is played back: a new read.
            releaseCursors();
            try {
                if (keepReading(schema))
                    now = changeCounter(conn_.fileName(schema));
            } catch (const sql::SqlError&) {
            }
            releaseCursors();
        }
        if (!now)
            return false;  // unknown: reported as not saved, as before
        stored = stored || *now != before;
    }
    return stored;
}

}  // namespace store
