// Files that come from elsewhere: nothing stored in them may run in the
// program, so a file holding anything the program does not create is refused.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include "campaign/catalogue.h"
#include "fixture.h"
#include "store/database.h"
#include "store/error.h"
#include "store/layout.h"
#include "store/schema.h"
#include "store/session.h"
#include "store/table.h"

namespace fs = std::filesystem;
using testing_support::StoreTest;

namespace {

// Runs SQL on a file the way another tool would, without the program's
// defensive settings (a hostile file is made with whatever it takes).
void rawExec(const fs::path& file, const std::string& sql)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    char* err = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err);
    const std::string message = err ? err : "";
    sqlite3_free(err);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << message << "\n" << sql;
}

// The error of opening the table on a data folder, empty when it opens.
std::string openError(const fs::path& folder, const std::string& table)
{
    store::Session session(store::AliasRegistry(folder / "aliases.conf"), campaign::catalogue());
    session.aliases().add(store::Alias{"VDDB", "STANDARD", {{"PATH", (folder / "Data").string() + "/"}}}, true);
    try {
        store::Table t(session);
        t.open("VDDB", table);
    } catch (const store::StoreError& e) {
        return e.what();
    }
    return {};
}

}  // namespace

class UntrustedFilesTest : public StoreTest {};

TEST_F(UntrustedFilesTest, AnObjectTheProgramDidNotCreateIsRefusedNamingFileAndObject)
{
    std::string withGenerated = store::createTableSql(*campaign::findLayout("vdtrans"), "");
    withGenerated.replace(withGenerated.find("\n);"), 3, ",\n  \"Extra\" AS (1)\n);");
    // The table made again with a clause the program never writes.
    const auto redefined = [](const char* table, const std::string& from, const std::string& to) {
        std::string ddl = store::createTableSql(*campaign::findLayout(table), "");
        return "DROP TABLE " + std::string(table) + "; " + ddl.replace(ddl.find(from), from.size(), to);
    };
    const std::string key = "\"Character_Name\" VARCHAR(30) NOT NULL";
    struct Case {
        const char* file;
        std::string sql;
        const char* refusal;  // empty: the file opens
    };
    const std::vector<Case> cases = {
        {campaign::transferFile,
         "CREATE TRIGGER undelete AFTER DELETE ON vdtrans BEGIN INSERT INTO vdtrans (Game_Name, Character_Name) "
         "VALUES (old.Game_Name, old.Character_Name || 'x'); END",
         "it holds the trigger \"undelete\""},
        {campaign::transferFile, "CREATE TRIGGER pay BEFORE DELETE ON expprovs BEGIN SELECT RAISE(ABORT, 'Pay up'); END",
         "it holds the trigger \"pay\""},
        {campaign::campaignFile, "CREATE TRIGGER spy AFTER INSERT ON vddb BEGIN SELECT 1; END",
         "it holds the trigger \"spy\""},
        {campaign::transferFile, "CREATE VIEW peek AS SELECT * FROM vdtrans", "it holds the view \"peek\""},
        {campaign::transferFile, "DROP TABLE vdtrans; CREATE VIEW vdtrans AS SELECT * FROM expprovs",
         "Table vdtrans.DB in"},
        {campaign::transferFile, "CREATE INDEX mine ON vdtrans (Domain_Name)", "it holds the index \"mine\""},
        {campaign::transferFile, "DROP INDEX vdtrans_name; CREATE UNIQUE INDEX vdtrans_name ON vdtrans (Character_Name)",
         "it holds the index \"vdtrans_name\""},
        {campaign::transferFile, "CREATE INDEX vdtrans_key2 ON vdtrans (abs(Palace_Value))",
         "it holds the index \"vdtrans_key2\""},
        {campaign::transferFile, "CREATE TABLE other (x)", "it holds the table \"other\""},
        {campaign::transferFile, "DROP TABLE vdtrans; CREATE VIRTUAL TABLE vdtrans USING fts5(Game_Name)",
         "Table vdtrans.DB in"},
        {campaign::transferFile, "CREATE VIRTUAL TABLE notes USING fts5(x)", "it holds the table \"notes"},
        {campaign::transferFile, "CREATE TABLE \"\xF0" + std::string(5000, '\x80') + "\" (x)",
         "it holds the table \"\xEF\xBF\xBD\", which"},
        // A temporary trigger cannot come from a file: one written into its
        // schema by hand is a trigger of the file like any other.
        {campaign::transferFile,
         "PRAGMA writable_schema=ON; INSERT INTO sqlite_master VALUES ('trigger', 'sneak', 'vdtrans', 0, "
         "'CREATE TEMP TRIGGER sneak AFTER DELETE ON vdtrans BEGIN SELECT 1; END')",
         "sneak"},
        {campaign::transferFile, "DROP TABLE vdtrans; " + withGenerated, "does not have the expected columns"},
        // Deleting "c1" would delete the provinces of "C1"; an import drop a
        // province and still empty the transfer tables; a save report success.
        {campaign::campaignFile, redefined("vdprovs", key, key + " COLLATE NOCASE"), "it holds the table \"vdprovs\""},
        {campaign::transferFile, redefined("expprovs", key, key + " ON CONFLICT IGNORE"), "the table \"expprovs\""},
        {campaign::transferFile, redefined("vdtrans", "NULL DEFAULT ''", "NULL DEFAULT 'x'"), "the table \"vdtrans\""},
        {campaign::campaignFile, redefined("vddb", "<= 30)", "<= 31)"), "it holds the table \"vddb\""},
        {campaign::transferFile, redefined("expprovs", "DELETE CASCADE", "DELETE SET NULL"), "the table \"expprovs\""},
        // SQLite's own statistics hold values, never code.
        {campaign::transferFile, "ANALYZE", ""},
    };
    int n = 0;
    for (const Case& c : cases) {
        const fs::path folder = temp_.path() / ("case" + std::to_string(n++));
        fs::create_directories(folder / "Data");
        store::Database::createFile(campaign::catalogue(), folder / "Data" / campaign::campaignFile, campaign::campaignFile);
        store::Database::createFile(campaign::catalogue(), folder / "Data" / campaign::transferFile, campaign::transferFile);
        rawExec(folder / "Data" / c.file, c.sql);
        const std::string table = std::string(c.file) == campaign::transferFile ? "vdtrans.DB" : "vddb.DB";
        const std::string error = openError(folder, table);
        if (*c.refusal == '\0') {
            EXPECT_EQ(error, "") << c.sql;
            continue;
        }
        EXPECT_NE(error.find(c.refusal), std::string::npos) << c.sql << "\n" << error;
        EXPECT_NE(error.find((folder / "Data" / c.file).string()), std::string::npos) << error;
    }
}

TEST_F(UntrustedFilesTest, AnObjectAddedWhileTheProgramRunsIsRefusedBeforeItCanAct)
{
    auto transfer = openTable("vdtrans.DB");
    addCharacter(*transfer, "G", "Aric");
    transfer->database().releaseCursors();  // as between two events, so that others may write
    // Another program adds a trigger to the transfer file meanwhile.
    rawExec(dataFolder() / campaign::transferFile,
            "CREATE TRIGGER twin AFTER INSERT ON vdtrans BEGIN INSERT INTO vdtrans (Game_Name, Character_Name) "
            "VALUES (new.Game_Name, new.Character_Name || '2'); END");
    try {
        addCharacter(*transfer, "G", "Bran");
        ADD_FAILURE() << "the post went through";
    } catch (const store::StoreError& e) {
        EXPECT_NE(std::string(e.what()).find("it holds the trigger \"twin\""), std::string::npos) << e.what();
    }
    transfer->cancel();
    transfer->refresh();
    EXPECT_EQ(column(*transfer, "Character_Name"), std::vector<std::string>{"Aric"});
}

// Files of the earlier definition, provinces under no foreign key, open and
// get the rule: rows, numbers and counter kept, an orphan given a character.
TEST_F(UntrustedFilesTest, AFileOfAnEarlierVersionGetsTheOwnerRuleKeepingEveryRow)
{
    fs::create_directories(dataFolder());
    const std::vector<std::pair<const char*, const char*>> pairs = {{"vddb", "vdprovs"}, {"vdtrans", "expprovs"}};
    for (const auto& [chars, provs] : pairs) {
        std::string ddl;
        for (store::TableLayout layout : campaign::catalogue().tables)
            ddl += layout.file == campaign::findLayout(chars)->file ? store::createTableSql((layout.owner = {}, layout), "") : "";
        rawExec(dataFolder() / campaign::findLayout(chars)->file,
                ddl + "INSERT INTO " + chars + " (Character_Name) VALUES ('Aric'); INSERT INTO " + provs +
                    " (Character_Name, AutoKeyInc) VALUES ('Aric', 7), ('Lost', 9), ('Gone', 20); DELETE FROM " + provs +
                    " WHERE AutoKeyInc = 20");
    }
    for (const auto& [chars, provs] : pairs) {
        auto p = openTable(provs), c = openTable(chars);
        EXPECT_EQ(column(*c, "Character_Name"), (std::vector<std::string>{"Aric", "Lost"}));
        addProvince(*p, "", "Aric", "New");
        EXPECT_EQ(column(*p, "AutoKeyInc"), (std::vector<std::string>{"7", "21", "9"})) << chars;  // in key order
    }
}

// Two programs on one folder: a province posted for a character the other
// renamed or deleted meanwhile is refused; the stored ones followed it.
TEST_F(UntrustedFilesTest, AProvinceOfACharacterAnotherProgramRenamedOrDeletedIsRefused)
{
    auto chars = openTable("vddb.DB"), provs = openTable("vdprovs.db");
    store::Session other(session_.aliases(), campaign::catalogue());
    for (const std::string name : {"Aric", "Bran"}) {
        addCharacter(*chars, "G", name);
        addProvince(*provs, "G", name, "Hill");
        session_.releaseCursors();
        store::Table theirs(other);
        theirs.open("VDDB", "vddb.DB");
        ASSERT_TRUE(theirs.findKey({"G", name}));
        name == "Aric" ? (theirs.edit(), theirs.setText("Character_Name", "Abe"), theirs.post()) : theirs.remove();
        theirs.close();
        provs->insert();
        provs->setText("Game_Name", "G"), provs->setText("Character_Name", name), provs->setText("Province_Name", "Moor");
        std::string refusal;
        try { provs->post(); } catch (const store::StoreError& e) { refusal = e.what(); }
        EXPECT_EQ(refusal, "Province 'Moor' of character '" + name + "' of game 'G' in table vdprovs.db was not saved: its "
                           "character '" + name + "' of game 'G' is not stored (not saved yet, or renamed or deleted by another program)");
        provs->cancel();
    }
    provs->refresh();
    EXPECT_EQ(column(*provs, "Character_Name"), std::vector<std::string>{"Abe"});
}
