#include <gtest/gtest.h>

#include "store/int_text.h"

using store::parseInteger;

TEST(IntegerText, DecimalForms)
{
    EXPECT_EQ(parseInteger("0"), 0);
    EXPECT_EQ(parseInteger("   42"), 42);
    EXPECT_EQ(parseInteger("+7"), 7);
    EXPECT_EQ(parseInteger("-7"), -7);
    EXPECT_EQ(parseInteger("007"), 7);
    EXPECT_EQ(parseInteger("2147483647"), 2147483647);
    EXPECT_EQ(parseInteger("-2147483647"), -2147483647);
}

TEST(IntegerText, RefusedForms)
{
    for (const char* bad : {"", "   ", "-", "+", "5 ", "1-", "+-1", "--1", "1.0", "abc", " 1 2", "2147483648",
                            "-2147483648", "$", "$123456789", "\t5"})
        EXPECT_FALSE(parseInteger(bad).has_value()) << '"' << bad << '"';
}

TEST(IntegerText, HexIsA32BitPattern)
{
    EXPECT_EQ(parseInteger("$ff"), 255);
    EXPECT_EQ(parseInteger("  $7FFFFFFF"), 2147483647);
    EXPECT_EQ(parseInteger("$80000000"), -2147483647 - 1);
    EXPECT_EQ(parseInteger("$FFFFFFFF"), -1);
    EXPECT_EQ(parseInteger("$00000000FF"), 255);  // leading zeros are not significant
    EXPECT_FALSE(parseInteger("$1G").has_value());
}

TEST(IntegerText, FormatGLikePrintf)
{
    EXPECT_EQ(store::formatG(40000), "40000");
    EXPECT_EQ(store::formatG(-32768), "-32768");
    EXPECT_EQ(store::formatG(1000000), "1e+06");
}
