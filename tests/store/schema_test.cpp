#include <gtest/gtest.h>

#include "campaign/catalogue.h"
#include "fixture.h"
#include "store/error.h"
#include "store/schema.h"

namespace {

// An in-memory database holding one table made by `ddl`.
store::sql::Connection withTable(const std::string& ddl)
{
    auto conn = store::sql::Connection::open(":memory:", true);
    conn.exec(ddl);
    return conn;
}

std::string refusal(store::sql::Connection& conn, const char* table)
{
    try {
        store::checkTable(conn, "main", *campaign::findLayout(table), "file.sqlite");
    } catch (const store::StoreError& e) {
        return e.what();
    }
    return {};
}

}  // namespace

TEST(Schema, TablesAsTheStoreCreatesThemPass)
{
    for (const auto& layout : campaign::catalogue().tables) {
        auto conn = withTable(store::createTableSql(layout, ""));
        EXPECT_EQ(refusal(conn, layout.name.c_str()), "") << layout.name;
    }
    const std::string chars = store::createTableSql(*campaign::findLayout("vddb"), "");
    EXPECT_NE(chars.find("CREATE UNIQUE INDEX \"vddb_key\" ON \"vddb\" (\"Game_Name\", \"Character_Name\")"),
              std::string::npos);
    EXPECT_NE(chars.find("CREATE INDEX \"vddb_name\" ON \"vddb\" (\"Character_Name\")"), std::string::npos);
    EXPECT_EQ(store::createTableSql(*campaign::findLayout("vdprovs"), "").find("UNIQUE"), std::string::npos);
}

TEST(Schema, AKeyTheStoreCannotRelyOnIsRefusedNamingTableAndFile)
{
    const std::string provs = store::createTableSql(*campaign::findLayout("vdprovs"), "");
    const std::string chars = store::createTableSql(*campaign::findLayout("vddb"), "");
    auto replaced = [](std::string ddl, const std::string& from, const std::string& to) {
        ddl.replace(ddl.find(from), from.size(), to);
        return ddl;
    };
    struct Case {
        const char* table;
        std::string ddl;
        const char* why;
    };
    const std::vector<Case> cases = {
        {"vdprovs", replaced(provs, "INTEGER PRIMARY KEY AUTOINCREMENT", "INTEGER"), "the row number is not its own"},
        {"vddb", chars + "DROP INDEX vddb_key; CREATE UNIQUE INDEX k ON vddb (Game_Name, Character_Name DESC);",
         "no unique index on \"Game_Name\", \"Character_Name\""},
        {"vddb",
         chars + "DROP INDEX vddb_key; CREATE UNIQUE INDEX k ON vddb (Game_Name, Character_Name) WHERE Game_Name > '';",
         "no unique index"},
        {"vdprovs", provs + "DROP INDEX vdprovs_key;", "no index on \"Game_Name\", \"Character_Name\", \"AutoKeyInc\""},
    };
    for (const Case& c : cases) {
        auto conn = withTable(c.ddl);
        const std::string m = refusal(conn, c.table);
        EXPECT_NE(m.find(campaign::findLayout(c.table)->displayName + " in file.sqlite"), std::string::npos) << m;
        EXPECT_NE(m.find(c.why), std::string::npos) << m;
    }
    // An index of the user's own beside the store's does no harm, and any
    // name will do for the key index.
    auto conn = withTable(chars + "DROP INDEX vddb_key; CREATE INDEX mine ON vddb (Domain_Name);"
                                  "CREATE UNIQUE INDEX renamed ON vddb (Game_Name, Character_Name);");
    EXPECT_EQ(refusal(conn, "vddb"), "");
    auto missing = withTable("CREATE TABLE other (x)");
    EXPECT_EQ(refusal(missing, "vddb"), "Table vddb.DB does not exist in file.sqlite");
}
