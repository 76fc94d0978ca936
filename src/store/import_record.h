// What an import added, kept so that it can be taken back. An import only
// adds records, so the rows it copied are the whole of what it did: a
// snapshot of the file it copies from, taken just before, costs what the
// import costs, whatever the size of the file it copies into.
#pragma once
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace store {

class Database;
struct Catalogue;
struct TableLayout;

// The records kept in the Backups folder beside the copies, named after the
// main file and the time: campaign-2026-12-08-071530-123-imported.sqlite;
// once taken back, what was deleted is kept beside it as
// campaign-2026-12-08-071530-123-taken-back.sqlite. Both are files of the
// tables the import copies from, which can be opened and imported again.
// The last seven records are kept.
inline constexpr int importRecordsKept = 7;

// Each table an import copies from with the table it copies into. The first
// pair holds the records that own the rest's rows (Owner): taking a record
// of the first table back takes its rows of the others with it.
struct ImportPair {
    const TableLayout& from;
    const TableLayout& into;
};

// The record of an import under way: a consistent snapshot of the tables of
// `which`, written under a temporary name and synced. keep() gives it its
// name once the import is stored; a draft not kept is removed, so that an
// import that failed or was stopped leaves nothing to take back.
class ImportRecordDraft {
public:
    // Nothing when the tables of `which` hold no row: there is nothing to
    // take back. Failures throw StoreError naming the file.
    static std::optional<ImportRecordDraft> write(Database& db, const std::string& which,
                                                  std::chrono::system_clock::time_point now =
                                                      std::chrono::system_clock::now());
    ImportRecordDraft(ImportRecordDraft&& other) noexcept;
    ImportRecordDraft& operator=(ImportRecordDraft&& other) noexcept;
    ~ImportRecordDraft();
    // Renames it durably to its own name and removes the records beyond the
    // number kept; returns the file.
    std::filesystem::path keep();

private:
    ImportRecordDraft(std::filesystem::path part, std::filesystem::path target, const Catalogue& catalogue);
    std::filesystem::path part_, target_;
    const Catalogue* catalogue_;
};

// One record as the take-back shows it, read as any file from elsewhere.
struct ImportRecord {
    std::filesystem::path file;
    std::string when;                // "2026-12-08 07:15:30", from its name
    std::vector<std::int64_t> rows;  // per pair
};

// The newest record not yet taken back; nothing when there is none. A
// record that fails the checks throws StoreError naming it.
std::optional<ImportRecord> lastImport(Database& db, const std::vector<ImportPair>& pairs);

// The owner keys (values of the first pair's key columns) of the recorded
// records that differ from the stored ones since the import: a column of
// its own, or its rows of the other tables (as a set, apart from the numbers
// the file gives them). A record stored no more is not among them.
std::vector<std::vector<std::string>> changedSinceImport(Database& db, const ImportRecord& record,
                                                         const std::vector<ImportPair>& pairs);

struct TakenBack {
    std::filesystem::path kept;         // the file holding what was deleted
    std::vector<std::int64_t> deleted;  // rows per pair
};

// Deletes the recorded records (but those of `keep`) with their rows, in one
// transaction, and writes them as they stood beside the record, which marks
// it as taken back. Failures throw StoreError and change nothing.
TakenBack takeBackImport(Database& db, const ImportRecord& record, const std::vector<ImportPair>& pairs,
                         const std::vector<std::vector<std::string>>& keep);

}  // namespace store
