// Carrying a file's tables between databases without anyone copying files
// by hand: a snapshot written where the user chooses, the tables of a chosen
// file taken in place of a file's own, and the backups put back the same way.
// The live files are never replaced under the open connection: their own
// journal keeps every step all or nothing.
#pragma once
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace store {

class Database;

// Writes a consistent snapshot of the catalogue's file `which` to `target`:
// written beside it under a temporary name, given an identity of its own,
// then renamed over it durably. Failures throw StoreError naming `target` and
// leave it as it was.
void saveFileAs(Database& db, const std::string& which, const std::filesystem::path& target);

// Replaces the rows of every table of the catalogue's file `which` with those
// of the same tables in `source`, in one transaction. The source is checked
// first as any file from elsewhere is: nothing the program does not create
// there, the tables exactly as the program makes them, every value one the
// columns can hold. Any failure throws StoreError and changes nothing. Returns
// the rows that came in, per table of `which` in the catalogue's order.
std::vector<std::int64_t> takeTablesFrom(Database& db, const std::string& which, const std::filesystem::path& source);

// One copy in the Backups folder as a list shows it.
struct BackupSummary {
    std::filesystem::path file;
    std::filesystem::file_time_type written;
    std::vector<std::int64_t> rows;  // per table of the main file; empty when `damage` says why
    std::string damage;
};
// Every daily and import copy of the main file, newest first.
std::vector<BackupSummary> listBackups(Database& db);

// Keeps the main file's tables as they are now in a file of their own beside
// it (named after the main file, "replaced" and the time), then takes the
// backup's tables in their place (takeTablesFrom). Returns the file kept.
std::filesystem::path restoreBackup(Database& db, const std::filesystem::path& backup,
                                    std::chrono::system_clock::time_point now = std::chrono::system_clock::now());

}  // namespace store
