// Programs sharing one campaign on a real PostgreSQL server (started by the
// test command, scripts/pg-server), each through its own local copy.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <random>
#include <thread>

#include "fixture.h"
#include "store/error.h"
#include "store/pg.h"
#include "store/server_campaign.h"

using store::ServerCampaign;
using store::StoreError;

namespace {

std::string conninfo()
{
    const char* state = std::getenv("VDDB_PG_STATE");
    std::ifstream in(std::string(state ? state : "") + "/conninfo");
    std::string line;
    std::getline(in, line);
    return line;
}

class ServerCampaignTest : public testing_support::StoreTest {
protected:
    ServerCampaignTest() : admin(store::pg::Connection::open(conninfo()))
    {
        std::random_device rd;
        const std::string name = "campaign_" + std::to_string(rd() % 1000000000);
        admin.exec("CREATE DATABASE " + name);
        campaign = conninfo() + " dbname=" + name;
        for (const char* alias : {"A", "B"})
            session_.aliases().add(
                store::Alias{alias, "STANDARD", {{"PATH", (temp_.path() / alias).string() + "/"}}}, true);
    }

    // The local campaign on the server, then a program's copy of it.
    void share()
    {
        auto server = store::pg::Connection::open(campaign);
        ServerCampaign::create(server, session_.catalogue());
        ServerCampaign::copyOnto(*session_.databaseForAlias("VDDB"), server);
    }
    std::unique_ptr<ServerCampaign> program(const std::string& alias)
    {
        return std::make_unique<ServerCampaign>(*session_.databaseForAlias(alias), campaign);
    }
    std::unique_ptr<store::Table> table(const std::string& alias, const std::string& name)
    {
        auto t = std::make_unique<store::Table>(session_);
        t->open(alias, name);
        return t;
    }
    // Every row of a table with its number, as a copy and as the server hold it.
    std::vector<std::string> rows(const std::string& alias, const std::string& name)
    {
        store::sql::Statement st(session_.databaseForAlias(alias)->connection(),
                                 "SELECT rowid, * FROM main." + name + " ORDER BY rowid");
        std::vector<std::string> out;
        while (st.step()) {
            std::string r;
            for (int c = 0; c < st.columnCount(); ++c)
                r += (st.isNull(c) ? "<null>" : st.text(c)) + "|";
            out.push_back(r);
        }
        return out;
    }
    std::vector<std::string> serverRows(const std::string& name)
    {
        auto server = store::pg::Connection::open(campaign);
        const store::pg::Rows all = server.query("SELECT * FROM " + name + " ORDER BY store_row");
        std::vector<std::string> out;
        for (const auto& row : all.rows) {
            std::string r;
            for (std::size_t c = 0; c < row.size(); ++c)
                if (!all.columns[c].starts_with("store_") || c == 0)  // what the copies do not keep
                    r += row[c].value_or("<null>") + "|";
            out.push_back(r);
        }
        return out;
    }

    store::pg::Connection admin;
    std::string campaign;
};

}  // namespace

TEST_F(ServerCampaignTest, TwoProgramsMergeFieldsRefuseTheSameFieldAndEndWithWhatTheServerHolds)
{
    {
        auto chars = openTable("vddb.DB");
        addCharacter(*chars, "G", "Aric", {{"Domain_Name", "Aricia"}, {"Current_GB", "10"}, {"Vassals", "none"}});
        auto provs = openTable("vdprovs.db");
        addProvince(*provs, "G", "Aric", "Ilien");
    }
    share();
    auto a = program("A");
    auto b = program("B");
    auto charsA = table("A", "vddb.DB");
    auto charsB = table("B", "vddb.DB");
    ASSERT_EQ(column(*charsB, "Domain_Name"), std::vector<std::string>{"Aricia"});

    // Different fields of one record, neither program having seen the other's.
    charsA->edit();
    charsA->setText("Domain_Name", "Aricia Magna");
    charsB->edit();
    charsB->setText("Current_GB", "12");
    charsA->post();
    charsB->post();
    // The same field: the second save is refused and shows what is stored.
    charsA->edit();
    charsA->setText("Vassals", "Ilien");
    charsB->edit();
    charsB->setText("Vassals", "Tuarhievel");
    charsA->post();
    try {
        charsB->post();
        ADD_FAILURE() << "saved over another program's change";
    } catch (const StoreError& e) {
        EXPECT_EQ(e.code(), StoreError::Code::ChangedElsewhere) << e.what();
    }
    EXPECT_EQ(charsB->text("Vassals"), "Ilien");
    EXPECT_EQ(charsB->text("Domain_Name"), "Aricia Magna");

    // New records made at once take the same number in both copies; the
    // second is numbered anew by the server, and its table stays on it.
    addCharacter(*charsA, "G", "Bel");
    addCharacter(*charsB, "G", "Cor");
    EXPECT_EQ(charsB->text("Character_Name"), "Cor");
    charsB->edit();
    charsB->setText("Domain_Name", "Coria");
    charsB->post();
    auto provsA = table("A", "vdprovs.db");
    auto provsB = table("B", "vdprovs.db");
    addProvince(*provsA, "G", "Bel", "Alamie");
    addProvince(*provsB, "G", "Cor", "Dhoesone");
    charsA->first();
    charsA->remove();  // Aric, with his province

    // Every program hears of every commit and ends with the server's rows.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    bool heard = false;
    while (!(heard = a->changesAnnounced()) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(heard);
    a->pull();
    b->pull();
    for (const char* name : {"vddb", "vdprovs"}) {
        EXPECT_EQ(rows("A", name), serverRows(name)) << name;
        EXPECT_EQ(rows("B", name), serverRows(name)) << name;
    }
    charsB->refresh();
    EXPECT_EQ(column(*charsB, "Character_Name"), (std::vector<std::string>{"Bel", "Cor"}));
    EXPECT_EQ(column(*charsB, "Domain_Name"), (std::vector<std::string>{"", "Coria"}));
    EXPECT_EQ(column(*provsB, "Province_Name"), (std::vector<std::string>{"Alamie", "Dhoesone"}));
}

TEST_F(ServerCampaignTest, AServerGoneDuringAnEditKeepsItPendingAndTheSaveAfterItReturnsStoresItOnce)
{
    share();
    auto a = program("A");
    auto chars = table("A", "vddb.DB");
    addCharacter(*chars, "G", "Aric");
    chars->edit();
    chars->setText("Domain_Name", "Aricia");
    const std::string db = campaign.substr(campaign.rfind('=') + 1);
    admin.exec("ALTER DATABASE " + db + " ALLOW_CONNECTIONS false");
    admin.query("SELECT pg_terminate_backend(pid, 5000) FROM pg_stat_activity WHERE datname = $1", {db});
    try {
        chars->post();
        ADD_FAILURE() << "saved without a server";
    } catch (const StoreError& e) {
        EXPECT_NE(std::string(e.what()).find("Cannot reach the server"), std::string::npos) << e.what();
    }
    EXPECT_EQ(chars->state(), store::State::Edit);
    EXPECT_EQ(chars->text("Domain_Name"), "Aricia");
    admin.exec("ALTER DATABASE " + db + " ALLOW_CONNECTIONS true");
    chars->post();
    EXPECT_EQ(serverRows("vddb").size(), 1u);
    EXPECT_EQ(rows("A", "vddb"), serverRows("vddb"));
}
