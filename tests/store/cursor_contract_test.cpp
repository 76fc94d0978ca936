// Call sequences that windows run inside one handler, with no idle time in
// between to end reads, and failures injected into SQLite.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include "campaign/catalogue.h"
#include "fixture.h"
#include "store/database.h"
#include "store/error.h"
#include "store/filter.h"
#include "store/sqlite.h"

using store::State;
using store::StoreError;
using testing_support::StoreTest;

namespace {

// Makes SQLite refuse statements on one connection while it lives: every
// statement, or only those that read the row number (so that a write goes
// through and the read after it fails). A table whose AutoInc column is the
// row number reports reads of it under that column's name.
class Refusal {
public:
    enum What { Everything, RowidReads };
    Refusal(store::Table& t, What what) : db_(t.database().connection().get()), what_(what)
    {
        sqlite3_set_authorizer(db_, &Refusal::decide, this);
    }
    ~Refusal() { sqlite3_set_authorizer(db_, nullptr, nullptr); }
    Refusal(const Refusal&) = delete;
    Refusal& operator=(const Refusal&) = delete;

private:
    static int decide(void* self, int action, const char*, const char* column, const char*, const char*)
    {
        auto* r = static_cast<Refusal*>(self);
        if (r->what_ == Everything)
            return SQLITE_DENY;
        const bool rowNumber =
            column && (sqlite3_stricmp(column, "rowid") == 0 || sqlite3_stricmp(column, "AutoKeyInc") == 0);
        return action == SQLITE_READ && rowNumber ? SQLITE_DENY : SQLITE_OK;
    }
    sqlite3* db_;
    What what_;
};

std::string name(const store::Row& r) { return std::get<std::string>(r.values[1]); }

// A raw connection on the campaign file, as another tool would open it.
store::sql::Connection rawCampaign(const std::filesystem::path& folder)
{
    return store::sql::Connection::open((folder / "campaign.sqlite").string(), false);
}

}  // namespace

class CursorContractTest : public StoreTest {
protected:
    void SetUp() override
    {
        chars = openTable("vddb.DB");
        provs = openTable("vdprovs.db");
    }
    std::unique_ptr<store::Table> chars, provs;
};

TEST_F(CursorContractTest, AWalkAfterAGridReadStopsAtTheEnd)
{
    for (auto n : {"A", "B", "C"})
        addCharacter(*chars, "G", n);
    chars->first();
    auto rows = chars->readRows(nullptr, false, 32, false);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(chars->readRows(nullptr, false, 32, false).size(), 3u) << "the first block read twice in one event";
    chars->next();
    chars->next();
    EXPECT_EQ(chars->text("Character_Name"), "C");
    EXPECT_FALSE(chars->eof());
    chars->next();
    EXPECT_EQ(chars->text("Character_Name"), "C");
    EXPECT_TRUE(chars->eof());
    chars->next();
    EXPECT_EQ(chars->text("Character_Name"), "C");
    EXPECT_TRUE(chars->eof());
    // And the same walk again within the same event, from a grid read of a
    // block that ends on the last row.
    chars->first();
    ASSERT_EQ(chars->readRows(&rows[0].mark, true, 3, false).size(), 3u);
    std::vector<std::string> seen;
    for (; !chars->eof(); chars->next())
        seen.push_back(chars->text("Character_Name"));
    EXPECT_EQ(seen, (std::vector<std::string>{"A", "B", "C"}));
}

TEST_F(CursorContractTest, SwitchingTheFilterToItsOwnStateGoesToTheFirstRow)
{
    for (auto n : {"A", "B", "C"})
        addCharacter(*chars, "G", n);
    chars->first();
    chars->next();
    chars->next();
    ASSERT_EQ(chars->text("Character_Name"), "C");
    chars->setFiltered(false);
    EXPECT_EQ(chars->text("Character_Name"), "A");
    EXPECT_TRUE(chars->bof());

    chars->setFilter("Game_Name='G'");
    chars->setFiltered(true);
    chars->last();
    chars->setFiltered(true);
    EXPECT_EQ(chars->text("Character_Name"), "A");
    // A pending change is still posted first.
    chars->last();
    chars->edit();
    chars->setText("Domain_Name", "kept");
    chars->setFiltered(true);
    EXPECT_EQ(chars->state(), State::Browse);
    chars->last();
    EXPECT_EQ(chars->text("Domain_Name"), "kept");
}

TEST_F(CursorContractTest, SqliteFailuresReachCallersAsStoreErrorsNamingTheTable)
{
    for (auto n : {"A", "B", "C"})
        addCharacter(*chars, "G", n);
    chars->first();
    const store::Bookmark mark = chars->bookmark();
    session_.releaseCursors();
    Refusal refusal(*chars, Refusal::Everything);
    auto check = [](const char* what, const std::function<void()>& call) {
        try {
            call();
            ADD_FAILURE() << what << ": no error";
        } catch (const StoreError& e) {
            EXPECT_NE(std::string(e.what()).find("vddb.DB"), std::string::npos) << what << ": " << e.what();
        } catch (const std::exception& e) {
            ADD_FAILURE() << what << ": not a StoreError: " << e.what();
        }
    };
    check("first", [&] { chars->first(); });
    check("next", [&] { chars->next(); });
    check("prior", [&] { chars->prior(); });
    check("last", [&] { chars->last(); });
    check("isEmpty", [&] { chars->isEmpty(); });
    check("recordCount", [&] { chars->recordCount(); });
    check("findKey", [&] { chars->findKey({"G", "B"}); });
    check("readRows", [&] { chars->readRows(nullptr, false, 32, false); });
    check("readRows from a mark", [&] { chars->readRows(&mark, false, 32, false); });
    check("rowsBefore", [&] { chars->rowsBefore(mark); });
    check("rowAt", [&] { chars->rowAt(1); });
    check("refresh", [&] { chars->refresh(); });
    check("open", [&] {
        store::Table t(session_);
        t.open("VDDB", "vddb.DB");
    });
}

// The same, with every statement prepared before SQLite starts refusing.
TEST_F(CursorContractTest, FailuresOfPreparedStatementsAreStoreErrorsToo)
{
    for (auto n : {"A", "B", "C"})
        addCharacter(*chars, "G", n);
    chars->first();
    const store::Bookmark mark = chars->bookmark();
    const std::vector<std::pair<const char*, std::function<void()>>> calls = {
        {"first", [&] { chars->first(); }},
        {"next", [&] { chars->next(); }},
        {"prior", [&] { chars->prior(); }},
        {"last", [&] { chars->last(); }},
        {"isEmpty", [&] { chars->isEmpty(); }},
        {"recordCount", [&] { chars->recordCount(); }},
        {"findKey", [&] { chars->findKey({"G", "B"}); }},
        {"readRows", [&] { chars->readRows(nullptr, false, 32, false); }},
        {"readRows from a mark", [&] { chars->readRows(&mark, false, 32, false); }},
        {"readRows back", [&] { chars->readRows(&mark, true, 32, true); }},
        {"rowsBefore", [&] { chars->rowsBefore(mark); }},
        {"rowAt", [&] { chars->rowAt(1); }},
        {"refresh", [&] { chars->refresh(); }},
        {"gotoBookmark", [&] { chars->gotoBookmark(mark); }},
    };
    for (const auto& [what, call] : calls)
        call();
    session_.releaseCursors();
    Refusal refusal(*chars, Refusal::Everything);
    for (const auto& [what, call] : calls) {
        try {
            call();
            ADD_FAILURE() << what << ": no error";
        } catch (const StoreError& e) {
            EXPECT_NE(std::string(e.what()).find("vddb.DB"), std::string::npos) << what << ": " << e.what();
        } catch (const std::exception& e) {
            ADD_FAILURE() << what << ": not a StoreError: " << e.what();
        }
    }
}

TEST_F(CursorContractTest, ACommittedPostIsDoneEvenWhenTheReadAfterItFails)
{
    addProvince(*provs, "G", "A", "p1");
    provs->insert();
    provs->setText("Game_Name", "G");
    provs->setText("Character_Name", "A");
    provs->setText("Province_Name", "p2");
    {
        Refusal refusal(*provs, Refusal::RowidReads);
        EXPECT_THROW(provs->post(), StoreError);
        EXPECT_EQ(provs->state(), State::Browse);
        EXPECT_FALSE(provs->modified());
        provs->post();  // the user's retry: nothing is pending
    }
    EXPECT_EQ(column(*provs, "Province_Name"), (std::vector<std::string>{"p1", "p2"}));
}

TEST_F(CursorContractTest, ABookmarkNeverLandsOnARecordThatTookAReusedRowid)
{
    for (auto n : {"A", "B", "C"})
        addCharacter(*chars, "G", n);
    auto other = openTable("vddb.DB");
    chars->last();
    const store::Bookmark mark = chars->bookmark();
    other->last();
    other->remove();                  // C
    addCharacter(*other, "G", "Aa");  // a new record, likely with C's rowid
    try {
        chars->gotoBookmark(mark);
        FAIL() << "landed on " << chars->text("Character_Name");
    } catch (const StoreError& e) {
        EXPECT_STREQ(e.what(), "Record/Key deleted");
    }
    EXPECT_FALSE(chars->sameRecord(mark, other->bookmark()));
}

TEST_F(CursorContractTest, EditAndPostOfARecordDeletedElsewhereNeverTouchItsSuccessor)
{
    for (auto n : {"A", "B", "C"})
        addCharacter(*chars, "G", n);
    auto other = openTable("vddb.DB");
    chars->last();
    chars->edit();
    chars->setText("Domain_Name", "C's domain");
    other->last();
    other->remove();
    addCharacter(*other, "G", "Aa");
    EXPECT_THROW(chars->post(), StoreError);
    chars->cancel();
    other->first();
    other->next();
    EXPECT_EQ(other->text("Character_Name"), "Aa");
    EXPECT_TRUE(other->isNull("Domain_Name"));

    // Standing on it when it goes: a refresh does not take the newcomer for it,
    // and an edit is refused.
    chars->last();
    ASSERT_EQ(chars->text("Character_Name"), "B");
    other->last();
    other->remove();  // B
    other->last();
    other->remove();  // Aa: B's rowid is the highest again
    addCharacter(*other, "G", "Ab");
    EXPECT_THROW(chars->edit(), StoreError);
    chars->refresh();
    EXPECT_NE(chars->text("Character_Name"), "B");
    EXPECT_EQ(chars->state(), State::Browse);
}

TEST_F(CursorContractTest, RowsWithEqualKeysArePagedOnceEach)
{
    addCharacter(*chars, "G", "A");
    chars->first();
    session_.releaseCursors();
    {
        // Another tool dropped the unique index and stored duplicates.
        auto raw = rawCampaign(dataFolder());
        raw.exec("DROP INDEX vddb_key; CREATE INDEX vddb_key ON vddb (Game_Name, Character_Name);"
                 "INSERT INTO vddb (Game_Name, Character_Name, Domain_Name) VALUES ('G', 'A', 'second'), "
                 "('G', 'A', 'third'), ('G', 'B', 'fourth');");
    }
    std::vector<std::string> forward;
    const store::Bookmark* from = nullptr;
    std::vector<store::Row> page;
    for (int i = 0; i < 6; ++i) {
        page = chars->readRows(from, false, 1, false);
        if (page.empty())
            break;
        forward.push_back(name(page[0]));
        from = &page[0].mark;
    }
    EXPECT_EQ(forward, (std::vector<std::string>{"A", "A", "A", "B"}));
    std::vector<std::string> backward;
    chars->last();
    for (int i = 0; i < 6 && !chars->bof(); ++i, chars->prior())
        backward.push_back(chars->text("Domain_Name"));
    EXPECT_EQ(backward, (std::vector<std::string>{"fourth", "third", "second", ""}));
}

TEST_F(CursorContractTest, ATableWhoseKeyWasChangedByAnotherToolIsRefusedByName)
{
    chars.reset();
    provs.reset();
    const std::vector<std::pair<std::string, std::string>> edits = {
        {"vddb.DB", "DROP INDEX vddb_key"},
        {"vddb.DB", "DROP INDEX vddb_key; CREATE INDEX vddb_key ON vddb (Game_Name, Character_Name)"},
        {"vddb.DB", "DROP INDEX vddb_key; CREATE UNIQUE INDEX vddb_key ON vddb (Character_Name, Game_Name)"},
        {"vddb.DB", "DROP INDEX vddb_key; CREATE UNIQUE INDEX other ON vddb (Game_Name COLLATE NOCASE, "
                    "Character_Name)"},
        {"vdprovs.db", "DROP INDEX vdprovs_key; CREATE INDEX vdprovs_key ON vdprovs (Game_Name)"},
    };
    for (const auto& [table, edit] : edits) {
        testing_support::TempFolder folder;
        store::Session session(store::AliasRegistry(folder.path() / "aliases.conf"), campaign::catalogue());
        session.aliases().add(store::Alias{"VDDB", "STANDARD", {{"PATH", (folder.path() / "Data").string()}}}, false);
        { store::Database first(folder.path() / "Data", campaign::catalogue()); }
        rawCampaign(folder.path() / "Data").exec(edit);
        store::Table t(session);
        try {
            t.open("VDDB", table);
            ADD_FAILURE() << edit << ": opened";
        } catch (const StoreError& e) {
            const std::string m = e.what();
            EXPECT_NE(m.find(table), std::string::npos) << m;
            EXPECT_NE(m.find("campaign.sqlite"), std::string::npos) << m;
        }
        EXPECT_FALSE(t.isOpen());
    }
}

TEST_F(CursorContractTest, AWriteSqliteRefusesLeavesTheChangePendingForARetry)
{
    addCharacter(*chars, "G", "A");
    chars->edit();
    chars->setText("Domain_Name", "pending");
    {
        Refusal refusal(*chars, Refusal::Everything);
        EXPECT_THROW(chars->post(), StoreError);
        EXPECT_EQ(chars->state(), State::Edit);
        EXPECT_TRUE(chars->modified());
        EXPECT_THROW(
            {
                store::Database::Transaction tx(chars->database());
                tx.commit();
            },
            StoreError);
    }
    EXPECT_EQ(chars->text("Domain_Name"), "pending");
    chars->post();
    EXPECT_EQ(chars->recordCount(), 1);
    chars->refresh();
    EXPECT_EQ(chars->text("Domain_Name"), "pending");
    {
        Refusal refusal(*chars, Refusal::Everything);
        EXPECT_THROW(chars->remove(), StoreError);
    }
    EXPECT_EQ(chars->recordCount(), 1);
}
