#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <thread>

#include "campaign/catalogue.h"
#include "fixture.h"
#include "store/database.h"
#include "store/error.h"
#include "store/layout.h"
#include "store/paths.h"
#include "store/sqlite.h"

namespace fs = std::filesystem;
using testing_support::StoreTest;

namespace {

std::vector<std::string> columnsInFile(const fs::path& file, const std::string& table)
{
    auto conn = store::sql::Connection::open(file.string(), false);
    store::sql::Statement st(conn, "PRAGMA table_info(" + table + ")");
    std::vector<std::string> out;
    while (st.step())
        out.push_back(st.text(1) + " " + st.text(2));
    return out;
}

std::string integrity(const fs::path& file)
{
    auto conn = store::sql::Connection::open(file.string(), false);
    store::sql::Statement st(conn, "PRAGMA integrity_check");
    st.step();
    return st.text(0);
}

}  // namespace

class FilesTest : public StoreTest {};

TEST_F(FilesTest, FirstStartCreatesBothFilesWithTheFourLayouts)
{
    ASSERT_FALSE(fs::exists(dataFolder()));
    auto t = openTable("vddb.DB");
    EXPECT_TRUE(fs::exists(dataFolder() / "campaign.sqlite"));
    EXPECT_TRUE(fs::exists(dataFolder() / "transfer.sqlite"));

    auto chars = columnsInFile(dataFolder() / "campaign.sqlite", "vddb");
    ASSERT_EQ(chars.size(), 62u);
    EXPECT_EQ(chars[0], "Game_Name VARCHAR(30)");
    EXPECT_EQ(chars[27], "Army_Maintenenace SMALLINT");
    EXPECT_EQ(chars[49], "Total_Castles/Forts SMALLINT");
    EXPECT_EQ(chars[21], "Ley_Line_Network TEXT");
    EXPECT_EQ(chars[5], "Warrior BOOLEAN");
    auto provs = columnsInFile(dataFolder() / "campaign.sqlite", "vdprovs");
    ASSERT_EQ(provs.size(), 78u);
    EXPECT_EQ(provs[52], "AutoKeyInc INTEGER");
    EXPECT_EQ(provs[77], "Temple4_Law_Loss_Source VARCHAR(30)");
    EXPECT_EQ(columnsInFile(dataFolder() / "transfer.sqlite", "vdtrans"), chars);
    EXPECT_EQ(columnsInFile(dataFolder() / "transfer.sqlite", "expprovs"), provs);
}

TEST_F(FilesTest, TablesOpenByNameWithoutExtensionOrCase)
{
    for (const char* name : {"vddb.DB", "VDDB", "vdprovs.db", "VdProvs.DB", "vdtrans.db", "EXPPROVS"}) {
        auto t = openTable(name);
        EXPECT_TRUE(t->isOpen()) << name;
    }
    EXPECT_THROW(openTable("nosuch.DB"), store::StoreError);
}

TEST_F(FilesTest, HalfPresentFolderCreatesNothingAndNamesTheMissingTable)
{
    openTable("vddb.DB");  // first start
    fs::remove(dataFolder() / "transfer.sqlite");
    store::Session fresh(session_.aliases(), campaign::catalogue());
    store::Table chars(fresh), trans(fresh);
    chars.open("VDDB", "vddb.DB");
    try {
        trans.open("VDDB", "vdtrans.DB");
        FAIL() << "opened a table whose file is missing";
    } catch (const store::StoreError& e) {
        EXPECT_NE(std::string(e.what()).find("vdtrans.DB"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(fs::exists(dataFolder() / "transfer.sqlite"));

    // Only the transfer file: the campaign tables fail, the transfer ones open.
    fs::remove(dataFolder() / "campaign.sqlite");
    store::Database::createFile(campaign::catalogue(), dataFolder() / "transfer.sqlite", campaign::transferFile);
    store::Session other(session_.aliases(), campaign::catalogue());
    store::Table c2(other), t2(other);
    EXPECT_THROW(c2.open("VDDB", "vdprovs.db"), store::StoreError);
    t2.open("VDDB", "expprovs.DB");
    EXPECT_TRUE(t2.isOpen());
    EXPECT_FALSE(fs::exists(dataFolder() / "campaign.sqlite"));
}

TEST_F(FilesTest, MissingTableInsideAFileIsNamed)
{
    openTable("vddb.DB");
    {
        auto conn = store::sql::Connection::open((dataFolder() / "campaign.sqlite").string(), false);
        conn.exec("DROP TABLE vdprovs");
    }
    store::Session fresh(session_.aliases(), campaign::catalogue());
    store::Table t(fresh);
    try {
        t.open("VDDB", "vdprovs.db");
        FAIL();
    } catch (const store::StoreError& e) {
        EXPECT_NE(std::string(e.what()).find("vdprovs.db"), std::string::npos) << e.what();
    }
}

TEST_F(FilesTest, UnknownAliasFails)
{
    store::Table t(session_);
    EXPECT_THROW(t.open("NOPE", "vddb.DB"), store::StoreError);
}

TEST_F(FilesTest, KeyIsUniqueInTheFileItself)
{
    openTable("vddb.DB");
    auto conn = store::sql::Connection::open((dataFolder() / "campaign.sqlite").string(), false);
    conn.exec("INSERT INTO vddb (Game_Name, Character_Name) VALUES ('G', 'A')");
    EXPECT_THROW(conn.exec("INSERT INTO vddb (Game_Name, Character_Name) VALUES ('G', 'A')"), store::sql::SqlError);
    conn.exec("INSERT INTO vddb (Game_Name, Character_Name) VALUES ('', '')");
    EXPECT_THROW(conn.exec("INSERT INTO vddb (Game_Name, Character_Name) VALUES ('', '')"), store::sql::SqlError);
    EXPECT_THROW(conn.exec("INSERT INTO vddb (Game_Name, Character_Name) VALUES ('G', 'B'), ('G', 'B')"),
                 store::sql::SqlError);
    // The file refuses out-of-range and over-long values as well.
    EXPECT_THROW(conn.exec("INSERT INTO vddb (Game_Name, Character_Name, Palace_Value) VALUES ('G', 'C', 40000)"),
                 store::sql::SqlError);
    EXPECT_THROW(conn.exec("INSERT INTO vddb (Game_Name, Character_Name) VALUES ('G', printf('%.31c', 'x'))"),
                 store::sql::SqlError);
}

// A writer killed at an arbitrary moment loses at most the record in flight,
// and both files stay sound.
TEST_F(FilesTest, KillDuringWritesLosesAtMostTheOperationInFlight)
{
    openTable("vddb.DB");
    for (int round = 0; round < 3; ++round) {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(ready[0]);
            store::Session s(session_.aliases(), campaign::catalogue());
            store::Table c(s), p(s), x(s);
            c.open("VDDB", "vddb.DB");
            p.open("VDDB", "vdprovs.db");
            x.open("VDDB", "vdtrans.DB");
            for (int i = 0;; ++i) {
                std::string name = "R" + std::to_string(round) + "-" + std::to_string(i);
                c.insert();
                c.setText("Game_Name", "Kill");
                c.setText("Character_Name", name);
                c.setText("Misc_Leftovers", std::string(5000, 'm'));
                c.post();
                p.insert();
                p.setText("Game_Name", "Kill");
                p.setText("Character_Name", name);
                p.post();
                x.insert();
                x.setText("Character_Name", name);
                x.post();
                if (i % 5 == 4) {
                    x.first();
                    x.remove();
                }
                if (i == 2) {  // well under way: the parent may strike from now on
                    char c = 1;
                    (void)!write(ready[1], &c, 1);
                }
            }
        }
        close(ready[1]);
        char started = 0;
        ASSERT_EQ(read(ready[0], &started, 1), 1);
        close(ready[0]);
        std::this_thread::sleep_for(std::chrono::milliseconds(20 + 37 * round));
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status));
        EXPECT_EQ(integrity(dataFolder() / "campaign.sqlite"), "ok");
        EXPECT_EQ(integrity(dataFolder() / "transfer.sqlite"), "ok");
        // Every character but possibly the last has its province.
        store::Session s(session_.aliases(), campaign::catalogue());
        store::Table c(s), p(s);
        c.open("VDDB", "vddb.DB");
        p.open("VDDB", "vdprovs.db");
        auto names = column(c, "Character_Name");
        auto provs = column(p, "Character_Name");
        EXPECT_GT(names.size(), 0u);
        EXPECT_LE(names.size(), provs.size() + static_cast<std::size_t>(round) + 1);
        EXPECT_GE(names.size(), provs.size());
        c.first();
        while (!c.eof()) {
            EXPECT_EQ(c.text("Misc_Leftovers").size(), 5000u);  // no torn record
            c.next();
        }
    }
}

TEST_F(FilesTest, FoldersWithAnyNameWork)
{
    const fs::path folder = temp_.path() / "Dätä 100% ?#" / "ünï";
    session_.aliases().add(store::Alias{"Other", "STANDARD", {{"PATH", store::utf8(folder) + "/"}}}, true);
    store::Table t(session_), x(session_);
    t.open("Other", "vddb.DB");
    x.open("Other", "vdtrans.DB");  // the transfer file is attached by a URI
    addCharacter(t, "G", "A");
    EXPECT_TRUE(fs::exists(folder / "campaign.sqlite"));
    EXPECT_TRUE(fs::exists(folder / "transfer.sqlite"));
    EXPECT_EQ(t.recordCount(), 1);
}
