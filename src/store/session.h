// The table engine as the program sees it: aliases and open databases.
#pragma once
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "store/alias_registry.h"
#include "store/database.h"

namespace store {

// The table engine as the program sees it: the alias registry and the open
// databases, one per folder, shared by every table object on it.
class Session {
public:
    // Every database opened takes its tables from `catalogue`, which must
    // outlive the session.
    Session(AliasRegistry registry, const Catalogue& catalogue);

    const Catalogue& catalogue() const { return catalogue_; }

    AliasRegistry& aliases() { return registry_; }

    // The database behind an alias; throws StoreError for an unknown alias.
    std::shared_ptr<Database> databaseForAlias(const std::string& alias);
    std::shared_ptr<Database> databaseForFolder(const std::filesystem::path& folder);

    // A table reached through an alias by the name the program knows it by:
    // its database, layout and schema. Throws StoreError naming what failed.
    struct TableRef {
        std::shared_ptr<Database> db;
        const TableLayout* layout;
        std::string schema;
    };
    TableRef findTable(const std::string& alias, const std::string& tableName);

    // Ends every table object's read in progress; the program calls it each
    // time it goes idle, so that no read lock is held between events.
    void releaseCursors();

    // What opening the databases did that the user must hear of, each told
    // once (Database::takeNotices).
    std::vector<std::string> takeNotices();

private:
    AliasRegistry registry_;
    const Catalogue& catalogue_;
    std::map<std::string, std::shared_ptr<Database>> databases_;
};

}  // namespace store
