// Files carried between folders: a journal left beside a file that was
// replaced by hand, and the commands that spare the copying by hand.
#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTimer>

#include <fstream>

#include "app/shell_fixture.h"

namespace fs = std::filesystem;
using dbaware::Answer;

namespace {

class CarryTest : public testing_support::ShellTest {
protected:
    fs::path data() const { return programFolder() / "Data"; }
    // A run killed in the middle of a write to `file`: the file half written
    // and its journal, made by a write that is given up once the pages are
    // on the disk.
    static void leaveHotJournal(const fs::path& file, const std::string& table)
    {
        fs::path journal = file;
        journal += "-journal";
        const fs::path kept = file.string() + ".kept", keptJournal = journal.string() + ".kept";
        {
            store::sql::Connection conn = store::sql::Connection::open(file.string(), false);
            conn.exec("PRAGMA cache_size=10; BEGIN; DELETE FROM " + table + "; INSERT INTO " + table +
                      " (Game_Name, Character_Name) SELECT 'G', 'Half' || value || printf('%.20c', 'x') "
                      "FROM (WITH RECURSIVE n(value) AS (SELECT 1 UNION ALL SELECT value + 1 FROM n WHERE value < 3000) "
                      "SELECT value FROM n)");
            fs::copy_file(file, kept, fs::copy_options::overwrite_existing);
            fs::copy_file(journal, keptJournal, fs::copy_options::overwrite_existing);
            conn.exec("ROLLBACK");
        }
        fs::rename(kept, file);
        fs::rename(keptJournal, journal);
    }
    void restart()
    {
        shutDown();
        context_ = std::make_unique<app::Context>(store::AliasRegistry(aliasFile()), programFolder(), userDataFolder());
        ASSERT_TRUE(startUp());
        // The notices of the open come once the event loop waits.
        QEventLoop wait;
        QTimer::singleShot(50, &wait, &QEventLoop::quit);
        wait.exec();
    }
    void addTo(const char* table, const std::string& name)
    {
        store::Table t(context_->session);
        t.open("VDDB", table);
        testing_support::post(t, {{"Game_Name", "G"}, {"Character_Name", name}});
    }
    std::vector<fs::path> setAside(const fs::path& file)
    {
        std::vector<fs::path> out;
        for (const auto& entry : fs::directory_iterator(file.parent_path()))
            if (entry.path().filename().string().rfind(file.filename().string() + "-journal.set-aside-", 0) == 0)
                out.push_back(entry.path());
        return out;
    }
};

// Exported, then killed during the next export; another folder's transfer
// file copied in: its characters come in, and the journal is set aside.
TEST_F(CarryTest, AJournalIsPlayedOnlyIntoItsOwnFile)
{
    struct Case {
        const char* file;
        const char* table;
        const char* label;
    };
    for (const Case c : {Case{"transfer.sqlite", "vdtrans", "another folder's transfer file"},
                         Case{"campaign.sqlite", "vddb", "a backup put back by hand"}}) {
        SCOPED_TRACE(c.label);
        restart();
        const fs::path file = data() / c.file, other = temp_.path() / "other";
        addTo(c.table == std::string("vdtrans") ? "vdtrans.DB" : "vddb.DB", "Old");
        if (c.table == std::string("vdtrans")) {
            makeDatabase(other);
            store::sql::Connection::open((other / c.file).string(), false)
                .exec("INSERT INTO vdtrans (Game_Name, Character_Name) VALUES ('G', 'New')");
        } else {
            // Today's copy holds Old; New is added since.
            fs::remove_all(data() / store::backupFolderName);
            restart();
            addTo("vddb.DB", "New");
            fs::create_directories(other);
            fs::copy_file(store::dailyBackups(data() / store::backupFolderName, campaign::catalogue()).at(0),
                          other / c.file, fs::copy_options::overwrite_existing);
        }
        shutDown();
        context_.reset();
        leaveHotJournal(file, c.table);
        fs::copy_file(other / c.file, file, fs::copy_options::overwrite_existing);
        dialogs_.shown.clear();
        restart();
        EXPECT_TRUE(dialogs_.texts().join('|').contains("was not played into")) << dialogs_.texts().join('|').toStdString();
        if (c.table == std::string("vdtrans")) {
            frmVDDBSearch->ImportCharacters1->trigger();
            EXPECT_EQ(characters(), (std::vector<std::string>{"G/New"}));
        } else {
            EXPECT_EQ(characters(), (std::vector<std::string>{"G/Old"}));
        }
        EXPECT_FALSE(fs::exists(file.string() + "-journal"));
        EXPECT_EQ(setAside(file).size(), 1u);
        fs::remove_all(other);
        fs::remove_all(data());
    }
}

// Transfer > Save Transfer File As and Open Transfer File: carried to
// another folder and opened there, or refused whole when it is not sound.
TEST_F(CarryTest, TheTransferFileIsSavedAndOpenedThroughTheMenus)
{
    restart();
    addTo("vdtrans.DB", "Carried");
    const fs::path saved = temp_.path() / "carried.sqlite", own = data() / "transfer.sqlite";
    dialogs_.saveAs(QString::fromStdString(own.string()));
    dialogs_.saveAs(QString::fromStdString(saved.string()));
    frmVDDBSearch->SaveTransferFileAs1->trigger();  // over the open file: refused
    frmVDDBSearch->SaveTransferFileAs1->trigger();
    EXPECT_TRUE(dialogs_.texts().join('|').contains("it is a file of the open database"));
    EXPECT_TRUE(dialogs_.texts().back().startsWith("Saved the transfer tables (1 character and 0 provinces)"));
    auto userVersion = [](const fs::path& f) {
        store::sql::Connection c = store::sql::Connection::open(f.string(), false);
        store::sql::Statement st(c, "PRAGMA user_version");
        st.step();
        return st.int64(0);
    };
    EXPECT_NE(userVersion(saved), userVersion(own));
    // Opened in another folder, with what each hostile file brings.
    fs::remove_all(data());
    restart();
    addTo("vdtrans.DB", "Here");
    const fs::path notDb = temp_.path() / "note.sqlite";
    std::ofstream(notDb) << "not a database";
    struct Case {
        const char* change;  // made to a copy of the saved file; empty: none
        const char* said;
        const char* shown;
        Answer replace = Answer::Yes;
    };
    for (const Case c : {Case{"", "Replace the records in the Transfer Tables", "G/Here", Answer::No},
                         Case{"CREATE TRIGGER t AFTER INSERT ON vdtrans BEGIN SELECT 1; END", "the trigger", "G/Here"},
                         Case{"UPDATE vdtrans SET Character_Name = x'00ff'", "Character_Name", "G/Here"},
                         Case{"-", "file is not a database", "G/Here"},
                         Case{"", "1 character and 0 provinces came in", "G/Carried"}}) {
        const fs::path copy = temp_.path() / "copy.sqlite";
        fs::copy_file(saved, copy, fs::copy_options::overwrite_existing);
        if (*c.change && *c.change != '-')
            store::sql::Connection::open(copy.string(), false).exec(c.change);
        dialogs_.shown.clear();
        dialogs_.opens.push_back(QString::fromStdString((*c.change == '-' ? notDb : copy).string()));
        dialogs_.answer(c.replace);
        frmVDDBSearch->OpenTransferFile1->trigger();
        EXPECT_TRUE(dialogs_.texts().join('|').contains(c.said)) << c.said << ": " << dialogs_.texts().join('|').toStdString();
        store::Table t(context_->session);
        t.open("VDDB", "vdtrans.DB");
        EXPECT_EQ(t.text("Game_Name") + "/" + t.text("Character_Name"), c.shown);
        EXPECT_EQ(t.recordCount(), 1);
    }
}

// File > Restore Backup: the copies listed with their counts; the one chosen
// replaces the tables, and the campaign as it was is kept.
TEST_F(CarryTest, ABackupIsRestoredFromTheList)
{
    restart();
    fs::remove_all(data() / store::backupFolderName);
    dialogs_.shown.clear();
    frmVDDBSearch->RestoreBackup1->trigger();
    EXPECT_TRUE(dialogs_.texts().join('|').contains("There is no backup in"));
    addTo("vddb.DB", "Kept");
    restart();  // today's copy holds Kept
    addTo("vddb.DB", "Later");
    for (const Answer answer : {Answer::No, Answer::Yes}) {
        dialogs_.lists.clear();
        dialogs_.choices.push_back(0);
        dialogs_.answer(answer);
        frmVDDBSearch->RestoreBackup1->trigger();
        ASSERT_EQ(dialogs_.lists.size(), 1u);
        EXPECT_TRUE(dialogs_.lists[0].join('|').contains("1 character and 0 provinces"));
        EXPECT_EQ(characters().size(), answer == Answer::Yes ? 1u : 2u);
    }
    EXPECT_TRUE(dialogs_.texts().back().startsWith("Restored the backup campaign-"));
    EXPECT_EQ(frmVDDBSearch->tblVDDB.recordCount(), 1);
    int kept = 0;
    for (const auto& entry : fs::directory_iterator(data()))
        kept += entry.path().filename().string().rfind("campaign-replaced-", 0) == 0 ? 1 : 0;
    EXPECT_EQ(kept, 1);
}

// File > Take Back Last Import: the newest import's characters go with their
// provinces, a character changed since stays when the user says so, the rest
// of the campaign is untouched; then the import before it, then none.
TEST_F(CarryTest, TheLastImportIsTakenBackWhole)
{
    restart();
    addTo("vddb.DB", "Kept");
    auto stage = [this](const char* name, std::vector<std::string> provinces) {
        addTo("vdtrans.DB", name);
        store::Table t(context_->session);
        t.open("VDDB", "expprovs.DB");
        for (const std::string& p : provinces)
            testing_support::post(t, {{"Game_Name", "G"}, {"Character_Name", name}, {"Province_Name", p}});
    };
    auto setDomain = [this](const char* name, const char* domain) {
        store::Table t(context_->session);
        t.open("VDDB", "vddb.DB");
        ASSERT_TRUE(t.findKey({"G", name}));
        t.edit();
        t.setText("Domain_Name", domain);
        t.post();
    };
    auto takeBack = [this](std::vector<Answer> answers) {
        dialogs_.shown.clear();
        for (Answer a : answers)
            dialogs_.answer(a);
        frmVDDBSearch->TakeBackLastImport1->trigger();
        return dialogs_.texts().join('|').toStdString();
    };
    stage("First", {"f1"});
    frmVDDBSearch->ImportCharacters1->trigger();
    stage("Second", {"s1", "s2"});
    stage("Edited", {"e1"});
    frmVDDBSearch->ImportCharacters1->trigger();
    setDomain("Kept", "Home");
    setDomain("Edited", "Changed");
    addProvince("G", "Kept", "k1");
    ASSERT_EQ(characters(), (std::vector<std::string>{"G/Edited", "G/First", "G/Kept", "G/Second"}));

    EXPECT_NE(takeBack({Answer::No}).find("(2 characters and 3 provinces)?"), std::string::npos);
    EXPECT_EQ(characters().size(), 4u) << "No takes nothing back";
    // A record another tool has changed is refused, and nothing is deleted.
    fs::path record;
    for (const auto& entry : fs::directory_iterator(data() / store::backupFolderName))
        if (entry.path().string().ends_with("-imported.sqlite"))
            record = std::max(record, entry.path());
    fs::copy_file(record, temp_.path() / "record.sqlite");
    store::sql::Connection::open(record.string(), false).exec("CREATE VIEW v AS SELECT 1");
    EXPECT_NE(takeBack({Answer::Yes}).find("holds the view \"v\""), std::string::npos);
    EXPECT_EQ(characters().size(), 4u);
    fs::copy_file(temp_.path() / "record.sqlite", record, fs::copy_options::overwrite_existing);
    const std::string said = takeBack({Answer::Yes, Answer::No});
    EXPECT_NE(said.find("the character \"Edited\" of the game \"G\""), std::string::npos) << said;
    EXPECT_NE(said.find("1 character and 2 provinces deleted"), std::string::npos) << said;
    EXPECT_EQ(characters(), (std::vector<std::string>{"G/Edited", "G/First", "G/Kept"}));
    EXPECT_EQ(frmVDDBSearch->tblVDDB.recordCount(), 3);
    EXPECT_TRUE(provincesOf("G", "Second").empty());
    EXPECT_EQ(provincesOf("G", "Edited"), std::vector<std::string>{"e1"});
    EXPECT_EQ(provincesOf("G", "Kept"), std::vector<std::string>{"k1"});

    EXPECT_NE(takeBack({Answer::Yes}).find("(1 character and 1 province)?"), std::string::npos);
    EXPECT_EQ(characters(), (std::vector<std::string>{"G/Edited", "G/Kept"}));
    EXPECT_TRUE(provincesOf("G", "First").empty());
    EXPECT_NE(takeBack({}).find("There is no import to take back"), std::string::npos);

    // The records are no campaign files to restore.
    dialogs_.lists.clear();
    frmVDDBSearch->RestoreBackup1->trigger();
    ASSERT_EQ(dialogs_.lists.size(), 1u);
    EXPECT_FALSE(dialogs_.lists[0].join('|').contains("-imported")) << dialogs_.lists[0].join('|').toStdString();
    EXPECT_FALSE(dialogs_.lists[0].join('|').contains("-taken-back"));
}

// A changed character taken back all the same is kept as it was changed, in
// a transfer file that brings it back.
TEST_F(CarryTest, WhatATakeBackDeletesCanBeOpenedAsATransferFile)
{
    restart();
    addTo("vdtrans.DB", "Changed");
    frmVDDBSearch->ImportCharacters1->trigger();
    {
        store::Table t(context_->session);
        t.open("VDDB", "vddb.DB");
        ASSERT_TRUE(t.findKey({"G", "Changed"}));
        t.edit();
        t.setText("Domain_Name", "After the import");
        t.post();
    }
    dialogs_.shown.clear();
    dialogs_.answer(Answer::Yes);
    dialogs_.answer(Answer::Yes);
    frmVDDBSearch->TakeBackLastImport1->trigger();
    EXPECT_TRUE(characters().empty()) << dialogs_.texts().join('|').toStdString();
    fs::path kept;
    for (const auto& entry : fs::directory_iterator(data() / store::backupFolderName))
        if (entry.path().string().ends_with("-taken-back.sqlite"))
            kept = entry.path();
    dialogs_.opens.push_back(QString::fromStdString(kept.string()));
    frmVDDBSearch->OpenTransferFile1->trigger();
    store::Table t(context_->session);
    t.open("VDDB", "vdtrans.DB");
    ASSERT_TRUE(t.findKey({"G", "Changed"})) << dialogs_.texts().join('|').toStdString();
    EXPECT_EQ(t.text("Domain_Name"), "After the import");
}

}  // namespace
