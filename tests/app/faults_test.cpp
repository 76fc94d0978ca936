// Faults met through the windows: the import's backup, a full disk in an
// import, deletes that fail half way, another program's lock, and a damaged
// campaign file at start.
#include "campaign/tables.h"
#include "campaign/catalogue.h"
#include "transfer/transfer_fixture.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "store/backup.h"
#include "store/error.h"
#include "store/sqlite.h"
#include "support/fault_vfs.h"

namespace fs = std::filesystem;
using testing_support::ShellTest;
using testing_support::TransferTest;
using Strings = std::vector<std::string>;

namespace {

const char* const characterTable = "vddb.DB";
const char* const provinceTable = "vdprovs.db";
const char* const transferCharacters = "vdtrans.DB";
const char* const transferProvinces = "expprovs.DB";

const QString importErrorStart = QStringLiteral("An error occurred during the Import Operation.\r\r"
                                                "The Database Engine returned the following error:\r\r");

std::string bytesOf(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::int64_t pageCount(store::sql::Connection& conn)
{
    store::sql::Statement st(conn, "PRAGMA main.page_count");
    st.step();
    return st.int64(0);
}

}  // namespace

class WindowFaultsTest : public TransferTest {
protected:
    void SetUp() override
    {
        // Another program's lock is waited for only briefly here.
        store::setBusyTimeout(std::chrono::milliseconds(300));
        TransferTest::SetUp();
        addCharacter(characterTable, "G", "Aric");
        for (auto p : {"a1", "a2", "a3"})
            addProvince(provinceTable, "G", "Aric", p);
        addCharacter(characterTable, "G", "Bran");
        addProvince(provinceTable, "G", "Bran", "b1");
    }
    void TearDown() override { store::setBusyTimeout(std::chrono::milliseconds(5000)); }

    fs::path backups() const { return w->tblVDDB.database().folder() / store::backupFolderName; }
    store::sql::Connection& connection() { return w->tblVDDB.database().connection(); }
};

// ---- the import's record ------------------------------------------------------

TEST_F(WindowFaultsTest, AnImportKeepsARecordOfItsOwnRowsOnly)
{
    addCharacter(transferCharacters, "H", "Cara");
    addProvince(transferProvinces, "H", "Cara", "c1");
    run(&TfrmRealmDetails::ImportCurrentCharacter1Click);
    EXPECT_EQ(status(), "Import Complete");
    EXPECT_EQ(characters(characterTable), (Strings{"G/Aric", "G/Bran", "H/Cara"}));

    // No copy of the campaign: a file of what the import added.
    EXPECT_TRUE(store::importBackups(backups(), campaign::catalogue()).empty());
    std::vector<fs::path> records;
    for (const auto& entry : fs::directory_iterator(backups()))
        if (entry.path().filename().string().ends_with("-imported.sqlite"))
            records.push_back(entry.path());
    ASSERT_EQ(records.size(), 1u);
    auto conn = store::sql::Connection::open(records[0].string(), false);
    store::sql::Statement st(conn, "SELECT (SELECT group_concat(Character_Name) FROM vdtrans), "
                                   "(SELECT group_concat(Province_Name) FROM expprovs), "
                                   "(SELECT count(*) FROM sqlite_schema WHERE name = 'vddb')");
    ASSERT_TRUE(st.step());
    EXPECT_EQ(st.text(0) + "|" + st.text(1) + "|" + st.text(2), "Cara|c1|0");
}

TEST_F(WindowFaultsTest, NoBackupNoImport)
{
    addCharacter(transferCharacters, "H", "Cara");
    addProvince(transferProvinces, "H", "Cara", "c1");
    // A plain file where the backup folder belongs (start-up made the folder
    // for the day's copy): no copy can be made.
    fs::remove_all(backups());
    std::ofstream(backups()) << "in the way";
    ASSERT_TRUE(fs::is_regular_file(backups()));
    run(&TfrmRealmDetails::ImportCurrentCharacter1Click);

    // The user is told what failed and asked; No, the default, imports
    // nothing.
    ASSERT_EQ(dialogs_.shown.size(), 1u);
    EXPECT_EQ(dialogs_.shown[0].caption, "Confirm");
    EXPECT_EQ(dialogs_.shown[0].buttons, dbaware::Buttons::YesNoDefaultNo);
    EXPECT_TRUE(dialogs_.shown[0].text.startsWith("Cannot make a backup before importing: Cannot make the backup folder "))
        << dialogs_.shown[0].text.toStdString();
    EXPECT_EQ(status(), "Import Canceled");
    EXPECT_EQ(characters(characterTable), (Strings{"G/Aric", "G/Bran"}));
    EXPECT_EQ(characters(transferCharacters), Strings{"H/Cara"});
    EXPECT_EQ(provinces(transferProvinces), Strings{"H/Cara/c1"});
    EXPECT_EQ(bytesOf(backups()), "in the way");
    expectControlsResumed();
}

// ---- a full disk in the middle of an import ----------------------------------

TEST_F(WindowFaultsTest, AFullDiskHalfWayThroughAnImportImportsNothingAndARetrySucceeds)
{
    for (int i = 0; i < 12; ++i) {
        const std::string name = "T" + std::to_string(10 + i);
        addCharacter(transferCharacters, "T", name, {{"Misc_Leftovers", std::string(4000, 'm')}});
        addProvince(transferProvinces, "T", name, "p" + std::to_string(i));
    }
    // Room for a few of the characters, not for all of them.
    connection().exec("PRAGMA main.max_page_count=" + std::to_string(pageCount(connection()) + 6));
    run(&TfrmRealmDetails::ImportCurrentCharacter1Click);

    ASSERT_EQ(dialogs_.shown.size(), 1u);
    EXPECT_TRUE(dialogs_.shown[0].text.startsWith(importErrorStart));
    EXPECT_TRUE(dialogs_.shown[0].text.contains("full")) << dialogs_.shown[0].text.toStdString();
    EXPECT_EQ(status(), "Error in Import");
    EXPECT_EQ(characters(characterTable), (Strings{"G/Aric", "G/Bran"}));
    EXPECT_EQ(provinces(provinceTable).size(), 4u);
    EXPECT_EQ(characters(transferCharacters).size(), 12u);
    EXPECT_EQ(provinces(transferProvinces).size(), 12u);
    EXPECT_EQ(w->tblVDDB.recordCount(), 2);

    connection().exec("PRAGMA main.max_page_count=1000000");
    run(&TfrmRealmDetails::ImportCurrentCharacter1Click);
    EXPECT_EQ(status(), "Import Complete");
    EXPECT_EQ(characters(characterTable).size(), 14u);
    EXPECT_EQ(provinces(provinceTable).size(), 16u);
    EXPECT_TRUE(characters(transferCharacters).empty());
}

// ---- deletes that fail half way ----------------------------------------------

TEST_F(WindowFaultsTest, DeletingAllRecordsIsAllOrNothing)
{
    show("G", "Aric");
    ASSERT_EQ(w->tblProv.recordCount(), 3);
    // The second province cannot be deleted.
    connection().exec("CREATE TEMP TRIGGER keep BEFORE DELETE ON main.vdprovs WHEN old.Province_Name = 'a2' "
                      "BEGIN SELECT RAISE(ABORT, 'Disk I/O error'); END");
    EXPECT_THROW(campaign::Tables::DeleteAllRecords(w->tblProv), store::StoreError);
    EXPECT_EQ(provinces(provinceTable), (Strings{"G/Aric/a1", "G/Aric/a2", "G/Aric/a3", "G/Bran/b1"}));
    EXPECT_EQ(w->tblProv.recordCount(), 3) << "the list shows the provinces that are back";
    EXPECT_TRUE(w->tblProv.hasCurrentRecord());
    EXPECT_FALSE(w->tblProv.controlsDisabled());

    connection().exec("DROP TRIGGER temp.keep");
    campaign::Tables::DeleteAllRecords(w->tblProv);
    EXPECT_EQ(provinces(provinceTable), Strings{"G/Bran/b1"});
    EXPECT_TRUE(w->tblProv.isEmpty());
}

TEST_F(WindowFaultsTest, ACharacterWhoseDeleteFailsKeepsEveryProvince)
{
    show("G", "Aric");
    w->show();
    connection().exec(
        "CREATE TEMP TRIGGER keep BEFORE DELETE ON main.vddb BEGIN SELECT RAISE(ABORT, 'Disk I/O error'); END");
    dialogs_.answer(dbaware::Answer::Yes);
    w->DeleteRecord1->trigger();
    ASSERT_EQ(dialogs_.shown.size(), 2u);
    EXPECT_TRUE(dialogs_.shown[1].text.contains("Disk I/O error")) << dialogs_.shown[1].text.toStdString();
    EXPECT_EQ(characters(characterTable), (Strings{"G/Aric", "G/Bran"}));
    EXPECT_EQ(provinces(provinceTable), (Strings{"G/Aric/a1", "G/Aric/a2", "G/Aric/a3", "G/Bran/b1"}));
    EXPECT_EQ(w->tblVDDB.text("Character_Name"), "Aric");
}

// ---- another program's lock --------------------------------------------------

TEST_F(WindowFaultsTest, AChangeSavedWhileAnotherProgramWritesStaysPendingUntilItCanBeSaved)
{
    show("G", "Aric");
    auto other = store::sql::Connection::open(
        (w->tblVDDB.database().folder() / campaign::campaignFile).string(), false);
    other.exec("BEGIN IMMEDIATE; UPDATE vddb SET Domain_Name = 'theirs' WHERE Character_Name = 'Bran'");

    w->tblVDDB.edit();
    w->tblVDDB.setText("Domain_Name", "Aricia");
    w->SaveChanges1->trigger();
    ASSERT_EQ(dialogs_.shown.size(), 1u);
    EXPECT_TRUE(dialogs_.shown[0].text.contains("locked")) << dialogs_.shown[0].text.toStdString();
    EXPECT_EQ(w->tblVDDB.state(), store::State::Edit);
    EXPECT_EQ(w->tblVDDB.text("Domain_Name"), "Aricia");

    other.exec("COMMIT");
    w->SaveChanges1->trigger();
    EXPECT_EQ(dialogs_.shown.size(), 1u);
    EXPECT_EQ(field(characterTable, "G", "Aric", "Domain_Name"), "Aricia");
    EXPECT_EQ(field(characterTable, "G", "Bran", "Domain_Name"), "theirs");
}

// ---- faults of the disk under SQLite ------------------------------------------

// An import after a restart, across both files: its commit failing at the
// super-journal is stored when that was unlinked (its folder's sync failed),
// not when it stayed; a file opened read-only for a moment (SQLite's fallback)
// is opened again, so that the session still saves.
TEST_F(WindowFaultsTest, AnImportAfterDiskFaultsIsReportedAsTheFilesHoldItAndStoredOnce)
{
    struct Case { const char* name; const char* unlink; bool removed; const char* readOnly; };
    for (const Case& c : {Case{"Stored", "campaign.sqlite-mj", true, ""}, Case{"Pending", "campaign.sqlite-mj", false, ""},
                          Case{"Main", "", false, "campaign.sqlite"}, Case{"Side", "", false, "transfer.sqlite"}}) {
        addCharacter(transferCharacters, "H", c.name);
        testing_support::FaultVfs vfs;
        vfs.failDelete = c.unlink, vfs.removed = c.removed, vfs.readOnly = c.readOnly;
        app::Context restarted(store::AliasRegistry(aliasFile()), programFolder(), userDataFolder());
        ASSERT_TRUE(startUp(restarted));
        w = frmRealmDetails;
        run(&TfrmRealmDetails::ImportCurrentCharacter1Click);
        const bool stored = status() == "Import Complete";
        EXPECT_EQ(stored, !*c.unlink || c.removed) << c.name;
        if (!stored)
            run(&TfrmRealmDetails::ImportCurrentCharacter1Click);
        EXPECT_EQ(std::ranges::count(characters(characterTable), std::string("H/") + c.name), 1) << c.name;
        shutDown();
    }
}

// ---- a damaged campaign file at start -----------------------------------------

class DamagedStartTest : public ShellTest {};

TEST_F(DamagedStartTest, TheFileIsNamedLeftAsItWasAndTheProgramStillStarts)
{
    const fs::path data = programFolder() / "Data";
    makeDatabase(data);
    {
        auto conn = store::sql::Connection::open((data / campaign::campaignFile).string(), false);
        conn.exec("INSERT INTO vddb (Game_Name, Character_Name) VALUES ('G', 'Aric')");
    }
    std::string bytes = bytesOf(data / campaign::campaignFile);
    bytes.replace(0, 16, "this is no table");
    std::ofstream(data / campaign::campaignFile, std::ios::binary | std::ios::trunc) << bytes;

    ASSERT_TRUE(startUp());
    ASSERT_FALSE(dialogs_.shown.empty());
    for (const auto& box : dialogs_.shown) {
        EXPECT_TRUE(box.text.contains(QString::fromStdString((data / campaign::campaignFile).string()) + " is damaged"))
            << box.text.toStdString();
        EXPECT_EQ(box.icon, dbaware::Icon::Error);
    }
    EXPECT_TRUE(frmVDDBSearch && frmRealmDetails && frmProvince && frmTransfer);
    EXPECT_FALSE(frmVDDBSearch->tblVDDB.isOpen());
    context_->session.releaseCursors();
    EXPECT_EQ(bytesOf(data / campaign::campaignFile), bytes);
    EXPECT_FALSE(fs::exists(data / "campaign.sqlite-journal"));
    EXPECT_FALSE(fs::exists(data / store::backupFolderName)) << "no backup of a damaged file";
}
