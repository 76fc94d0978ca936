// Escape closes the realm window and those it opens through their close
// checks, Add Province, and a sign typed before its digits.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include "app/about.h"
#include "app/help.h"
#include "app/shell_fixture.h"
#include "dbaware/dbgrid.h"
#include "support/gui_helpers.h"

using dbaware::Answer;
using store::State;
using testing_support::ShellTest;
using testing_support::type;

class DesktopTest : public ShellTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(startUp());
        r = frmRealmDetails;
        addCharacter("G", "Aric", {{"Domain_Name", "Old"}, {"Palace_Value", "12"}});
    }
    void showActive(QWidget* w)
    {
        w->show();
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    }
    static void escape() { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape); }
    std::string shown() const { return dialogs_.texts().join("|").toStdString(); }

    TfrmRealmDetails* r = nullptr;
    testing_support::ScriptedModal modal_;
};

TEST_F(DesktopTest, EscapeUndoesTheTypingFirstThenClosesTheRealmWindowThroughItsChecks)
{
    openOn("G", "Aric");
    showActive(r);
    r->dedtDomainName->setFocus();
    type(r->dedtDomainName, "Typed");
    escape();  // the box's typing only
    EXPECT_EQ(r->dedtDomainName->text(), "Old");

    r->dedtCharName->setFocus();
    type(r->dedtCharName, "");
    QTest::keyClick(r->dedtCharName, Qt::Key_Tab);
    escape();
    EXPECT_TRUE(r->isVisible());
    EXPECT_EQ(shown(), "Character Name Must Be Entered");

    type(r->dedtCharName, "Aric");
    r->dedtDomainName->setFocus();
    type(r->dedtDomainName, "New");
    QTest::keyClick(r->dedtDomainName, Qt::Key_Tab);
    dialogs_.answer(Answer::Cancel);
    escape();  // a pending record is saved only on the user's Yes
    EXPECT_TRUE(r->isVisible() && r->tblVDDB.editing());
    escape();
    EXPECT_EQ(shown(), "Character Name Must Be Entered|Save changes before closing?|Save changes before closing?");
    EXPECT_FALSE(r->isVisible());
    EXPECT_EQ(r->tblVDDB.state(), State::Browse);
    EXPECT_EQ(r->tblVDDB.text("Domain_Name"), "New");
}

TEST_F(DesktopTest, EscapeInTheProvinceGridCancelsTheCellBeforeItCloses)
{
    addProvince("G", "Aric", "a1");
    openOn("G", "Aric");
    showActive(r);
    r->PageControl1->setCurrentWidget(r->tsProvinces);
    r->dbgProvinces->setFocus();
    QTest::keyClick(r->dbgProvinces, Qt::Key_F2);
    QTest::keyClicks(QApplication::focusWidget(), "zz");
    escape();
    EXPECT_EQ(QApplication::focusWidget(), r->dbgProvinces) << "the cell closed, the window stays";
    EXPECT_TRUE(r->isVisible());
    if (r->tblProv.editing())
        escape();  // the row
    escape();
    EXPECT_FALSE(r->isVisible());
    EXPECT_EQ(provincesOf("G", "Aric"), std::vector<std::string>{"a1"});
}

// The province grid on a page not shown follows the realm only once the page
// shows again; what was typed before leaving it is kept.
TEST_F(DesktopTest, TypingInTheProvinceGridThenPagingAndMovingOnKeepsBoth)
{
    addCharacter("G", "Bran");
    addProvince("G", "Aric", "a1");
    addProvince("G", "Bran", "b1");
    addProvince("G", "Bran", "b2");
    openOn("G", "Aric");
    showActive(r);
    r->PageControl1->setCurrentWidget(r->tsProvinces);
    r->dbgProvinces->setFocus();
    QTest::keyClick(r->dbgProvinces, 'q');  // typing opens the name cell
    QTest::keyClicks(QApplication::focusWidget(), "rst");
    r->PageControl1->setCurrentWidget(r->tsGeneralInfo);
    r->Next1Click();
    ASSERT_EQ(r->tblVDDB.text("Character_Name"), "Bran");
    r->PageControl1->setCurrentWidget(r->tsProvinces);
    QApplication::processEvents();
    const QAbstractItemModel* m = r->dbgProvinces->model();
    ASSERT_EQ(m->rowCount(), 2);
    EXPECT_EQ(m->index(0, 0).data().toString(), "b1");
    EXPECT_EQ(m->index(1, 0).data().toString(), "b2");
    EXPECT_EQ(r->dbgProvinces->currentIndex().row(), 0);
    EXPECT_EQ(provincesOf("G", "Aric"), std::vector<std::string>{"qrst"});
}

TEST_F(DesktopTest, EscapeClosesTheProvinceTransferAndHelpWindowsThroughTheirChecks)
{
    addProvince("G", "Aric", "a1");
    addProvince("G", "", "nameless");
    app::HelpWindow help;
    const std::tuple<QWidget*, std::string, bool> cases[] = {
        {frmProvince, "nameless", false}, {frmProvince, "a1", true}, {frmTransfer, "", true}, {&help, "", true}};
    for (const auto& [window, province, closes] : cases) {
        dialogs_.shown.clear();
        for (frmProvince->tblProv.first(); frmProvince->tblProv.text("Province_Name") != province &&
                                           !frmProvince->tblProv.eof();)
            frmProvince->tblProv.next();
        showActive(window);
        escape();
        EXPECT_EQ(window->isVisible(), !closes) << province;
        EXPECT_EQ(shown(), closes ? "" : "Character Name Must Be Entered");
        window->hide();
    }
    frmProvince->tblProv.last();
    showActive(frmProvince);
    type(frmProvince->dedtProvOwner, "x");
    dialogs_.answer(Answer::No);
    escape();
    EXPECT_FALSE(frmProvince->isVisible() || frmProvince->tblProv.editing());
    EXPECT_EQ(frmProvince->tblProv.text("Province_Owner"), "");
}

TEST_F(DesktopTest, ABoxComingAndGoingOverATypedCellNeitherSavesNorMovesTheRow)
{
    addProvince("G", "Aric", "a1");
    addProvince("G", "Aric", "a2");
    openOn("G", "Aric");
    showActive(r);
    r->PageControl1->setCurrentWidget(r->tsProvinces);
    QTest::keyClick(r->dbgProvinces, Qt::Key_Down);
    QMessageBox box;
    for (QWidget* over : {static_cast<QWidget*>(AboutBox), static_cast<QWidget*>(&box)}) {
        QTest::keyClick(r->dbgProvinces, 'x');  // typing opens the name cell
        showActive(over);
        over->hide();
        showActive(r);
        EXPECT_EQ(r->tblProv.state(), State::Edit);
        EXPECT_EQ(r->dbgProvinces->currentIndex().row(), 1);
    }
    EXPECT_EQ(provincesOf("G", "Aric"), (std::vector<std::string>{"a1", "a2"}));
}

TEST_F(DesktopTest, AMoveRefusesANewRecordWithBothNamesBlank)
{
    openOn("G", "Aric");
    showActive(r);
    for (Qt::Key key : {Qt::Key_F6, Qt::Key_F4, Qt::Key_F5, Qt::Key_F3, Qt::Key_F2})
        QTest::keyClick(r->dedtDomainName, key);
    EXPECT_EQ(QApplication::focusWidget(), r->dedtCharName);
    EXPECT_EQ(dialogs_.texts(), QStringList(4, "Character Name Must Be Entered"));
    EXPECT_EQ(characters(), std::vector<std::string>{"G/Aric"});
}

TEST_F(DesktopTest, AddProvinceAppendsARowWithTheCursorInItsNameWhileTheGridIsEnabled)
{
    openOn("G", "Aric");
    showActive(r);
    r->PageControl1->setCurrentWidget(r->tsProvinces);
    for (const char* name : {"first", "second"}) {  // into an empty list, then after a row
        r->btnAddProvince->click();
        ASSERT_EQ(r->tblProv.state(), State::Insert);
        EXPECT_EQ(r->dbgProvinces->currentIndex(), r->dbgProvinces->model()->index(r->dbgProvinces->model()->rowCount() - 1, 0));
        QTest::keyClick(r->dbgProvinces, name[0]);  // typing opens the name cell
        QTest::keyClicks(QApplication::focusWidget(), name + 1);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        r->tblProv.post();
    }
    EXPECT_EQ(provincesOf("G", "Aric"), (std::vector<std::string>{"first", "second"}));
    r->InsertRecord1->trigger();  // no names: no province list
    EXPECT_FALSE(r->btnAddProvince->isEnabled());
    r->CancelChanges1->trigger();
    r->FormActivate();
    EXPECT_TRUE(r->btnAddProvince->isEnabled());
}

TEST_F(DesktopTest, ASignAloneIsToldOncePerChangeAndTheFiguresWait)
{
    openOn("G", "Aric");
    showActive(r);
    r->PageControl1->setCurrentWidget(r->tsDiplomacy);
    r->dedtPalaceValue->setFocus();
    for (const char* sign : {"-", "+", " - ", "+ "}) {
        dialogs_.shown.clear();
        r->dedtPalaceValue->setText(sign);
        EXPECT_EQ(r->edtContrib->text() + r->edtPalaceMaint->text(), "21") << sign;
        EXPECT_EQ(shown(), "'" + std::string(sign) + "' is not a valid integer value.") << sign;
    }
    dialogs_.shown.clear();
    type(r->dedtPalaceValue, "-12");
    EXPECT_EQ(r->edtContrib->text() + r->edtPalaceMaint->text(), "-20");
    EXPECT_EQ(shown(), "'-' is not a valid integer value.");  // right after the sign, not after its digits
    dialogs_.shown.clear();
    r->dedtPalaceValue->setText("5-");
    EXPECT_EQ(shown(), "'5-' is not a valid integer value.");
    EXPECT_EQ(dialogs_.shown[0].icon, dbaware::Icon::Error);

    // Left with the sign alone, the box is not written: said, and kept.
    type(r->dedtPalaceValue, "-");
    dialogs_.shown.clear();
    QTest::keyClick(r->dedtPalaceValue, Qt::Key_Tab);
    EXPECT_EQ(shown(), "'-' is not a valid integer value for field 'Palace_Value'");
    EXPECT_EQ(QApplication::focusWidget(), r->dedtPalaceValue);
}
