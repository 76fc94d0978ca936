// Faults the store must survive without losing or damaging anything: deletes
// that fail half way, interrupted first starts, a full disk, a folder that
// cannot be made, another program holding the write lock, a damaged campaign
// file, and two programs on one folder.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>
#include <thread>

#include "campaign/catalogue.h"
#include "fixture.h"
#include "store/database.h"
#include "store/error.h"
#include "store/filter.h"
#include "store/layout.h"
#include "store/paths.h"
#include "store/sqlite.h"
#include "support/fault_vfs.h"

namespace fs = std::filesystem;
using testing_support::StoreTest;
using Strings = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

namespace {

std::string bytesOf(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const fs::path& file, const std::string& bytes)
{
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

std::string quickCheck(const fs::path& file)
{
    auto conn = store::sql::Connection::open(file.string(), false);
    store::sql::Statement st(conn, "PRAGMA quick_check");
    st.step();
    return st.text(0);
}

std::int64_t pragmaValue(store::sql::Connection& conn, const std::string& pragma)
{
    store::sql::Statement st(conn, "PRAGMA " + pragma);
    st.step();
    return st.int64(0);
}

// Sets the wait for locks for one test and puts it back after.
class BusyTimeout {
public:
    explicit BusyTimeout(std::chrono::milliseconds wait) : was_(store::busyTimeoutSetting())
    {
        store::setBusyTimeout(wait);
    }
    ~BusyTimeout() { store::setBusyTimeout(was_); }

private:
    std::chrono::milliseconds was_;
};

}  // namespace

class FaultsTest : public StoreTest {
protected:
    // The realm window's deletion of a character: its provinces first, one
    // by one, from the before-delete handler.
    void deleteProvincesFirst(store::Table& characters, store::Table& provinces)
    {
        characters.beforeDelete = [&provinces](store::Table& c) {
            provinces.setFiltered(false);
            provinces.setFilter(campaign::recordFilter(c.text("Game_Name"), c.text("Character_Name")));
            provinces.setFiltered(true);
            for (provinces.first(); !provinces.eof();)
                provinces.remove();
        };
    }
    Strings provincesIn(store::Session& session)
    {
        store::Table p(session);
        p.open("VDDB", "vdprovs.db");
        return column(p, "Province_Name");
    }
    Strings charactersIn(store::Session& session)
    {
        store::Table c(session);
        c.open("VDDB", "vddb.DB");
        return column(c, "Character_Name");
    }
};

// ---- deletes of a character with its provinces -------------------------

TEST_F(FaultsTest, ACharacterDeleteThatFailsAfterItsProvincesKeepsThemAll)
{
    auto chars = openTable("vddb.DB");
    auto provs = openTable("vdprovs.db");
    addCharacter(*chars, "G", "Aric");
    addCharacter(*chars, "G", "Bran");
    for (auto p : {"a1", "a2", "a3"})
        addProvince(*provs, "G", "Aric", p);
    addProvince(*provs, "G", "Bran", "b1");
    deleteProvincesFirst(*chars, *provs);
    // The character's own row cannot go, as a full or locked file would refuse it.
    chars->database().connection().exec(
        "CREATE TEMP TRIGGER keep BEFORE DELETE ON main.vddb BEGIN SELECT RAISE(ABORT, 'Disk I/O error'); END");

    ASSERT_TRUE(chars->findKey({"G", "Aric"}));
    EXPECT_THROW(chars->remove(), store::StoreError);
    store::Session other(session_.aliases(), campaign::catalogue());
    EXPECT_EQ(charactersIn(other), (Strings{"Aric", "Bran"}));
    EXPECT_EQ(provincesIn(other), (Strings{"a1", "a2", "a3", "b1"}));

    // A handler that gives up part way takes back what it did.
    chars->database().connection().exec("DROP TRIGGER temp.keep");
    int deleted = 0;
    chars->beforeDelete = [&](store::Table&) {
        provs->setFiltered(false);
        provs->first();
        provs->remove();
        ++deleted;
        throw store::StoreError("refused");
    };
    EXPECT_THROW(chars->remove(), store::StoreError);
    EXPECT_EQ(deleted, 1);
    EXPECT_EQ(provincesIn(other), (Strings{"a1", "a2", "a3", "b1"}));

    // Without a fault both go, and nothing else.
    deleteProvincesFirst(*chars, *provs);
    ASSERT_TRUE(chars->findKey({"G", "Aric"}));
    chars->remove();
    EXPECT_EQ(charactersIn(other), Strings{"Bran"});
    EXPECT_EQ(provincesIn(other), Strings{"b1"});
    EXPECT_EQ(chars->text("Character_Name"), "Bran");
}

// ---- first start ------------------------------------------------------------

TEST_F(FaultsTest, AFirstStartInterruptedBetweenItsTwoFilesIsFinishedByTheNext)
{
    // What a kill between the two renames leaves: the campaign file in place,
    // the transfer file still under its temporary name.
    fs::create_directories(dataFolder());
    store::Database::createFile(campaign::catalogue(), dataFolder() / "campaign.sqlite", campaign::campaignFile);
    store::Database::createFile(campaign::catalogue(), dataFolder() / "transfer.sqlite.new", campaign::transferFile);
    for (const char* table : {"vddb.DB", "vdprovs.db", "vdtrans.DB", "expprovs.DB"})
        EXPECT_TRUE(openTable(table)->isOpen()) << table;
    EXPECT_TRUE(fs::exists(dataFolder() / "transfer.sqlite"));
    EXPECT_FALSE(fs::exists(dataFolder() / "transfer.sqlite.new"));
}

TEST_F(FaultsTest, AFirstStartNeverCreatesOverDataOrBesideItWithoutATemporaryFile)
{
    openTable("vddb.DB");
    {
        auto chars = openTable("vddb.DB");
        addCharacter(*chars, "G", "Kept");
    }
    const std::string campaign = bytesOf(dataFolder() / "campaign.sqlite");
    // A stray temporary campaign file beside real data is not taken for it.
    store::Database::createFile(campaign::catalogue(), dataFolder() / "campaign.sqlite.new", campaign::campaignFile);
    fs::remove(dataFolder() / "transfer.sqlite");
    store::Session fresh(session_.aliases(), campaign::catalogue());
    EXPECT_EQ(charactersIn(fresh), Strings{"Kept"});
    store::Table t(fresh);
    EXPECT_THROW(t.open("VDDB", "vdtrans.DB"), store::StoreError);
    EXPECT_FALSE(fs::exists(dataFolder() / "transfer.sqlite"));
    EXPECT_EQ(bytesOf(dataFolder() / "campaign.sqlite"), campaign);
}

TEST_F(FaultsTest, AFirstStartWhoseSecondFileCannotTakeItsNameLeavesNeitherAndSaysWhy)
{
    // Another program takes the transfer file's name while the two are made.
    testing_support::FaultVfs vfs;
    vfs.onOpen = "transfer.sqlite.new";
    vfs.action = [this] { fs::create_directories(dataFolder() / "transfer.sqlite" / "x"); };
    try {
        store::Database db(dataFolder(), campaign::catalogue());
        ADD_FAILURE() << "opened";
    } catch (const store::StoreError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create " + (dataFolder() / "transfer.sqlite").string() +
                                             ": the file already exists");
    }
    EXPECT_FALSE(fs::exists(dataFolder() / "campaign.sqlite"));
    fs::remove_all(dataFolder() / "transfer.sqlite");
    store::Database next(dataFolder(), campaign::catalogue());
    EXPECT_TRUE(fs::exists(dataFolder() / "campaign.sqlite") && fs::exists(dataFolder() / "transfer.sqlite"));
}

// Kills at every moment of a first start: the next start always ends with
// both files and their four tables.
TEST_F(FaultsTest, AFirstStartKilledAnywhereLeavesAFolderThatOpens)
{
    // How long a start takes once warm, as in the children: the first one
    // alone, run cold, could make most kills come too late.
    long took = std::numeric_limits<long>::max();
    for (int i = 0; i < 3; ++i) {
        const auto began = Clock::now();
        { store::Database measure(temp_.path() / ("measure" + std::to_string(i)), campaign::catalogue()); }
        took = std::min<long>(took, std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - began).count());
    }
    std::mt19937 rng(7);
    int interrupted = 0;
    for (int round = 0; round < 40; ++round) {
        const fs::path folder = temp_.path() / ("start" + std::to_string(round));
        session_.aliases().add(store::Alias{"VDDB", "STANDARD", {{"PATH", folder.string() + "/"}}}, true);
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            store::Database db(folder, campaign::catalogue());
            _exit(0);
        }
        std::this_thread::sleep_for(
            std::chrono::microseconds(std::uniform_int_distribution<long>(0, took * 3 / 2 + 1000)(rng)));
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        interrupted += WIFSIGNALED(status) ? 1 : 0;
        store::Session next(session_.aliases(), campaign::catalogue());
        for (const char* table : {"vddb.DB", "vdprovs.db", "vdtrans.DB", "expprovs.DB"}) {
            store::Table t(next);
            EXPECT_NO_THROW(t.open("VDDB", table)) << "round " << round << ": " << table;
        }
        EXPECT_EQ(quickCheck(folder / "campaign.sqlite"), "ok");
        EXPECT_EQ(quickCheck(folder / "transfer.sqlite"), "ok");
    }
    EXPECT_GT(interrupted, 5);  // most kills landed before the start was done
}

// ---- a full disk -----------------------------------------------------------

TEST_F(FaultsTest, AFullDiskFailsThePostAndKeepsTheRecordPendingUntilThereIsRoom)
{
    auto chars = openTable("vddb.DB");
    addCharacter(*chars, "G", "Aric");
    store::sql::Connection& conn = chars->database().connection();
    const std::int64_t pages = pragmaValue(conn, "main.page_count");
    conn.exec("PRAGMA main.max_page_count=" + std::to_string(pages));

    chars->insert();
    chars->setText("Game_Name", "G");
    chars->setText("Character_Name", "Bran");
    chars->setText("Misc_Leftovers", std::string(60000, 'm'));
    try {
        chars->post();
        FAIL() << "posted into a full file";
    } catch (const store::StoreError& e) {
        EXPECT_NE(std::string(e.what()).find("vddb.DB"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("full"), std::string::npos) << e.what();
    }
    EXPECT_EQ(chars->state(), store::State::Insert);
    EXPECT_EQ(chars->text("Character_Name"), "Bran");
    EXPECT_EQ(chars->text("Misc_Leftovers").size(), 60000u);
    store::Session other(session_.aliases(), campaign::catalogue());
    EXPECT_EQ(charactersIn(other), Strings{"Aric"});
    EXPECT_EQ(quickCheck(dataFolder() / "campaign.sqlite"), "ok");

    // A change to a stored record fails the same way and stays pending.
    conn.exec("PRAGMA main.max_page_count=1000000");
    chars->post();
    EXPECT_EQ(charactersIn(other), (Strings{"Aric", "Bran"}));
    conn.exec("PRAGMA main.max_page_count=" + std::to_string(pragmaValue(conn, "main.page_count")));
    ASSERT_TRUE(chars->findKey({"G", "Aric"}));
    chars->edit();
    chars->setText("Misc_Leftovers", std::string(60000, 'x'));
    EXPECT_THROW(chars->post(), store::StoreError);
    EXPECT_EQ(chars->state(), store::State::Edit);
    conn.exec("PRAGMA main.max_page_count=1000000");
    chars->post();
    store::Session last(session_.aliases(), campaign::catalogue());
    store::Table check(last);
    check.open("VDDB", "vddb.DB");
    ASSERT_TRUE(check.findKey({"G", "Aric"}));
    EXPECT_EQ(check.text("Misc_Leftovers"), std::string(60000, 'x'));
}

TEST_F(FaultsTest, AFullDiskInTheMiddleOfACopyIntoTheCampaignCopiesNothing)
{
    auto chars = openTable("vddb.DB");
    auto trans = openTable("vdtrans.DB");
    for (int i = 0; i < 40; ++i)
        addCharacter(*trans, "T", "C" + std::to_string(100 + i), {{"Misc_Leftovers", std::string(3000, 'q')}});
    store::sql::Connection& conn = chars->database().connection();
    // Room for about half of them.
    conn.exec("PRAGMA main.max_page_count=" + std::to_string(pragmaValue(conn, "main.page_count") + 15));
    {
        store::Database::Transaction tx(chars->database());
        EXPECT_THROW(chars->appendFrom(*trans), store::StoreError);
    }
    store::Session other(session_.aliases(), campaign::catalogue());
    EXPECT_TRUE(charactersIn(other).empty());
    EXPECT_EQ(quickCheck(dataFolder() / "campaign.sqlite"), "ok");
    conn.exec("PRAGMA main.max_page_count=1000000");
    chars->appendFrom(*trans);
    EXPECT_EQ(charactersIn(other).size(), 40u);
}

// ---- a folder that cannot be made --------------------------------------------

TEST_F(FaultsTest, ADataFolderUnderAFileIsRefusedWithItsNameAndTheFileKept)
{
    // Modes do not stop root; a folder below a plain file cannot be made by anyone.
    const fs::path blocker = temp_.path() / "plain-file";
    writeBytes(blocker, "not a folder");
    const fs::path folder = blocker / "Data";
    session_.aliases().add(store::Alias{"VDDB", "STANDARD", {{"PATH", folder.string() + "/"}}}, true);
    store::Table t(session_);
    try {
        t.open("VDDB", "vddb.DB");
        FAIL() << "opened a table in a folder that cannot exist";
    } catch (const store::StoreError& e) {
        EXPECT_NE(std::string(e.what()).find(folder.string()), std::string::npos) << e.what();
    }
    EXPECT_FALSE(t.isOpen());
    EXPECT_EQ(bytesOf(blocker), "not a folder");
}

// A folder whose files can be read but where no journal can be made, as in a
// folder that cannot be written (modes alone do not stop root: a folder in
// the journal's place does).
TEST_F(FaultsTest, AFolderWhereNoJournalCanBeMadeFailsThePostAndKeepsItPending)
{
    auto chars = openTable("vddb.DB");
    addCharacter(*chars, "G", "Aric");
    chars->database().releaseCursors();
    fs::create_directory(dataFolder() / "campaign.sqlite-journal");
    chars->insert();
    chars->setText("Game_Name", "G");
    chars->setText("Character_Name", "Bran");
    EXPECT_THROW(chars->post(), store::StoreError);
    EXPECT_EQ(chars->state(), store::State::Insert);
    EXPECT_EQ(chars->text("Character_Name"), "Bran");

    fs::remove(dataFolder() / "campaign.sqlite-journal");
    chars->post();
    store::Session other(session_.aliases(), campaign::catalogue());
    EXPECT_EQ(charactersIn(other), (Strings{"Aric", "Bran"}));
    EXPECT_EQ(quickCheck(dataFolder() / "campaign.sqlite"), "ok");
}

// ---- another program holding the write lock ----------------------------------

TEST_F(FaultsTest, APostWaitsForAnotherProgramsLockThenFailsAndStaysPending)
{
    BusyTimeout wait(std::chrono::milliseconds(400));
    auto chars = openTable("vddb.DB");
    addCharacter(*chars, "G", "Aric");
    auto other = store::sql::Connection::open((dataFolder() / "campaign.sqlite").string(), false);
    other.exec("BEGIN IMMEDIATE; INSERT INTO vddb (Game_Name, Character_Name) VALUES ('O', 'Theirs')");

    // Reading the record first keeps a read open in this event, as the
    // windows do; the post must still wait rather than fail at once.
    ASSERT_TRUE(chars->findKey({"G", "Aric"}));
    chars->edit();
    chars->setText("Domain_Name", "Aricia");
    const auto began = Clock::now();
    try {
        chars->post();
        FAIL() << "posted past another program's lock";
    } catch (const store::StoreError& e) {
        EXPECT_NE(std::string(e.what()).find("locked"), std::string::npos) << e.what();
    }
    EXPECT_GE(Clock::now() - began, std::chrono::milliseconds(350));
    EXPECT_EQ(chars->state(), store::State::Edit);
    EXPECT_EQ(chars->text("Domain_Name"), "Aricia");

    other.exec("COMMIT");
    chars->post();
    store::Session fresh(session_.aliases(), campaign::catalogue());
    EXPECT_EQ(charactersIn(fresh), (Strings{"Aric", "Theirs"}));
    store::Table check(fresh);
    check.open("VDDB", "vddb.DB");
    ASSERT_TRUE(check.findKey({"G", "Aric"}));
    EXPECT_EQ(check.text("Domain_Name"), "Aricia");
}

TEST_F(FaultsTest, ALockReleasedWithinTheWaitLetsThePostThrough)
{
    BusyTimeout wait(std::chrono::milliseconds(3000));
    auto chars = openTable("vddb.DB");
    addCharacter(*chars, "G", "Aric");
    auto other = store::sql::Connection::open((dataFolder() / "campaign.sqlite").string(), false);
    other.exec("BEGIN IMMEDIATE; INSERT INTO vddb (Game_Name, Character_Name) VALUES ('O', 'Theirs')");
    std::thread release([&other] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        try {
            other.exec("COMMIT");
        } catch (const std::exception&) {
            ADD_FAILURE() << "the other program could not commit";
        }
    });
    chars->first();
    chars->insert();
    chars->setText("Game_Name", "G");
    chars->setText("Character_Name", "Bran");
    const auto began = Clock::now();
    EXPECT_NO_THROW(chars->post());
    release.join();
    EXPECT_GE(Clock::now() - began, std::chrono::milliseconds(150));
    EXPECT_EQ(chars->state(), store::State::Browse);
    store::Session fresh(session_.aliases(), campaign::catalogue());
    EXPECT_EQ(charactersIn(fresh), (Strings{"Aric", "Bran", "Theirs"}));
}

// ---- a damaged campaign file ----------------------------------------------------

class DamagedFileTest : public FaultsTest {
protected:
    void SetUp() override
    {
        auto chars = openTable("vddb.DB");
        for (int i = 0; i < 30; ++i)
            addCharacter(*chars, "G", "C" + std::to_string(i), {{"Misc_Leftovers", std::string(2000, 'm')}});
        auto trans = openTable("vdtrans.DB");
        addCharacter(*trans, "T", "Travelling");
    }
    // Opens every table on a fresh session; the campaign tables must fail,
    // naming the file, and the transfer tables still open.
    void expectCampaignRefusedAndTransferOpen(const Strings& why)
    {
        const fs::path file = dataFolder() / "campaign.sqlite";
        const std::string before = bytesOf(file);
        store::Session fresh(session_.aliases(), campaign::catalogue());
        for (const char* table : {"vddb.DB", "vdprovs.db"}) {
            store::Table t(fresh);
            try {
                t.open("VDDB", table);
                FAIL() << "opened " << table << " in a damaged file";
            } catch (const store::StoreError& e) {
                const std::string text = e.what();
                EXPECT_NE(text.find(table), std::string::npos) << text;
                EXPECT_NE(text.find(file.string() + " is damaged"), std::string::npos) << text;
                EXPECT_TRUE(std::any_of(why.begin(), why.end(),
                                        [&text](const std::string& w) { return text.find(w) != std::string::npos; }))
                    << text;
            }
        }
        store::Table trans(fresh);
        trans.open("VDDB", "vdtrans.DB");
        EXPECT_EQ(column(trans, "Character_Name"), Strings{"Travelling"});
        fresh.releaseCursors();
        EXPECT_EQ(bytesOf(file), before);
        EXPECT_FALSE(fs::exists(dataFolder() / "campaign.sqlite-journal"));
    }
};

TEST_F(DamagedFileTest, AnOverwrittenHeaderIsNamedAndTheFileLeftAsItWas)
{
    std::string bytes = bytesOf(dataFolder() / "campaign.sqlite");
    for (int i = 0; i < 100; ++i)
        bytes[static_cast<std::size_t>(i)] = static_cast<char>('A' + i % 26);
    writeBytes(dataFolder() / "campaign.sqlite", bytes);
    expectCampaignRefusedAndTransferOpen({"not a database"});
}

TEST_F(DamagedFileTest, ATruncatedFileIsNamedAndLeftAsItWas)
{
    std::string bytes = bytesOf(dataFolder() / "campaign.sqlite");
    ASSERT_GT(bytes.size(), 20000u);
    writeBytes(dataFolder() / "campaign.sqlite", bytes.substr(0, bytes.size() / 2));
    // SQLite notices some cuts itself, the header's page count the others.
    expectCampaignRefusedAndTransferOpen({"truncated", "malformed"});
    // Cut inside a page as well.
    writeBytes(dataFolder() / "campaign.sqlite", bytes.substr(0, 3000));
    expectCampaignRefusedAndTransferOpen({"truncated", "malformed"});
}

TEST_F(DamagedFileTest, ADamagedFileWithoutTransferFileOpensNothingAndStillAnswers)
{
    fs::remove(dataFolder() / "transfer.sqlite");
    writeBytes(dataFolder() / "campaign.sqlite", std::string(4096, 'x'));
    store::Session fresh(session_.aliases(), campaign::catalogue());
    store::Table t(fresh), x(fresh);
    EXPECT_THROW(t.open("VDDB", "vddb.DB"), store::StoreError);
    EXPECT_THROW(x.open("VDDB", "vdtrans.DB"), store::StoreError);
    fresh.releaseCursors();
    EXPECT_EQ(bytesOf(dataFolder() / "campaign.sqlite"), std::string(4096, 'x'));
    EXPECT_FALSE(fs::exists(dataFolder() / "transfer.sqlite"));
}

// ---- two programs on one folder ------------------------------------------------

TEST_F(FaultsTest, TwoProgramsOnOneFolderWorkSideBySide)
{
    openTable("vddb.DB");  // the first start
    session_.releaseCursors();
    store::Session a(session_.aliases(), campaign::catalogue()), b(session_.aliases(), campaign::catalogue());
    store::Table ca(a), pa(a), cb(b), pb(b);
    for (auto [t, name] : {std::pair{&ca, "vddb.DB"}, {&pa, "vdprovs.db"}, {&cb, "vddb.DB"}, {&pb, "vdprovs.db"}})
        t->open("VDDB", name);
    // Each program goes idle after every event, as the program does, and so
    // lets the other commit.
    auto idle = [&] {
        a.releaseCursors();
        b.releaseCursors();
    };
    deleteProvincesFirst(ca, pa);
    deleteProvincesFirst(cb, pb);
    idle();
    for (int i = 0; i < 20; ++i) {
        const std::string n = std::to_string(10 + i);
        addCharacter(ca, "A", "a" + n);
        idle();
        addProvince(pa, "A", "a" + n, "pa" + n);
        idle();
        addCharacter(cb, "B", "b" + n);
        idle();
        addProvince(pb, "B", "b" + n, "pb" + n);
        idle();
    }
    // Each deletes some of the other's characters with their provinces.
    for (int i = 0; i < 20; i += 4) {
        const std::string n = std::to_string(10 + i);
        ca.refresh();
        ASSERT_TRUE(ca.findKey({"B", "b" + n}));
        ca.remove();
        idle();
        cb.refresh();
        ASSERT_TRUE(cb.findKey({"A", "a" + n}));
        cb.remove();
        idle();
    }
    // One program changes a record the other shows: the other's later edit
    // starts from the stored values, not its own older copy.
    ASSERT_TRUE(ca.findKey({"A", "a11"}));
    ASSERT_TRUE(cb.findKey({"A", "a11"}));
    idle();
    ca.edit();
    ca.setText("Domain_Name", "from A");
    idle();
    ca.post();
    idle();
    cb.edit();
    EXPECT_EQ(cb.text("Domain_Name"), "from A");
    cb.setText("Misc_Leftovers", "from B");
    cb.post();
    idle();

    store::Session fresh(session_.aliases(), campaign::catalogue());
    EXPECT_EQ(charactersIn(fresh).size(), 30u);
    EXPECT_EQ(provincesIn(fresh).size(), 30u);
    store::Table c(fresh), p(fresh);
    c.open("VDDB", "vddb.DB");
    p.open("VDDB", "vdprovs.db");
    for (c.first(); !c.eof(); c.next()) {
        p.setFiltered(false);
        p.setFilter(campaign::recordFilter(c.text("Game_Name"), c.text("Character_Name")));
        p.setFiltered(true);
        EXPECT_EQ(p.recordCount(), 1) << c.text("Character_Name");
    }
    ASSERT_TRUE(c.findKey({"A", "a11"}));
    EXPECT_EQ(c.text("Domain_Name"), "from A");
    EXPECT_EQ(c.text("Misc_Leftovers"), "from B");
    fresh.releaseCursors();
    EXPECT_EQ(quickCheck(dataFolder() / "campaign.sqlite"), "ok");
}

// ---- input quoted back in messages ------------------------------------------------

TEST_F(FaultsTest, AHugeInputIsQuotedShortInItsErrorAndNeverCutInsideACharacter)
{
    auto chars = openTable("vddb.DB");
    chars->insert();
    for (const std::string& input : {std::string(10 * 1024 * 1024, '9'), std::string(5000, 'z')}) {
        try {
            chars->setText("Palace_Value", input);
            FAIL() << "a number field took " << input.size() << " characters";
        } catch (const store::StoreError& e) {
            const std::string text = e.what();
            EXPECT_LT(text.size(), 200u) << text.substr(0, 200);
            EXPECT_NE(text.find("Palace_Value"), std::string::npos) << text.substr(0, 200);
        }
    }
    std::string accents;
    for (int i = 0; i < 50; ++i)
        accents += "\u00E9";
    EXPECT_EQ(store::msg::excerpt(accents), accents.substr(0, 80) + "...");
    EXPECT_EQ(store::msg::excerpt(accents.substr(0, 80)), accents.substr(0, 80));
    EXPECT_EQ(store::msg::notInteger("12x", "Palace_Value"),
              "'12x' is not a valid integer value for field 'Palace_Value'");
    chars->cancel();
}
