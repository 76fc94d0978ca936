#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstring>
#include <functional>
#include <future>

#include "campaign/catalogue.h"
#include "fixture.h"
#include "store/background_count.h"
#include "store/database.h"
#include "store/error.h"
#include "store/filter.h"

using store::State;
using store::StoreError;
using testing_support::StoreTest;

namespace {

// Records the events of a table object, in order.
struct Recorder : store::TableObserver {
    explicit Recorder(store::Table& t) : table(t)
    {
        t.addObserver(this);
        t.beforeDelete = [this](store::Table&) { log.push_back("beforeDelete"); };
        t.afterDelete = [this](store::Table&) { log.push_back("afterDelete"); };
        t.afterInsert = [this](store::Table&) { log.push_back("afterInsert"); };
        t.afterPost = [this](store::Table&) { log.push_back("afterPost"); };
        t.afterScroll = [this](store::Table&) { log.push_back("afterScroll"); };
        t.afterCancel = [this](store::Table&) { log.push_back("afterCancel"); };
    }
    ~Recorder() override { table.removeObserver(this); }
    void stateChanged(store::Table& t) override
    {
        log.push_back(std::string("state:") + (t.state() == State::Browse ? "browse"
                                               : t.state() == State::Edit ? "edit"
                                               : t.state() == State::Insert ? "insert" : "inactive"));
    }
    void recordChanged(store::Table&) override { log.push_back("record"); }
    void fieldChanged(store::Table& t, int c) override { log.push_back("field:" + t.layout().columns[c].name); }
    void updateRecord(store::Table&) override { log.push_back("update"); }
    std::vector<std::string> take() { return std::exchange(log, {}); }

    store::Table& table;
    std::vector<std::string> log;
};

using Log = std::vector<std::string>;

}  // namespace

class TableTest : public StoreTest {
protected:
    void SetUp() override
    {
        chars = openTable("vddb.DB");
        provs = openTable("vdprovs.db");
    }
    std::unique_ptr<store::Table> chars, provs;
};

TEST_F(TableTest, KeyOrderAndMovesWithBeginAndEndFlags)
{
    EXPECT_TRUE(chars->isEmpty());
    EXPECT_TRUE(chars->bof());
    EXPECT_TRUE(chars->eof());
    addCharacter(*chars, "North", "Bran");
    addCharacter(*chars, "East", "Zed");
    addCharacter(*chars, "North", "Aric");
    addCharacter(*chars, "East", "aric");
    EXPECT_EQ(column(*chars, "Character_Name"), (std::vector<std::string>{"Zed", "aric", "Aric", "Bran"}));
    chars->first();
    EXPECT_TRUE(chars->bof());
    EXPECT_FALSE(chars->eof());
    chars->prior();
    EXPECT_TRUE(chars->bof());
    EXPECT_EQ(chars->text("Character_Name"), "Zed");
    chars->next();
    EXPECT_FALSE(chars->bof());
    EXPECT_EQ(chars->text("Character_Name"), "aric");
    chars->last();
    EXPECT_TRUE(chars->eof());
    EXPECT_EQ(chars->text("Character_Name"), "Bran");
    chars->next();
    EXPECT_TRUE(chars->eof());
    EXPECT_EQ(chars->text("Character_Name"), "Bran");
    EXPECT_EQ(chars->recordCount(), 4);
    // Every move attempt clears the flag of the other end.
    chars->first();
    chars->prior();
    EXPECT_TRUE(chars->bof());
    EXPECT_FALSE(chars->eof());
    chars->last();
    chars->next();
    EXPECT_TRUE(chars->eof());
    EXPECT_FALSE(chars->bof());
}

TEST_F(TableTest, PendingChangeIsPostedWhenModifiedElseDropped)
{
    addCharacter(*chars, "G", "A");
    addCharacter(*chars, "G", "B");
    chars->first();
    chars->edit();
    EXPECT_EQ(chars->state(), State::Edit);
    chars->setText("Domain_Name", "Eastmarch");
    chars->next();  // modified: posted
    EXPECT_EQ(chars->state(), State::Browse);
    chars->first();
    EXPECT_EQ(chars->text("Domain_Name"), "Eastmarch");

    chars->insert();  // untouched new record: dropped by the move
    chars->last();
    EXPECT_EQ(chars->recordCount(), 2);

    chars->insert();
    chars->setText("Game_Name", "G");
    chars->setText("Character_Name", "C");
    chars->setFiltered(true);  // switching the filter also ends editing
    EXPECT_EQ(chars->recordCount(), 3);

    chars->first();
    chars->edit();
    chars->refresh();  // unmodified: cancelled, nothing written
    EXPECT_EQ(chars->state(), State::Browse);
}

TEST_F(TableTest, CancelRestoresAndReturnsToTheRecordBeforeInsert)
{
    addCharacter(*chars, "G", "A");
    addCharacter(*chars, "G", "B");
    chars->last();
    chars->edit();
    chars->setText("Domain_Name", "changed");
    chars->cancel();
    EXPECT_TRUE(chars->isNull("Domain_Name"));
    chars->insert();
    chars->setText("Character_Name", "new");
    chars->cancel();
    EXPECT_EQ(chars->text("Character_Name"), "B");
    EXPECT_EQ(chars->recordCount(), 2);
}

TEST_F(TableTest, OneRowTableFlagsAndAppendKnownToItsHandlers)
{
    addCharacter(*chars, "G", "A");
    chars->first();
    chars->next();
    EXPECT_TRUE(chars->eof());
    EXPECT_FALSE(chars->bof());
    bool atEndSeen = false;
    chars->afterInsert = [&](store::Table& t) { atEndSeen = t.insertAtEnd(); };
    chars->append();
    EXPECT_TRUE(atEndSeen);
    chars->cancel();
    chars->insert();
    EXPECT_FALSE(atEndSeen);
    chars->cancel();
    auto v = chars->dataVersion();
    addCharacter(*openTable("vddb.DB"), "G", "B");
    EXPECT_NE(chars->dataVersion(), v);
}

TEST_F(TableTest, EventOrder)
{
    Recorder r(*chars);
    chars->insert();
    EXPECT_EQ(r.take(), (Log{"state:insert", "record", "afterInsert", "afterScroll"}));
    chars->setText("Character_Name", "A");
    EXPECT_EQ(r.take(), (Log{"field:Character_Name"}));
    chars->post();
    EXPECT_EQ(r.take(), (Log{"update", "state:browse", "record", "afterPost"}));
    chars->edit();
    EXPECT_EQ(r.take(), (Log{"state:edit"}));
    chars->cancel();
    EXPECT_EQ(r.take(), (Log{"state:browse", "record", "afterCancel"}));
    chars->first();
    EXPECT_EQ(r.take(), (Log{"record", "afterScroll"}));
    chars->edit();
    r.take();
    chars->next();  // unmodified: dropped through a cancel
    EXPECT_EQ(r.take(), (Log{"update", "state:browse", "record", "afterCancel", "record", "afterScroll"}));
    chars->remove();
    EXPECT_EQ(r.take(), (Log{"beforeDelete", "record", "afterDelete", "afterScroll"}));
}

TEST_F(TableTest, BeforeDeleteErrorStopsTheDelete)
{
    addCharacter(*chars, "G", "A");
    chars->beforeDelete = [](store::Table&) { throw StoreError("no"); };
    EXPECT_THROW(chars->remove(), StoreError);
    EXPECT_EQ(chars->recordCount(), 1);
}

TEST_F(TableTest, DeleteOnAnEmptyObject)
{
    try {
        chars->remove();
        FAIL();
    } catch (const StoreError& e) {
        EXPECT_STREQ(e.what(), "Cannot perform this operation on an empty dataset");
    }
    addCharacter(*chars, "G", "A");
    chars->setFilter("Game_Name='nothing'");
    chars->setFiltered(true);
    EXPECT_THROW(chars->remove(), StoreError);
    chars->setFiltered(false);
    EXPECT_EQ(chars->recordCount(), 1);
}

TEST_F(TableTest, DeleteAllUnderAFilterMovesThroughEveryRow)
{
    addProvince(*provs, "G", "A", "p1");
    addProvince(*provs, "G", "B", "q1");
    addProvince(*provs, "G", "A", "p2");
    addProvince(*provs, "G", "A", "p3");
    provs->setFilter(campaign::recordFilter("G", "A"));
    provs->setFiltered(true);
    EXPECT_EQ(column(*provs, "Province_Name"), (std::vector<std::string>{"p1", "p2", "p3"}));  // in the order added
    provs->first();
    while (!provs->eof())
        provs->remove();
    provs->setFiltered(false);
    EXPECT_EQ(column(*provs, "Province_Name"), (std::vector<std::string>{"q1"}));
}

TEST_F(TableTest, KeyViolationLeavesTheRecordPending)
{
    addCharacter(*chars, "G", "A");
    chars->insert();
    chars->setText("Game_Name", "G");
    chars->setText("Character_Name", "A");
    chars->setText("Domain_Name", "kept");
    try {
        chars->post();
        FAIL();
    } catch (const StoreError& e) {
        EXPECT_STREQ(e.what(), "Key violation");
    }
    EXPECT_EQ(chars->state(), State::Insert);
    EXPECT_EQ(chars->text("Domain_Name"), "kept");
    chars->setText("Character_Name", "B");
    chars->post();
    EXPECT_EQ(chars->recordCount(), 2);
    // Both names empty: one such record only.
    addCharacter(*chars, "", "");
    EXPECT_THROW(addCharacter(*chars, "", ""), StoreError);
    chars->cancel();
}

TEST_F(TableTest, ShortConversionAndRange)
{
    chars->insert();
    auto message = [&](const char* text) {
        try {
            chars->setText("Palace_Value", text);
        } catch (const StoreError& e) {
            return std::string(e.what());
        }
        return std::string();
    };
    EXPECT_EQ(message("abc"), "'abc' is not a valid integer value for field 'Palace_Value'");
    EXPECT_EQ(message("5 "), "'5 ' is not a valid integer value for field 'Palace_Value'");
    EXPECT_EQ(message("40000"), "40000 is not a valid value for field 'Palace_Value'. The allowed range is -32768 to 32767");
    EXPECT_EQ(message("-32769"), "-32769 is not a valid value for field 'Palace_Value'. The allowed range is -32768 to 32767");
    EXPECT_EQ(message("9999999999"), "'9999999999' is not a valid integer value for field 'Palace_Value'");
    EXPECT_EQ(message("-32768"), "");
    EXPECT_EQ(chars->text("Palace_Value"), "-32768");
    EXPECT_EQ(message(" +12"), "");
    EXPECT_EQ(chars->text("Palace_Value"), "12");
    EXPECT_EQ(message(""), "");
    EXPECT_TRUE(chars->isNull("Palace_Value"));
}

TEST_F(TableTest, TextLimitMemoLengthLogicalAndEmptyText)
{
    chars->insert();
    chars->setText("Game_Name", std::string(30, 'g'));
    EXPECT_THROW(chars->setText("Game_Name", std::string(31, 'g')), StoreError);
    chars->setText("Bloodline_Strength", "Äéîõü€ß");  // seven characters, more bytes
    EXPECT_THROW(chars->setText("Bloodline_Strength", "Äéîõü€ßx"), StoreError);
    std::string memo;
    for (int i = 0; i < 400; ++i)
        memo += "line " + std::to_string(i) + (i % 3 ? "\r\n" : "\n");
    chars->setText("Misc_Leftovers", memo);
    chars->setBool("Thief", true);
    chars->setText("Character_Name", "X");
    EXPECT_THROW(chars->setBool("Palace_Value", true), StoreError);
    chars->post();
    auto other = openTable("vddb.DB");
    EXPECT_EQ(other->text("Misc_Leftovers"), memo);
    EXPECT_EQ(other->text("Misc_Leftovers").size(), memo.size());
    EXPECT_TRUE(other->asBool("Thief"));
    EXPECT_EQ(other->text("Thief"), "True");
    EXPECT_TRUE(other->isNull("Warrior"));
    EXPECT_FALSE(other->asBool("Warrior"));

    chars->edit();
    chars->setText("Domain_Name", "");
    chars->setText("Misc_Leftovers", "");
    chars->post();
    EXPECT_TRUE(chars->isNull("Domain_Name"));
    chars->setFilter("Domain_Name=''");
    chars->setFiltered(true);
    EXPECT_EQ(chars->recordCount(), 1);
    chars->setFilter("Misc_Leftovers=''");
    EXPECT_EQ(chars->recordCount(), 1);
}

TEST_F(TableTest, WritingNeedsEditOrInsertState)
{
    addCharacter(*chars, "G", "A");
    try {
        chars->setText("Domain_Name", "x");
        FAIL();
    } catch (const StoreError& e) {
        EXPECT_STREQ(e.what(), "Dataset not in edit or insert mode");
    }
    EXPECT_THROW(chars->fieldIndex("No_Such_Field"), StoreError);
    EXPECT_EQ(chars->fieldIndex("palace_value"), 15);
}

TEST_F(TableTest, EditOnAnEmptyTableStartsAnInsert)
{
    chars->edit();
    EXPECT_EQ(chars->state(), State::Insert);
}

TEST_F(TableTest, FilterPrefixIsCaseSensitiveAndBlanksCount)
{
    for (auto n : {"Aldric", "Alaina", "aldric", "Kalan", " Al", "Al"})
        addCharacter(*chars, "G", n);
    chars->setFiltered(true);
    chars->setFilter(store::prefixFilter("Character_Name", "Al"));
    EXPECT_EQ(column(*chars, "Character_Name"), (std::vector<std::string>{"Al", "Alaina", "Aldric"}));
    chars->setFilter(store::prefixFilter("Character_Name", " "));
    EXPECT_EQ(column(*chars, "Character_Name"), (std::vector<std::string>{" Al"}));
    chars->setFilter("Character_Name='*'");
    EXPECT_EQ(chars->recordCount(), 6);
    chars->setFilter(store::prefixFilter("Game_Name", "G"));
    EXPECT_EQ(chars->recordCount(), 6);
}

TEST_F(TableTest, MalformedFilterIsRefusedBeforeAnythingChanges)
{
    addCharacter(*chars, "G", "A");
    addCharacter(*chars, "G", "B");
    chars->setFilter("Character_Name='B'");
    chars->setFiltered(true);
    chars->edit();
    chars->setText("Domain_Name", "pending");
    EXPECT_THROW(chars->setFilter("Character_Name='O'Brien*'"), StoreError);
    EXPECT_THROW(chars->setFilter("Nope='x'"), StoreError);
    EXPECT_THROW(chars->setFilter("Palace_Value='x'"), StoreError);
    EXPECT_EQ(chars->state(), State::Edit);
    EXPECT_EQ(chars->filter(), "Character_Name='B'");
    EXPECT_EQ(chars->text("Domain_Name"), "pending");
    chars->cancel();
    EXPECT_EQ(chars->recordCount(), 1);
}

TEST_F(TableTest, FilterTextKeptWhenSwitchedOffAndAppliedWhenOn)
{
    addCharacter(*chars, "G", "A");
    addCharacter(*chars, "G", "B");
    chars->setFilter("Character_Name='B'");
    EXPECT_EQ(chars->recordCount(), 2);  // off: the text waits
    chars->setFiltered(true);
    EXPECT_EQ(chars->recordCount(), 1);
    EXPECT_EQ(chars->text("Character_Name"), "B");
    chars->setFiltered(false);
    EXPECT_EQ(chars->filter(), "Character_Name='B'");
    EXPECT_EQ(chars->text("Character_Name"), "A");  // on the first row
}

TEST_F(TableTest, RecordFilterSelectsExactlyOneCharactersRowsWhateverTheNames)
{
    const std::vector<std::pair<std::string, std::string>> people = {
        {"G", "O'Brien"}, {"G", "O"}, {"G", "Bob*"}, {"G", "Bob"}, {"G", "Bobby"}, {"G*", "Bob"}, {"G'", "x\"y"}};
    for (const auto& [g, c] : people) {
        addProvince(*provs, g, c, g + "/" + c + "/1");
        addProvince(*provs, g, c, g + "/" + c + "/2");
    }
    provs->setFiltered(true);
    for (const auto& [g, c] : people) {
        provs->setFilter(campaign::recordFilter(g, c));
        EXPECT_EQ(column(*provs, "Province_Name"), (std::vector<std::string>{g + "/" + c + "/1", g + "/" + c + "/2"}))
            << g << " " << c;
    }
}

TEST_F(TableTest, KeyLookupWithinTheFilter)
{
    addCharacter(*chars, "G", "A");
    addCharacter(*chars, "H", "B");
    EXPECT_TRUE(chars->findKey({"H", "B"}));
    EXPECT_EQ(chars->text("Game_Name"), "H");
    EXPECT_FALSE(chars->findKey({"H", "b"}));
    EXPECT_EQ(chars->text("Game_Name"), "H");  // not found: stays
    chars->setFilter("Game_Name='G'");
    chars->setFiltered(true);
    EXPECT_FALSE(chars->findKey({"H", "B"}));
}

TEST_F(TableTest, TwoObjectsOnOneTable)
{
    auto other = openTable("vddb.DB");
    addCharacter(*chars, "G", "A");
    addCharacter(*chars, "G", "B");
    EXPECT_TRUE(other->isEmpty() == false);
    other->refresh();
    EXPECT_EQ(other->text("Character_Name"), "A");
    // Each keeps its own cursor and filter.
    other->setFilter("Character_Name='B'");
    other->setFiltered(true);
    chars->first();
    EXPECT_EQ(chars->recordCount(), 2);
    EXPECT_EQ(other->recordCount(), 1);
    // Synchronise: put `chars` on what `other` shows.
    chars->gotoCurrent(*other);
    EXPECT_EQ(chars->text("Character_Name"), "B");
    // A change posted through one is seen by the other after a refresh.
    chars->edit();
    chars->setText("Domain_Name", "D");
    chars->post();
    EXPECT_TRUE(other->isNull("Domain_Name"));
    other->refresh();
    EXPECT_EQ(other->text("Domain_Name"), "D");
    // Editing re-reads first, so an older copy never overwrites a newer one.
    auto third = openTable("vddb.DB");
    third->last();
    chars->edit();
    chars->setText("Domain_Name", "E");
    chars->post();
    third->edit();
    EXPECT_EQ(third->text("Domain_Name"), "E");
    third->cancel();
}

TEST_F(TableTest, ObjectWhoseRecordWasDeletedElsewhereKeepsWorking)
{
    auto other = openTable("vddb.DB");
    for (auto n : {"A", "B", "C"})
        addCharacter(*chars, "G", n);
    other->refresh();
    other->next();
    EXPECT_EQ(other->text("Character_Name"), "B");
    chars->first();
    chars->next();
    chars->remove();  // B, through the first object
    EXPECT_EQ(chars->text("Character_Name"), "C");
    other->next();
    EXPECT_EQ(other->text("Character_Name"), "C");
    other->prior();
    EXPECT_EQ(other->text("Character_Name"), "A");
    other->next();
    chars->remove();  // C
    other->refresh();
    EXPECT_EQ(other->text("Character_Name"), "A");
    EXPECT_THROW(other->gotoCurrent(*openTable("vdprovs.db")), StoreError);
}

TEST_F(TableTest, SynchroniseWithAnEmptyObjectFails)
{
    auto other = openTable("vddb.DB");
    other->setFilter("Game_Name='none'");
    other->setFiltered(true);
    addCharacter(*chars, "G", "A");
    other->refresh();
    EXPECT_THROW(chars->gotoCurrent(*other), StoreError);
    EXPECT_EQ(chars->text("Character_Name"), "A");
}

TEST_F(TableTest, Bookmarks)
{
    for (auto n : {"A", "B", "C"})
        addCharacter(*chars, "G", n);
    chars->first();
    chars->next();
    auto mark = chars->bookmark();
    chars->last();
    chars->gotoBookmark(mark);
    EXPECT_EQ(chars->text("Character_Name"), "B");
    chars->remove();
    EXPECT_THROW(chars->gotoBookmark(mark), StoreError);
    EXPECT_EQ(chars->text("Character_Name"), "C");
}

TEST_F(TableTest, SuspendedControlsHearOnceOnTheLastResume)
{
    Recorder r(*chars);
    chars->disableControls();
    chars->disableControls();
    addCharacter(*chars, "G", "A");
    addCharacter(*chars, "G", "B");
    chars->first();
    chars->enableControls();
    Log log = r.take();
    EXPECT_EQ(std::count(log.begin(), log.end(), "record"), 0);
    EXPECT_EQ(std::count(log.begin(), log.end(), "afterScroll"), 3);  // the window's handlers still run
    chars->enableControls();
    log = r.take();
    EXPECT_EQ(log, (Log{"state:browse", "record"}));
    chars->enableControls();  // unbalanced: ignored
    EXPECT_TRUE(r.take().empty());
}

TEST_F(TableTest, BatchAppendCopiesUnderTheSourceFilterAndIsAllOrNothing)
{
    auto trans = openTable("vdtrans.DB");
    auto xprov = openTable("expprovs.DB");
    addCharacter(*chars, "G", "A", {{"Palace_Value", "5"}, {"Misc_Leftovers", std::string(1000, 'x')}});
    addCharacter(*chars, "G", "B");
    addProvince(*provs, "G", "A", "a1");
    addProvince(*provs, "G", "A", "a2");
    addProvince(*provs, "G", "B", "b1");
    chars->setFilter(campaign::recordFilter("G", "A"));
    chars->setFiltered(true);
    provs->setFilter(campaign::recordFilter("G", "A"));
    provs->setFiltered(true);
    trans->appendFrom(*chars);
    xprov->appendFrom(*provs);
    EXPECT_EQ(column(*trans, "Character_Name"), (std::vector<std::string>{"A"}));
    EXPECT_EQ(column(*xprov, "Province_Name"), (std::vector<std::string>{"a1", "a2"}));
    trans->first();
    EXPECT_EQ(trans->text("Palace_Value"), "5");
    EXPECT_EQ(trans->text("Misc_Leftovers").size(), 1000u);

    // Appending into the main tables: B's copy fails on A, nothing is added,
    // and the destination stands on its first record.
    trans->insert();
    trans->setText("Game_Name", "G");
    trans->setText("Character_Name", "C");
    trans->post();
    chars->setFiltered(false);
    chars->last();
    try {
        chars->appendFrom(*trans);
        FAIL();
    } catch (const StoreError& e) {
        EXPECT_STREQ(e.what(), "Key violation");
    }
    EXPECT_EQ(chars->recordCount(), 2);
    EXPECT_EQ(chars->text("Character_Name"), "A");
    EXPECT_TRUE(chars->bof());
    // Provinces get new numbers, so appending them twice is fine.
    provs->setFiltered(false);
    provs->appendFrom(*xprov);
    provs->appendFrom(*xprov);
    EXPECT_EQ(provs->recordCount(), 7);
    EXPECT_THROW(trans->appendFrom(*provs), StoreError);  // layouts differ
}

TEST_F(TableTest, AnEmptySourceAppendsNothing)
{
    auto trans = openTable("vdtrans.DB");
    addCharacter(*chars, "G", "A");
    chars->appendFrom(*trans);
    EXPECT_EQ(chars->recordCount(), 1);
}

TEST_F(TableTest, GridReadsRowsAroundABookmarkWithoutMoving)
{
    for (int i = 0; i < 20; ++i)
        addCharacter(*chars, "G", "C" + std::to_string(100 + i));
    chars->first();
    chars->next();
    auto rows = chars->readRows(nullptr, false, 5, false);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(std::get<std::string>(rows[0].values[1]), "C100");
    auto after = chars->readRows(&rows[4].mark, false, 3, false);
    EXPECT_EQ(std::get<std::string>(after[0].values[1]), "C105");
    auto before = chars->readRows(&rows[4].mark, true, 3, true);
    EXPECT_EQ(std::get<std::string>(before[0].values[1]), "C104");
    EXPECT_EQ(std::get<std::string>(before[2].values[1]), "C102");
    EXPECT_EQ(chars->rowsBefore(rows[4].mark), 4);
    EXPECT_TRUE(chars->sameRecord(chars->rowAt(4), rows[4].mark));
    EXPECT_FALSE(chars->rowAt(20).valid);
    EXPECT_EQ(chars->text("Character_Name"), "C101");
    EXPECT_TRUE(chars->sameRecord(chars->bookmark(), rows[1].mark));
}

TEST_F(TableTest, OperationsOnAClosedObjectFail)
{
    store::Table t(session_);
    EXPECT_THROW(t.first(), StoreError);
    EXPECT_THROW(t.insert(), StoreError);
    t.setFilter("Game_Name='x'");  // allowed before opening
    t.setFiltered(true);
    addCharacter(*chars, "x", "1");
    addCharacter(*chars, "y", "2");
    t.open("VDDB", "vddb.DB");
    EXPECT_EQ(t.recordCount(), 1);
}

// Walking forward reads from one open statement; writes in between, through
// this or another object, and releasing the read must not skip or repeat rows.
TEST_F(TableTest, WalkingSurvivesWritesAndReleasedReads)
{
    for (int i = 0; i < 10; ++i)
        addCharacter(*chars, "G", "C" + std::to_string(i));
    auto other = openTable("vddb.DB");
    chars->first();
    chars->next();  // C1
    other->last();
    other->remove();  // C9, through another object
    other->first();
    other->edit();
    other->setText("Domain_Name", "x");
    other->post();
    std::vector<std::string> seen;
    while (!chars->eof()) {
        seen.push_back(chars->text("Character_Name"));
        if (seen.size() == 3) {
            addCharacter(*other, "G", "C45");  // lands ahead of the walk
        }
        if (seen.size() == 5)
            session_.releaseCursors();
        chars->next();
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"C1", "C2", "C3", "C4", "C45", "C5", "C6", "C7", "C8"}));
}

TEST_F(TableTest, GridReadAfterAMoveThenNextAgree)
{
    for (int i = 0; i < 8; ++i)
        addCharacter(*chars, "G", "C" + std::to_string(i));
    chars->first();
    auto rows = chars->readRows(nullptr, false, 5, false);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_TRUE(chars->sameRecord(rows[0].mark, chars->bookmark()));
    auto more = chars->readRows(&rows[0].mark, false, 6, false);
    ASSERT_EQ(more.size(), 6u);
    EXPECT_EQ(std::get<std::string>(more[5].values[1]), "C6");
    std::vector<std::string> seen;
    for (chars->next(); !chars->eof(); chars->next())
        seen.push_back(chars->text("Character_Name"));
    EXPECT_EQ(seen, (std::vector<std::string>{"C1", "C2", "C3", "C4", "C5", "C6", "C7"}));
}

TEST_F(TableTest, AnotherConnectionsWriteIsSeenOnceTheReadIsReleased)
{
    for (int i = 0; i < 3; ++i)
        addCharacter(*chars, "G", "C" + std::to_string(i));
    chars->first();
    session_.releaseCursors();  // as the program does between events
    store::Session elsewhere(session_.aliases(), campaign::catalogue());
    store::Table t(elsewhere);
    t.open("VDDB", "vddb.DB");
    addCharacter(t, "G", "C05");
    chars->next();
    EXPECT_EQ(chars->text("Character_Name"), "C05");
}

TEST_F(TableTest, ADeleteDuringAnEditTakesTheStoredRecordAndAKeyChangeRunsInThePost)
{
    addCharacter(*chars, "G", "Aric");
    addCharacter(*chars, "G", "Bran");
    chars->first();
    std::vector<std::string> seen;
    chars->beforeDelete = [&](store::Table& t) { seen.push_back(t.text("Character_Name")); };
    chars->edit();
    chars->setText("Character_Name", "Bran");
    EXPECT_THROW(chars->post(), StoreError);
    chars->remove();
    EXPECT_EQ(seen, std::vector<std::string>{"Aric"}) << "the handler sees the stored names";
    EXPECT_EQ(chars->recordCount(), 1);
    EXPECT_EQ(chars->text("Character_Name"), "Bran");

    // A handler that throws inside the post's transaction undoes the rename.
    std::vector<store::Value> from, to;
    chars->keyChanged = [&](store::Table&, const std::vector<store::Value>& was, const std::vector<store::Value>& now) {
        from = was;
        to = now;
        throw StoreError("refused");
    };
    chars->edit();
    chars->setText("Character_Name", "Cole");
    EXPECT_THROW(chars->post(), StoreError);
    EXPECT_EQ(from, (std::vector<store::Value>{std::string("G"), std::string("Bran")}));
    EXPECT_EQ(to, (std::vector<store::Value>{std::string("G"), std::string("Cole")}));
    chars->cancel();
    EXPECT_EQ(chars->text("Character_Name"), "Bran");
    int calls = 0;
    chars->keyChanged = [&](store::Table&, const auto&, const auto&) { ++calls; };
    chars->edit();
    chars->setText("Domain_Name", "North");
    chars->post();
    EXPECT_EQ(calls, 0) << "the key stayed";
    EXPECT_EQ(chars->text("Domain_Name"), "North");
}

// Deleting what a filter shows takes exactly those rows, in one statement
// without delete handlers and row by row, each seen, with them; the table
// ends empty and at its end either way.
TEST_F(TableTest, RemoveAllTakesWhatTheFilterShowsWithOrWithoutHandlers)
{
    for (const bool handlers : {false, true}) {
        SCOPED_TRACE(handlers ? "with handlers" : "without");
        addCharacter(*chars, "North", "Aric");
        addCharacter(*chars, "North", "Bran");
        addCharacter(*chars, "East", "Zed");
        int seen = 0;
        if (handlers)
            chars->beforeDelete = [&seen](store::Table&) { ++seen; };
        chars->setFilter("Game_Name='North'");
        chars->setFiltered(true);
        chars->removeAll();
        EXPECT_TRUE(chars->isEmpty());
        EXPECT_TRUE(chars->eof());
        EXPECT_EQ(seen, handlers ? 2 : 0);
        chars->setFiltered(false);
        EXPECT_EQ(column(*chars, "Character_Name"), std::vector<std::string>{"Zed"});
        chars->beforeDelete = nullptr;
        chars->removeAll();
        EXPECT_TRUE(chars->isEmpty());
    }
}

TEST_F(TableTest, FailuresCarryTheCodeACallerTests)
{
    using Code = StoreError::Code;
    auto codeOf = [](const std::function<void()>& action) {
        try {
            action();
        } catch (const StoreError& e) {
            return e.code();
        }
        ADD_FAILURE() << "nothing thrown";
        return Code::Other;
    };
    EXPECT_EQ(codeOf([&] { chars->remove(); }), Code::EmptyDataset);
    addCharacter(*chars, "G", "A");
    EXPECT_EQ(codeOf([&] { addCharacter(*chars, "G", "A"); }), Code::KeyViolation);
    chars->cancel();
    EXPECT_EQ(codeOf([&] { chars->setText("Domain_Name", "x"); }), Code::NotEditing);
    EXPECT_EQ(codeOf([&] { chars->gotoBookmark({}); }), Code::RecordNotFound);
    EXPECT_EQ(codeOf([&] { chars->fieldIndex("No_Such_Field"); }), Code::Other);
    chars->close();
    EXPECT_EQ(codeOf([&] { chars->first(); }), Code::NotOpen);
}

// Counts and places are kept while the table stays as it was read; a delete
// through the object works them out, and any other change counts again.
TEST_F(TableTest, ACountIsKeptOnlyWhileTheTableStaysAsItWasRead)
{
    for (int i = 0; i < 5; ++i)
        addCharacter(*chars, "G", "C" + std::to_string(i));
    store::Database& db = chars->database();
    int counted = 0;
    sqlite3_trace_v2(
        db.connection().get(), SQLITE_TRACE_STMT,
        [](unsigned, void* n, void* st, void*) {
            if (std::strstr(sqlite3_sql(static_cast<sqlite3_stmt*>(st)), "count("))
                ++*static_cast<int*>(n);
            return 0;
        },
        &counted);
    EXPECT_EQ(chars->recordCount(), 5);
    ASSERT_TRUE(chars->findKey({"G", "C2"}));
    EXPECT_EQ(chars->rowsBefore(chars->bookmark()), 2);
    const int before = counted;
    chars->remove();
    EXPECT_EQ(chars->text("Character_Name"), "C3");
    EXPECT_EQ(chars->recordCount(), 4);
    EXPECT_EQ(chars->rowsBefore(chars->bookmark()), 2);
    EXPECT_EQ(counted, before) << "worked out, not counted";

    // Another program's row, one written past the object, one rolled back.
    session_.releaseCursors();
    store::Session elsewhere(session_.aliases(), campaign::catalogue());
    store::Table other(elsewhere);
    other.open("VDDB", "vddb.DB");
    addCharacter(other, "G", "C9");
    elsewhere.releaseCursors();
    EXPECT_EQ(chars->recordCount(), 5);
    db.connection().exec("DELETE FROM vddb WHERE Character_Name = 'C0'");
    EXPECT_EQ(chars->recordCount(), 4);
    {
        store::Database::Transaction tx(db);
        db.connection().exec("DELETE FROM vddb WHERE Character_Name = 'C1'");
        EXPECT_EQ(chars->recordCount(), 3);
    }
    EXPECT_EQ(chars->recordCount(), 4);
    sqlite3_trace_v2(db.connection().get(), 0, nullptr, nullptr);
}

// A count made on a thread of its own is taken only while the file is as it
// was counted and no transaction is open.
TEST_F(TableTest, ACountMadeBesideIsTakenOnlyWhileTheFileIsUnchanged)
{
    auto countBeside = [&] {
        std::promise<std::pair<std::int64_t, std::uint32_t>> made;
        auto job = store::BackgroundCount::start(*chars, [&](std::int64_t rows, std::uint32_t counter) {
            made.set_value({rows, counter});
        });
        return made.get_future().get();
    };
    for (int i = 0; i < 3; ++i)
        addCharacter(*chars, "G", "C" + std::to_string(i));
    session_.releaseCursors();
    const auto [rows, counter] = countBeside();
    EXPECT_EQ(rows, 3);
    addCharacter(*chars, "G", "C3");
    chars->adoptCount(rows, counter);
    EXPECT_EQ(chars->knownRecordCount(), std::nullopt);
    session_.releaseCursors();
    const auto [now, nowCounter] = countBeside();
    {
        store::Database::Transaction tx(chars->database());
        chars->adoptCount(now, nowCounter);
        EXPECT_EQ(chars->knownRecordCount(), std::nullopt);
    }
    chars->adoptCount(now, nowCounter);
    EXPECT_EQ(chars->knownRecordCount(), 4);
}
