#include <gtest/gtest.h>

#include <ctime>
#include <fstream>

#include "campaign/catalogue.h"
#include "fixture.h"
#include "store/backup.h"
#include "store/database.h"
#include "store/error.h"
#include "store/layout.h"
#include "store/sqlite.h"

namespace fs = std::filesystem;
using testing_support::StoreTest;

namespace {

// A moment of a local day.
store::Clock::time_point at(int year, int month, int day, int hour = 12, int minute = 0, int second = 0)
{
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return store::Clock::from_time_t(std::mktime(&tm));
}

std::vector<std::string> names(const std::vector<fs::path>& files)
{
    std::vector<std::string> out;
    for (const auto& f : files)
        out.push_back(f.filename().string());
    return out;
}

std::vector<std::string> folderListing(const fs::path& folder)
{
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(folder))
        out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

class BackupTest : public StoreTest {
protected:
    BackupTest()
    {
        characters_ = openTable("vddb.DB");
        provinces_ = openTable("vdprovs.db");
        addCharacter(*characters_, "Test", "Aric", {{"Vassals", std::string(300, 'v')}});
        addCharacter(*characters_, "Test", "O'Brien");
        addProvince(*provinces_, "Test", "Aric", "Ilien");
    }
    store::Database& db() { return characters_->database(); }
    fs::path backups() const { return dataFolder() / "Backups"; }

    std::unique_ptr<store::Table> characters_, provinces_;
};

}  // namespace

TEST_F(BackupTest, FirstStartOfADayMakesOneCopyAndLaterStartsNone)
{
    const auto made = store::dailyBackup(db(), at(2026, 12, 8, 7, 30));
    ASSERT_TRUE(made);
    EXPECT_EQ(*made, backups() / "campaign-2026-12-08.sqlite");
    EXPECT_TRUE(fs::is_regular_file(*made));

    // Later the same day, after a change: no second copy, the first unchanged.
    addCharacter(*characters_, "Test", "Later");
    const auto size = fs::file_size(*made);
    EXPECT_FALSE(store::dailyBackup(db(), at(2026, 12, 8, 23, 59, 59)));
    EXPECT_EQ(folderListing(backups()), std::vector<std::string>{"campaign-2026-12-08.sqlite"});
    EXPECT_EQ(fs::file_size(*made), size);

    // The next morning a new one, holding the change.
    const auto next = store::dailyBackup(db(), at(2026, 12, 9, 0, 0, 1));
    ASSERT_TRUE(next);
    EXPECT_EQ(names(store::dailyBackups(backups(), campaign::catalogue())),
              (std::vector<std::string>{"campaign-2026-12-08.sqlite", "campaign-2026-12-09.sqlite"}));
    auto copy = store::sql::Connection::open(next->string(), false);
    store::sql::Statement count(copy, "SELECT count(*) FROM vddb");
    ASSERT_TRUE(count.step());
    EXPECT_EQ(count.int64(0), 3);
}

TEST_F(BackupTest, TheCopyIsWholeAndRestoresAsTheCampaignFile)
{
    // A read in progress and a pending change do not stand in the way; the
    // pending change is not in the copy.
    characters_->first();
    characters_->next();
    provinces_->first();
    characters_->edit();
    characters_->setText("Current_GB", "77");
    const auto made = store::dailyBackup(db(), at(2026, 12, 8));
    ASSERT_TRUE(made);
    characters_->cancel();

    {
        auto copy = store::sql::Connection::open(made->string(), false);
        store::sql::Statement check(copy, "PRAGMA integrity_check");
        ASSERT_TRUE(check.step());
        EXPECT_EQ(check.text(0), "ok");
        store::sql::Statement gold(copy, "SELECT count(*) FROM vddb WHERE Current_GB IS NOT NULL");
        ASSERT_TRUE(gold.step());
        EXPECT_EQ(gold.int64(0), 0);
    }

    // Restoring as the help says: the copy put in place of campaign.sqlite of
    // a data folder (here a fresh one beside the transfer file).
    const fs::path restored = temp_.path() / "Restored";
    fs::create_directories(restored);
    fs::copy_file(*made, restored / campaign::campaignFile);
    fs::copy_file(dataFolder() / campaign::transferFile, restored / campaign::transferFile);
    session_.aliases().add(store::Alias{"OLD", "STANDARD", {{"PATH", restored.string() + "/"}}}, false);
    store::Table chars(session_), provs(session_);
    chars.open("OLD", "vddb.DB");
    provs.open("OLD", "vdprovs.db");
    EXPECT_EQ(column(chars, "Character_Name"), (std::vector<std::string>{"Aric", "O'Brien"}));
    EXPECT_EQ(column(chars, "Vassals")[0], std::string(300, 'v'));
    EXPECT_EQ(column(provs, "Province_Name"), std::vector<std::string>{"Ilien"});
}

TEST_F(BackupTest, TheLastSevenDailyCopiesAreKept)
{
    fs::create_directories(backups());
    std::ofstream(backups() / "notes.txt") << "mine";
    std::ofstream(backups() / "campaign-old.sqlite") << "not a dated copy";
    for (int day = 1; day <= 10; ++day)
        ASSERT_TRUE(store::dailyBackup(db(), at(2026, 11, 25 + day)));  // mktime rolls into December
    EXPECT_EQ(names(store::dailyBackups(backups(), campaign::catalogue())),
              (std::vector<std::string>{"campaign-2026-11-29.sqlite", "campaign-2026-11-30.sqlite",
                                        "campaign-2026-12-01.sqlite", "campaign-2026-12-02.sqlite",
                                        "campaign-2026-12-03.sqlite", "campaign-2026-12-04.sqlite",
                                        "campaign-2026-12-05.sqlite"}));
    // Files that are not daily copies are left alone.
    EXPECT_TRUE(fs::exists(backups() / "notes.txt"));
    EXPECT_TRUE(fs::exists(backups() / "campaign-old.sqlite"));
}

TEST_F(BackupTest, AClockSetBackStillKeepsTodaysCopy)
{
    for (int day = 1; day <= 7; ++day)
        ASSERT_TRUE(store::dailyBackup(db(), at(2027, 1, day)));
    const auto made = store::dailyBackup(db(), at(2026, 12, 8));
    ASSERT_TRUE(made);
    EXPECT_TRUE(fs::exists(*made));
    const auto kept = names(store::dailyBackups(backups(), campaign::catalogue()));
    ASSERT_EQ(kept.size(), 7u);
    EXPECT_EQ(kept.front(), "campaign-2026-12-08.sqlite");
    EXPECT_EQ(kept[1], "campaign-2027-01-02.sqlite");  // the oldest of the others went
}

TEST_F(BackupTest, ImportCopiesAreNamedByTheTimeAndKeptApart)
{
    ASSERT_TRUE(store::dailyBackup(db(), at(2026, 12, 8, 9)));
    std::vector<fs::path> made;
    for (int i = 0; i < 9; ++i)
        made.push_back(store::importBackup(db(), at(2026, 12, 8, 10, i) + std::chrono::milliseconds(5)));
    EXPECT_EQ(made[0].filename(), "campaign-2026-12-08-100000-005-import.sqlite");
    // Seven kept, the newest; the daily copy of the same day untouched.
    EXPECT_EQ(names(store::importBackups(backups(), campaign::catalogue())).size(), 7u);
    EXPECT_EQ(store::importBackups(backups(), campaign::catalogue()).front(), made[2]);
    EXPECT_EQ(names(store::dailyBackups(backups(), campaign::catalogue())), std::vector<std::string>{"campaign-2026-12-08.sqlite"});
    // Two at the same moment: the second is refused rather than overwriting.
    EXPECT_THROW(store::importBackup(db(), at(2026, 12, 8, 10, 8) + std::chrono::milliseconds(5)), store::StoreError);
}

TEST_F(BackupTest, AFailureIsReportedAndChangesNothing)
{
    // The Backups name taken by a file.
    std::ofstream(backups()) << "a file";
    try {
        store::dailyBackup(db(), at(2026, 12, 8));
        FAIL() << "no error";
    } catch (const store::StoreError& e) {
        EXPECT_NE(std::string(e.what()).find("Backups"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(fs::is_regular_file(backups()));
    std::ifstream in(backups());
    std::string text;
    std::getline(in, text);
    EXPECT_EQ(text, "a file");
    in.close();
    fs::remove(backups());

    // Nine older copies and a copy that cannot be written: none is deleted
    // and no copy of today appears.
    fs::create_directories(backups());
    for (int day = 1; day <= 9; ++day)
        std::ofstream(backups() / ("campaign-2026-11-0" + std::to_string(day) + ".sqlite")) << day;
    fs::create_directories(backups() / "campaign-2026-12-08.sqlite.part" / "blocker");
    const auto before = folderListing(backups());
    EXPECT_THROW(store::dailyBackup(db(), at(2026, 12, 8)), store::StoreError);
    EXPECT_EQ(folderListing(backups()), before);
    EXPECT_EQ(store::dailyBackups(backups(), campaign::catalogue()).size(), 9u);

    // The store goes on working, and once the way is clear the copy is made.
    addCharacter(*characters_, "Test", "After");
    fs::remove_all(backups() / "campaign-2026-12-08.sqlite.part");
    ASSERT_TRUE(store::dailyBackup(db(), at(2026, 12, 8)));
    EXPECT_EQ(store::dailyBackups(backups(), campaign::catalogue()).size(), 7u);
}

TEST_F(BackupTest, AHalfWrittenCopyOfAnEarlierRunIsReplaced)
{
    fs::create_directories(backups());
    std::ofstream(backups() / "campaign-2026-12-08.sqlite.part") << "torn";
    ASSERT_TRUE(store::dailyBackup(db(), at(2026, 12, 8)));
    EXPECT_EQ(folderListing(backups()), std::vector<std::string>{"campaign-2026-12-08.sqlite"});
}

TEST_F(StoreTest, DailyBackupByAliasSkipsWhatCannotBeOpened)
{
    EXPECT_FALSE(store::dailyBackup(session_, "NOSUCH"));
    // Only the transfer file: there is no campaign file to copy.
    const fs::path half = temp_.path() / "Half";
    fs::create_directories(half);
    store::Database::createFile(campaign::catalogue(), half / campaign::transferFile, campaign::transferFile);
    session_.aliases().add(store::Alias{"HALF", "STANDARD", {{"PATH", half.string() + "/"}}}, false);
    EXPECT_FALSE(store::dailyBackup(session_, "HALF"));
    EXPECT_FALSE(fs::exists(half / "Backups"));
    // The alias VDDB: today's copy, once.
    openTable("vddb.DB");
    ASSERT_TRUE(store::dailyBackup(session_, "VDDB"));
    EXPECT_FALSE(store::dailyBackup(session_, "VDDB"));
}

TEST_F(BackupTest, HalfWrittenCopiesOfEarlierRunsAreRemoved)
{
    fs::create_directories(backups());
    const auto now = fs::file_time_type::clock::now();
    struct Part {
        const char* name;
        fs::file_time_type written;
        bool kept;
    };
    const std::vector<Part> parts = {
        {"campaign-2026-12-01.sqlite.part", now - std::chrono::hours(24 * 7), false},
        {"campaign-2026-12-07-101010-000-import.sqlite.part", now - std::chrono::hours(20), false},
        {"campaign-2026-12-08-095959-000-import.sqlite.part", now - std::chrono::hours(2), false},
        // Another program on the same folder is writing this one now.
        {"campaign-2026-12-08-120000-500-import.sqlite.part", now, true},
        // Not the program's: left alone.
        {"notes.part", now - std::chrono::hours(24 * 7), true},
    };
    for (const Part& p : parts) {
        std::ofstream(backups() / p.name) << "torn";
        fs::last_write_time(backups() / p.name, p.written);
    }
    ASSERT_TRUE(store::dailyBackup(db(), at(2026, 12, 8)));
    std::vector<std::string> expected{"campaign-2026-12-08.sqlite"};
    for (const Part& p : parts)
        if (p.kept)
            expected.push_back(p.name);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(folderListing(backups()), expected);
}

TEST_F(BackupTest, SavesThroughoutTheDailyCopyGoThroughAndTheCopyEndsWhole)
{
    // Some 2 MB, so that the copy takes several portions; a save that had
    // to wait for the copy would fail soon, and a copy that began again at
    // every save would not end in time.
    db().connection().exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1000) INSERT INTO "
                           "vddb (Game_Name, Character_Name, Vassals) SELECT 'Bulk', 'C' || i, hex(zeroblob(1000)) FROM n;"
                           "PRAGMA busy_timeout=200");
    std::string saveFailure;
    int saves = 0;
    store::setBackupStepHook([&] {
        try {
            addCharacter(*characters_, "Test", "Meanwhile " + std::to_string(++saves));
        } catch (const std::exception& e) {
            saveFailure = e.what();
        }
    });
    std::exception_ptr failure;
    auto job = store::DailyBackupJob::start(db(), [&](std::exception_ptr f) { failure = f; }, at(2026, 12, 8));
    ASSERT_TRUE(job);
    ASSERT_TRUE(job->wait(std::chrono::seconds(10)));
    store::setBackupStepHook({});
    EXPECT_EQ(saveFailure, "");
    EXPECT_GT(saves, 2);
    ASSERT_FALSE(failure);
    ASSERT_EQ(job->made(), backups() / "campaign-2026-12-08.sqlite");
    auto copy = store::sql::Connection::open(job->made()->string(), false);
    store::sql::Statement check(copy, "SELECT (SELECT group_concat(integrity_check) FROM pragma_integrity_check), "
                                      "(SELECT count(*) FROM vddb)");
    ASSERT_TRUE(check.step());
    EXPECT_EQ(check.text(0), "ok");
    EXPECT_EQ(check.int64(1), 1002 + saves);  // every save landed before the copy ended
}
