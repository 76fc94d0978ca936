// Another program (a second copy of this one, an SQLite tool) writing the
// same record while this one edits it: its changes are never overwritten
// unseen.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "fixture.h"
#include "store/all_or_nothing.h"
#include "store/database.h"
#include "store/error.h"
#include "store/paths.h"
#include "store/sqlite.h"

using testing_support::StoreTest;

namespace {

struct Field {
    std::string name, value;
};

}  // namespace

class ConflictTest : public StoreTest {
protected:
    void SetUp() override
    {
        chars = openTable("vddb.DB");
        addCharacter(*chars, "G", "Aric", {{"Domain_Name", "Aricia"}, {"Current_GB", "10"}, {"Vassals", "none"}});
        other = store::sql::Connection::open(store::utf8(dataFolder() / "campaign.sqlite"), false);
    }
    // A column of Aric as the file holds it, read apart from the store.
    std::string stored(const std::string& column, const char* as = "")
    {
        store::sql::Statement st(other, std::string("SELECT ") + as + "(" + store::sql::quoteIdentifier(column) +
                                            ") FROM vddb WHERE Character_Name = 'Aric'");
        EXPECT_TRUE(st.step());
        return st.isNull(0) ? "<null>" : st.text(0);
    }
    // The program ends its reads between events; only then can another
    // program write.
    void theyDo(const std::string& sql)
    {
        session_.releaseCursors();
        other.exec(sql);
    }
    void theyWrite(const Field& f)
    {
        session_.releaseCursors();
        store::sql::Statement st(other, "UPDATE vddb SET " + store::sql::quoteIdentifier(f.name) +
                                            " = ?1 WHERE Character_Name = 'Aric'");
        st.bind(1, std::string_view(f.value));
        st.run();
    }

    std::unique_ptr<store::Table> chars;
    store::sql::Connection other;
};

TEST_F(ConflictTest, APostWritesOnlyItsOwnFieldsAndRefusesOneThatAnotherProgramChangedToo)
{
    struct Case {
        std::vector<Field> ours, theirs;
        std::string refusedFor;  // empty when the post goes through
        std::vector<Field> after;
    };
    const std::vector<Case> cases = {
        // Different fields: both changes stay.
        {{{"Domain_Name", "Aric Hold"}}, {{"Current_GB", "25"}}, "", {{"Domain_Name", "Aric Hold"}, {"Current_GB", "25"}}},
        {{{"Current_GB", "11"}, {"Vassals", "Bors"}}, {{"Domain_Name", "Theirs"}}, "",
         {{"Domain_Name", "Theirs"}, {"Current_GB", "11"}, {"Vassals", "Bors"}}},
        // Both set the same field to the same value: nothing is lost.
        {{{"Current_GB", "30"}}, {{"Current_GB", "30"}}, "", {{"Current_GB", "30"}}},
        // Both changed one field: refused, nothing of ours written.
        {{{"Current_GB", "12"}, {"Vassals", "Bors"}}, {{"Current_GB", "99"}}, "the field 'Current_GB' ",
         {{"Current_GB", "99"}, {"Vassals", "none"}}},
        {{{"Domain_Name", "Mine"}, {"Current_GB", "12"}}, {{"Current_GB", "99"}, {"Domain_Name", "Yours"}},
         "the fields 'Domain_Name', 'Current_GB' ", {{"Domain_Name", "Yours"}, {"Current_GB", "99"}}},
        // Typed and typed back: not a change, so theirs stays.
        {{{"Domain_Name", "Aricia"}}, {{"Domain_Name", "Renamed"}}, "", {{"Domain_Name", "Renamed"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ours.front().name + " = " + c.ours.front().value + " against " + c.theirs.front().name);
        for (const auto& f : {Field{"Domain_Name", "Aricia"}, Field{"Current_GB", "10"}, Field{"Vassals", "none"}})
            theyWrite(f);
        ASSERT_TRUE(chars->findKey({"G", "Aric"}));
        chars->edit();
        if (c.ours.front().value == "Aricia")
            chars->setText("Domain_Name", "typed on the way");
        for (const Field& f : c.ours)
            chars->setText(f.name, f.value);
        for (const Field& f : c.theirs)
            theyWrite(f);
        if (c.refusedFor.empty()) {
            EXPECT_NO_THROW(chars->post());
        } else {
            try {
                chars->post();
                ADD_FAILURE() << "posted over another program's change";
            } catch (const store::StoreError& e) {
                EXPECT_NE(std::string(e.what()).find("Another program changed " + c.refusedFor + "of this record"),
                          std::string::npos)
                    << e.what();
            }
        }
        // Either way the edit is over and the record shows the file.
        EXPECT_EQ(chars->state(), store::State::Browse);
        for (const Field& f : c.after) {
            EXPECT_EQ(stored(f.name), f.value) << f.name;
            EXPECT_EQ(chars->text(f.name), f.value) << f.name;
        }
    }
}

TEST_F(ConflictTest, AnEditOfOneFieldLeavesValuesTheProgramCannotShowAsAnotherToolStoredThem)
{
    // An SQLite tool that ignores the file's checks: a real and a text in
    // number columns, an over-long text, a text in a logical column.
    theyDo("PRAGMA ignore_check_constraints = ON; UPDATE vddb SET Palace_Value = 3.7, Court_Expenditure = 'abc', "
               "Class_Abbrev = 'far longer than ten characters', Warrior = 'yes', Current_GB = 70000 "
               "WHERE Character_Name = 'Aric'");
    ASSERT_TRUE(chars->findKey({"G", "Aric"}));
    EXPECT_NO_THROW((void)chars->text("Palace_Value"));
    EXPECT_NO_THROW((void)chars->text("Court_Expenditure"));
    EXPECT_EQ(chars->text("Class_Abbrev"), "far longer than ten characters");
    EXPECT_EQ(chars->text("Current_GB"), "70000");

    chars->edit();
    chars->setText("Domain_Name", "Aric Hold");
    chars->post();
    EXPECT_EQ(stored("Domain_Name"), "Aric Hold");
    EXPECT_EQ(stored("Palace_Value", "typeof"), "real");
    EXPECT_EQ(stored("Palace_Value"), "3.7");
    EXPECT_EQ(stored("Court_Expenditure"), "abc");
    EXPECT_EQ(stored("Class_Abbrev"), "far longer than ten characters");
    EXPECT_EQ(stored("Warrior"), "yes");
    EXPECT_EQ(stored("Current_GB"), "70000");

    // Typing over such a value stores the typed one.
    chars->edit();
    chars->setText("Palace_Value", "4");
    chars->post();
    EXPECT_EQ(stored("Palace_Value", "typeof"), "integer");
    EXPECT_EQ(stored("Court_Expenditure"), "abc");
}

TEST_F(ConflictTest, ARecordDeletedOrChangedThroughAnotherObjectMeanwhile)
{
    // Another table object on the same connection counts as another writer.
    auto second = openTable("vddb.DB");
    ASSERT_TRUE(chars->findKey({"G", "Aric"}));
    ASSERT_TRUE(second->findKey({"G", "Aric"}));
    chars->edit();
    chars->setText("Current_GB", "11");
    second->edit();
    second->setText("Vassals", "Bors");
    second->post();
    chars->post();
    EXPECT_EQ(stored("Current_GB"), "11");
    EXPECT_EQ(stored("Vassals"), "Bors");

    chars->edit();
    chars->setText("Current_GB", "12");
    theyDo("DELETE FROM vddb WHERE Character_Name = 'Aric'");
    try {
        chars->post();
        FAIL() << "posted a deleted record";
    } catch (const store::StoreError& e) {
        EXPECT_STREQ(e.what(), store::msg::recordKeyDeleted);
    }
    EXPECT_EQ(chars->state(), store::State::Edit);
}

// Opening the file while another program writes it waits for the write to
// end, as every statement after does, rather than failing at once.
TEST_F(ConflictTest, OpeningWaitsForAnotherProgramsWriteToEnd)
{
    theyDo("BEGIN EXCLUSIVE");
    std::thread release([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        other.exec("COMMIT");
    });
    auto late = store::sql::Connection::open(store::utf8(dataFolder() / "campaign.sqlite"), false);
    EXPECT_NO_THROW(store::applyPragmas(late));
    release.join();
}

// Work that writes only the transfer file locks only it: another program may
// write the campaign file meanwhile, not the transfer file, and the work
// still stays or goes as a whole.
TEST_F(ConflictTest, WorkOnTheTransferFileLeavesTheCampaignFileFreeToWrite)
{
    auto transfer = openTable("vdtrans.DB");
    auto other2 = store::sql::Connection::open(store::utf8(dataFolder() / "transfer.sqlite"), false);
    other.exec("PRAGMA busy_timeout=0");
    other2.exec("PRAGMA busy_timeout=0");
    auto tryWrite = [](store::sql::Connection& c) {
        try {
            c.exec("BEGIN IMMEDIATE; ROLLBACK;");
            return true;
        } catch (const store::sql::SqlError&) {
            return false;
        }
    };
    EXPECT_THROW(store::allOrNothing(*chars, {transfer.get()}, [&] {
                     addCharacter(*transfer, "G", "Bran");
                     EXPECT_TRUE(tryWrite(other));
                     EXPECT_FALSE(tryWrite(other2));
                     throw store::StoreError("stop");
                 }),
                 store::StoreError);
    transfer->refresh();
    EXPECT_EQ(transfer->recordCount(), 0);
    // Without the names of the tables written, both files are locked.
    store::Database::Transaction whole(chars->database());
    EXPECT_FALSE(tryWrite(other));
}

// A record another program renamed, before editing began or during it, is
// said to be renamed; one it deleted, deleted.
TEST_F(ConflictTest, ARenamedRecordIsCalledRenamedAndADeletedOneDeleted)
{
    const std::tuple<const char*, bool, std::string> cases[] = {
        {"UPDATE vddb SET Character_Name = 'Bran'", false, store::msg::recordKeyChanged("'G', 'Bran'")},
        {"UPDATE vddb SET Game_Name = 'H'", true, store::msg::recordKeyChanged("'H', 'Aric'")},
        {"DELETE FROM vddb", true, store::msg::recordKeyDeleted}};
    for (const auto& [sql, editing, expected] : cases) {
        theyDo("DELETE FROM vddb");
        addCharacter(*chars, "G", "Aric");
        if (editing)
            chars->edit();
        theyDo(sql);
        try {
            chars->edit();
            chars->setText("Current_GB", "12");
            chars->post();
            ADD_FAILURE() << sql;
        } catch (const store::StoreError& e) {
            EXPECT_EQ(e.what(), expected) << sql << (editing ? " while editing" : "");
        }
        chars->cancel();
    }
}
