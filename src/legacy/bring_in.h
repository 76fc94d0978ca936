// Bringing a campaign kept in the older program's Paradox tables (vddb.DB,
// vdprovs.db, vdtrans.DB, expprovs.DB with their .MB memo files) into the
// program's SQLite files. The Paradox files are only ever read.
#pragma once
#include <filesystem>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "store/layout.h"

namespace store {
class Database;
}

namespace legacy {

// An old table found in a folder, and the layout it fills.
struct OldTable {
    const store::TableLayout* layout;
    std::filesystem::path file;
};

// The old tables in the folder, whatever the letter case of their names, in
// the catalogue's order; index files (.PX, .X??, .Y??) are not needed.
// Throws paradox::Error naming the folder, or the entry, that cannot be read.
std::vector<OldTable> findOldTables(const std::filesystem::path& folder, const store::Catalogue& catalogue);

// True when the folder holds old tables and neither of the catalogue's files:
// the first open brings them in then, and never again once the files exist.
bool needsFirstImport(const std::filesystem::path& folder, const store::Catalogue& catalogue);

// How far the work has got, and whether the user lets it go on.
struct Steps {
    std::function<void(int done, int total, const std::string& what)> stage = [](int, int, const std::string&) {};
    std::function<bool()> keepGoing = [] { return true; };
};

// What was brought in.
struct Report {
    std::map<std::string, int> rows;         // by the layout's SQL name
    std::vector<std::string> leftOut;        // old columns not brought in, with the reason
    std::vector<std::string> leftEmpty;      // the program's columns the old tables lack
    std::vector<std::string> duplicates;     // records left out for a key seen before
    int ownersMade = 0;                      // owner records made for rows that had none

    int count(const std::string& table) const;
};

// The user stopped the work; nothing was brought in.
class Cancelled : public std::runtime_error {
public:
    Cancelled() : std::runtime_error("The bringing in was cancelled") {}
};

// Records of the old tables whose keys the database already holds; nothing
// was brought in. names() lists them as messages name records.
class AlreadyThere : public std::runtime_error {
public:
    explicit AlreadyThere(std::vector<std::string> names);
    const std::vector<std::string>& names() const { return names_; }

private:
    std::vector<std::string> names_;
};

// Builds both of the catalogue's files in the folder from its old tables
// (a table not there starts empty). The files are made under temporary names
// and renamed into place only when both are complete; on any failure none is
// left behind. Throws paradox::Error (naming the file and the reason),
// store::StoreError, or Cancelled.
Report bringInAtFirstOpen(const std::filesystem::path& folder, const store::Catalogue& catalogue,
                          const Steps& steps = {});

// Adds the folder's old tables to an open database as one transaction: every
// record or none. A record whose unique key the database already holds
// refuses the whole of it with AlreadyThere.
Report bringInto(store::Database& db, const std::filesystem::path& folder, const Steps& steps = {});

// The plain message after a bring-in: "Imported 12 characters and 87
// provinces from the Paradox tables in <folder>.", then what was left out.
std::string summary(const Report& report, const std::filesystem::path& folder);

}  // namespace legacy
