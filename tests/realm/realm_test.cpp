#include <gtest/gtest.h>

#include <set>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QTest>

#include "app/about.h"
#include "dbaware/binding.h"
#include "app/shell_fixture.h"
#include "campaign/catalogue.h"
#include "dbaware/dbcheckbox.h"
#include "dbaware/dbedit.h"
#include "dbaware/dbgrid.h"
#include "dbaware/dbmemo.h"
#include "dbaware/dbnavigator.h"
#include "dbaware/dialogs.h"
#include "dbaware/statusbar.h"
#include "province/vdprovince.h"
#include "realm/vddetails.h"
#include "store/database.h"
#include "store/error.h"
#include "store/paths.h"
#include "store/sqlite.h"
#include "support/gui_helpers.h"

using dbaware::Answer;
using store::State;
using testing_support::ScriptedModal;
using testing_support::ShellTest;

namespace store {
inline void PrintTo(State s, std::ostream* os)
{
    const char* names[] = {"Inactive", "Browse", "Edit", "Insert"};
    *os << names[static_cast<int>(s)];
}
}  // namespace store

using testing_support::post;
using testing_support::activate;
using testing_support::type;
using testing_support::Fields;

namespace {

// The next control that Tab goes to.
QWidget* nextTabStop(QWidget* w)
{
    for (QWidget* n = w->nextInFocusChain(); n != w; n = n->nextInFocusChain())
        if ((n->focusPolicy() & Qt::TabFocus) && n->isEnabled())
            return n;
    return nullptr;
}

}  // namespace

class RealmTest : public ShellTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(startUp());
        r = frmRealmDetails;
        ASSERT_TRUE(r->tblXfrProv.isOpen());
    }

    // What the province list shows.
    std::vector<std::string> listed()
    {
        std::vector<std::string> out;
        const int c = r->tblProv.fieldIndex("Province_Name");
        for (const auto& row : r->tblProv.readRows(nullptr, false, 1000, false))
            out.push_back(std::get<std::string>(row.values[static_cast<std::size_t>(c)]));
        return out;
    }
    // A shown, active window, for focus moves and typing.
    void showActive()
    {
        r->show();
        r->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(r));
    }

    TfrmRealmDetails* r = nullptr;
    ScriptedModal modal_;
};

// ---- Closing -----------------------------------------------------------------

TEST_F(RealmTest, ClosingChecksTheCharacterNameFirstThenTheGameName)
{
    addCharacter("G", "Aric");
    openOn("G", "Aric");

    type(r->dedtCharName, "  ");
    type(r->dedtGameName, "");
    r->dedtCharName->setText(" \t");  // blank after trimming control characters too
    type(r->dedtGameName, "G");
    EXPECT_FALSE(r->close());
    EXPECT_EQ(dialogs_.texts(), QStringList{"Character Name Must Be Entered"});
    EXPECT_EQ(dialogs_.shown.back().icon, dbaware::Icon::None);
    EXPECT_EQ(r->focusWidget(), r->dedtCharName);
    EXPECT_EQ(r->tblVDDB.state(), State::Edit) << "the record stays pending";

    type(r->dedtCharName, "Aric");
    type(r->dedtGameName, " ");
    EXPECT_FALSE(r->close());
    EXPECT_EQ(dialogs_.texts().back(), "Game Name Must Be Entered");
    EXPECT_EQ(r->focusWidget(), r->dedtGameName);

    type(r->dedtGameName, "H");
    EXPECT_TRUE(r->close());
    EXPECT_EQ(characters(), std::vector<std::string>{"H/Aric"}) << "saved without a question";
    EXPECT_EQ(dialogs_.shown.size(), 2u);
}

TEST_F(RealmTest, ClosingWithBothNamesBlankDropsThePendingRecord)
{
    addCharacter("G", "Aric", {{"Domain_Name", "Old"}});
    openOn("G", "Aric");
    type(r->dedtDomainName, "Changed");
    type(r->dedtCharName, "");
    type(r->dedtGameName, "");
    EXPECT_TRUE(r->close());
    EXPECT_EQ(r->tblVDDB.state(), State::Browse);
    EXPECT_EQ(characters(), std::vector<std::string>{"G/Aric"});
    EXPECT_EQ(r->tblVDDB.text("Domain_Name"), "Old");

    // A new record with no names at all is dropped silently.
    r->InsertRecord1->trigger();
    EXPECT_TRUE(r->close());
    EXPECT_EQ(characters(), std::vector<std::string>{"G/Aric"});
    EXPECT_TRUE(dialogs_.shown.empty());
}

TEST_F(RealmTest, ClosingAnEmptyTableSkipsTheChecksAndSavesANamedNewRecord)
{
    r->tblVDDB.refresh();
    activate(r);
    EXPECT_TRUE(r->close());  // nothing at all

    r->InsertRecord1->trigger();
    type(r->dedtCharName, "Alys");  // no game name: no check while the table is empty
    EXPECT_TRUE(r->close());
    EXPECT_EQ(characters(), std::vector<std::string>{"/Alys"});

    // With a stored record the same names are checked again.
    r->InsertRecord1->trigger();
    type(r->dedtCharName, "Bran");
    EXPECT_FALSE(r->close());
    EXPECT_EQ(dialogs_.texts(), QStringList{"Game Name Must Be Entered"});
}

TEST_F(RealmTest, AStoredRecordWithoutNamesIsDeletedOnCloseWithExactlyItsProvinces)
{
    addCharacter("", " ");
    addCharacter("G", "Aric");
    addProvince("", " ", "p1");
    addProvince("", " ", "p2");
    addProvince("", "", "other blank");
    addProvince("G", "Aric", "a1");
    openOn("", " ");
    EXPECT_EQ(listed(), (std::vector<std::string>{"p1", "p2"}));
    EXPECT_TRUE(r->close());
    EXPECT_EQ(characters(), std::vector<std::string>{"G/Aric"});
    EXPECT_TRUE(provincesOf("", " ").empty());
    EXPECT_EQ(provincesOf("", ""), std::vector<std::string>{"other blank"});
    EXPECT_EQ(provincesOf("G", "Aric"), std::vector<std::string>{"a1"});
    EXPECT_TRUE(dialogs_.shown.empty());
}

TEST_F(RealmTest, ClosingWithAKeyViolationShowsTheErrorAndStaysOpen)
{
    addCharacter("G", "Aric");
    addCharacter("G", "Bran");
    openOn("G", "Bran");
    type(r->dedtCharName, "Aric");
    EXPECT_FALSE(r->close());
    ASSERT_EQ(dialogs_.shown.size(), 1u);
    EXPECT_EQ(dialogs_.shown[0].icon, dbaware::Icon::Error);
    EXPECT_EQ(r->tblVDDB.state(), State::Edit);
    EXPECT_EQ(r->dedtCharName->text(), "Aric");
}

// ---- Record commands ---------------------------------------------------------

TEST_F(RealmTest, SaveChangesNeedsOnlyTheCharacterName)
{
    addCharacter("G", "Aric");
    openOn("G", "Aric");
    type(r->dedtCharName, " ");
    r->SaveChanges1->trigger();
    EXPECT_EQ(dialogs_.texts(), QStringList{"Character Name must be entered"});
    EXPECT_EQ(r->focusWidget(), r->dedtCharName);
    EXPECT_EQ(r->tblVDDB.state(), State::Edit);

    type(r->dedtCharName, "Aric");
    type(r->dedtGameName, "");
    r->SaveChanges1->trigger();
    EXPECT_EQ(r->tblVDDB.state(), State::Browse);
    EXPECT_EQ(characters(), std::vector<std::string>{"/Aric"});
    EXPECT_EQ(dialogs_.shown.size(), 1u);
}

TEST_F(RealmTest, SaveChangesKeepsAnotherProgramsChangeAndRefusesToOverwriteIt)
{
    addCharacter("G", "Aric", {{"Domain_Name", "Aricia"}, {"Current_GB", "10"}});
    openOn("G", "Aric");
    auto other = store::sql::Connection::open(
        store::utf8(r->tblVDDB.database().folder() / campaign::campaignFile), false);

    type(r->dedtDomainName, "Aric Hold");
    context_->session.releaseCursors();  // as between events
    other.exec("UPDATE vddb SET Current_GB = 25 WHERE Character_Name = 'Aric'");
    r->SaveChanges1->trigger();
    EXPECT_TRUE(dialogs_.shown.empty());
    EXPECT_EQ(r->tblVDDB.state(), State::Browse);
    EXPECT_EQ(r->dedtDomainName->text(), "Aric Hold");
    EXPECT_EQ(r->dedtCurrGB->text(), "25");

    type(r->dedtCurrGB, "12");
    context_->session.releaseCursors();
    other.exec("UPDATE vddb SET Current_GB = 99 WHERE Character_Name = 'Aric'");
    r->SaveChanges1->trigger();
    ASSERT_EQ(dialogs_.shown.size(), 1u);
    EXPECT_EQ(dialogs_.shown[0].icon, dbaware::Icon::Error);
    EXPECT_TRUE(dialogs_.texts()[0].startsWith("Another program changed the field 'Current_GB' of this record"))
        << dialogs_.texts()[0].toStdString();
    EXPECT_EQ(r->tblVDDB.state(), State::Browse);
    EXPECT_EQ(r->dedtCurrGB->text(), "99");
    EXPECT_EQ(r->dedtDomainName->text(), "Aric Hold");
}

// Text another program stored that is no UTF-8 shows each bad run as one
// U+FFFD at once, and a save of another field leaves every stored byte, the
// key's included, as it was.
TEST_F(RealmTest, TextThatIsNoUtf8ShowsReplacedAndASaveKeepsItsBytes)
{
    addCharacter("G", "Aric");
    addProvince("G", "Aric", "p1");
    const auto bad = [](int continuations) {
        std::string hex = "CAST(x'F0";
        for (int i = 0; i < continuations; ++i)
            hex += "80";
        return hex + "' AS TEXT)";
    };
    auto other = store::sql::Connection::open(
        store::utf8(r->tblVDDB.database().folder() / campaign::campaignFile), false);
    other.exec("UPDATE vdprovs SET Game_Name = CAST(x'47FF' AS TEXT); UPDATE vddb SET Game_Name = CAST(x'47FF' AS TEXT), "
               "Vassals = 'Liege ' || " + bad(200000) + ", Domain_Name = " + bad(5000) + " || 'ia'");
    openOn("G\xFF", "Aric");
    EXPECT_EQ(r->dmemVassals->toPlainText(), QString::fromUtf8("Liege \xEF\xBF\xBD"));
    EXPECT_EQ(r->dedtDomainName->text(), QString::fromUtf8("\xEF\xBF\xBDia"));
    EXPECT_EQ(r->dedtGameName->text(), QString::fromUtf8("G\xEF\xBF\xBD"));

    type(r->dedtCurrGB, "12");
    r->SaveChanges1->trigger();
    EXPECT_TRUE(dialogs_.shown.empty()) << dialogs_.texts().join('|').toStdString();
    store::sql::Statement stored(other, "SELECT length(CAST(Vassals AS BLOB)), length(CAST(Domain_Name AS BLOB)), "
                                        "Current_GB, (SELECT count(*) FROM vdprovs WHERE Game_Name = vddb.Game_Name) "
                                        "FROM vddb WHERE Game_Name = CAST(x'47FF' AS TEXT)");
    ASSERT_TRUE(stored.step());
    EXPECT_EQ(stored.int64(0), 200007);
    EXPECT_EQ(stored.int64(1), 5003);
    EXPECT_EQ(stored.int64(2), 12);
    EXPECT_EQ(stored.int64(3), 1);
}

TEST_F(RealmTest, DeleteAsksRemovesOnlyThatCharactersProvincesAndTheLastOneClosesTheWindow)
{
    addCharacter("G", "O'Neil");
    addCharacter("G", "O'Neil*");
    addProvince("G", "O'Neil", "o1");
    addProvince("G", "O'Neil*", "o2");
    addProvince("G", "O'Neil ", "o3");
    openOn("G", "O'Neil");
    r->show();

    dialogs_.answer(Answer::No);
    r->DeleteRecord1->trigger();
    ASSERT_EQ(dialogs_.shown.size(), 1u);
    EXPECT_EQ(dialogs_.shown[0].text, "Confirm delete of this record");
    EXPECT_EQ(dialogs_.shown[0].caption, "Confirm");
    EXPECT_EQ(dialogs_.shown[0].buttons, dbaware::Buttons::YesNo);
    EXPECT_EQ(r->StatusBar1->text(), "Delete operation canceled");
    EXPECT_EQ(characters().size(), 2u);

    r->DeleteRecord1->trigger();
    EXPECT_EQ(characters(), std::vector<std::string>{"G/O'Neil*"});
    EXPECT_TRUE(provincesOf("G", "O'Neil").empty());
    EXPECT_EQ(provincesOf("G", "O'Neil*"), std::vector<std::string>{"o2"});
    EXPECT_EQ(provincesOf("G", "O'Neil "), std::vector<std::string>{"o3"});
    EXPECT_TRUE(r->isVisible());
    EXPECT_EQ(listed(), std::vector<std::string>{"o2"}) << "the list follows to the next character";

    r->DeleteRecord1->trigger();
    EXPECT_TRUE(characters().empty());
    EXPECT_FALSE(r->isVisible()) << "the last record gone, the window closes";
    EXPECT_EQ(dialogs_.shown.size(), 3u);
}

TEST_F(RealmTest, MoveCommandsRunOverAllCharactersAndSetTheirEnabling)
{
    for (auto n : {"A", "B", "C"})
        addCharacter("G", n);
    addProvince("G", "C", "c1");
    openOn("G", "B");
    auto enabled = [&] {
        return std::vector<bool>{r->First1->isEnabled(), r->Previous1->isEnabled(), r->Next1->isEnabled(),
                                 r->Last1->isEnabled()};
    };

    r->Last1->trigger();
    EXPECT_EQ(r->tblVDDB.text("Character_Name"), "C");
    EXPECT_EQ(enabled(), (std::vector<bool>{true, true, false, false}));
    EXPECT_EQ(listed(), std::vector<std::string>{"c1"}) << "the list follows the move";

    r->Previous1->trigger();
    EXPECT_EQ(enabled(), (std::vector<bool>{true, true, true, true}));
    r->Previous1->trigger();
    EXPECT_EQ(r->tblVDDB.text("Character_Name"), "A");
    r->Previous1->trigger();  // tries to go before the first
    EXPECT_EQ(r->tblVDDB.text("Character_Name"), "A");
    EXPECT_EQ(enabled(), (std::vector<bool>{false, false, true, true}));
    EXPECT_TRUE(listed().empty());

    r->Next1->trigger();
    r->Next1->trigger();
    r->Next1->trigger();  // tries to go past the last
    EXPECT_EQ(r->tblVDDB.text("Character_Name"), "C");
    EXPECT_EQ(enabled(), (std::vector<bool>{true, true, false, false}));

    r->First1->trigger();
    EXPECT_EQ(r->tblVDDB.text("Character_Name"), "A");
    EXPECT_EQ(enabled(), (std::vector<bool>{false, false, true, true}));

    // A changed record is saved by the move.
    type(r->dedtDomainName, "Moved on");
    r->Next1->trigger();
    r->First1->trigger();
    EXPECT_EQ(r->tblVDDB.text("Domain_Name"), "Moved on");
}

TEST_F(RealmTest, InsertRecordSetsTheDefaultsButTheNavigatorsInsertDoesNot)
{
    addCharacter("G", "Aric");
    openOn("G", "Aric");
    r->PageControl1->setCurrentWidget(r->tsMagic);
    ASSERT_TRUE(r->dbgProvinces->isEnabled());
    const std::vector<dbaware::DBCheckBox*> boxes{r->cbWarrior, r->cbRanger, r->cbPaladin, r->cbMage,     r->cbPriest,
                                                  r->cbThief,   r->cbBard,   r->cbPsionicist, r->cbRoyalFacade};

    r->InsertRecord1->trigger();
    EXPECT_EQ(r->tblVDDB.state(), State::Insert);
    EXPECT_EQ(r->PageControl1->currentWidget(), r->tsGeneralInfo);
    for (auto* b : boxes)
        EXPECT_EQ(b->checkState(), Qt::Unchecked) << b->text().toStdString();
    EXPECT_FALSE(r->dbgProvinces->isEnabled());
    r->CancelChanges1->trigger();

    r->DBNavigator1->click(dbaware::NavButton::Insert);
    EXPECT_EQ(r->tblVDDB.state(), State::Insert);
    for (auto* b : boxes)
        EXPECT_EQ(b->checkState(), Qt::PartiallyChecked) << b->text().toStdString();
    EXPECT_FALSE(r->SaveToFile1->isEnabled()) << "the menu follows the navigator too";
    EXPECT_TRUE(dialogs_.shown.empty());
}

TEST_F(RealmTest, TheMenuFollowsTheRecordStateFromTheFirstKeystroke)
{
    addCharacter("G", "Aric", {{"Court_Expenditure", "4"}});
    openOn("G", "Aric");
    auto saveCancel = [&] { return std::pair{r->SaveChanges1->isEnabled(), r->CancelChanges1->isEnabled()}; };
    auto others = [&] {
        return std::vector<bool>{r->DeleteRecord1->isEnabled(), r->InsertRecord1->isEnabled(), r->SaveToFile1->isEnabled()};
    };
    EXPECT_EQ(saveCancel(), std::pair(false, false)) << "disabled since the table was opened";
    EXPECT_EQ(others(), (std::vector<bool>{true, true, true}));

    QTest::keyClick(r->dmemVassals, Qt::Key_S);
    EXPECT_EQ(r->tblVDDB.state(), State::Edit);
    EXPECT_EQ(saveCancel(), std::pair(true, true));
    EXPECT_EQ(others(), (std::vector<bool>{false, false, false}));

    r->CancelChanges1->trigger();
    EXPECT_EQ(r->tblVDDB.state(), State::Browse);
    EXPECT_TRUE(r->dmemVassals->toPlainText().isEmpty());
    EXPECT_EQ(saveCancel(), std::pair(false, false));

    r->cbBard->click();
    EXPECT_EQ(r->tblVDDB.state(), State::Edit);
    EXPECT_EQ(saveCancel(), std::pair(true, true));
    r->SaveChanges1->trigger();
    EXPECT_TRUE(r->tblVDDB.asBool("Bard"));
    EXPECT_EQ(others(), (std::vector<bool>{true, true, true}));
}

TEST_F(RealmTest, MirrorsShowTheWrittenValueAndTheFieldsWithoutAControlAreKept)
{
    addCharacter("G", "Aric",
                 {{"Court_Expenditure", "4"},
                  {"Army_info", "Two legions"},
                  {"Ship_Info", "A galley"},
                  {"Constr_Cost_This_Turn", "7"},
                  {"Law_Claim_In_Progress", "True"},
                  {"Losses_To_Law_Claims", "Tarvan"}});
    openOn("G", "Aric");
    showActive();
    EXPECT_EQ(r->dedtROCourtExpenditure->text(), "4");
    r->PageControl1->setCurrentWidget(r->tsDiplomacy);
    r->dedtCourtExpenditure->setFocus();
    r->dedtCourtExpenditure->selectAll();
    QTest::keyClicks(r->dedtCourtExpenditure, "9");
    EXPECT_EQ(r->dedtROCourtExpenditure->text(), "9") << "the mirror shows what is typed";
    EXPECT_EQ(r->tblVDDB.text("Court_Expenditure"), "4") << "not written yet";
    r->dedtPalaceValue->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(r->tblVDDB.text("Court_Expenditure"), "9");

    // The mirrors cannot be changed, and the disabled ones take no focus.
    for (dbaware::DBEdit* m : {r->dedtRODiplomacyCheck, r->dedtROAdminCheck, r->dedtROResearchCheck,
                               r->dedtROBloodlineScore, r->dedtROLeyLineMaint}) {
        EXPECT_EQ(m->access(), dbaware::DBEdit::Access::Disabled) << m->fieldName().toStdString();
        EXPECT_EQ(m->focusPolicy(), Qt::NoFocus);
    }
    EXPECT_EQ(r->dedtROCourtExpenditure->access(), dbaware::DBEdit::Access::ReadOnly);
    QTest::keyClicks(r->dedtROCourtExpenditure, "1");
    EXPECT_EQ(r->dedtROCourtExpenditure->text(), "9");

    r->SaveChanges1->trigger();
    store::Table t(context_->session);
    t.open("VDDB", "vddb.DB");
    ASSERT_TRUE(t.findKey({"G", "Aric"}));
    EXPECT_EQ(t.text("Court_Expenditure"), "9");
    EXPECT_EQ(t.text("Army_info"), "Two legions");
    EXPECT_EQ(t.text("Ship_Info"), "A galley");
    EXPECT_EQ(t.text("Constr_Cost_This_Turn"), "7");
    EXPECT_TRUE(t.asBool("Law_Claim_In_Progress"));
    EXPECT_EQ(t.text("Losses_To_Law_Claims"), "Tarvan");
}

// ---- Names and the province list ---------------------------------------------

TEST_F(RealmTest, TheListShowsExactlyTheCharactersProvincesWhateverTheNamesHold)
{
    addCharacter("North", "Aric O'Neil");
    addCharacter("North", "Aric O'Neil ");
    addCharacter("No'rth*", "Al*");
    addProvince("North", "Aric O'Neil", "Aldmoor");
    addProvince("North", "Aric O'Neil", "Tarvan");
    addProvince("North", "Aric O'Neil ", "Elsewhere");
    addProvince("No'rth*", "Al*", "Star");
    addProvince("No'rth*", "Alx", "Not mine");
    openOn("North", "Aric O'Neil");
    EXPECT_EQ(listed(), (std::vector<std::string>{"Aldmoor", "Tarvan"}));
    r->Next1->trigger();
    EXPECT_EQ(listed(), std::vector<std::string>{"Elsewhere"});
    r->First1->trigger();
    EXPECT_EQ(listed(), std::vector<std::string>{"Star"});
    EXPECT_TRUE(dialogs_.shown.empty());
}

TEST_F(RealmTest, TheListIsLeftAloneUntilTheFirstActivationAndFilteredOnEveryOneAfter)
{
    addCharacter("G", "Aric");
    addCharacter("G", "Bran");
    addProvince("G", "Aric", "a1");
    addProvince("G", "Bran", "b1");
    r->tblVDDB.refresh();
    r->tblProv.refresh();
    r->tblVDDB.last();
    type(r->dedtCharName, "Brand");
    EXPECT_FALSE(r->tblProv.filtered()) << "not before the window was first shown";

    r->tblVDDB.cancel();
    activate(r);
    EXPECT_EQ(listed(), std::vector<std::string>{"b1"});
    EXPECT_EQ(r->focusWidget(), r->dedtGameName);
    EXPECT_TRUE(r->dbgProvinces->isEnabled());

    // Names typed but not yet taken over leave the list as it is.
    type(r->dedtCharName, "Aric");
    EXPECT_EQ(listed(), std::vector<std::string>{"b1"});
    r->CancelChanges1->trigger();
    r->tblVDDB.first();  // another cursor's move: the list follows now
    EXPECT_EQ(listed(), std::vector<std::string>{"a1"});

    // Coming back from the About box or the province window filters again.
    r->tblProv.setFiltered(false);
    activate(AboutBox);
    activate(r);
    EXPECT_EQ(listed(), std::vector<std::string>{"a1"});
}

TEST_F(RealmTest, LeavingANameBoxSavesThePendingRecordOnceBothNamesAreThere)
{
    addCharacter("G", "Aric");
    openOn("G", "Aric");
    showActive();
    r->InsertRecord1->trigger();
    EXPECT_FALSE(r->dbgProvinces->isEnabled());
    r->dedtGameName->setFocus(Qt::MouseFocusReason);
    QTest::keyClicks(r->dedtGameName, "H");
    r->dedtCharName->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(r->tblVDDB.state(), State::Insert) << "one name is not enough";
    EXPECT_FALSE(r->dbgProvinces->isEnabled());
    QTest::keyClicks(r->dedtCharName, "Hal");
    r->dedtDomainName->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(r->tblVDDB.state(), State::Browse);
    EXPECT_TRUE(r->dbgProvinces->isEnabled());
    EXPECT_EQ(characters(), (std::vector<std::string>{"G/Aric", "H/Hal"}));
    EXPECT_TRUE(dialogs_.shown.empty());
}

TEST_F(RealmTest, ANewProvinceRowTakesTheNameBoxTextsBeforeTheyAreSaved)
{
    addCharacter("G", "Aric");
    addProvince("G", "Aric", "a1");
    openOn("G", "Aric");
    showActive();
    r->PageControl1->setCurrentWidget(r->tsProvinces);
    r->dbgProvinces->setFocus();
    QApplication::processEvents();  // the grid takes up the filtered list
    type(r->dedtGameName, "G2");  // typed, not saved: the box never had the focus
    ASSERT_EQ(r->tblVDDB.state(), State::Edit);
    QTest::keyClick(r->dbgProvinces, Qt::Key_Down);
    ASSERT_EQ(r->tblProv.state(), State::Insert);
    EXPECT_EQ(r->tblProv.text("Game_Name"), "G2");
    EXPECT_EQ(r->tblProv.text("Character_Name"), "Aric");
    EXPECT_EQ(r->tblVDDB.text("Game_Name"), "G");
    EXPECT_TRUE(r->dbgProvinces->hasFocus());

    r->tblProv.setText("Province_Name", "new");
    // No character has those names yet: the file takes no province of none.
    EXPECT_THROW(r->tblProv.post(), store::StoreError);
    EXPECT_TRUE(provincesOf("G2", "Aric").empty());
}

TEST_F(RealmTest, DoubleClickOpensTheProvinceWindowOnTheClickedRow)
{
    addCharacter("G", "Aric");
    for (auto p : {"a1", "a2", "a3"})
        addProvince("G", "Aric", p);
    openOn("G", "Aric");
    r->show();
    frmProvince->PageControl1->setCurrentIndex(frmProvince->PageControl1->count() - 1);
    r->tblProv.next();
    // An unsaved change on the clicked row: it is saved and still opens.
    r->tblProv.edit();
    r->tblProv.setText("Province_Name", "a2 changed");
    type(r->dedtDomainName, "pending");
    modal_.action = [&](QWidget& w) {
        EXPECT_EQ(&w, frmProvince);
        EXPECT_EQ(frmProvince->tblProv.text("Province_Name"), "a2 changed");
        EXPECT_EQ(frmProvince->PageControl1->currentWidget(), frmProvince->tsGeneral);
        EXPECT_TRUE(r->isMinimized());
        EXPECT_EQ(r->tblVDDB.state(), State::Browse);
        EXPECT_EQ(r->tblVDDB.text("Domain_Name"), "pending");
        // The province window changes the province meanwhile.
        frmProvince->tblProv.edit();
        frmProvince->tblProv.setText("Province_Name", "a2 again");
        frmProvince->tblProv.post();
    };
    emit r->dbgProvinces->dblClick();
    ASSERT_EQ(modal_.shown.size(), 1u);
    EXPECT_FALSE(r->isMinimized());
    EXPECT_EQ(listed(), (std::vector<std::string>{"a1", "a2 again", "a3"}));
    EXPECT_EQ(r->tblProv.text("Province_Name"), "a1");
    EXPECT_TRUE(dialogs_.shown.empty());
    // Enter opens it from the keyboard.
    modal_.action = [&](QWidget& w) { EXPECT_EQ(frmProvince->tblProv.text("Province_Name"), "a1") << &w; };
    r->PageControl1->setCurrentWidget(r->tsProvinces);
    QApplication::processEvents();  // the list read again, on its page
    QTest::keyClick(r->dbgProvinces, Qt::Key_Return);
    EXPECT_EQ(modal_.shown.size(), 2u);
}

TEST_F(RealmTest, CtrlTabTurnsThePagesFromTheNameBoxesToo)
{
    addCharacter("G", "Aric");
    openOn("G", "Aric");
    showActive();
    r->dedtGameName->setFocus();
    QTest::keyClick(r->dedtGameName, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(r->PageControl1->currentWidget(), r->tsDiplomacy);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(r->PageControl1->currentWidget(), r->tsMisc) << "round to the last page";
}

TEST_F(RealmTest, DoubleClickOnAnEmptyListDoesNothing)
{
    addCharacter("G", "Aric");
    addProvince("G", "Bran", "b1");
    openOn("G", "Aric");
    emit r->dbgProvinces->dblClick();
    EXPECT_TRUE(modal_.shown.empty());
    EXPECT_TRUE(dialogs_.shown.empty());
    EXPECT_FALSE(r->isMinimized());
}

// Bran's two provinces on the Provinces page, the window active.
class ProvincePageTest : public RealmTest {
protected:
    void SetUp() override
    {
        RealmTest::SetUp();
        addCharacter("G", "Aric");
        addCharacter("G", "Bran");
        for (auto p : {"b1", "b2"})
            addProvince("G", "Bran", p);
        openOn("G", "Bran");
        showActive();
        r->PageControl1->setCurrentWidget(r->tsProvinces);
        QApplication::processEvents();
    }
};

TEST_F(ProvincePageTest, TheProvinceGridsKeysAndDoubleClickHoldInAnOpenCellEditor)
{
    QWidget* grid = r->dbgProvinces;
    auto editor = [&] { return grid->isAncestorOf(QApplication::focusWidget()) ? QApplication::focusWidget() : nullptr; };
    // A click on the current cell opens its editor a moment later.
    const QPoint cell = r->dbgProvinces->visualRect(r->dbgProvinces->model()->index(0, 0)).center();
    QTest::mouseClick(r->dbgProvinces->viewport(), Qt::LeftButton, {}, cell);
    QTest::qWait(QApplication::doubleClickInterval() + 100);
    ASSERT_NE(editor(), nullptr);
    dialogs_.answer(Answer::Cancel);
    QTest::keyClick(editor(), Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(dialogs_.texts(), QStringList{"Delete record?"});
    EXPECT_EQ(r->tblProv.state(), State::Browse);

    // F2 edits the cell, in the grid and in its editor; Database > First does not run.
    QTest::keyClick(grid, Qt::Key_F2);
    ASSERT_NE(editor(), nullptr);
    QTest::keyClick(editor(), Qt::Key_F2);
    EXPECT_EQ(r->tblVDDB.text("Character_Name"), "Bran");
    QTest::keyClick(editor(), Qt::Key_End);
    QTest::keyClicks(editor(), "x");
    QTest::mouseDClick(editor(), Qt::LeftButton);
    ASSERT_EQ(modal_.shown.size(), 1u);
    EXPECT_EQ(frmProvince->tblProv.text("Province_Name"), "b1x");
}

TEST_F(ProvincePageTest, AProvinceRowIsStoredOnlyWithItsNameAndTheListStaysOnIt)
{
    auto* grid = r->dbgProvinces;
    const std::vector<std::string> stored{"b1", "b2"};
    auto typeInCell = [&](const char* text) {  // the first key opens the editor
        QTest::keyClick(grid, text[0]);
        QTest::keyClicks(QApplication::focusWidget(), text + 1);
    };
    // A function key drops a new row nothing was typed into.
    QTest::mouseClick(r->btnAddProvince, Qt::LeftButton);
    QTest::keyClick(grid, Qt::Key_F5);
    EXPECT_EQ(provincesOf("G", "Bran"), stored);
    EXPECT_EQ(r->tblProv.state(), State::Browse);

    // One with no name is refused before the character moves, the focus in its name.
    QTest::mouseClick(r->btnAddProvince, Qt::LeftButton);
    QTest::keyClick(grid, Qt::Key_Right);
    typeInCell("Hills");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F3);
    QApplication::processEvents();
    EXPECT_EQ(dialogs_.texts(), QStringList{"Province Name Must Be Entered"});
    EXPECT_EQ(r->tblVDDB.text("Character_Name"), "Bran");
    EXPECT_EQ(r->tblProv.state(), State::Insert);
    EXPECT_EQ(provincesOf("G", "Bran"), stored);
    EXPECT_TRUE(grid->hasFocus());
    EXPECT_EQ(grid->currentIndex().column(), 0);

    // With its name it is stored, and the list stays on it.
    typeInCell("b3");
    type(r->dedtDomainName, "d");  // for Save Changes
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F8);
    EXPECT_EQ(provincesOf("G", "Bran"), (std::vector<std::string>{"b1", "b2", "b3"}));
    EXPECT_EQ(r->tblProv.text("Province_Name"), "b3");
    EXPECT_EQ(grid->currentIndex().row(), 2);
}

// ---- Keyboard, menu and status bar -----------------------------------------------

TEST_F(RealmTest, KeyboardTabOrderAccessKeyAndHelp)
{
    EXPECT_EQ(nextTabStop(r->dedtGameName), r->dedtCharName);
    EXPECT_EQ(nextTabStop(r->dedtCharName), r->btnClose);
    // On through the pages in reading order, past the grey boxes.
    EXPECT_EQ(nextTabStop(r->dedtBloodlineDerivation), r->dedtBloodlineStr);
    EXPECT_EQ(nextTabStop(r->dedtBloodlineScore), r->cbWarrior);
    EXPECT_EQ(nextTabStop(r->dedtPalaceValue), r->dedtCourtExpenditure);
    EXPECT_EQ(nextTabStop(r->dedtFortMaint), r->dedtArmyMaint);
    EXPECT_EQ(nextTabStop(r->dedtTempleGB), r->dedtLawIncome);
    EXPECT_EQ(r->btnClose->shortcut(), QKeySequence(QStringLiteral("Alt+C")));
    // Grey boxes are skipped by Tab.
    for (dbaware::DBEdit* e : {r->edtContrib, r->edtCourtValue, r->edtDipTotalMod, r->edtPalaceMaint, r->edtMaintTotal,
                               r->edtLandRP, r->edtSeaRP, r->edtTRIncome, r->edtTotalRP, r->edtTotalGB}) {
        EXPECT_EQ(e->focusPolicy(), Qt::ClickFocus);
        EXPECT_TRUE(e->isReadOnly());
        EXPECT_TRUE(e->dataSource() == nullptr);
    }

    for (QWidget* w : std::initializer_list<QWidget*>{r->dmemMisc, r->cbThief, r->dbgProvinces}) {
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_F1, Qt::NoModifier);
        QApplication::sendEvent(w, &release);
    }
    ASSERT_EQ(helpCalls_.size(), 3u);
    EXPECT_EQ(helpCalls_[0].first, "vddb.hlp");
    EXPECT_EQ(helpCalls_[0].second, 3u);
    r->Help2->trigger();
    EXPECT_EQ(helpCalls_.size(), 4u);
}

// The form names its columns as plain strings: each must be a column of the
// character table, spelt as stored, and every column but those the window
// never shows has a box. Six boxes mirror a column shown on another page.
TEST_F(RealmTest, EveryBoxOfTheFormShowsAStoredColumnOfTheCharacter)
{
    const store::TableLayout& layout = r->tblVDDB.layout();
    const std::vector<dbaware::Binding> bound = dbaware::boundFields(*r);
    EXPECT_EQ(bound.size(), 63u);
    std::set<std::string> shown;
    for (const dbaware::Binding& b : bound) {
        const std::string field = b.field.toStdString();
        const int c = layout.columnIndex(field);
        ASSERT_GE(c, 0) << field;
        EXPECT_EQ(layout.columns[static_cast<std::size_t>(c)].name, field);
        shown.insert(field);
        dbaware::DataSource* source = nullptr;
        if (auto* e = qobject_cast<dbaware::DBEdit*>(b.control))
            source = e->dataSource();
        else if (auto* m = qobject_cast<dbaware::DBMemo*>(b.control))
            source = m->dataSource();
        else if (auto* x = qobject_cast<dbaware::DBCheckBox*>(b.control))
            source = x->dataSource();
        EXPECT_EQ(source, &r->dsVDDB) << field;
    }
    std::set<std::string> unshown;
    for (const store::Column& column : layout.columns)
        if (!shown.count(column.name))
            unshown.insert(column.name);
    EXPECT_EQ(unshown, (std::set<std::string>{"Army_info", "Ship_Info", "Constr_Cost_This_Turn", "Law_Claim_In_Progress",
                                              "Losses_To_Law_Claims"}));
    EXPECT_EQ(r->dbgProvinces->dataSource(), &r->dsProv);
}

TEST_F(RealmTest, TheUsersPageChangeClearsTheStatusText)
{
    addCharacter("G", "Aric");
    openOn("G", "Aric");
    dialogs_.answer(Answer::No);
    r->DeleteRecord1->trigger();
    ASSERT_EQ(r->StatusBar1->text(), "Delete operation canceled");
    r->PageControl1->setCurrentWidget(r->tsMisc);  // the browser does so while the window is hidden
    EXPECT_EQ(r->StatusBar1->text(), "Delete operation canceled");
    r->show();
    r->PageControl1->setCurrentWidget(r->tsIncome);
    EXPECT_TRUE(r->StatusBar1->text().isEmpty());
}

TEST_F(RealmTest, OnlyTheProgramsWindowsCountAsAReturnToTheWindow)
{
    addCharacter("G", "Aric");
    openOn("G", "Aric");
    // A message box asked for the character name and put the focus there.
    r->dedtCharName->setFocus();
    QMessageBox box;
    activate(&box);
    activate(r);
    EXPECT_EQ(r->focusWidget(), r->dedtCharName);
    app::HelpWindow help;
    activate(&help);
    activate(r);
    EXPECT_EQ(r->focusWidget(), r->dedtCharName);

    activate(frmProvince);  // the province window closes
    activate(r);
    EXPECT_EQ(r->focusWidget(), r->dedtGameName);
}

// ---- A record changes only when the user means it ------------------------------

TEST_F(RealmTest, TurningPagesAndWindowsComingAndGoingNeitherSaveNorWrite)
{
    addCharacter("G", "Aric", {{"Domain_Name", "Old"}, {"Administration_Check", "3"}});
    openOn("G", "Aric");
    showActive();
    QTabBar* tabs = r->PageControl1->tabBar();
    r->dedtDomainName->setFocus(Qt::MouseFocusReason);
    type(r->dedtDomainName, "New");
    // A click on another page's tab: the box is hidden and Qt hands its focus
    // on along the chain, through Game Name.
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(r->PageControl1->indexOf(r->tsDiplomacy)).center());
    ASSERT_EQ(r->PageControl1->currentWidget(), r->tsDiplomacy);
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(0).center());
    r->dedtAdminCheck->setFocus(Qt::MouseFocusReason);
    type(r->dedtAdminCheck, "-");  // not a number yet: writing it would fail
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
    ASSERT_EQ(r->PageControl1->currentWidget(), r->tsDiplomacy);
    r->showMinimized();
    r->showNormal();
    dbaware::showMessage(r, QStringLiteral("A box comes and goes"));
    EXPECT_EQ(r->tblVDDB.state(), State::Edit) << "nothing was posted";
    EXPECT_EQ(dialogs_.texts(), QStringList{"A box comes and goes"}) << "no field written: no conversion error";

    QTest::keyClick(r, Qt::Key_F9);  // Cancel Changes undoes every edit
    EXPECT_EQ(r->tblVDDB.state(), State::Browse);
    EXPECT_EQ(r->dedtDomainName->text(), "Old");
    EXPECT_EQ(r->dedtAdminCheck->text(), "3");
    EXPECT_EQ(characters(), std::vector<std::string>{"G/Aric"});
}

TEST_F(RealmTest, DeletingARecordWithARefusedRenameDeletesTheStoredRecordAndItsOwnProvinces)
{
    addCharacter("G", "Aric");
    addCharacter("G", "Bran");
    addProvince("G", "Aric", "a1");
    addProvince("G", "Bran", "b1");
    openOn("G", "Aric");
    showActive();
    r->dedtCharName->setFocus(Qt::MouseFocusReason);
    type(r->dedtCharName, "Bran");
    QTest::keyClick(r->dedtCharName, Qt::Key_Tab);
    ASSERT_EQ(dialogs_.texts(), QStringList{"Key violation."});
    ASSERT_EQ(r->tblVDDB.state(), State::Edit);

    QTest::mouseClick(r->DBNavigator1->button(dbaware::NavButton::Delete), Qt::LeftButton);
    EXPECT_EQ(characters(), std::vector<std::string>{"G/Bran"});
    EXPECT_TRUE(provincesOf("G", "Aric").empty());
    EXPECT_EQ(provincesOf("G", "Bran"), std::vector<std::string>{"b1"});
}

TEST_F(RealmTest, ANewRecordWithoutNamesClosesWhateverItsNumberBoxesHold)
{
    r->tblVDDB.refresh();
    activate(r);
    showActive();
    r->InsertRecord1->trigger();
    r->dedtAdminCheck->setFocus(Qt::MouseFocusReason);
    QTest::keyClicks(r->dedtAdminCheck, "-");
    EXPECT_TRUE(r->close());
    EXPECT_TRUE(characters().empty());
    EXPECT_TRUE(dialogs_.shown.empty());
}

TEST_F(RealmTest, RenamingACharacterTakesItsProvincesAlongUnlessThePostIsRefused)
{
    addCharacter("G", "Aric");
    addCharacter("G", "Bran");
    addProvince("G", "Aric", "a1");
    addProvince("G", "Aric", "a2");
    addProvince("G", "Aricx", "other");
    openOn("G", "Aric");
    showActive();
    r->dedtCharName->setFocus(Qt::MouseFocusReason);
    type(r->dedtCharName, "Aldo");
    QTest::keyClick(r->dedtCharName, Qt::Key_Tab);
    EXPECT_EQ(characters(), (std::vector<std::string>{"G/Aldo", "G/Bran"}));
    EXPECT_EQ(provincesOf("G", "Aldo"), (std::vector<std::string>{"a1", "a2"}));
    EXPECT_EQ(provincesOf("G", "Aricx"), std::vector<std::string>{"other"});
    EXPECT_EQ(listed(), (std::vector<std::string>{"a1", "a2"})) << "the list follows the provinces";

    r->dedtGameName->setFocus(Qt::MouseFocusReason);
    type(r->dedtGameName, "G");
    r->dedtCharName->setFocus(Qt::MouseFocusReason);
    type(r->dedtCharName, "Bran");
    QTest::keyClick(r->dedtCharName, Qt::Key_Tab);
    EXPECT_EQ(dialogs_.texts(), QStringList{"Key violation."});
    EXPECT_EQ(provincesOf("G", "Aldo"), (std::vector<std::string>{"a1", "a2"})) << "a refused post moves nothing";
    EXPECT_TRUE(provincesOf("G", "Bran").empty());
}
