// Programs sharing one campaign on the test command's PostgreSQL server, each through its copy.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <thread>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "campaign/catalogue.h"
#include "fixture.h"
#include "support/fault_vfs.h"
#include "support/test_server.h"
#include "store/all_or_nothing.h"
#include "store/error.h"
#include "store/pg.h"
#include "store/server_campaign.h"

using store::ServerCampaign;
using store::StoreError;

namespace {

class ServerCampaignTest : public testing_support::StoreTest {
protected:
    ServerCampaignTest()
        : admin(store::pg::Connection::open(testing_support::testServer())),
          campaign(testing_support::newServerCampaign(testing_support::testServer()))
    {
        for (const char* alias : {"A", "B"})
            session_.aliases().add(
                store::Alias{alias, "STANDARD", {{"PATH", (temp_.path() / alias).string() + "/"}}}, true);
    }

    // The local campaign onto the server's; then a program's copy of it.
    void share()
    {
        auto server = store::pg::Connection::open(campaign);
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
    std::vector<std::string> rows(const std::string& alias, const std::string& name) { return rows(session_, name, alias); }
    static std::vector<std::string> rows(store::Session& session, const std::string& name, const std::string& alias = "VDDB")
    {
        store::sql::Statement st(session.databaseForAlias(alias)->connection(),
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
    std::vector<std::string> serverRows(const std::string& name, const std::string& role = "vddb_gm")
    {
        auto server = store::pg::Connection::open(campaign + " user=" + role);
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
    EXPECT_THROW(
        try { charsB->post(); } catch (const StoreError& e) {
            EXPECT_EQ(e.code(), StoreError::Code::ChangedElsewhere) << e.what();
            throw;
        },
        StoreError);
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

    // Every program ends with the server's rows.
    a->pull();
    b->pull();
    for (const char* name : {"vddb", "vdprovs"}) {
        EXPECT_EQ(rows("A", name), serverRows(name)) << name;
        EXPECT_EQ(rows("B", name), serverRows(name)) << name;
    }
    charsB->refresh();
    EXPECT_EQ(column(*charsB, "Domain_Name"), (std::vector<std::string>{"", "Coria"}));  // Bel, Cor
    EXPECT_EQ(column(*provsB, "Province_Name"), (std::vector<std::string>{"Alamie", "Dhoesone"}));
}

namespace {

// One program on the server campaign as a role, used from one thread.
struct Program {
    Program(const std::filesystem::path& home, const std::string& conninfo, const std::string& role)
        : session(store::AliasRegistry(home / "aliases.conf"), campaign::catalogue())
    {
        session.aliases().add(testing_support::serverAlias("VDDB", conninfo, role), false);
        chars = std::make_unique<store::Table>(session);
        chars->open("VDDB", "vddb.DB");
    }
    // Saves one field of a character: true when the save was acknowledged.
    bool save(const std::string& character, const std::string& field, const std::string& value)
    {
        session.takeServerChanges();
        if (!chars->findKey({"G", character}))
            return false;
        try {
            chars->edit();
            chars->setText(field, value);
            chars->post();
        } catch (const StoreError&) {
            chars->editing() ? chars->cancel() : void();
            return false;
        }
        return true;
    }
    store::Session session;
    std::unique_ptr<store::Table> chars;
};

}  // namespace

TEST_F(ServerCampaignTest, AGameMasterAndThreePlayersEditAtOnceAndTheServerKeepsEachToTheirOwn)
{
    const std::vector<std::string> regents{"Aric", "Bel", "Cor", "Dun"};
    {
        auto chars = openTable("vddb.DB");
        auto provs = openTable("vdprovs.db");
        for (const std::string& r : regents) {
            addCharacter(*chars, "G", r);
            addProvince(*provs, "G", r, r + "'s land");
        }
    }
    share();
    const std::string suffix = campaign.substr(campaign.rfind('_') + 1);
    const std::vector<std::string> roles{"vddb_gm", "ann" + suffix, "bob" + suffix, "cid" + suffix};
    {
        auto server = store::pg::Connection::open(campaign);
        for (std::size_t p = 1; p < roles.size(); ++p) {
            ServerCampaign::addPlayer(server, roles[p]);
            ServerCampaign::grant(server, session_.catalogue(), roles[p], {"G", regents[p - 1]});
        }
        ServerCampaign::hide(server, session_.catalogue(), {"G", "Dun"}, true);  // the enemy
    }
    std::vector<std::unique_ptr<Program>> programs;
    for (std::size_t p = 0; p < roles.size(); ++p)
        programs.push_back(std::make_unique<Program>(temp_.path() / roles[p], campaign, roles[p]));
    // The hidden regent and his province reach no player's copy.
    EXPECT_EQ(column(*programs[0]->chars, "Character_Name"), regents);
    EXPECT_EQ(column(*programs[1]->chars, "Character_Name"), (std::vector<std::string>{"Aric", "Bel", "Cor"}));
    EXPECT_EQ(rows(programs[1]->session, "vdprovs").size(), 3u);
    // Another's character: shown, not changeable, refused by the server to psql.
    ASSERT_TRUE(programs[1]->chars->findKey({"G", "Bel"}));
    EXPECT_FALSE(programs[1]->chars->mayChange());
    EXPECT_FALSE(programs[1]->save("Bel", "Domain_Name", "Annexed"));
    const std::string psql = "psql -qAt -v ON_ERROR_STOP=1 \"" + campaign + " user=" + roles[1] + "\" -c ";
    EXPECT_EQ(std::system((psql + "\"UPDATE vddb SET \\\"Domain_Name\\\" = 'Annexed' WHERE \\\"Character_Name\\\" <> "
                                  "'Aric'\" >/dev/null").c_str()),
              0);
    EXPECT_TRUE(serverRows("vddb").size() == 4 &&
                store::pg::Connection::open(campaign)
                    .query("SELECT 1 FROM vddb WHERE \"Domain_Name\" = 'Annexed'")
                    .rows.empty());
    // No row to see: a division by zero.
    EXPECT_NE(std::system((psql + "\"SELECT 1 / count(*) FROM vddb WHERE \\\"Character_Name\\\" = 'Dun'\" 2>/dev/null").c_str()), 0);

    // At once: each player its own regent's fields, the game master every
    // regent's gold, and both the players' notes.
    std::map<std::string, std::string> model;  // character/field: the last value acknowledged
    std::mutex modelLock;
    std::vector<std::thread> threads;
    for (std::size_t p = 0; p < programs.size(); ++p)
        threads.emplace_back([&, p] {
            for (int i = 0; i < 15; ++i) {
                const std::string character = p == 0 ? regents[static_cast<std::size_t>(i) % 3] : regents[p - 1];
                const std::string field = p == 0 ? (i % 2 ? "Current_GB" : "Misc_Leftovers")
                                                 : (i % 3 == 0 ? "Misc_Leftovers" : i % 3 == 1 ? "Domain_Name" : "Vassals");
                const std::string value = field == "Current_GB" ? std::to_string(i) : roles[p] + "-" + std::to_string(i);
                if (programs[p]->save(character, field, value)) {
                    // The notes of both: any one acknowledged may be last.
                    std::lock_guard<std::mutex> hold(modelLock);
                    model[character + "/" + field + (field == "Misc_Leftovers" ? "/" + value : "")] = value;
                }
            }
        });
    for (std::thread& t : threads)
        t.join();

    // A last change reaches every program, by its announcement, within a second.
    ASSERT_TRUE(programs[0]->save("Aric", "Palace_Location", "Anuire"));
    for (std::size_t p = 1; p < programs.size(); ++p) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        while (programs[p]->chars->text("Palace_Location") != "Anuire" && std::chrono::steady_clock::now() < deadline) {
            programs[p]->session.takeServerChanges();
            programs[p]->chars->findKey({"G", "Aric"});
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        EXPECT_EQ(programs[p]->chars->text("Palace_Location"), "Anuire") << roles[p];
    }
    // Nothing acknowledged is lost, and each copy is what its role sees.
    auto server = store::pg::Connection::open(campaign);
    for (const std::string& r : regents)
        for (const std::string f : {"Domain_Name", "Vassals", "Current_GB", "Misc_Leftovers"}) {
            const store::pg::Value v =
                server.query("SELECT \"" + f + "\"::text FROM vddb WHERE \"Character_Name\" = $1", {r}).rows.at(0)[0];
            const auto it = model.find(r + "/" + f + (f == "Misc_Leftovers" ? "/" + v.value_or("") : ""));
            EXPECT_EQ(v, it == model.end() ? std::nullopt : store::pg::Value(it->second)) << r << " " << f;
        }
    for (std::size_t p = 0; p < programs.size(); ++p) {
        programs[p]->session.takeServerChanges(true);
        EXPECT_EQ(rows(programs[p]->session, "vddb"), serverRows("vddb", roles[p])) << roles[p];
        EXPECT_EQ(rows(programs[p]->session, "vdprovs"), serverRows("vdprovs", roles[p])) << roles[p];
    }
}

TEST_F(ServerCampaignTest, ADatabaseHoldingWhatTheProgramDidNotMakeIsRefusedNamingIt)
{
    const std::pair<const char*, const char*> cases[] = {  // made, then named
        {"CREATE TABLE spy (x int)", "table \"spy\""},
        {"CREATE VIEW everyone AS SELECT * FROM vddb", "view \"everyone\""},
        {"CREATE FUNCTION leak() RETURNS int LANGUAGE sql AS 'SELECT 1'", "function \"leak\""},
        {"CREATE OR REPLACE FUNCTION store_announce() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN RETURN NULL; END $$",
         "function \"store_announce\""},
        {"CREATE TRIGGER listen AFTER INSERT ON vdprovs FOR EACH ROW EXECUTE FUNCTION store_announce()",
         "trigger \"listen\""},
        {"CREATE POLICY everything ON vddb FOR ALL USING (true)", "policy \"everything\""},
        {"CREATE RULE quiet AS ON DELETE TO vdprovs DO INSTEAD NOTHING", "rule \"quiet\""},
    };
    share();
    program("A").reset();  // as made, it opens
    for (const auto& [make, named] : cases) {
        const std::string fresh = testing_support::newServerCampaign(testing_support::testServer());
        store::pg::Connection::open(fresh).exec(make);
        try {
            ServerCampaign copy(*session_.databaseForAlias("B"), fresh);
            ADD_FAILURE() << make;
        } catch (const StoreError& e) {
            EXPECT_NE(std::string(e.what()).find(std::string("holds the ") + named), std::string::npos) << e.what();
        }
    }
}

// The server stores a save and the copy's own commit then fails: the save
// is pending, and saving again stores it once on the server, a new record
// and a change alike.
TEST_F(ServerCampaignTest, ASaveTheServerStoredButTheCopyDidNotIsStoredOnceWhenSavedAgain)
{
    testing_support::FaultVfs vfs;  // before the copy's connection opens
    share();
    auto a = program("A");
    auto chars = table("A", "vddb.DB");
    addCharacter(*chars, "G", "Aric");
    auto provs = table("A", "vdprovs.db");
    for (int i = 0; i < 2; ++i) {
        vfs.failDelete = "campaign.sqlite-journal";
        if (i == 0) {
            EXPECT_THROW(addProvince(*provs, "G", "Aric", "Ilien"), StoreError);
        } else {
            provs->edit();
            provs->setText("Province_Name", "Ilien Magna");
            EXPECT_THROW(provs->post(), StoreError);
        }
        EXPECT_TRUE(provs->editing());
        a->pull();  // the server's announcement of it came meanwhile
        provs->post();
        EXPECT_EQ(serverRows("vdprovs").size(), 1u);
        EXPECT_EQ(rows("A", "vdprovs"), serverRows("vdprovs"));
    }
}

namespace {

// Each stored value of a column, as the server holds them.
std::multiset<std::string> serverNames(const std::string& campaign, const std::string& column = "Province_Name",
                                       const std::string& table = "vdprovs")
{
    std::multiset<std::string> out;
    for (const auto& row : store::pg::Connection::open(campaign).query("SELECT \"" + column + "\" FROM " + table).rows)
        out.insert(row[0].value_or(""));
    return out;
}

}  // namespace

// The server ends the program's connection at random moments, in the middle
// of a save or of its commit: each save is made again until it is
// acknowledged, and each is stored exactly once; then it stays away a while.
TEST_F(ServerCampaignTest, ConnectionsEndedAtRandomDuringSavesLoseNothingAndAServerGoneKeepsTheSavePending)
{
    {
        auto chars = openTable("vddb.DB");
        addCharacter(*chars, "G", "Aric");
    }
    share();
    auto a = program("A");
    auto provs = table("A", "vdprovs.db");
    int refused = 0;
    {
        std::jthread killer([this](std::stop_token stop) {
            auto kill = store::pg::Connection::open(campaign);
            std::mt19937 rng(11);
            while (!stop.stop_requested()) {
                std::this_thread::sleep_for(std::chrono::microseconds(std::uniform_int_distribution<int>(0, 20000)(rng)));
                kill.exec("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = current_database() AND "
                          "pid <> pg_backend_pid()");
            }
        });
        for (int i = 0; i < 60; ++i) {
            for (int attempt = 0;; ++attempt) {
                try {
                    attempt == 0 ? addProvince(*provs, "G", "Aric", "p" + std::to_string(i)) : provs->post();
                    break;
                } catch (const StoreError& e) {
                    ++refused;
                    ASSERT_LT(attempt, 200) << e.what();
                    ASSERT_TRUE(provs->editing());  // pending, as typed
                }
            }
        }
    }
    EXPECT_GT(refused, 0);  // some ends came during a save
    // A server that stays away: the save says so and the record stays as typed.
    provs->edit();
    provs->setText("Province_Name", "p59 Magna");
    const std::string db = campaign.substr(campaign.rfind('=') + 1);
    admin.exec("ALTER DATABASE " + db + " ALLOW_CONNECTIONS false");
    admin.query("SELECT pg_terminate_backend(pid, 5000) FROM pg_stat_activity WHERE datname = $1", {db});
    EXPECT_THROW(
        try { provs->post(); } catch (const StoreError& e) {
            EXPECT_NE(std::string(e.what()).find("Cannot reach the server"), std::string::npos) << e.what();
            throw;
        },
        StoreError);
    EXPECT_EQ(provs->text("Province_Name"), "p59 Magna");
    admin.exec("ALTER DATABASE " + db + " ALLOW_CONNECTIONS true");
    provs->post();
    std::multiset<std::string> expected{"p59 Magna"};
    for (int i = 0; i < 59; ++i)
        expected.insert("p" + std::to_string(i));
    EXPECT_EQ(serverNames(campaign), expected);
    a->pull();
    EXPECT_EQ(rows("A", "vdprovs"), serverRows("vdprovs"));
}

// The program killed at random moments while it saves: every save it
// acknowledged is on the server, none twice, and its copy opens again as
// the server holds it.
TEST_F(ServerCampaignTest, AProgramKilledAtRandomDuringSavesLosesNothingAcknowledged)
{
    {
        auto chars = openTable("vddb.DB");
        addCharacter(*chars, "G", "Aric");
    }
    share();
    // The program's copy, opened only by the children until the end.
    session_.aliases().add(store::Alias{"K", "STANDARD", {{"PATH", (temp_.path() / "K").string() + "/"}}}, true);
    std::mt19937 rng(5);
    std::multiset<std::string> acknowledged;
    for (int round = 0; round < 8; ++round) {
        int acks[2];
        ASSERT_EQ(pipe(acks), 0);
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(acks[0]);
            store::Session own(session_.aliases(), campaign::catalogue());
            ServerCampaign copy(*own.databaseForAlias("K"), campaign);
            store::Table provs(own);
            provs.open("K", "vdprovs.db");
            for (int i = 1000 * round;; ++i) {
                addProvince(provs, "G", "Aric", "p" + std::to_string(i));
                if (write(acks[1], &i, sizeof i) != sizeof i)
                    _exit(1);
            }
        }
        close(acks[1]);
        std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(20, 200)(rng)));
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        for (int i = 0; read(acks[0], &i, sizeof i) == sizeof i;)
            acknowledged.insert("p" + std::to_string(i));
        close(acks[0]);
        // Acknowledged: stored once; not: perhaps stored (killed after the commit), never twice.
        const std::multiset<std::string> stored = serverNames(campaign);
        for (const std::string& name : acknowledged)
            EXPECT_EQ(stored.count(name), 1u) << "round " << round << ": " << name;
        for (const std::string& name : stored)
            EXPECT_EQ(stored.count(name), 1u) << "round " << round << ": " << name;
    }
    EXPECT_GT(acknowledged.size(), 8u);
    auto k = program("K");
    EXPECT_EQ(rows("K", "vdprovs"), serverRows("vdprovs"));
}

namespace {

// A copy's four tables, and the import as the transfer window makes it, in
// one transaction across the two files.
struct Transfer {
    Transfer(store::Session& s, const std::string& alias) : chars(s), provs(s), trans(s), xprov(s)
    {
        for (auto [t, name] : {std::pair{&chars, "vddb.DB"}, {&provs, "vdprovs.db"}, {&trans, "vdtrans.DB"}, {&xprov, "expprovs.DB"}})
            t->open(alias, name);
    }
    void import()
    {
        store::allOrNothing(chars, {&chars, &provs, &trans, &xprov}, [this] {
            chars.appendFrom(trans);
            provs.appendFrom(xprov);
            xprov.removeAll();
            trans.removeAll();
        });
    }
    store::Table chars, provs, trans, xprov;
};

}  // namespace

TEST_F(ServerCampaignTest, AnImportKilledBetweenTheServersCommitAndTheCopysIsFinishedWhenTheCopyOpensAgain)
{
    share();
    session_.aliases().add(store::Alias{"K", "STANDARD", {{"PATH", (temp_.path() / "K").string() + "/"}}}, true);
    const pid_t pid = fork();
    if (pid == 0) {
        testing_support::FaultVfs vfs;
        store::Session own(session_.aliases(), campaign::catalogue());
        ServerCampaign copy(*own.databaseForAlias("K"), campaign);
        Transfer t(own, "K");
        for (const std::string name : {"Aric", "Brenna"}) {
            addCharacter(t.trans, "G", name);
            addProvince(t.xprov, "G", name, name + "'s Hold");
        }
        // The copy's commit across its two files begins: the server's is done.
        vfs.onOpen = "-mj";
        vfs.action = [] { _exit(9); };
        t.import();
        _exit(1);
    }
    int status = 0;
    ASSERT_TRUE(waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 9) << status;
    auto k = program("K");
    Transfer t(session_, "K");
    EXPECT_TRUE(column(t.trans, "Character_Name").empty() && column(t.xprov, "Province_Name").empty());
    t.import();  // nothing is left to import a second time
    EXPECT_EQ(rows("K", "vdprovs"), serverRows("vdprovs"));
    EXPECT_EQ(serverRows("vdprovs").size(), 2u);
}

// The server's processes ended at once, as by a power cut, at random moments
// of saves and imports, and started again: every save is made again until
// acknowledged, as the user would, and the server ends with each exactly once.
TEST_F(ServerCampaignTest, TheServerKilledAtRandomDuringSavesAndImportsLosesNothingAndStoresNothingTwice)
{
    const std::string state = (temp_.path() / "server").string();
    auto server = [&state](const std::string& what) {
        return std::system(("'" VDDB_SOURCE_DIR "/scripts/pg-server' " + what + " '" + state + "' >/dev/null 2>&1").c_str()) == 0;
    };
    ASSERT_TRUE(server("start"));
    const std::shared_ptr<void> stop(nullptr, [&](void*) { server("stop"); });
    setenv("VDDB_OWN_PG", state.c_str(), 1);
    campaign = testing_support::newServerCampaign(testing_support::testServer("VDDB_OWN_PG"));
    addCharacter(*openTable("vddb.DB"), "G", "Aric");
    share();
    auto a = program("A");
    Transfer t(session_, "A");
    std::multiset<std::string> provinces, characters{"Aric"};
    int failed = 0;
    // Saved again while it stays pending; meanwhile the program brings in
    // what the server announced, as its timer does.
    auto untilStored = [&](store::Table* pending, const std::function<void()>& first) {
        for (int attempt = 0; attempt < 1000; ++attempt, ++failed) {
            try {
                return attempt > 0 && pending && pending->editing() ? pending->post() : first();
            } catch (const StoreError&) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                try { a->pull(); } catch (const StoreError&) {}
            }
        }
        FAIL() << "never stored";
    };
    {
        std::jthread killer([&server](std::stop_token stop) {
            std::mt19937 rng(3);
            for (auto pause = std::uniform_int_distribution<int>(0, 150); !stop.stop_requested();) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20 + pause(rng)));
                server("crash");
                std::this_thread::sleep_for(std::chrono::milliseconds(pause(rng) / 2));
                server("again");
            }
        });
        for (int i = 0; i < 36; ++i) {
            const std::string name = "p" + std::to_string(i);
            if (i % 6 != 5) {
                untilStored(&t.provs, [&] { addProvince(t.provs, "G", "Aric", name); });
                provinces.insert(name);
                continue;
            }
            for (const std::string& c : {"A" + name, "B" + name}) {
                untilStored(&t.trans, [&] { addCharacter(t.trans, "G", c); });
                untilStored(&t.xprov, [&] { addProvince(t.xprov, "G", c, c + " Hold"); });
                characters.insert(c);
                provinces.insert(c + " Hold");
            }
            untilStored(nullptr, [&] { t.import(); });
        }
    }
    server("again");  // if the last crash was not followed by a start
    a->pull();
    EXPECT_GT(failed, 0);
    EXPECT_EQ(serverNames(campaign), provinces);
    EXPECT_EQ(serverNames(campaign, "Character_Name", "vddb"), characters);
    EXPECT_EQ(rows("A", "vddb"), serverRows("vddb"));
    EXPECT_EQ(rows("A", "vdprovs"), serverRows("vdprovs"));
    EXPECT_TRUE(column(t.trans, "Character_Name").empty());
}
