// Old Paradox tables brought in at the first start and by the browser's
// File > Bring In Old Tables.
#include <gtest/gtest.h>

#include <QMenu>

#include "app/shell_fixture.h"
#include "paradox/campaign_writer.h"
#include "store/backup.h"

namespace fs = std::filesystem;
using testing_support::ShellTest;

namespace {

class BringInTest : public ShellTest {
protected:
    // vddb.DB with the characters (game/name) and vdprovs.db with one
    // province each, written to `folder`.
    static void writeOld(const fs::path& folder, const std::vector<std::pair<std::string, std::string>>& characters)
    {
        fs::create_directories(folder);
        pxtest::TableWriter ch = pxtest::writerFor(*campaign::findLayout("vddb.DB"));
        pxtest::TableWriter pr = pxtest::writerFor(*campaign::findLayout("vdprovs.db"));
        for (const auto& [game, name] : characters) {
            ch.rows.push_back(pxtest::rowOf(ch, {{"Game_Name", game}, {"Character_Name", name}}));
            pr.rows.push_back(pxtest::rowOf(pr, {{"Game_Name", game}, {"Character_Name", name},
                                                 {"Province_Name", "Home of " + name}}));
        }
        pxtest::writeTable(ch, folder, "vddb.DB");
        pxtest::writeTable(pr, folder, "vdprovs.db");
    }
    std::vector<std::string> gridNames()
    {
        std::vector<std::string> out;
        store::Table& t = frmVDDBSearch->tblVDDB;
        for (t.first(); !t.eof(); t.next())
            out.push_back(t.text("Character_Name"));
        return out;
    }
};

TEST_F(BringInTest, TheFirstStartBringsTheOldTablesInOnce)
{
    const fs::path data = programFolder() / "Data";
    writeOld(data, {{"Test", "Aric"}, {"Test", "Bor"}});
    ASSERT_TRUE(startUp());
    ASSERT_EQ(dialogs_.shown.size(), 1u) << dialogs_.texts().join('|').toStdString();
    EXPECT_EQ(dialogs_.shown[0].text.toStdString(),
              "Imported 2 characters and 2 provinces from the Paradox tables in " + data.string() + ".");
    EXPECT_EQ(dialogs_.shown[0].icon, dbaware::Icon::None);
    EXPECT_EQ(dialogs_.progressTitles, (std::vector<QString>{"Bring In Old Tables"}));
    EXPECT_EQ(gridNames(), (std::vector<std::string>{"Aric", "Bor"}));
    for (const store::Table* table : sixTables())
        EXPECT_TRUE(table->isOpen());

    // A second start finds the files and brings nothing in again.
    dialogs_.shown.clear();
    ASSERT_TRUE(startUp());
    EXPECT_TRUE(dialogs_.shown.empty()) << dialogs_.texts().join('|').toStdString();
    EXPECT_EQ(gridNames(), (std::vector<std::string>{"Aric", "Bor"}));
}

TEST_F(BringInTest, ADamagedOldTableIsShownAndTheProgramGoesOn)
{
    const fs::path data = programFolder() / "Data";
    writeOld(data, {{"Test", "Aric"}});
    fs::resize_file(data / "vddb.DB", 100);
    ASSERT_TRUE(startUp());
    ASSERT_EQ(dialogs_.shown.size(), 1u) << dialogs_.texts().join('|').toStdString();
    EXPECT_EQ(dialogs_.shown[0].icon, dbaware::Icon::Error);
    EXPECT_TRUE(dialogs_.shown[0].text.contains("vddb.DB")) << dialogs_.shown[0].text.toStdString();
    EXPECT_TRUE(frmVDDBSearch->tblVDDB.isOpen());
    EXPECT_TRUE(gridNames().empty());
}

// The menu item sits where the File menu's order puts it; a character that
// is already there stops everything, otherwise all comes in and the grid
// shows it.
TEST_F(BringInTest, TheMenuCommandBringsAllOrNothing)
{
    ASSERT_TRUE(startUp());
    const QList<QAction*> items = frmVDDBSearch->menuFile->actions();
    ASSERT_GE(items.size(), 3);
    EXPECT_EQ(items[items.size() - 3], frmVDDBSearch->BringInOldTables1);
    EXPECT_TRUE(items[items.size() - 2]->isSeparator());
    EXPECT_EQ(items.back(), frmVDDBSearch->Exit1);
    EXPECT_EQ(frmVDDBSearch->BringInOldTables1->text(), "&Bring In Old Tables...");

    addCharacter("Test", "Bor");
    const fs::path old = temp_.path() / "old";
    writeOld(old, {{"Test", "Aric"}, {"Test", "Bor"}});
    const QString oldText = QString::fromStdString(old.string());

    dialogs_.folders = {QString(), oldText, oldText};  // cancelled first
    frmVDDBSearch->BringInOldTables1->trigger();
    EXPECT_TRUE(dialogs_.shown.empty());

    frmVDDBSearch->BringInOldTables1->trigger();
    ASSERT_EQ(dialogs_.shown.size(), 1u);
    EXPECT_EQ(dialogs_.shown[0].icon, dbaware::Icon::Error);
    EXPECT_TRUE(dialogs_.shown[0].text.contains("character 'Bor' of game 'Test'")) << dialogs_.shown[0].text.toStdString();
    EXPECT_EQ(characters(), (std::vector<std::string>{"Test/Bor"}));
    EXPECT_TRUE(provincesOf("Test", "Aric").empty());

    frmVDDBSearch->btnDelete->click();  // Yes: Bor goes
    dialogs_.shown.clear();
    frmVDDBSearch->BringInOldTables1->trigger();
    ASSERT_EQ(dialogs_.shown.size(), 1u) << dialogs_.texts().join('|').toStdString();
    EXPECT_EQ(dialogs_.shown[0].text, "Imported 2 characters and 2 provinces from the Paradox tables in " + oldText + ".");
    EXPECT_EQ(gridNames(), (std::vector<std::string>{"Aric", "Bor"}));
    EXPECT_EQ(provincesOf("Test", "Bor"), (std::vector<std::string>{"Home of Bor"}));
    // Each attempt that got past the folder dialog made its copy first.
    EXPECT_EQ(store::importBackups(programFolder() / "Data" / store::backupFolderName, campaign::catalogue()).size(), 2u);
}

}  // namespace
