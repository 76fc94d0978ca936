#include "startup/server_commands.h"

#include "app/platform.h"
#include "campaign/catalogue.h"
#include "store/alias_registry.h"
#include "store/error.h"
#include "store/paths.h"
#include "store/pg.h"
#include "store/server_campaign.h"

namespace app {

namespace fs = std::filesystem;

namespace {

void run(const CommandLine& line, store::AliasRegistry& aliases, std::FILE* out)
{
    const store::Catalogue& catalogue = campaign::catalogue();
    const std::optional<store::Alias> alias = aliases.find(line.alias);
    if (!alias)
        throw store::StoreError(store::msg::unknownAlias(line.alias));
    if (!store::pg::onServer(*alias))
        throw store::StoreError("The alias " + line.alias + " names no PostgreSQL server (TYPE=POSTGRESQL)");
    const std::string info = store::pg::connInfo(*alias);
    store::pg::Connection server = [&] {
        try {
            return store::pg::Connection::open(info);
        } catch (const store::pg::PgError& e) {
            throw store::StoreError(e.what());
        }
    }();
    const std::string where = server.server();
    switch (line.command) {
    case Command::Share: {
        store::ServerCampaign::create(server, catalogue);
        // The local campaign, where there is one: the folder of VDDB.
        const std::optional<store::Alias> local = aliases.find(campaign::alias);
        std::error_code ec;
        if (local && !store::pg::onServer(*local) && !local->path().empty() &&
            fs::exists(store::pathFromUtf8(local->path()) / catalogue.mainFile, ec)) {
            store::Database db(store::pathFromUtf8(local->path()), catalogue);
            store::ServerCampaign::copyOnto(db, server);
            std::fprintf(out, "Made the campaign on the server %s and copied the campaign in %s onto it.\n", where.c_str(),
                         local->path().c_str());
        } else {
            std::fprintf(out, "Made an empty campaign on the server %s.\n", where.c_str());
        }
        break;
    }
    case Command::Player:
        store::ServerCampaign::grant(server, catalogue, line.values[0], {line.values[1], line.values[2]});
        store::ServerCampaign::addPlayer(server, line.values[0]);
        std::fprintf(out, "%s may change %s of game %s on the server %s.\n", line.values[0].c_str(),
                     line.values[2].c_str(), line.values[1].c_str(), where.c_str());
        break;
    case Command::Hide:
    case Command::Unhide: {
        const bool hide = line.command == Command::Hide;
        store::ServerCampaign::hide(server, catalogue, {line.values[0], line.values[1]}, hide);
        std::fprintf(out, "%s of game %s is %s the players on the server %s.\n", line.values[1].c_str(),
                     line.values[0].c_str(), hide ? "hidden from" : "shown to", where.c_str());
        break;
    }
    case Command::CopyBack: {
        const fs::path folder = store::pathFromUtf8(line.values[0]);
        std::error_code ec;
        if (fs::exists(folder / catalogue.mainFile, ec) || fs::exists(folder / catalogue.sideFile, ec))
            throw store::StoreError("The folder " + line.values[0] + " holds a campaign already");
        {
            // A copy brought up to date, then left without its tie to the
            // server: a campaign of local files like any other.
            store::Database db(folder, catalogue);
            store::ServerCampaign copy(db, info);
        }
        fs::remove(folder / "server.state", ec);
        std::fprintf(out, "Copied the campaign on the server %s into %s.\n", where.c_str(), line.values[0].c_str());
        break;
    }
    default:
        break;
    }
}

}  // namespace

int runServerCommand(const CommandLine& line, const fs::path& aliasFile, std::FILE* out, std::FILE* err)
{
    try {
        store::AliasRegistry aliases(aliasFile);
        run(line, aliases, out);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(err, "vddb: %s\n", e.what());
        return 1;
    }
}

int runServerCommand(const CommandLine& line) { return runServerCommand(line, platform::aliasFile(), stdout, stderr); }

}  // namespace app
