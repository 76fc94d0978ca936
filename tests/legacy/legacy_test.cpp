// Old Paradox tables brought into the SQLite files, on folders of tables the
// tests write byte by byte.
#include "legacy/bring_in.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

#include "campaign/catalogue.h"
#include "paradox/campaign_writer.h"
#include "store/database.h"
#include "store/error.h"
#include "store/sqlite.h"

namespace fs = std::filesystem;
using paradox::FieldType;
using pxtest::In;
using pxtest::TableWriter;

namespace {

const store::Catalogue& cat() { return campaign::catalogue(); }
TableWriter writer(const char* table, int codePage = 1252) { return pxtest::writerFor(*campaign::findLayout(table), codePage); }

std::string bytesOf(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class LegacyTest : public ::testing::Test {
protected:
    LegacyTest() { fs::create_directories(dir); }
    ~LegacyTest() override { fs::remove_all(root); }

    // A column of a table in one of the files, in row order; "NULL" for none.
    std::vector<std::string> column(const char* file, const char* table, const char* name)
    {
        store::sql::Connection c = store::sql::Connection::open((dir / file).string(), false);
        store::sql::Statement st(c, std::string("SELECT ") + store::sql::quoteIdentifier(name) + " FROM " + table +
                                        " ORDER BY rowid");
        std::vector<std::string> out;
        while (st.step())
            out.push_back(st.isNull(0) ? "NULL" : st.text(0));
        return out;
    }
    // The folder's files with their bytes, to show nothing was changed.
    std::map<std::string, std::string> snapshot()
    {
        std::map<std::string, std::string> out;
        for (const auto& e : fs::directory_iterator(dir))
            out[e.path().filename().string()] = bytesOf(e.path());
        return out;
    }

    fs::path root = fs::temp_directory_path() / ("vddb-legacy-" + std::to_string(std::random_device{}()));
    fs::path dir = root / "Data";
};

// Every field type, empty values, long memos and both code pages come in as
// they were; provinces keep the order in which they were added.
TEST_F(LegacyTest, EveryTypeAndCodePageComesInWhole)
{
    struct Case {
        int codePage;
        std::string storedName;  // "Aérin" in that code page
    };
    for (const Case& c : {Case{1252, "A\xE9rin"}, Case{437, "A\x82rin"}}) {
        SCOPED_TRACE(c.codePage);
        fs::remove_all(dir);
        fs::create_directories(dir);
        TableWriter ch = writer("vddb.DB", c.codePage);
        ch.rows = {pxtest::rowOf(ch, {{"Game_Name", "Test"}, {"Character_Name", c.storedName},
                                      {"Bloodline_Score", -12}, {"Warrior", true}, {"Mage", false},
                                      {"Misc_Leftovers", std::string(1000, 'm')}, {"Vassals", "Two\r\nknights"}}),
                   pxtest::rowOf(ch, {{"Game_Name", "Test"}, {"Character_Name", "Bor"}})};
        TableWriter pr = writer("VDPROVS.DB", c.codePage);
        pr.rows = {pxtest::rowOf(pr, {{"Game_Name", "Test"}, {"Character_Name", "Bor"}, {"Province_Name", "Third"},
                                      {"AutoKeyInc", 9}}),
                   pxtest::rowOf(pr, {{"Game_Name", "Test"}, {"Character_Name", "Bor"}, {"Province_Name", "First"},
                                      {"Province_Level", 32767}, {"AutoKeyInc", 2}}),
                   pxtest::rowOf(pr, {{"Game_Name", "Test"}, {"Character_Name", "Bor"}, {"Province_Name", "Second"},
                                      {"AutoKeyInc", 5}})};
        pxtest::writeTable(ch, dir, "VDDB.db");  // any letter case
        pxtest::writeTable(pr, dir, "vdprovs.db");
        pxtest::writeTable(writer("vdtrans.DB", c.codePage), dir, "vdtrans.DB");
        pxtest::writeTable(writer("expprovs.DB", c.codePage), dir, "expprovs.DB");
        const auto before = snapshot();

        ASSERT_TRUE(legacy::needsFirstImport(dir, cat()));
        const legacy::Report r = legacy::bringInAtFirstOpen(dir, cat());
        EXPECT_EQ(legacy::summary(r, dir),
                  "Imported 2 characters and 3 provinces from the Paradox tables in " + dir.string() + ".");
        EXPECT_FALSE(legacy::needsFirstImport(dir, cat()));  // a second start brings nothing in

        // Key order is the table's; the rows went in as the file held them.
        EXPECT_EQ(column("campaign.sqlite", "vddb", "Character_Name"), (std::vector<std::string>{"A\u00e9rin", "Bor"}));
        EXPECT_EQ(column("campaign.sqlite", "vddb", "Bloodline_Score"), (std::vector<std::string>{"-12", "NULL"}));
        EXPECT_EQ(column("campaign.sqlite", "vddb", "Warrior"), (std::vector<std::string>{"1", "NULL"}));
        EXPECT_EQ(column("campaign.sqlite", "vddb", "Mage"), (std::vector<std::string>{"0", "NULL"}));
        EXPECT_EQ(column("campaign.sqlite", "vddb", "Misc_Leftovers"), (std::vector<std::string>{std::string(1000, 'm'), "NULL"}));
        EXPECT_EQ(column("campaign.sqlite", "vddb", "Vassals"), (std::vector<std::string>{"Two\r\nknights", "NULL"}));
        EXPECT_EQ(column("campaign.sqlite", "vddb", "Domain_Name"), (std::vector<std::string>{"NULL", "NULL"}));
        EXPECT_EQ(column("campaign.sqlite", "vdprovs", "Province_Name"),
                  (std::vector<std::string>{"First", "Second", "Third"}));
        EXPECT_EQ(column("campaign.sqlite", "vdprovs", "Province_Level"), (std::vector<std::string>{"32767", "NULL", "NULL"}));
        EXPECT_TRUE(column("transfer.sqlite", "vdtrans", "Game_Name").empty());
        EXPECT_EQ(snapshot().size(), before.size() + 2);  // the two files and nothing else
        for (const auto& [name, bytes] : before)
            EXPECT_EQ(bytesOf(dir / name), bytes) << name;
        // The files open as the program's own.
        store::Database db(dir, cat());
        EXPECT_EQ(db.schemaFor(*campaign::findLayout("vdprovs.db")), "main");
        EXPECT_EQ(db.schemaFor(*campaign::findLayout("expprovs.DB")), "xfer");
    }
}

// Columns that differ from the layout are named; those that match come in.
// A key held twice keeps its first record; only the tables there come in.
TEST_F(LegacyTest, OddColumnsAndDuplicateKeysAreReported)
{
    TableWriter ch;
    ch.fields = {{"game_name", FieldType::Alpha, 30},         // another letter case matches
                 {"Character_Name", FieldType::Alpha, 30},
                 {"Palace_Value", FieldType::Alpha, 5},         // another type
                 {"Domain_Name", FieldType::Alpha, 40},         // too wide to hold whole
                 {"Bloodline_Score", FieldType::Long, 4},       // another type
                 {"Favourite_Colour", FieldType::Alpha, 10},    // not the program's
                 {"State_Religion", FieldType::Alpha, 20}};     // narrower: fits
    ch.rows = {{std::string("G"), std::string("Aric"), std::string("12"), std::string("Wide"), 7, std::string("red"), std::string("Haelyn")},
               {std::string("G"), std::string("Bor"), std::monostate{}, std::monostate{}, 1, std::monostate{}, std::monostate{}},
               {std::string("G"), std::string("Aric"), std::monostate{}, std::monostate{}, 2, std::monostate{}, std::string("Second")}};
    pxtest::writeTable(ch, dir, "vddb.DB");

    const legacy::Report r = legacy::bringInAtFirstOpen(dir, cat());
    EXPECT_EQ(r.count("vddb"), 2);
    EXPECT_EQ(r.count("vdprovs"), 0);
    EXPECT_EQ(r.leftOut, (std::vector<std::string>{"vddb.DB Bloodline_Score (I where S is expected)",
                                                   "vddb.DB Domain_Name (A40 where A30 is expected)",
                                                   "vddb.DB Palace_Value (A5 where S is expected)",
                                                   "vddb.DB Favourite_Colour (no such column)"}));
    EXPECT_EQ(r.leftEmpty.size(), 62u - 6u);
    EXPECT_EQ(r.duplicates, (std::vector<std::string>{"character 'Aric' of game 'G' in vddb.DB"}));
    const std::string text = legacy::summary(r, dir);
    EXPECT_NE(text.find("Columns skipped: vddb.DB Bloodline_Score (I where S is expected), vddb.DB Domain_Name"), std::string::npos);
    EXPECT_NE(text.find("Left out as duplicates (the first record of each key was kept): character 'Aric'"),
              std::string::npos);
    EXPECT_EQ(column("campaign.sqlite", "vddb", "State_Religion"), (std::vector<std::string>{"Haelyn", "NULL"}));
    EXPECT_EQ(column("campaign.sqlite", "vddb", "Palace_Value"), (std::vector<std::string>{"NULL", "NULL"}));
    EXPECT_EQ(column("campaign.sqlite", "vddb", "Domain_Name"), (std::vector<std::string>{"NULL", "NULL"}));
    // The tables that were not there start empty.
    EXPECT_TRUE(column("campaign.sqlite", "vdprovs", "Game_Name").empty());
    EXPECT_TRUE(column("transfer.sqlite", "expprovs", "Game_Name").empty());
}

// Whatever fails, reading or writing, no SQLite file is left behind and the
// Paradox files are as they were.
TEST_F(LegacyTest, AFailureLeavesNoFileAndTheOldTablesUntouched)
{
    struct Case {
        const char* what;
        std::function<void()> damage;
        std::string expected;  // in the error's text
        legacy::Steps steps = {};
    };
    legacy::Steps inTheWay;  // another program makes a folder where the transfer file goes
    inTheWay.stage = [&](int, int, const std::string& what) {
        if (what == "Putting the files in place")
            fs::create_directory(dir / campaign::transferFile);
    };
    const auto twoTables = [this](std::string armies) {
        TableWriter ch = writer("vddb.DB");
        ch.rows = {pxtest::rowOf(ch, {{"Game_Name", "G"}, {"Character_Name", "Aric"}})};
        pxtest::writeTable(ch, dir, "vddb.DB");
        TableWriter pr = writer("vdprovs.db");
        pr.rows = {pxtest::rowOf(pr, {{"Game_Name", "G"}, {"Character_Name", "Aric"}, {"Province_Name", "P"},
                                      {"Armies", armies}})};
        pxtest::writeTable(pr, dir, "vdprovs.db");
    };
    const std::vector<Case> cases = {
        {"truncated table", [&] { twoTables("x"); fs::resize_file(dir / "vdprovs.db", 300); }, "vdprovs.db"},
        {"memo file missing", [&] { twoTables(std::string(500, 'a')); fs::remove(dir / "vdprovs.MB"); }, "vdprovs"},
        {"memo too long to show", [&] { twoTables(std::string(store::memoLimit + 1, 'a')); }, "longer than"},
        // Read fine, refused once the campaign file is half written.
        {"NUL inside a memo", [&] { twoTables(std::string("two\0parts", 9)); }, "Province 'P'"},
        {"an old table that cannot be looked at",
         [&] { twoTables("x"); fs::create_symlink("VDDB.DB", dir / "VDDB.DB"); }, "VDDB.DB: cannot be read"},
        {"a folder in the way of the second file", [&] { twoTables("x"); }, "transfer.sqlite", inTheWay},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(dir);
        fs::create_directories(dir);
        c.damage();
        const auto before = snapshot();
        try {
            legacy::bringInAtFirstOpen(dir, cat(), c.steps);
            ADD_FAILURE() << "no error";
        } catch (const std::exception& e) {
            EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos) << e.what();
        }
        fs::remove(dir / campaign::transferFile);  // the other program's empty folder
        EXPECT_EQ(snapshot(), before);
    }
}

// A genuine table is never refused for a field the bring-in leaves out
// anyway: no leading part of a blob in the record, a BCD number, a graphic
// whose memo file is gone.
TEST_F(LegacyTest, FieldsLeftOutNeverRefuseTheTable)
{
    struct Case {
        FieldType type;
        int size;
        In value;
        char letter;
        bool memoFile = true;
    };
    const std::vector<Case> cases = {
        {FieldType::FormattedMemo, 10, std::string("formatted"), 'F'}, {FieldType::Blob, 10, std::string("bytes"), 'B'},
        {FieldType::Ole, 10, std::string("object"), 'O'},           {FieldType::Graphic, 10, std::string("image"), 'G'},
        {FieldType::Bcd, 2, std::string(17, '\xC1'), '#'},
        {FieldType::Graphic, 20, std::string(300, 'g'), 'G', false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(1, c.letter) + std::to_string(c.size));
        fs::remove_all(dir);
        fs::create_directories(dir);
        TableWriter ch;
        ch.fields = {{"Game_Name", FieldType::Alpha, 30}, {"Vassals", c.type, c.size}, {"Character_Name", FieldType::Alpha, 30}};
        ch.rows = {{std::string("G"), c.value, std::string("Aric")}};
        pxtest::writeTable(ch, dir, "vddb.DB");
        if (!c.memoFile)
            fs::remove(dir / "vddb.MB");
        const legacy::Report r = legacy::bringInAtFirstOpen(dir, cat());
        EXPECT_EQ(r.count("vddb"), 1);
        EXPECT_EQ(r.leftOut, std::vector<std::string>{"vddb.DB Vassals (" + std::string(1, c.letter) + " where M is expected)"});
        EXPECT_EQ(column("campaign.sqlite", "vddb", "Character_Name"), std::vector<std::string>{"Aric"});
    }
}

// The user's Cancel takes everything back too.
TEST_F(LegacyTest, CancelLeavesNoFile)
{
    TableWriter ch = writer("vddb.DB");
    for (int i = 0; i < 1200; ++i)
        ch.rows.push_back(pxtest::rowOf(ch, {{"Game_Name", "G"}, {"Character_Name", "C" + std::to_string(i)}}));
    pxtest::writeTable(ch, dir, "vddb.DB");
    const auto before = snapshot();
    int asked = 0;
    legacy::Steps steps;
    steps.keepGoing = [&] { return ++asked < 3; };  // stops while the rows go in
    EXPECT_THROW(legacy::bringInAtFirstOpen(dir, cat(), steps), legacy::Cancelled);
    EXPECT_EQ(asked, 3);
    EXPECT_EQ(snapshot(), before);
}

// Into an open database: all or nothing, and a character already there is
// named with nothing brought in.
TEST_F(LegacyTest, BringingIntoADatabaseIsAllOrNothing)
{
    const fs::path old = root / "old";
    fs::create_directories(old);
    TableWriter ch = writer("vddb.DB");
    ch.rows = {pxtest::rowOf(ch, {{"Game_Name", "G"}, {"Character_Name", "Aric"}}),
               pxtest::rowOf(ch, {{"Game_Name", "G"}, {"Character_Name", "Bor"}})};
    pxtest::writeTable(ch, old, "vddb.DB");
    TableWriter pr = writer("vdprovs.db");
    pr.rows = {pxtest::rowOf(pr, {{"Game_Name", "G"}, {"Character_Name", "Bor"}, {"Province_Name", "P"}})};
    pxtest::writeTable(pr, old, "vdprovs.db");

    store::Database db(dir, cat());
    db.connection().exec("INSERT INTO vddb (Game_Name, Character_Name) VALUES ('G', 'Bor'), ('H', 'Aric')");
    db.connection().exec("INSERT INTO vdprovs (Game_Name, Character_Name, Province_Name) VALUES ('H', 'Aric', 'Q')");
    try {
        legacy::bringInto(db, old);
        ADD_FAILURE() << "no error";
    } catch (const legacy::AlreadyThere& e) {
        EXPECT_EQ(e.names(), (std::vector<std::string>{"character 'Bor' of game 'G' in vddb.DB"}));
    }
    EXPECT_EQ(column("campaign.sqlite", "vddb", "Character_Name"), (std::vector<std::string>{"Bor", "Aric"}));
    EXPECT_EQ(column("campaign.sqlite", "vdprovs", "Province_Name"), (std::vector<std::string>{"Q"}));

    db.connection().exec("DELETE FROM vddb WHERE Game_Name = 'G'");
    const legacy::Report r = legacy::bringInto(db, old);
    EXPECT_EQ(r.count("vddb"), 2);
    EXPECT_EQ(column("campaign.sqlite", "vddb", "Character_Name"), (std::vector<std::string>{"Aric", "Aric", "Bor"}));
    EXPECT_EQ(column("campaign.sqlite", "vdprovs", "Province_Name"), (std::vector<std::string>{"Q", "P"}));
}

}  // namespace

// A table without its key columns makes every record after the first a
// duplicate: a few are named, the rest counted. A province whose character
// the old tables lack is kept, under a character of its names.
TEST_F(LegacyTest, ManyDuplicatesAreCountedAndProvincesWithoutCharacterKept)
{
    TableWriter ch, pr;
    ch.fields = {{"Domain_Name", FieldType::Alpha, 30}};
    ch.rows.assign(25, {std::string("Realm")});
    pr.fields = {{"Character_Name", FieldType::Alpha, 30}, {"Province_Name", FieldType::Alpha, 30}};
    pr.rows = {{std::string("Lost"), std::string("Hill")}};
    pxtest::writeTable(ch, dir, "vddb.DB");
    pxtest::writeTable(pr, dir, "vdprovs.db");
    const legacy::Report r = legacy::bringInAtFirstOpen(dir, cat());
    EXPECT_EQ(r.ownersMade, 1);
    EXPECT_NE(legacy::summary(r, dir).find("in vddb.DB and 14 more.\n\nProvinces whose character the old tables lack were kept: 1 character"), std::string::npos)
        << legacy::summary(r, dir);
    EXPECT_EQ(column("campaign.sqlite", "vddb", "Character_Name"), (std::vector<std::string>{"", "Lost"}));
}
