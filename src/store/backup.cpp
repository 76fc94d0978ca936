// Backups through SQLite's online backup (the daily copy) or VACUUM INTO on
// the open connection (the one before an import), written under a temporary
// name and renamed, and the pruning that keeps the last seven.
#include "store/backup.h"

#include "store/database.h"
#include "store/durable.h"
#include "store/error.h"
#include "store/journal.h"
#include "store/layout.h"
#include "store/paths.h"
#include "store/session.h"
#include "store/sqlite.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <regex>
#include <system_error>


namespace store {

namespace fs = std::filesystem;

namespace {

std::string escapeRegex(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (std::strchr(R"(\^$.|?*+()[]{})", c))
            out += '\\';
        out += c;
    }
    return out;
}

// The copies of a main file are named after it: people.sqlite gives
// people-2026-12-08.sqlite and people-2026-12-08-071530-123-import.sqlite.
struct BackupNames {
    std::string stem, extension;
    std::regex daily, import;
    std::regex part;  // a copy still under its temporary name

    explicit BackupNames(const Catalogue& catalogue)
    {
        const fs::path file = pathFromUtf8(catalogue.mainFile);
        stem = utf8(file.stem());
        extension = utf8(file.extension());
        const std::string s = escapeRegex(stem), e = escapeRegex(extension);
        daily = std::regex(s + R"(-\d{4}-\d{2}-\d{2})" + e);
        import = std::regex(s + R"(-\d{4}-\d{2}-\d{2}-\d{6}-\d{3}-import)" + e);
        part = std::regex(s + R"(-\d{4}-\d{2}-\d{2}(-\d{6}-\d{3}-import)?)" + e + R"(\.part)");
    }
};
// A copy being written is written without pause; one untouched this long was
// left by a run that ended part way.
constexpr auto tornAfter = std::chrono::hours(1);

std::string stamp(Clock::time_point now, bool withTime)
{
    std::string s = localStamp(now, withTime ? "%Y-%m-%d-%H%M%S" : "%Y-%m-%d");
    if (withTime) {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
        char part[8];
        std::snprintf(part, sizeof part, "-%03d", static_cast<int>(ms));
        s += part;
    }
    return s;
}

// The schema that holds the main file on this connection; empty when none.
std::string mainSchema(Database& db)
{
    sql::Statement list(db.connection(), "PRAGMA database_list");
    while (list.step()) {
        const std::string file = list.text(2);
        if (!file.empty() && pathFromUtf8(file).filename() == pathFromUtf8(db.catalogue().mainFile))
            return list.text(1);
    }
    return {};
}

// Deletes the oldest copies beyond the number kept, never the one just made
// (a clock set back gives it an older name than the rest).
void prune(const fs::path& folder, const std::regex& pattern, const fs::path& made)
{
    std::vector<fs::path> copies = filesMatching(folder, pattern);
    std::erase(copies, made);
    for (std::size_t i = 0; i + backupsKept < copies.size() + 1; ++i) {
        std::error_code ec;
        if (!fs::remove(copies[i], ec) || ec)
            throw StoreError("Cannot delete the old backup " + utf8(copies[i]) + (ec ? ": " + ec.message() : ""));
    }
}

// Removes the half-written copies that runs which ended part way left behind,
// whatever their day. One still being written (by another program on the
// same folder) is left to it; failures only leave a file for the next time.
void removeTornCopies(const fs::path& folder, const std::regex& partName)
{
    const auto now = fs::file_time_type::clock::now();
    std::vector<fs::path> torn;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code fileEc;
        if (!std::regex_match(utf8(it->path().filename()), partName) || !it->is_regular_file(fileEc))
            continue;
        const auto written = fs::last_write_time(it->path(), fileEc);
        const auto age = now > written ? now - written : written - now;  // a clock set back counts as well
        if (!fileEc && age > tornAfter)
            torn.push_back(it->path());
    }
    for (const fs::path& file : torn)
        fs::remove(file, ec);
}

// Writes a copy under `name` in the Backups folder of `dataFolder`: `write`
// fills the `.part` file, which is then given its own identity and renamed.
fs::path writeCopy(const fs::path& dataFolder, const Catalogue& catalogue, const std::string& name,
                   const std::function<void(const fs::path& part)>& write)
{
    const fs::path folder = dataFolder / backupFolderName;
    const fs::path target = folder / pathFromUtf8(name);
    fs::path part = target;
    part += ".part";
    std::error_code ec;
    // A new folder's name must last as its first copy does.
    if (fs::create_directories(folder, ec))
        syncFolder(dataFolder, ec);
    if (ec || !fs::is_directory(folder))
        throw StoreError("Cannot make the backup folder " + utf8(folder) + (ec ? ": " + ec.message() : ": a file has its name"));
    if (fs::exists(target, ec))
        throw StoreError("Cannot make the backup " + utf8(target) + ": the file exists");
    // Copies that earlier runs left half written: this one, and older ones.
    if (fs::is_regular_file(part, ec))
        fs::remove(part, ec);
    removeTornCopies(folder, BackupNames(catalogue).part);
    try {
        write(part);
        // A file of its own, so that the live file's journal never plays into it.
        if (!giveNewIdentity(part, ec))
            throw std::system_error(ec);
    } catch (const std::exception& e) {
        if (fs::is_regular_file(part, ec))
            fs::remove(part, ec);
        throw StoreError("Cannot make the backup " + utf8(target) + ": " + e.what());
    }
    // Synced before its final name and the folder after, so that a power cut
    // leaves a finished copy under that name, never under `.part`.
    if (!renameDurably(part, target, ec)) {
        const std::string why = ec.message();
        fs::remove(part, ec);
        throw StoreError("Cannot make the backup " + utf8(target) + ": " + why);
    }
    return target;
}

// Writes the copy of the main file behind `schema` of `conn` under `name` in
// the Backups folder of `dataFolder`; `beforeCopy` runs just before it.
fs::path copyInto(const sql::Connection& conn, const fs::path& dataFolder, const Catalogue& catalogue,
                  const std::string& schema, const std::string& name, const std::function<void()>& beforeCopy)
{
    return writeCopy(dataFolder, catalogue, name, [&](const fs::path& part) {
        if (beforeCopy)
            beforeCopy();
        sql::Statement vacuum(conn, "VACUUM " + sql::quoteIdentifier(schema) + " INTO ?1");
        vacuum.bind(1, std::string_view(utf8(part)));
        vacuum.run();
    });
}

[[noreturn]] void failStep(int rc) { throw sql::SqlError(rc, sqlite3_errstr(rc)); }

// Fills `part` with the pages of the file behind `schema` of `source`
// through SQLite's online backup, `pages` at a time (all at once when
// negative). A step reads the file under a lock of its own, let go when the
// step ends; a write by another connection meanwhile makes the next step
// begin the copy again, so that what ends is the file as it stood when the
// last step ended. `between` runs after every step that left pages to copy,
// told whether that step began again; what it throws ends the copy.
void copyPages(const sql::Connection& source, const std::string& schema, const fs::path& part, int pages,
               const std::function<void(bool restarted)>& between)
{
    sql::Connection dest = sql::Connection::open(utf8(part), true);
    // Nothing to roll back to: a copy that fails is deleted, and one that
    // ends is synced before its rename.
    dest.exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF");
    std::unique_ptr<sqlite3_backup, int (*)(sqlite3_backup*)> backup(
        sqlite3_backup_init(dest.get(), "main", source.get(), schema.c_str()), &sqlite3_backup_finish);
    if (!backup)
        throw sql::SqlError(sqlite3_extended_errcode(dest.get()), sqlite3_errmsg(dest.get()));
    std::optional<std::chrono::steady_clock::time_point> busySince;
    int copied = 0;
    for (;;) {
        const int rc = sqlite3_backup_step(backup.get(), pages);
        if (rc == SQLITE_DONE)
            break;
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
            // A write under way elsewhere: waited for as long as any statement would.
            const auto now = std::chrono::steady_clock::now();
            if (!busySince)
                busySince = now;
            else if (now - *busySince > busyTimeoutSetting())
                failStep(rc);
            if (between)
                between(false);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        if (rc != SQLITE_OK)
            failStep(rc);
        busySince.reset();
        const int now = sqlite3_backup_pagecount(backup.get()) - sqlite3_backup_remaining(backup.get());
        const bool restarted = now <= copied;
        copied = now;
        if (between)
            between(restarted);
    }
    const int rc = sqlite3_backup_finish(backup.release());
    if (rc != SQLITE_OK)
        failStep(rc);
}

// VACUUM runs only while no other statement of its connection does.
std::function<void()> noReadInProgress(Database& db)
{
    return [&db] { db.releaseCursors(); };
}

std::string dailyName(const BackupNames& names, Clock::time_point now)
{
    return names.stem + "-" + stamp(now, false) + names.extension;
}

std::mutex stepHookMutex;
std::function<void()> stepHook;

void runStepHook()
{
    std::function<void()> hook;
    {
        std::lock_guard lock(stepHookMutex);
        hook = stepHook;
    }
    if (hook)
        hook();
}

// Pages a daily copy takes at a time: a millisecond or two of reading, so
// that a save never waits long for a step to end.
constexpr int pagesPerStep = 64;
// How long saves may keep beginning the copy again before it keeps its read.
constexpr auto holdAfter = std::chrono::seconds(30);

// Another connection holds the file's write lock or waits for it: a save
// is under way.
bool writerAtWork(const sql::Connection& conn)
{
    sqlite3_file* file = nullptr;
    if (sqlite3_file_control(conn.get(), "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file ||
        !file->pMethods)
        return false;
    int reserved = 0;
    return file->pMethods->xCheckReservedLock(file, &reserved) == SQLITE_OK && reserved;
}

// A daily copy going on beside the program's saves. Between steps it holds
// no read and lets a save under way finish first; a save makes the copy
// begin again, so that a user saving now and then could keep it from ever
// ending: once saves have kept beginning it for holdAfter, it keeps its read
// from one step to the next, and a save waits for the rest of the copy,
// though never past half the busy timeout (the copy then lets it through
// and goes on as before).
class BesideSaves {
public:
    BesideSaves(sql::Connection& conn, const std::atomic<bool>& stopping) : conn_(conn), stopping_(stopping) {}
    ~BesideSaves()
    {
        try {
            release();
        } catch (const sql::SqlError&) {
        }
    }
    BesideSaves(const BesideSaves&) = delete;
    BesideSaves& operator=(const BesideSaves&) = delete;

    void between(bool restarted)
    {
        using namespace std::chrono;
        if (stopping_)
            failStep(SQLITE_INTERRUPT);
        runStepHook();
        const auto now = steady_clock::now();
        if (holding_) {
            if (!writerAtWork(conn_))
                writerSince_.reset();
            else if (!writerSince_)
                writerSince_ = now;
            else if (now - *writerSince_ >= busyTimeoutSetting() / 2)
                release();
            return;
        }
        if (restarted && !restartedAt_)
            restartedAt_ = now;
        else if (restarted && now - *restartedAt_ >= holdAfter)
            hold();
        // A save under way goes first: a step now would only make its
        // commit wait, and be undone by it.
        while (!holding_ && !stopping_ && writerAtWork(conn_) && steady_clock::now() - now < busyTimeoutSetting())
            std::this_thread::sleep_for(milliseconds(1));
    }

    // Lets go of a read held across steps.
    void release()
    {
        if (holding_)
            conn_.exec("COMMIT");
        holding_ = false;
        restartedAt_.reset();
        writerSince_.reset();
    }

private:
    void hold()
    {
        try {
            conn_.exec("BEGIN; SELECT count(*) FROM sqlite_schema");
            holding_ = true;
        } catch (const sql::SqlError&) {
            // A save holds the file: the read is taken at the next beginning.
            if (!conn_.autocommit())
                conn_.exec("ROLLBACK");
        }
    }

    sql::Connection& conn_;
    const std::atomic<bool>& stopping_;
    bool holding_ = false;
    // The first time saves began the copy again, and since when a save has
    // waited for a read held across steps.
    std::optional<std::chrono::steady_clock::time_point> restartedAt_, writerSince_;
};

}  // namespace

void setBackupStepHook(std::function<void()> hook)
{
    std::lock_guard lock(stepHookMutex);
    stepHook = std::move(hook);
}

std::vector<fs::path> filesMatching(const fs::path& folder, const std::regex& pattern)
{
    std::vector<fs::path> found;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (std::regex_match(utf8(it->path().filename()), pattern) && it->is_regular_file(ec))
            found.push_back(it->path());
    // The names hold the date and time in an order that sorts as text.
    std::sort(found.begin(), found.end());
    return found;
}

std::vector<fs::path> dailyBackups(const fs::path& backupFolder, const Catalogue& catalogue)
{
    return filesMatching(backupFolder, BackupNames(catalogue).daily);
}

std::vector<fs::path> importBackups(const fs::path& backupFolder, const Catalogue& catalogue)
{
    return filesMatching(backupFolder, BackupNames(catalogue).import);
}

std::optional<fs::path> dailyBackup(Database& db, Clock::time_point now)
{
    const std::string schema = mainSchema(db);
    if (schema.empty())
        return std::nullopt;
    const BackupNames names(db.catalogue());
    const std::string name = dailyName(names, now);
    std::error_code ec;
    if (fs::exists(db.folder() / backupFolderName / name, ec))
        return std::nullopt;
    // In one step: the program waits for it anyway.
    fs::path made = writeCopy(db.folder(), db.catalogue(), name, [&](const fs::path& part) {
        db.releaseCursors();
        copyPages(db.connection(), schema, part, -1, {});
    });
    prune(db.folder() / backupFolderName, names.daily, made);
    return made;
}

std::optional<fs::path> dailyBackup(Session& session, const std::string& alias)
{
    std::shared_ptr<Database> db;
    try {
        db = session.databaseForAlias(alias);
    } catch (const StoreError&) {
        return std::nullopt;
    }
    return dailyBackup(*db);
}

fs::path importBackup(Database& db, Clock::time_point now)
{
    const std::string schema = mainSchema(db);
    if (schema.empty())
        throw StoreError("Cannot make a backup before the import: the file " + db.catalogue().mainFile +
                         " is missing from " + utf8(db.folder()));
    const BackupNames names(db.catalogue());
    fs::path made = copyInto(db.connection(), db.folder(), db.catalogue(), schema,
                             names.stem + "-" + stamp(now, true) + "-import" + names.extension, noReadInProgress(db));
    prune(db.folder() / backupFolderName, names.import, made);
    return made;
}

std::unique_ptr<DailyBackupJob> DailyBackupJob::start(Database& db, Done done, Clock::time_point now)
{
    if (mainSchema(db).empty())
        return nullptr;
    const BackupNames names(db.catalogue());
    std::string name = dailyName(names, now);
    std::error_code ec;
    if (fs::exists(db.folder() / backupFolderName / name, ec))
        return nullptr;
    std::unique_ptr<DailyBackupJob> job(new DailyBackupJob(db.folder(), db.catalogue(), std::move(name), std::move(done)));
    std::unique_lock lock(job->mutex_);
    job->changed_.wait(lock, [&] { return job->begun_ || job->ended_; });
    return job;
}

std::unique_ptr<DailyBackupJob> DailyBackupJob::start(Session& session, const std::string& alias, Done done)
{
    std::shared_ptr<Database> db;
    try {
        db = session.databaseForAlias(alias);
    } catch (const StoreError&) {
        return nullptr;
    }
    return start(*db, std::move(done));
}

DailyBackupJob::DailyBackupJob(fs::path dataFolder, const Catalogue& catalogue, std::string name, Done done)
    : dataFolder_(std::move(dataFolder)), catalogue_(catalogue), name_(std::move(name)), done_(std::move(done)),
      thread_(&DailyBackupJob::run, this)
{
}

DailyBackupJob::~DailyBackupJob() { stop(); }

void DailyBackupJob::stop()
{
    stopping_ = true;
    {
        std::lock_guard lock(mutex_);
        if (copying_)
            sqlite3_interrupt(copying_);
    }
    if (thread_.joinable())
        thread_.join();
}

bool DailyBackupJob::wait(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [this] { return ended_; });
}

std::optional<fs::path> DailyBackupJob::made() const
{
    std::lock_guard lock(mutex_);
    return made_;
}

void DailyBackupJob::markBegun()
{
    std::lock_guard lock(mutex_);
    begun_ = true;
    changed_.notify_all();
}

// The store's busy timeout, in steps short enough that a stop is not kept
// waiting for another program's lock, nor a step for a save's commit.
int DailyBackupJob::waitForLock(void* job, int attempts)
{
    constexpr auto step = std::chrono::milliseconds(1);
    if (static_cast<DailyBackupJob*>(job)->stopping_ || attempts * step >= busyTimeoutSetting())
        return 0;
    std::this_thread::sleep_for(step);
    return 1;
}

void DailyBackupJob::run()
{
    std::optional<fs::path> made;
    std::exception_ptr failure;
    sql::Connection conn;
    try {
        // The connection only reads: the store's write settings do not
        // apply, its wait for another's lock does, from the first statement.
        try {
            conn = sql::Connection::open(utf8(dataFolder_ / pathFromUtf8(catalogue_.mainFile)), false);
        } catch (const sql::SqlError& e) {
            throw StoreError("Cannot make the backup " + utf8(dataFolder_ / backupFolderName / name_) + ": " + e.what());
        }
        sqlite3_busy_handler(conn.get(), &DailyBackupJob::waitForLock, this);
        {
            std::lock_guard lock(mutex_);
            copying_ = conn.get();
        }
        if (!stopping_) {
            BesideSaves pace(conn, stopping_);
            made = writeCopy(dataFolder_, catalogue_, name_, [&](const fs::path& part) {
                copyPages(conn, "main", part, pagesPerStep, [&](bool restarted) {
                    markBegun();
                    pace.between(restarted);
                });
                pace.release();
            });
            prune(dataFolder_ / backupFolderName, BackupNames(catalogue_).daily, *made);
        }
    } catch (...) {
        failure = std::current_exception();
    }
    {
        std::lock_guard lock(mutex_);
        copying_ = nullptr;
    }
    conn = sql::Connection();
    if (!stopping_ && done_)
        done_(failure);
    std::lock_guard lock(mutex_);
    made_ = failure ? std::nullopt : made;
    ended_ = true;
    changed_.notify_all();
}

}  // namespace store
