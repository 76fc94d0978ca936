// Copies of the main data file: one at the first start of each day and one
// before old tables are brought in, each a consistent snapshot, the
// last seven of each kind kept.
#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
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

struct sqlite3;

namespace store {

class Database;
class Session;
struct Catalogue;

// Copies of the catalogue's main file in the folder "Backups" of its data
// folder, each a consistent snapshot: the daily copy is made page by page
// with SQLite's online backup, the one before an import with VACUUM INTO on
// the open connection. Daily copies are named after the file and the date
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

// Today's copy made on a thread of its own, through a connection of its own
// to the main file, so that the program need not wait for it. It is read in
// small steps, each holding the file only for some milliseconds, so that a
// save meanwhile hardly waits; a save makes the copy begin again. The copy
// is a consistent snapshot of the file as it stood when the copy ended:
// saves made meanwhile are in it or not, never half. Names, pruning and
// failures are those of dailyBackup().
class DailyBackupJob {
public:
    // Called once on the copying thread when the copy has ended, with the
    // error that stopped it (null when it was made); never after stop().
    using Done = std::function<void(std::exception_ptr failure)>;

    // Starts today's copy and returns once it is under way; nothing when the
    // folder already holds it or has no main file, or the alias's database
    // cannot be opened.
    static std::unique_ptr<DailyBackupJob> start(Database& db, Done done, Clock::time_point now = Clock::now());
    static std::unique_ptr<DailyBackupJob> start(Session& session, const std::string& alias, Done done);

    // Stops a copy under way and waits for the thread: the half-written copy
    // is removed and the file's lock released.
    ~DailyBackupJob();
    void stop();
    // Waits for the copy to end; false when the time ran out first.
    bool wait(std::chrono::milliseconds timeout);
    // The file made, once the copy has ended well.
    std::optional<std::filesystem::path> made() const;

    DailyBackupJob(const DailyBackupJob&) = delete;
    DailyBackupJob& operator=(const DailyBackupJob&) = delete;

private:
    DailyBackupJob(std::filesystem::path dataFolder, const Catalogue& catalogue, std::string name, Done done);
    void run();
    void markBegun();
    static int waitForLock(void* job, int attempts);

    const std::filesystem::path dataFolder_;
    const Catalogue& catalogue_;
    const std::string name_;
    const Done done_;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    sqlite3* copying_ = nullptr;  // the thread's connection while it is open
    bool begun_ = false, ended_ = false;  // begun: the first step is made
    std::optional<std::filesystem::path> made_;
    std::thread thread_;  // last: started once the rest is set
};

// For tests: called on a DailyBackupJob's thread part way through its copy,
// so that a save can be made meanwhile. Empty by default.
void setBackupStepHook(std::function<void()> hook);

// A copy taken before old tables are brought in (imports keep a record of
// their own, import_record.h); returns the file made.
std::filesystem::path importBackup(Database& db, Clock::time_point now = Clock::now());

// The regular files of a folder whose names match, sorted by name.
std::vector<std::filesystem::path> filesMatching(const std::filesystem::path& folder, const std::regex& pattern);

// The copies of one kind in a Backups folder, oldest first.
std::vector<std::filesystem::path> dailyBackups(const std::filesystem::path& backupFolder, const Catalogue& catalogue);
std::vector<std::filesystem::path> importBackups(const std::filesystem::path& backupFolder, const Catalogue& catalogue);

}  // namespace store
