// Copies of the main data file: one at the first start of each day and one
// before every import of transfer records, each a consistent snapshot, the
// last seven of each kind kept.
#pragma once
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace store {

class Database;
class Session;
struct Catalogue;

// Copies of the catalogue's main file in the folder "Backups" of its data
// folder, made with VACUUM INTO on the open connection so that each copy is a
// consistent snapshot. Daily copies are named after the file and the date
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

// A copy taken before an import of transfer records; returns the file made.
std::filesystem::path importBackup(Database& db, Clock::time_point now = Clock::now());

// The copies of one kind in a Backups folder, oldest first.
std::vector<std::filesystem::path> dailyBackups(const std::filesystem::path& backupFolder, const Catalogue& catalogue);
std::vector<std::filesystem::path> importBackups(const std::filesystem::path& backupFolder, const Catalogue& catalogue);

}  // namespace store
