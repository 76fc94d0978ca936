// Copies of the main data file: one at the first start of each day and one
// before old tables are brought in, each a consistent snapshot, the
// last seven of each kind kept.
#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "store/sqlite.h"

struct sqlite3;
struct sqlite3_backup;

namespace store {

class Database;
class Session;
struct Catalogue;

// Copies of the catalogue's main file in the folder "Backups" of its data
// folder, each a consistent snapshot: the daily copy is made page by page
// with SQLite's online backup on a connection of its own, the one before old
// tables are brought in on the open connection. Daily copies are named after the file and the date
// (people.sqlite gives people-2026-12-08.sqlite), those taken before an import
// also by the time (people-2026-12-08-071530-123-import.sqlite); the last seven of each kind are
// kept. Failures throw StoreError naming the file; a failure deletes no older
// copy and leaves no partial file behind.
inline constexpr const char* backupFolderName = "Backups";
inline constexpr int backupsKept = 7;

using Clock = std::chrono::system_clock;

// Today's copy, unless the folder already has it: the first start of a day
// makes one, later starts none. Returns the file made, nothing when none was
// needed or the folder holds no main file.
std::optional<std::filesystem::path> dailyBackup(Database& db, Clock::time_point now = Clock::now());
// The daily copy of the database behind an alias; nothing when the alias's
// database cannot be opened (its tables report that themselves).
std::optional<std::filesystem::path> dailyBackup(Session& session, const std::string& alias);

// Today's copy made while the program goes on: read through the program's
// own connection a few pages at a time, by step(), which the program calls
// between events; then synced and named on a thread of its own. A save the
// program makes meanwhile goes into the copy as it is stored, so that the
// copy never begins again because of it and the save never waits for the
// copy; a save by another program makes the copy begin again. The copy is
// the file as it stood when the last step ended. Names, pruning and failures
// are those of dailyBackup().
class DailyBackupJob {
public:
    // Called once when the copy has ended, with the error that stopped it
    // (null when it was made): on the thread that stepped for a failure in a
    // step, on the job's own for the rest; never after stop().
    using Done = std::function<void(std::exception_ptr failure)>;

    // Starts today's copy; nothing when the folder already holds it or has
    // no main file, or the alias's database cannot be opened. The database
    // must outlive the job (the session's is kept by it).
    static std::unique_ptr<DailyBackupJob> start(Database& db, Done done, Clock::time_point now = Clock::now());
    static std::unique_ptr<DailyBackupJob> start(Session& session, const std::string& alias, Done done);

    // Stops a copy under way and waits for its thread: the half-written
    // copy is removed.
    ~DailyBackupJob();
    void stop();
    // Copies the next pages, on the thread that uses the database; true
    // while pages remain to be copied.
    bool step();
    // Steps until the copy has ended; false when the time ran out first.
    bool wait(std::chrono::milliseconds timeout);
    // The file made, once the copy has ended well.
    std::optional<std::filesystem::path> made() const;

    DailyBackupJob(const DailyBackupJob&) = delete;
    DailyBackupJob& operator=(const DailyBackupJob&) = delete;

private:
    DailyBackupJob(Database& db, std::string name, Done done);
    void fail(std::exception_ptr failure);
    void finish();
    void end(std::optional<std::filesystem::path> made, std::exception_ptr failure);

    std::shared_ptr<Database> kept_;  // when started for an alias
    const std::string name_;
    const Done done_;
    const std::regex pruned_;  // the names of the copies kept, pruned by the job's thread
    std::filesystem::path part_;
    sql::Connection dest_;  // the copy's file while its pages are read
    sqlite3_backup* backup_ = nullptr;
    bool stepping_ = false;  // pages remain, read by step()
    std::int64_t pageSize_ = 4096;
    std::uint64_t writtenOut_ = 0;  // bytes of the copy set on their way to the disk
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool ended_ = false;
    std::optional<std::filesystem::path> made_;
    std::thread finishing_;
};

// For tests: called between a DailyBackupJob's steps, so that a save can be
// made meanwhile. Empty by default.
void setBackupStepHook(std::function<void()> hook);

// A copy taken before old tables are brought in (imports keep a record of
// their own, import_record.h); returns the file made.
std::filesystem::path importBackup(Database& db, Clock::time_point now = Clock::now());

// A consistent copy of the file behind `schema` of the open database, page
// by page, written to `file`; throws the store's SQL error.
void copyOf(Database& db, const std::string& schema, const std::filesystem::path& file);

// The regular files of a folder whose names match, sorted by name.
std::vector<std::filesystem::path> filesMatching(const std::filesystem::path& folder, const std::regex& pattern);

// The copies of one kind in a Backups folder, oldest first.
std::vector<std::filesystem::path> dailyBackups(const std::filesystem::path& backupFolder, const Catalogue& catalogue);
std::vector<std::filesystem::path> importBackups(const std::filesystem::path& backupFolder, const Catalogue& catalogue);

}  // namespace store
