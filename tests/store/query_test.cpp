#include <gtest/gtest.h>

#include "fixture.h"
#include "store/error.h"
#include "store/query.h"

using testing_support::StoreTest;

class QueryTest : public StoreTest {};

TEST_F(QueryTest, SelectsOneCharactersRowsInTheOrderAddedWhateverTheNames)
{
    auto provs = openTable("vdprovs.db");
    const std::vector<std::pair<std::string, std::string>> people = {
        {"G", "Say \"Hi\""}, {"G", "O'Brien"}, {"G", "Bob*"}, {"G", "Bob"}, {"\"", "\" or 1=1 --"}};
    for (int round = 0; round < 2; ++round)
        for (const auto& [g, c] : people)
            addProvince(*provs, g, c, c + "#" + std::to_string(round));
    addProvince(*provs, "G", "", "nameless");
    store::Query q(session_);
    for (const auto& [g, c] : people) {
        q.open("VDDB", "vdprovs", {{"game_name", g}, {"Character_Name", c}});
        std::vector<std::string> names;
        for (; !q.eof(); q.next())
            names.push_back(q.text("province_name"));
        EXPECT_EQ(names, (std::vector<std::string>{c + "#0", c + "#1"})) << c;
    }
    q.open("VDDB", "vdprovs.db", {{"Game_Name", "G"}, {"Character_Name", ""}});
    ASSERT_FALSE(q.eof());
    EXPECT_EQ(q.text("Province_Name"), "nameless");
    EXPECT_EQ(q.text("Province_Level"), "");  // empty number: empty text
    EXPECT_THROW(q.text("No_Such_Column"), store::StoreError);
    q.next();
    EXPECT_TRUE(q.eof());
}

TEST_F(QueryTest, NumbersReadAsTextAndUnknownTablesFail)
{
    auto chars = openTable("vddb.DB");
    addCharacter(*chars, "G", "A", {{"Palace_Value", "-12"}, {"Thief", "True"}});
    store::Query q(session_);
    q.open("VDDB", "VDDB", {{"Game_Name", "G"}, {"Character_Name", "A"}});
    EXPECT_EQ(q.text("Palace_Value"), "-12");
    EXPECT_EQ(q.text("Thief"), "True");
    EXPECT_EQ(q.text("Warrior"), "");
    EXPECT_THROW(q.open("VDDB", "nosuch", {}), store::StoreError);
    EXPECT_FALSE(q.isOpen());
}
