// Finding databases by alias or folder, one per folder, and tables in them.
#include "store/session.h"

#include <algorithm>
#include <cctype>
#include <exception>

#include "store/error.h"
#include "store/paths.h"
#include "store/pg.h"
#include "store/table.h"

namespace store {

namespace fs = std::filesystem;

Session::Session(AliasRegistry registry, const Catalogue& catalogue)
    : registry_(std::move(registry)), catalogue_(catalogue)
{
}

std::shared_ptr<Database> Session::databaseForAlias(const std::string& alias)
{
    auto found = registry_.find(alias);
    if (!found)
        throw StoreError(msg::unknownAlias(alias));
    if (pg::onServer(*found))
        return serverCopy(*found);
    if (found->path().empty())
        throw StoreError(msg::aliasWithoutFolder(alias));
    return databaseForFolder(pathFromUtf8(found->path()));
}

Session::TableRef Session::findTable(const std::string& alias, const std::string& tableName)
{
    const TableLayout* layout = catalogue_.find(tableName);
    if (!layout)
        throw StoreError(msg::unknownTable(tableName));
    auto db = databaseForAlias(alias);
    std::string schema = db->schemaFor(*layout);
    return {std::move(db), layout, std::move(schema)};
}

std::shared_ptr<Database> Session::serverCopy(const Alias& alias)
{
    // Named after where it is and who uses it, not after the alias: two
    // aliases of one campaign share one copy, and one alias moved to
    // another server gets another.
    std::string name;
    for (const char* setting : {"USER", "HOST", "PORT", "DATABASE"}) {
        std::string value;
        for (const auto& [key, v] : alias.params)
            if (equalsNoCase(key, setting))
                value = v;
        name += name.empty() ? "" : "@";
        for (unsigned char c : value)
            name += std::isalnum(c) || c == '-' || c == '.' ? static_cast<char>(c) : '_';
    }
    auto it = servers_.find(name);
    if (it != servers_.end())
        return it->second.first;
    const fs::path base = serverCopies_.empty() ? registry_.file().parent_path() / "Servers" : serverCopies_;
    auto db = std::make_shared<Database>(base / name, catalogue_);
    auto campaign = std::make_unique<ServerCampaign>(*db, pg::connInfo(alias));
    servers_.emplace(name, std::make_pair(db, std::move(campaign)));
    return db;
}

bool Session::takeServerChanges(bool all)
{
    std::vector<Database*> changed;
    for (auto& [alias, server] : servers_)
        if ((server.second->changesAnnounced() || all) && server.second->pull())
            changed.push_back(server.first.get());
    // Each table object is refreshed even when one before it fails.
    std::exception_ptr failure;
    for (Table* t : std::vector<Table*>(tables_))
        if (t->isOpen() && !t->editing() &&
            std::find(changed.begin(), changed.end(), &t->database()) != changed.end()) {
            try {
                t->refresh();
            } catch (const StoreError&) {
                failure = failure ? failure : std::current_exception();
            }
        }
    if (failure)
        std::rethrow_exception(failure);
    return !changed.empty();
}

void Session::releaseCursors()
{
    for (auto& [folder, db] : databases_)
        db->releaseCursors();
}

std::vector<std::string> Session::takeNotices()
{
    std::vector<std::string> notices;
    for (auto& [folder, db] : databases_)
        for (std::string& notice : db->takeNotices())
            notices.push_back(std::move(notice));
    return notices;
}

std::shared_ptr<Database> Session::databaseForFolder(const fs::path& folder)
{
    std::error_code ec;
    fs::path key = fs::weakly_canonical(fs::absolute(folder, ec), ec);
    if (ec)
        key = folder;
    std::string k = utf8(key.lexically_normal());
    while (k.size() > 1 && (k.back() == '/' || k.back() == '\\'))
        k.pop_back();
    auto it = databases_.find(k);
    if (it != databases_.end())
        return it->second;
    auto db = std::make_shared<Database>(pathFromUtf8(k), catalogue_);
    databases_.emplace(k, db);
    return db;
}

}  // namespace store
