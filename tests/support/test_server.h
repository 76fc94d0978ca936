// The PostgreSQL server that the test command starts (scripts/pg-server),
// for the tests that run a campaign on it.
#pragma once
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "campaign/catalogue.h"
#include "store/alias_registry.h"
#include "store/pg.h"
#include "store/server_campaign.h"

namespace testing_support {

// Its connection string; empty where the tests run without it.
inline std::string testServer(const char* variable = "VDDB_PG_STATE")
{
    const char* state = std::getenv(variable);
    if (!state || !*state)
        return {};
    std::ifstream in(std::string(state) + "/conninfo");
    std::string line;
    std::getline(in, line);
    return line;
}

// A new campaign with no records on it, in a database of its own; the
// connection string that reaches it.
inline std::string newServerCampaign(const std::string& server)
{
    std::random_device rd;
    const std::string name = "campaign_" + std::to_string(rd() % 1000000000);
    store::pg::Connection::open(server).exec("CREATE DATABASE " + name);
    auto c = store::pg::Connection::open(server + " dbname=" + name);
    store::ServerCampaign::create(c, campaign::catalogue());
    return server + " dbname=" + name;
}

// An alias of a campaign on the server, as a user of it writes one.
inline store::Alias serverAlias(const std::string& name, const std::string& conninfo, const std::string& user = {})
{
    store::Alias alias{name, store::pg::serverAliasType, {}};
    std::istringstream words(conninfo);
    for (std::string word; words >> word;) {
        const std::string key = word.substr(0, word.find('=')), value = word.substr(word.find('=') + 1);
        const char* setting = key == "host" ? "HOST" : key == "port" ? "PORT" : key == "dbname" ? "DATABASE"
                              : key == "user" ? "USER" : nullptr;
        if (setting)
            alias.params[setting] = value;  // the last of a setting counts, as in libpq
    }
    if (!user.empty())
        alias.params["USER"] = user;
    return alias;
}

}  // namespace testing_support
