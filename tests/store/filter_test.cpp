#include <gtest/gtest.h>

#include "campaign/catalogue.h"
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
        auto f = parseFilter(campaign::recordFilter("Game " + name, name));
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
    EXPECT_EQ(campaign::recordFilter("Test", "Aric"), "Character_Name='Aric' and Game_Name='Test'");
    EXPECT_EQ(store::prefixFilter("Game_Name", "Al"), "Game_Name='Al*'");
    EXPECT_EQ(store::prefixFilter("Character_Name", "O'B"), "Character_Name='O''B*'");
}

TEST(FilterSql, ConditionsBecomeBoundParametersNumberedFromTheFirst)
{
    const store::TableLayout& chars = *campaign::findLayout("vddb");
    auto w = store::whereFor(chars, parseFilter("Character_Name='Al*' and Game_Name='G' and Palace_Value='5'"), 3);
    EXPECT_EQ(w.sql, "\"Character_Name\" >= ?3 AND \"Character_Name\" < ?4 AND \"Game_Name\" = ?5 AND "
                     "\"Palace_Value\" = ?6");
    ASSERT_EQ(w.params.size(), 4u);
    EXPECT_EQ(std::get<std::string>(w.params[1]), "Am");  // the first text above every "Al..."
    EXPECT_EQ(std::get<std::int64_t>(w.params[3]), 5);
    EXPECT_EQ(store::whereFor(chars, parseFilter(""), 1).sql, "1");
    EXPECT_EQ(store::whereFor(chars, parseFilter("Game_Name='*'"), 1).sql, "1");
    // An empty key text is stored as '', any other empty text may be either.
    EXPECT_EQ(store::whereFor(chars, parseFilter("Game_Name=''"), 1).sql, "\"Game_Name\" = ''");
    EXPECT_EQ(store::whereFor(chars, parseFilter("Domain_Name=''"), 1).sql,
              "(\"Domain_Name\" IS NULL OR \"Domain_Name\" = '')");
    EXPECT_EQ(store::whereFor(chars, parseFilter("Warrior='TRUE'"), 1).params[0], store::Value(std::int64_t(1)));
    // A prefix of bytes 0xFF has no text above it: only the lower bound.
    EXPECT_EQ(store::whereFor(chars, parseFilter("Domain_Name='\xff*'"), 1).sql, "\"Domain_Name\" >= ?1");
}

TEST(FilterSql, WhatAColumnCannotHoldIsRefusedWithTheFieldsName)
{
    const store::TableLayout& chars = *campaign::findLayout("vddb");
    auto message = [&](const char* text) {
        try {
            store::whereFor(chars, parseFilter(text), 1);
        } catch (const store::StoreError& e) {
            return std::string(e.what());
        }
        return std::string();
    };
    EXPECT_EQ(message("Nope='x'"), "Field 'Nope' not found");
    EXPECT_EQ(message("Palace_Value='x'"), "'x' is not a valid integer value for field 'Palace_Value'");
    EXPECT_EQ(message("Palace_Value='5*'"), "A prefix match needs a text field: Palace_Value");
    EXPECT_EQ(message("Warrior='yes'"), "'yes' is not a valid boolean value for field 'Warrior'");
}
