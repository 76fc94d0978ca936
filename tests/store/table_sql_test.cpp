#include <gtest/gtest.h>

#include "campaign/catalogue.h"
#include "store/table_sql.h"

using Range = store::TableSql::Range;

namespace {

const store::TableLayout& layout(const char* name) { return *campaign::findLayout(name); }

}  // namespace

// The row number breaks ties in the character table's order; the province
// table's key already ends in it (AutoKeyInc is the row number).
TEST(TableSql, KeyOrderEndsInTheRowNumberOnce)
{
    store::TableSql chars(layout("vddb"), "main");
    EXPECT_TRUE(chars.rowNumberBreaksTies());
    EXPECT_EQ(chars.orderParams(), 3);
    EXPECT_EQ(chars.orderBy(false), "\"Game_Name\", \"Character_Name\", rowid");
    EXPECT_EQ(chars.orderBy(true), "\"Game_Name\" DESC, \"Character_Name\" DESC, rowid DESC");

    store::TableSql provs(layout("expprovs"), "xfer");
    EXPECT_FALSE(provs.rowNumberBreaksTies());
    EXPECT_EQ(provs.orderParams(), 3);
    EXPECT_EQ(provs.orderBy(false), "\"Game_Name\", \"Character_Name\", \"AutoKeyInc\"");
}

TEST(TableSql, ReadsCompareTheWholeOrderAfterTheFiltersParameters)
{
    store::TableSql chars(layout("vddb"), "main");
    const std::string rows = "SELECT " + chars.selectList() + " FROM main.\"vddb\" WHERE (\"Game_Name\" = ?1)";
    EXPECT_EQ(chars.read("\"Game_Name\" = ?1", 1, Range::After),
              rows + " AND (\"Game_Name\", \"Character_Name\", rowid) > (?2, ?3, ?4) ORDER BY \"Game_Name\", "
                     "\"Character_Name\", rowid LIMIT ?5");
    EXPECT_EQ(chars.read("\"Game_Name\" = ?1", 1, Range::UpTo),
              rows + " AND (\"Game_Name\", \"Character_Name\", rowid) <= (?2, ?3, ?4) ORDER BY \"Game_Name\" DESC, "
                     "\"Character_Name\" DESC, rowid DESC LIMIT ?5");
    EXPECT_EQ(chars.read("1", 0, Range::StartBack),
              "SELECT " + chars.selectList() +
                  " FROM main.\"vddb\" WHERE (1) ORDER BY \"Game_Name\" DESC, \"Character_Name\" DESC, rowid DESC "
                  "LIMIT ?1");
    EXPECT_EQ(chars.rowsBefore("1", 0),
              "SELECT count(*) FROM main.\"vddb\" WHERE (1) AND (\"Game_Name\", \"Character_Name\", rowid) < (?1, "
              "?2, ?3)");
}

// A record is found, changed and deleted only where its row number still
// goes with its key.
TEST(TableSql, RecordsAreKnownByRowNumberAndKey)
{
    store::TableSql chars(layout("vddb"), "main");
    EXPECT_EQ(chars.sameRecord("1", 0),
              "SELECT " + chars.selectList() +
                  " FROM main.\"vddb\" WHERE (1) AND rowid = ?1 AND \"Game_Name\" IS ?2 AND \"Character_Name\" IS ?3");
    EXPECT_EQ(chars.remove(), "DELETE FROM main.\"vddb\" WHERE rowid = ?1 AND \"Game_Name\" IS ?2 AND "
                              "\"Character_Name\" IS ?3");
    const std::string update = chars.update();
    EXPECT_EQ(update.substr(update.find(" WHERE ")),
              " WHERE rowid = ?63 AND \"Game_Name\" IS ?64 AND \"Character_Name\" IS ?65");
    // A change writes only its own columns, in the order given.
    EXPECT_EQ(chars.update({49, 13}), "UPDATE main.\"vddb\" SET \"Total_Castles/Forts\" = ?1, \"Domain_Name\" = ?2 "
                                     "WHERE rowid = ?3 AND \"Game_Name\" IS ?4 AND \"Character_Name\" IS ?5");
}

TEST(TableSql, WritesLeaveTheAutoIncColumnToTheStore)
{
    store::TableSql provs(layout("vdprovs"), "main");
    const std::string insert = provs.insert();
    EXPECT_EQ(insert.find("AutoKeyInc"), std::string::npos);
    EXPECT_NE(insert.find("VALUES (?1, "), std::string::npos);
    EXPECT_NE(insert.find("?77)"), std::string::npos);  // 78 columns less one
    const std::string update = provs.update();
    EXPECT_EQ(update.substr(0, update.find(" WHERE ")).find("AutoKeyInc"), std::string::npos);

    store::TableSql xprov(layout("expprovs"), "xfer");
    const std::string append = xprov.appendFrom(provs, "\"Game_Name\" = ?1");
    EXPECT_EQ(append.substr(0, 51), "INSERT INTO xfer.\"expprovs\" (\"Game_Name\", \"Characte");
    EXPECT_NE(append.find("SELECT coalesce(\"Game_Name\", ''), coalesce(\"Character_Name\", ''), \"Province_Name\""),
              std::string::npos);
    EXPECT_NE(append.find(", NULL, "), std::string::npos);  // AutoKeyInc given anew
    EXPECT_NE(append.find(" FROM main.\"vdprovs\" WHERE (\"Game_Name\" = ?1) ORDER BY \"Game_Name\""),
              std::string::npos);
}
