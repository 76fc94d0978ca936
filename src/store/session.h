// The table engine as the program sees it: aliases and open databases.
#pragma once
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "store/alias_registry.h"
#include "store/database.h"
#include "store/server_campaign.h"

namespace store {

class Table;

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

    // An alias of a campaign on a server (TYPE=POSTGRESQL) opens the local
    // copy of it in a folder named after its user, host, port and database
    // under `folder`; by
    // default the folder "Servers" beside the alias file.
    void setServerCopies(std::filesystem::path folder) { serverCopies_ = std::move(folder); }
    // Brings in the changes the servers announced (every server's, when
    // `all`, as after a connection lost) and refreshes each table object on
    // a copy that changed, unless it is being edited: what a person types
    // stays. True when anything came in. Throws StoreError when a server
    // that announced changes cannot give them.
    bool takeServerChanges(bool all = false);
    bool hasServers() const { return !servers_.empty(); }

    // Every table object made on the session, so that the server's changes
    // reach them all.
    void enroll(Table* table) { tables_.push_back(table); }
    void leave(Table* table) { std::erase(tables_, table); }

private:
    std::shared_ptr<Database> serverCopy(const Alias& alias);

    AliasRegistry registry_;
    const Catalogue& catalogue_;
    std::map<std::string, std::shared_ptr<Database>> databases_;
    std::filesystem::path serverCopies_;
    // After the databases, so that each is detached from its copy first.
    std::map<std::string, std::pair<std::shared_ptr<Database>, std::unique_ptr<ServerCampaign>>> servers_;
    std::vector<Table*> tables_;
};

}  // namespace store
