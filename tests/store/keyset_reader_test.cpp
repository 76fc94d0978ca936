#include <gtest/gtest.h>

#include "campaign/catalogue.h"
#include "fixture.h"
#include "store/database.h"
#include "store/filter.h"
#include "store/keyset_reader.h"

using testing_support::StoreTest;

namespace {

std::string nameOf(const std::optional<store::Row>& r)
{
    return r ? std::get<std::string>(r->values[1]) : std::string("(none)");
}

std::vector<std::string> names(const std::vector<store::Row>& rows)
{
    std::vector<std::string> out;
    for (const auto& r : rows)
        out.push_back(std::get<std::string>(r.values[1]));
    return out;
}

}  // namespace

class KeysetReaderTest : public StoreTest {
protected:
    void SetUp() override
    {
        chars = openTable("vddb.DB");
        for (int i = 0; i < 40; ++i)
            addCharacter(*chars, i < 20 ? "G1" : "G2", "C" + std::to_string(100 + i));
        reader = std::make_unique<store::KeysetReader>(chars->database(), chars->layout(), "main", "vddb.DB");
    }
    // Walks from the first row to the end.
    std::vector<std::string> walk()
    {
        std::vector<std::string> out;
        for (auto r = reader->first(); r; r = reader->after(r->mark))
            out.push_back(nameOf(r));
        return out;
    }
    std::unique_ptr<store::Table> chars;
    std::unique_ptr<store::KeysetReader> reader;
};

TEST_F(KeysetReaderTest, RowsReadAheadAreDroppedByAWriteThroughAnyObject)
{
    auto r = reader->first();
    r = reader->after(r->mark);
    ASSERT_EQ(nameOf(r), "C101");
    // Change the row after it, which the reader has already read.
    auto other = openTable("vddb.DB");
    ASSERT_TRUE(other->findKey({"G1", "C102"}));
    other->edit();
    other->setText("Domain_Name", "changed");
    other->post();
    r = reader->after(r->mark);
    ASSERT_EQ(nameOf(r), "C102");
    EXPECT_EQ(std::get<std::string>(r->values[13]), "changed");
    // A row added between two already read is not skipped.
    addCharacter(*other, "G1", "C1025");
    EXPECT_EQ(nameOf(reader->after(r->mark)), "C1025");
    EXPECT_EQ(walk().size(), 41u);
}

TEST_F(KeysetReaderTest, AReadOfAnotherConnectionIsSeenOnceTheSharedReadEnds)
{
    auto r = reader->first();
    chars->database().releaseCursors();
    {
        store::Session elsewhere(session_.aliases(), campaign::catalogue());
        store::Table t(elsewhere);
        t.open("VDDB", "vddb.DB");
        addCharacter(t, "G1", "C1005");
    }
    EXPECT_EQ(nameOf(reader->after(r->mark)), "C1005");
}

TEST_F(KeysetReaderTest, GridReadsUseTheWindowOnlyUnderTheSameFilterValues)
{
    reader->setWhere(store::whereFor(chars->layout(), store::parseFilter("Game_Name='G1'"), 1));
    ASSERT_EQ(nameOf(reader->first()), "C100");
    EXPECT_EQ(reader->read(nullptr, false, 25, false).size(), 20u);
    reader->setWhere(store::whereFor(chars->layout(), store::parseFilter("Game_Name='G2'"), 1));
    auto rows = reader->read(nullptr, false, 3, false);
    EXPECT_EQ(names(rows), (std::vector<std::string>{"C120", "C121", "C122"}));
    EXPECT_EQ(names(reader->read(&rows[1].mark, true, 2, false)), (std::vector<std::string>{"C121", "C122"}));
    EXPECT_EQ(names(reader->read(&rows[1].mark, false, 2, true)), (std::vector<std::string>{"C120"}));
    EXPECT_EQ(reader->count(), 20);
    EXPECT_EQ(reader->rowsBefore(rows[2].mark), 2);
    EXPECT_EQ(nameOf(reader->last()), "C139");
    EXPECT_EQ(walk().size(), 20u);
}

TEST_F(KeysetReaderTest, TheSameRecordOrItsNeighbours)
{
    auto r = reader->first();
    r = reader->after(r->mark);  // C101
    const store::Bookmark mark = r->mark;
    EXPECT_EQ(nameOf(reader->same(mark, true)), "C101");
    store::Bookmark renamed = mark;
    renamed.key[1] = std::string("C999");
    EXPECT_FALSE(reader->same(renamed, false));  // the row number alone is not enough
    EXPECT_EQ(nameOf(reader->near(renamed)), "C120");  // after where C999 would stand in G1
    reader->setWhere(store::whereFor(chars->layout(), store::parseFilter("Game_Name='G2'"), 1));
    EXPECT_FALSE(reader->same(mark, true));
    EXPECT_EQ(nameOf(reader->same(mark, false)), "C101");
    EXPECT_EQ(nameOf(reader->near(mark)), "C120");
    EXPECT_EQ(nameOf(reader->byRowNumber(mark.rowid)), "C101");
    EXPECT_EQ(nameOf(reader->find({"G2", "C121"})), "C121");
    EXPECT_FALSE(reader->find({"G1", "C101"}));  // outside the filter
}

// A prefix of the second key column is served by the name index; with many
// matches the reads walk the key index instead of sorting them. Either way
// every read keeps key order, forwards, backwards and from a place.
TEST_F(KeysetReaderTest, APrefixOfALaterKeyColumnReadsInKeyOrderWithFewOrManyMatches)
{
    auto conn = [&]() -> store::sql::Connection& { return chars->database().connection(); };
    conn().exec("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 599) "
                "INSERT INTO vddb (Game_Name, Character_Name) SELECT 'G' || (i % 3), printf('A%03d', 599 - i) FROM n");
    for (const char* prefix : {"A", "A59"}) {
        reader->setWhere(store::whereFor(chars->layout(), store::parseFilter(std::string("Character_Name='") + prefix + "*'"), 1));
        std::vector<std::string> expected;
        store::sql::Statement st(conn(), "SELECT Character_Name FROM vddb WHERE Character_Name LIKE ?1 "
                                         "ORDER BY Game_Name, Character_Name");
        st.bind(1, std::string(prefix) + "%");
        while (st.step())
            expected.push_back(st.text(0));
        SCOPED_TRACE(prefix);
        ASSERT_EQ(expected.size(), std::string(prefix) == "A" ? 600u : 10u);
        EXPECT_EQ(walk(), expected);
        std::vector<std::string> back;
        for (auto r = reader->last(); r; r = reader->before(r->mark))
            back.push_back(nameOf(r));
        EXPECT_EQ(back, std::vector<std::string>(expected.rbegin(), expected.rend()));
        auto page = reader->read(nullptr, false, 7, false);
        ASSERT_EQ(page.size(), 7u);
        EXPECT_EQ(names(reader->read(&page[6].mark, false, 3, false)),
                  std::vector<std::string>(expected.begin() + 7, expected.begin() + 10));
        EXPECT_EQ(names(reader->read(&page[6].mark, true, 3, true)),
                  (std::vector<std::string>{expected[6], expected[5], expected[4]}));
        EXPECT_EQ(reader->count(), static_cast<std::int64_t>(expected.size()));
        EXPECT_EQ(reader->rowsBefore(page[6].mark), 6);
    }
}
