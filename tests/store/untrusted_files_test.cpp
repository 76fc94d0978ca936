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
    transfer->releaseCursor();  // as between two events, so that others may write
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
