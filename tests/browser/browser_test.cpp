#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <fstream>

#include "app/shell_fixture.h"
#include "browser/vdsearch.h"
#include "dbaware/binding.h"
#include "dbaware/dbgrid.h"
#include "realm/vddetails.h"
#include "transfer/transfer.h"
#include "support/gui_helpers.h"

namespace fs = std::filesystem;
using testing_support::ScriptedModal;
using testing_support::ShellTest;

using testing_support::post;
using testing_support::activate;

namespace {

}  // namespace

class BrowserTest : public ShellTest {
protected:
    void SetUp() override
    {
        context_->requestFile = temp_.path() / "figjam.$#!";
        ASSERT_TRUE(startUp());
        b = frmVDDBSearch;
        ASSERT_TRUE(b->tblVDDB.isOpen());
    }

    using ShellTest::addCharacter;
    void addCharacter(const std::string& game, const std::string& name, const std::string& domain)
    {
        addCharacter(game, name, testing_support::Fields{{"Domain_Name", domain}});
    }
    std::vector<std::string> listed(const char* column = "Character_Name")
    {
        std::vector<std::string> out;
        for (const auto& r : b->tblVDDB.readRows(nullptr, false, 1000, false))
            out.push_back(std::holds_alternative<std::string>(r.values[b->tblVDDB.fieldIndex(column)])
                              ? std::get<std::string>(r.values[b->tblVDDB.fieldIndex(column)])
                              : std::string());
        return out;
    }
    void searchFor(const QString& text, QPushButton* button)
    {
        b->edtSearch->setText(text);
        button->click();
    }

    TfrmVDDBSearch* b = nullptr;
    ScriptedModal modal_;
};

TEST_F(BrowserTest, SearchIsACaseSensitivePrefixMatchOnNameOrGame)
{
    for (auto n : {"Aldric", "Alaina", "aldric", "Kalan", " Al"})
        addCharacter("North", n);
    addCharacter("Alba", "Zed");
    addCharacter("alba", "Yul");
    b->tblVDDB.refresh();

    searchFor("Al", b->btnName);
    EXPECT_EQ(listed(), (std::vector<std::string>{"Alaina", "Aldric"}));
    EXPECT_EQ(b->tblVDDB.text("Character_Name"), "Alaina");  // on the first of them

    searchFor(" Al", b->btnName);  // a leading blank counts
    EXPECT_EQ(listed(), std::vector<std::string>{" Al"});

    searchFor("Al", b->btnGame);  // replaces the name search
    EXPECT_EQ(listed(), std::vector<std::string>{"Zed"});

    searchFor("   ", b->btnName);  // blanks only: everything, the blanks stay
    EXPECT_EQ(listed().size(), 7u);
    EXPECT_EQ(b->edtSearch->text(), "   ");
    EXPECT_FALSE(b->tblVDDB.filtered());

    searchFor("Kal", b->btnName);
    b->btnShowAll->click();
    EXPECT_EQ(listed().size(), 7u);
    EXPECT_TRUE(b->edtSearch->text().isEmpty());
    EXPECT_TRUE(b->tblVDDB.filter().empty());
    EXPECT_TRUE(dialogs_.shown.empty());
}

TEST_F(BrowserTest, QuotesAndAsterisksInASearchAreJustText)
{
    addCharacter("G", "O'Brien");
    addCharacter("G", "Obadiah");
    addCharacter("G", "Star*");
    addCharacter("G", "Stark");
    b->tblVDDB.refresh();
    searchFor("O'B", b->btnName);
    EXPECT_EQ(listed(), std::vector<std::string>{"O'Brien"});
    searchFor("Star*", b->btnName);
    EXPECT_EQ(listed(), std::vector<std::string>{"Star*"});
    EXPECT_TRUE(dialogs_.shown.empty());
}

TEST_F(BrowserTest, EnterInTheSearchBoxStartsNoSearch)
{
    addCharacter("G", "Aric");
    addCharacter("G", "Bran");
    b->tblVDDB.refresh();
    b->show();
    b->edtSearch->setText("Br");
    b->edtSearch->setFocus();
    QTest::keyClick(b->edtSearch, Qt::Key_Return);
    EXPECT_FALSE(b->tblVDDB.filtered());
    EXPECT_EQ(listed().size(), 2u);
}

TEST_F(BrowserTest, DeleteAsksAndNoDeletesNothing)
{
    addCharacter("G", "Aric");
    b->tblVDDB.refresh();
    dialogs_.answer(dbaware::Answer::No);
    b->btnDelete->click();
    ASSERT_EQ(dialogs_.shown.size(), 2u);
    EXPECT_EQ(dialogs_.shown[0].text, "Confirm delete of this record");
    EXPECT_EQ(dialogs_.shown[0].caption, "Confirm");
    EXPECT_EQ(dialogs_.shown[0].buttons, dbaware::Buttons::YesNo);
    EXPECT_EQ(dialogs_.shown[1].text, "Delete operation canceled");
    EXPECT_EQ(dialogs_.shown[1].icon, dbaware::Icon::None);
    EXPECT_EQ(listed(), std::vector<std::string>{"Aric"});
}

TEST_F(BrowserTest, DeleteTakesExactlyTheCharactersProvincesWhateverTheRealmWindowShows)
{
    addCharacter("G", "Aric");
    addCharacter("G", "Bran");
    addCharacter("H", "Aric");
    addCharacter("G", "O'Neil*");
    for (auto p : {"a1", "a2", "a3"})
        addProvince("G", "Aric", p);
    addProvince("G", "Bran", "b1");
    addProvince("H", "Aric", "h1");
    addProvince("G", "O'Neil*", "o1");
    addProvince("G", "O'Neil", "o2");
    b->tblVDDB.refresh();
    // The realm window stands on another character.
    auto& realm = frmRealmDetails->tblVDDB;
    realm.refresh();
    ASSERT_TRUE(realm.findKey({"G", "Bran"}));

    ASSERT_TRUE(b->tblVDDB.findKey({"G", "Aric"}));
    b->btnDelete->click();
    EXPECT_EQ(listed(), (std::vector<std::string>{"Bran", "O'Neil*", "Aric"}));
    EXPECT_TRUE(provincesOf("G", "Aric").empty());
    EXPECT_EQ(provincesOf("G", "Bran"), std::vector<std::string>{"b1"});
    EXPECT_EQ(provincesOf("H", "Aric"), std::vector<std::string>{"h1"});

    ASSERT_TRUE(b->tblVDDB.findKey({"G", "O'Neil*"}));
    b->btnDelete->click();
    EXPECT_TRUE(provincesOf("G", "O'Neil*").empty());
    EXPECT_EQ(provincesOf("G", "O'Neil"), std::vector<std::string>{"o2"});
    EXPECT_EQ(dialogs_.shown.size(), 2u);  // the two confirmations, no error
}

TEST_F(BrowserTest, DeleteOnAnEmptyListIsRefused)
{
    addCharacter("G", "Aric");
    b->tblVDDB.refresh();
    searchFor("Zz", b->btnName);
    b->btnDelete->click();
    ASSERT_EQ(dialogs_.shown.size(), 2u);
    EXPECT_EQ(dialogs_.shown[1].text, "Cannot perform this operation on an empty dataset.");
    EXPECT_EQ(dialogs_.shown[1].icon, dbaware::Icon::Error);
    b->btnShowAll->click();
    EXPECT_EQ(listed(), std::vector<std::string>{"Aric"});
    EXPECT_FALSE(b->tblVDDB.controlsDisabled());
}

TEST_F(BrowserTest, DoubleClickOpensTheRealmWindowAndRereadsTheListAfterwards)
{
    addCharacter("G", "Aric", "Old");
    addCharacter("G", "Alda", "Other");
    addCharacter("G", "Bran");
    b->tblVDDB.refresh();
    searchFor("Ar", b->btnName);
    frmRealmDetails->PageControl1->setCurrentWidget(frmRealmDetails->tsProvinces);
    modal_.action = [&](QWidget& w) {
        EXPECT_EQ(&w, frmRealmDetails);
        EXPECT_TRUE(b->isMinimized());
        EXPECT_EQ(frmRealmDetails->PageControl1->currentWidget(), frmRealmDetails->tsGeneralInfo);
        auto& t = frmRealmDetails->tblVDDB;
        EXPECT_EQ(t.text("Character_Name"), "Aric");
        t.edit();
        t.setText("Domain_Name", "New");
        t.post();
    };
    b->DBGrid1->dblClick();
    ASSERT_EQ(modal_.shown.size(), 1u);
    EXPECT_FALSE(b->isMinimized());
    EXPECT_EQ(b->tblVDDB.text("Domain_Name"), "New");
    EXPECT_EQ(listed(), std::vector<std::string>{"Aric"});  // the same search still applies
    EXPECT_TRUE(dialogs_.shown.empty());
}

TEST_F(BrowserTest, DoubleClickOnAnEmptyListShowsTheErrorAndNoWindow)
{
    b->DBGrid1->dblClick();
    EXPECT_TRUE(modal_.shown.empty());
    ASSERT_EQ(dialogs_.shown.size(), 1u);
    EXPECT_EQ(dialogs_.shown[0].text, "Cannot perform this operation on an empty dataset.");
}

TEST_F(BrowserTest, InsertOnDetailFormStartsARecordWithItsDefaults)
{
    addCharacter("G", "Bran");
    b->tblVDDB.refresh();
    searchFor("A", b->btnName);
    modal_.action = [&](QWidget&) {
        auto& t = frmRealmDetails->tblVDDB;
        EXPECT_EQ(t.state(), store::State::Insert);
        for (auto f : {"Warrior", "Ranger", "Paladin", "Mage", "Priest", "Thief", "Bard", "Psionicist",
                       "Royal_Facade_Spell"}) {
            EXPECT_FALSE(t.isNull(f)) << f;
            EXPECT_FALSE(t.asBool(f)) << f;
        }
        EXPECT_TRUE(t.isNull("Domain_Name"));
        EXPECT_FALSE(frmRealmDetails->dbgProvinces->isEnabled());
        t.setText("Game_Name", "G");
        t.setText("Character_Name", "Alys");
        t.post();
    };
    b->Button4->click();
    ASSERT_EQ(modal_.shown.size(), 1u);
    EXPECT_EQ(listed(), std::vector<std::string>{"Alys"});
}

TEST_F(BrowserTest, ARequestFileOpensItsCharacterOnceAndIsGone)
{
    addCharacter("North", "Aric");
    addCharacter("North", "Bran");
    b->tblVDDB.refresh();
    std::ofstream(context_->requestFile, std::ios::binary) << "North\r\nBran\r\n";
    frmRealmDetails->PageControl1->setCurrentWidget(frmRealmDetails->tsProvinces);
    modal_.action = [&](QWidget&) {
        EXPECT_EQ(frmRealmDetails->tblVDDB.text("Character_Name"), "Bran");
        EXPECT_EQ(frmRealmDetails->PageControl1->currentWidget(), frmRealmDetails->tsGeneralInfo);
    };
    activate(b);
    EXPECT_EQ(modal_.shown.size(), 1u);
    EXPECT_FALSE(fs::exists(context_->requestFile));
    activate(frmRealmDetails);  // the realm window closes: the browser is active again
    activate(b);
    EXPECT_EQ(modal_.shown.size(), 1u);
    EXPECT_TRUE(dialogs_.shown.empty());
}

TEST_F(BrowserTest, ARequestForAMissingCharacterWithOneLineOpensNothing)
{
    addCharacter("North", "Aric");
    addCharacter("North", "Bran");
    b->tblVDDB.refresh();
    ASSERT_TRUE(b->tblVDDB.findKey({"North", "Bran"}));
    std::ofstream(context_->requestFile, std::ios::binary) << "North\n";  // character name missing: empty
    activate(b);
    EXPECT_TRUE(modal_.shown.empty());
    EXPECT_FALSE(fs::exists(context_->requestFile));
    EXPECT_EQ(b->tblVDDB.text("Character_Name"), "Aric");  // back on the first row
}

TEST_F(BrowserTest, AnUnreadableRequestFileIsReportedOnce)
{
    fs::create_directories(context_->requestFile / "x");  // a folder where the file should be
    activate(b);
    activate(frmRealmDetails);
    activate(b);
    ASSERT_EQ(dialogs_.shown.size(), 1u);
    EXPECT_EQ(dialogs_.shown[0].icon, dbaware::Icon::Error);
    EXPECT_TRUE(modal_.shown.empty());
}

TEST_F(BrowserTest, ActivationFromAnotherProgramDoesNotRunTheHandler)
{
    addCharacter("North", "Aric");
    b->tblVDDB.refresh();
    activate(b);  // first showing: the handler runs
    std::ofstream(context_->requestFile, std::ios::binary) << "North\nAric\n";
    activate(b);  // back from another program: the same window again
    EXPECT_TRUE(modal_.shown.empty());
    EXPECT_TRUE(fs::exists(context_->requestFile));
    QMessageBox box;  // back from a message box: no return from a window either
    activate(&box);
    activate(b);
    EXPECT_TRUE(modal_.shown.empty());
    activate(frmRealmDetails);
    activate(b);
    EXPECT_EQ(modal_.shown.size(), 1u);
}

TEST_F(BrowserTest, HelpOpensTheContents)
{
    b->Help2->trigger();
    ASSERT_EQ(helpCalls_.size(), 1u);
    EXPECT_EQ(helpCalls_[0].first, "vddb.hlp");
    EXPECT_EQ(helpCalls_[0].second, 3u);
}

TEST_F(BrowserTest, ImportListsTheImportedCharactersAtOnce)
{
    addCharacter("North", "Bran");
    store::Table transfer(context_->session);
    transfer.open("VDDB", "vdtrans.DB");
    post(transfer, {{"Game_Name", "North"}, {"Character_Name", "Aric"}});
    post(transfer, {{"Game_Name", "South"}, {"Character_Name", "Cara"}});
    searchFor("A", b->btnName);  // the search stays as it was
    ASSERT_FALSE(b->tblVDDB.hasCurrentRecord());

    b->ImportCharacters1->trigger();
    EXPECT_TRUE(dialogs_.shown.empty());
    EXPECT_EQ(listed(), std::vector<std::string>{"Aric"});
    EXPECT_EQ(b->tblVDDB.text("Character_Name"), "Aric");  // re-read, not only the file
    EXPECT_EQ(frmRealmDetails->StatusBar1->text(), "Import Complete");
    EXPECT_TRUE(transfer.isEmpty());
    EXPECT_TRUE(modal_.shown.empty());
}

TEST_F(BrowserTest, AFailedImportIsReportedAndChangesNothing)
{
    addCharacter("North", "Aric");
    store::Table transfer(context_->session);
    transfer.open("VDDB", "vdtrans.DB");
    post(transfer, {{"Game_Name", "North"}, {"Character_Name", "Aric"}});
    b->ImportCharacters1->trigger();
    ASSERT_EQ(dialogs_.shown.size(), 1u);
    EXPECT_EQ(dialogs_.shown[0].caption, "Error");
    EXPECT_TRUE(dialogs_.shown[0].text.startsWith("An error occurred during the Import Operation."));
    EXPECT_EQ(frmRealmDetails->StatusBar1->text(), "Error in Import");
    EXPECT_EQ(transfer.recordCount(), 1);
    EXPECT_EQ(listed(), std::vector<std::string>{"Aric"});
}

TEST_F(BrowserTest, ViewRereadsTheTransferTableAndShowsTheTransferWindow)
{
    store::Table transfer(context_->session);
    transfer.open("VDDB", "vdtrans.DB");
    post(transfer, {{"Game_Name", "North"}, {"Character_Name", "Aric"}});
    ASSERT_FALSE(frmRealmDetails->tblTransfer.hasCurrentRecord());
    modal_.action = [&](QWidget&) { EXPECT_EQ(frmRealmDetails->tblTransfer.text("Character_Name"), "Aric"); };
    b->ViewTransferTableContents1->trigger();
    ASSERT_EQ(modal_.shown.size(), 1u);
    EXPECT_EQ(modal_.shown[0], frmTransfer);
    EXPECT_TRUE(dialogs_.shown.empty());
}

TEST_F(BrowserTest, EmptyAsksFirstAndReportsOnTheRealmWindow)
{
    store::Table transfer(context_->session);
    transfer.open("VDDB", "vdtrans.DB");
    post(transfer, {{"Game_Name", "North"}, {"Character_Name", "Aric"}});
    dialogs_.answer(dbaware::Answer::No);
    b->EmptyTransferTable1->trigger();
    ASSERT_EQ(dialogs_.shown.size(), 1u);
    EXPECT_EQ(dialogs_.shown[0].text, "Delete all Transfer Table records ?");
    EXPECT_EQ(frmRealmDetails->StatusBar1->text(), "Empty operation canceled");
    EXPECT_EQ(transfer.recordCount(), 1);

    dialogs_.answer(dbaware::Answer::Yes);
    b->EmptyTransferTable1->trigger();
    EXPECT_EQ(dialogs_.shown.size(), 2u);
    EXPECT_EQ(frmRealmDetails->StatusBar1->text(), "Transfer Table Contents Deleted.");
    EXPECT_TRUE(transfer.isEmpty());
}

TEST_F(BrowserTest, TabOrderAndGridColumns)
{
    std::vector<QWidget*> order{b->edtSearch, b->btnName,   b->btnGame,  b->btnShowAll,
                                b->btnExit,   b->Button4,   b->btnDelete, b->DBGrid1};
    for (std::size_t i = 0; i + 1 < order.size(); ++i)
        EXPECT_EQ(order[i]->nextInFocusChain(), order[i + 1]) << i;
    QStringList titles;
    for (const auto& c : b->DBGrid1->columns())
        titles << c.title;
    EXPECT_EQ(titles, (QStringList{"Game Name", "Character Name", "Prov's", "Domain Name"}));
    EXPECT_FALSE(b->dsVDDB.autoEdit());
}

TEST_F(BrowserTest, ShowAllAfterAClickOnALowerRowGoesToTheFirstCharacter)
{
    for (auto n : {"Aric", "Bran", "Cora"})
        addCharacter("G", n);
    b->tblVDDB.refresh();
    b->show();
    b->DBGrid1->setCurrentIndex(b->DBGrid1->model()->index(2, 0));
    ASSERT_EQ(b->tblVDDB.text("Character_Name"), "Cora");
    b->btnShowAll->click();
    EXPECT_EQ(b->tblVDDB.text("Character_Name"), "Aric");
    EXPECT_EQ(b->DBGrid1->currentIndex().row(), 0);
    searchFor("  ", b->btnName);  // a blank search does the same
    b->DBGrid1->setCurrentIndex(b->DBGrid1->model()->index(1, 0));
    searchFor("", b->btnGame);
    EXPECT_EQ(b->tblVDDB.text("Character_Name"), "Aric");
}

TEST_F(BrowserTest, TheFormBindsNoBoxAndTheGridShowsRealColumnsOfTheBrowsersTable)
{
    // The search box is typed into, never bound: a bound one would write the
    // search text into the character record.
    EXPECT_TRUE(dbaware::boundFields(*b).empty());
    ASSERT_EQ(b->DBGrid1->dataSource(), &b->dsVDDB);
    const auto columns = b->DBGrid1->columns();
    ASSERT_EQ(columns.size(), 4);
    for (const auto& c : columns)
        EXPECT_GE(b->dsVDDB.table().layout().columnIndex(c.fieldName.toStdString()), 0) << c.fieldName.toStdString();
}
