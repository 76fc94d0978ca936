#include <gtest/gtest.h>

#include "campaign/catalogue.h"
#include "store/error.h"
#include "store/record_buffer.h"

using store::Column;
using store::ColumnType;
using store::Value;
using store::valueFromText;

namespace {

std::string refusal(const Column& c, std::string_view text)
{
    try {
        valueFromText(c, text);
    } catch (const store::StoreError& e) {
        return e.what();
    }
    return {};
}

}  // namespace

TEST(RecordBuffer, TypedTextBecomesTheColumnsValue)
{
    const Column shortCol{"Palace_Value", ColumnType::Short, 0};
    EXPECT_EQ(valueFromText(shortCol, "-32768"), Value(std::int64_t(-32768)));
    EXPECT_EQ(valueFromText(shortCol, "$7FFF"), Value(std::int64_t(32767)));
    EXPECT_EQ(valueFromText(shortCol, ""), Value{});
    EXPECT_EQ(refusal(shortCol, "32768"),
              "32768 is not a valid value for field 'Palace_Value'. The allowed range is -32768 to 32767");
    EXPECT_EQ(refusal(shortCol, "1.5"), "'1.5' is not a valid integer value for field 'Palace_Value'");

    const Column logical{"Mage", ColumnType::Logical, 0};
    EXPECT_EQ(valueFromText(logical, "tRuE"), Value(std::int64_t(1)));
    EXPECT_EQ(valueFromText(logical, "False"), Value(std::int64_t(0)));
    EXPECT_EQ(refusal(logical, "1"), "'1' is not a valid boolean value for field 'Mage'");

    const Column text{"Class_Abbrev", ColumnType::Text, 3};
    EXPECT_EQ(valueFromText(text, "äöü"), Value(std::string("äöü")));  // characters, not bytes
    EXPECT_EQ(refusal(text, "abcd"), "Value is too long for field 'Class_Abbrev': at most 3 characters");
    EXPECT_EQ(refusal({"AutoKeyInc", ColumnType::AutoInc, 0}, ""), "Field 'AutoKeyInc' cannot be modified");
    EXPECT_EQ(store::textOf(Value(std::int64_t(0)), ColumnType::Logical), "False");
    EXPECT_EQ(store::textOf(Value(std::int64_t(-3)), ColumnType::Short), "-3");
    EXPECT_EQ(store::textOf(Value{}, ColumnType::Memo), "");
}

// A posted record's mark holds its key as the file does: '' for empty key
// texts, and the row number where the key ends in it.
TEST(RecordBuffer, AFreshlyStoredRecordIsMarkedAsTheFileHoldsIt)
{
    const store::TableLayout& provs = *campaign::findLayout("vdprovs");
    store::RecordBuffer r;
    r.reset(&provs);
    EXPECT_FALSE(r.hasRecord());
    EXPECT_FALSE(r.mark().valid);
    r.set(1, std::string("Aric"));
    r.storedAs(41);
    const store::Bookmark m = r.mark();
    ASSERT_TRUE(m.valid);
    EXPECT_EQ(m.rowid, 41);
    EXPECT_EQ(m.key, (std::vector<Value>{std::string(), std::string("Aric"), std::int64_t(41)}));
    EXPECT_EQ(r.stored(0), Value(std::string()));
    EXPECT_EQ(r.stored(2), Value{});  // not a key column: stays empty
    EXPECT_THROW(r.value(78), store::StoreError);
    EXPECT_THROW(r.set(-1, Value{}), store::StoreError);
    r.clear();
    EXPECT_FALSE(r.hasRecord());
    EXPECT_EQ(r.text(1), "");
}
