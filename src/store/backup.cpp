// Backups through SQLite's online backup, on a connection of their own (the
// daily copy) or on the open one (the one before old tables are brought
// in), written under a temporary name and renamed, and the pruning that
// keeps the last seven.
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

// Readies the folder for a copy under `name` in the Backups folder of
// `dataFolder` and returns the `.part` file to write it to.
fs::path preparePart(const fs::path& dataFolder, const Catalogue& catalogue, const std::string& name)
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
    return part;
}

fs::path targetOf(const fs::path& part) { return part.parent_path() / part.stem(); }

[[noreturn]] void failCopy(const fs::path& part, const std::string& why)
{
    std::error_code ec;
    if (fs::is_regular_file(part, ec))
        fs::remove(part, ec);
    throw StoreError("Cannot make the backup " + utf8(targetOf(part)) + ": " + why);
}

// Gives a written `.part` file its own identity, so that the live file's
// journal never plays into it, and its final name; returns that.
fs::path finishPart(const fs::path& part)
{
    const fs::path target = targetOf(part);
    std::error_code ec;
    if (!giveNewIdentity(part, ec))
        failCopy(part, ec.message());
    // Synced before its final name and the folder after, so that a power cut
    // leaves a finished copy under that name, never under `.part`.
    if (!renameDurably(part, target, ec))
        failCopy(part, ec.message());
    return target;
}

// Writes a copy under `name` in the Backups folder of `dataFolder`: `write`
// fills the `.part` file, which is then given its own identity and renamed.
fs::path writeCopy(const fs::path& dataFolder, const Catalogue& catalogue, const std::string& name,
                   const std::function<void(const fs::path& part)>& write)
{
    const fs::path part = preparePart(dataFolder, catalogue, name);
    try {
        write(part);
    } catch (const std::exception& e) {
        failCopy(part, e.what());
    }
    return finishPart(part);
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

// Writes the copy of the main file behind `schema` of the open database
// under `name` in the Backups folder of its data folder.
fs::path copyInto(Database& db, const std::string& schema, const std::string& name)
{
    return writeCopy(db.folder(), db.catalogue(), name, [&](const fs::path& part) { copyOf(db, schema, part); });
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

// Pages a daily copy takes at a time: a fraction of a millisecond of
// reading, between two events of the program.
constexpr int pagesPerStep = 64;

}  // namespace

void copyOf(Database& db, const std::string& schema, const fs::path& file)
{
    // Pages, not rows: no index is built again, so the copy costs what the
    // file holds. In steps of a megabyte, before each of which the one who
    // watches the connection may stop it.
    constexpr int pages = 256;
    db.releaseCursors();
    const sql::Connection& conn = db.connection();
    auto goOn = [&conn](bool) {
        if (!conn.keepGoing())
            failStep(SQLITE_INTERRUPT);
    };
    goOn(false);
    copyPages(conn, schema, file, pages, goOn);
}

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
    fs::path made = copyInto(db, schema, name);
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
    fs::path made = copyInto(db, schema, names.stem + "-" + stamp(now, true) + "-import" + names.extension);
    prune(db.folder() / backupFolderName, names.import, made);
    return made;
}

std::unique_ptr<DailyBackupJob> DailyBackupJob::start(Database& db, Done done, Clock::time_point now)
{
    const std::string schema = mainSchema(db);
    if (schema.empty())
        return nullptr;
    std::string name = dailyName(BackupNames(db.catalogue()), now);
    std::error_code ec;
    if (fs::exists(db.folder() / backupFolderName / name, ec))
        return nullptr;
    std::unique_ptr<DailyBackupJob> job(new DailyBackupJob(db, std::move(name), std::move(done)));
    try {
        job->part_ = preparePart(db.folder(), db.catalogue(), job->name_);
        // Nothing to roll back to: a copy that fails is deleted, and one that
        // ends is synced before its rename.
        job->dest_ = sql::Connection::open(utf8(job->part_), true);
        sql::Connection& dest = job->dest_;
        dest.exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF");
        // Through the program's connection: what it stores meanwhile is
        // written into the copy as well.
        job->backup_ = sqlite3_backup_init(dest.get(), "main", db.connection().get(), schema.c_str());
        if (!job->backup_)
            throw sql::SqlError(sqlite3_extended_errcode(dest.get()), sqlite3_errmsg(dest.get()));
        sql::Statement size(db.connection(), "PRAGMA " + sql::quoteIdentifier(schema) + ".page_size");
        job->pageSize_ = size.step() ? size.int64(0) : 4096;
        job->stepping_ = true;
    } catch (const StoreError&) {
        job->fail(std::current_exception());
    } catch (const std::exception& e) {
        job->dest_ = sql::Connection();
        std::error_code ec;
        fs::remove(job->part_, ec);
        job->fail(std::make_exception_ptr(
            StoreError("Cannot make the backup " + utf8(db.folder() / backupFolderName / job->name_) + ": " + e.what())));
    }
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
    std::unique_ptr<DailyBackupJob> job = start(*db, std::move(done));
    if (job)
        job->kept_ = std::move(db);
    return job;
}

DailyBackupJob::DailyBackupJob(Database& db, std::string name, Done done)
    : name_(std::move(name)), done_(std::move(done)), pruned_(BackupNames(db.catalogue()).daily)
{
}

DailyBackupJob::~DailyBackupJob() { stop(); }

void DailyBackupJob::stop()
{
    stopping_ = true;
    if (stepping_) {
        stepping_ = false;
        sqlite3_backup_finish(backup_);
        backup_ = nullptr;
        dest_ = sql::Connection();
        std::error_code ec;
        fs::remove(part_, ec);
    }
    if (finishing_.joinable())
        finishing_.join();
}

bool DailyBackupJob::step()
{
    if (!stepping_)
        return false;
    const int rc = sqlite3_backup_step(backup_, pagesPerStep);
    // Another program writing: the next step tries again, as any read would.
    if (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
        // A gigabyte left for the final sync would hold up the program's
        // saves for as long as the disk takes to write it: the pages go to
        // the disk some megabytes at a time as they are copied.
        constexpr std::uint64_t writeOutEvery = 8 << 20;
        const std::uint64_t copied = static_cast<std::uint64_t>(sqlite3_backup_pagecount(backup_) -
                                                                sqlite3_backup_remaining(backup_)) *
                                     static_cast<std::uint64_t>(pageSize_);
        if (copied < writtenOut_)
            writtenOut_ = 0;  // begun again
        else if (copied - writtenOut_ >= writeOutEvery) {
            startWritingOut(part_, writtenOut_, copied - writtenOut_);
            writtenOut_ = copied;
        }
        runStepHook();
        return stepping_;
    }
    stepping_ = false;
    const int finished = sqlite3_backup_finish(backup_);
    backup_ = nullptr;
    if (rc != SQLITE_DONE || finished != SQLITE_OK) {
        const int code = rc != SQLITE_DONE ? rc : finished;
        dest_ = sql::Connection();
        std::error_code ec;
        fs::remove(part_, ec);
        fail(std::make_exception_ptr(
            StoreError("Cannot make the backup " + utf8(targetOf(part_)) + ": " + sqlite3_errstr(code))));
        return false;
    }
    // The pages are read; syncing them may take seconds, which the program
    // need not wait for.
    finishing_ = std::thread(&DailyBackupJob::finish, this);
    return false;
}

void DailyBackupJob::finish()
{
    std::optional<fs::path> made;
    std::exception_ptr failure;
    try {
        dest_ = sql::Connection();
        made = finishPart(part_);
        prune(part_.parent_path(), pruned_, *made);
    } catch (...) {
        failure = std::current_exception();
    }
    end(made, failure);
}

void DailyBackupJob::fail(std::exception_ptr failure) { end(std::nullopt, failure); }

void DailyBackupJob::end(std::optional<fs::path> made, std::exception_ptr failure)
{
    if (!stopping_ && done_)
        done_(failure);
    std::lock_guard lock(mutex_);
    made_ = failure ? std::nullopt : made;
    ended_ = true;
    changed_.notify_all();
}

bool DailyBackupJob::wait(std::chrono::milliseconds timeout)
{
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (step())
        if (std::chrono::steady_clock::now() >= until)
            return false;
    std::unique_lock lock(mutex_);
    return changed_.wait_until(lock, until, [this] { return ended_; });
}

std::optional<fs::path> DailyBackupJob::made() const
{
    std::lock_guard lock(mutex_);
    return made_;
}

}  // namespace store
