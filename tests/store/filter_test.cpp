#include <gtest/gtest.h>

#include "store/error.h"
#include "store/filter.h"

using store::parseFilter;

TEST(FilterParse, RecordFilterAsThePartsWriteIt)
{
    auto f = parseFilter("Character_Name='Aric' and Game_Name='Test'");
    ASSERT_EQ(f.conditions.size(), 2u);
    EXPECT_EQ(f.conditions[0].column, "Character_Name");
    EXPECT_EQ(f.conditions[0].value, "Aric");
    EXPECT_FALSE(f.conditions[0].prefix);
    EXPECT_EQ(f.conditions[1].column, "Game_Name");
    EXPECT_EQ(f.conditions[1].value, "Test");
}

TEST(FilterParse, PrefixBlanksAndCase)
{
    auto f = parseFilter("  character_name = ' Al*'  AND Game_Name='x'");
    ASSERT_EQ(f.conditions.size(), 2u);
    EXPECT_EQ(f.conditions[0].value, " Al");  // leading blank kept
    EXPECT_TRUE(f.conditions[0].prefix);
    EXPECT_TRUE(parseFilter("").conditions.empty());
    EXPECT_TRUE(parseFilter("   ").conditions.empty());
    auto all = parseFilter("Game_Name='*'");
    EXPECT_TRUE(all.conditions[0].prefix);
    EXPECT_EQ(all.conditions[0].value, "");
    // An asterisk inside the value is an ordinary character.
    auto mid = parseFilter("Game_Name='a*b'");
    EXPECT_EQ(mid.conditions[0].value, "a*b");
    EXPECT_FALSE(mid.conditions[0].prefix);
}

TEST(FilterParse, MalformedTextsAreRefused)
{
    for (const char* bad : {"Game_Name", "Game_Name=", "Game_Name=x", "Game_Name='x", "='x'", "Game_Name='x' and",
                            "Game_Name='x' or Character_Name='y'", "Game_Name='O'Brien'", "Game_Name='x' junk",
                            "Game_Name='x'and Character_Name='y'x"})
        EXPECT_THROW(parseFilter(bad), store::StoreError) << bad;
}

TEST(FilterQuoting, AnyNameSurvivesTheRoundTrip)
{
    for (std::string name : {"O'Brien", "Bob*", "**", "'", "a''b*", "", " lead", "trail ", "x*'y", "Al\"x"}) {
        auto f = parseFilter(store::recordFilter("Game " + name, name));
        ASSERT_EQ(f.conditions.size(), 2u) << name;
        EXPECT_EQ(f.conditions[0].value, name);
        EXPECT_FALSE(f.conditions[0].prefix) << name;
        EXPECT_EQ(f.conditions[1].value, "Game " + name);
        EXPECT_FALSE(f.conditions[1].prefix) << name;

        auto p = parseFilter(store::prefixFilter("Character_Name", name));
        ASSERT_EQ(p.conditions.size(), 1u);
        EXPECT_EQ(p.conditions[0].value, name);
        EXPECT_TRUE(p.conditions[0].prefix) << name;
    }
    EXPECT_EQ(store::recordFilter("Test", "Aric"), "Character_Name='Aric' and Game_Name='Test'");
    EXPECT_EQ(store::prefixFilter("Game_Name", "Al"), "Game_Name='Al*'");
    EXPECT_EQ(store::prefixFilter("Character_Name", "O'B"), "Character_Name='O''B*'");
}
