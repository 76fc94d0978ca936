// What a desktop user expects of the realm window and the windows it opens:
// Escape closes them through their close checks, a button adds a province,
// and a sign typed before its digits is no error.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include "app/help.h"
#include "app/shell_fixture.h"
#include "dbaware/dbedit.h"
#include "dbaware/dbgrid.h"
#include "province/vdprovince.h"
#include "realm/vddetails.h"
#include "support/gui_helpers.h"
#include "transfer/transfer.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

using store::State;
using testing_support::ScriptedModal;
using testing_support::ShellTest;
using testing_support::type;

namespace {

void escape() { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape); }

void showActive(QWidget* w)
{
    w->show();
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
}

}  // namespace

class DesktopTest : public ShellTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(startUp());
        r = frmRealmDetails;
    }
    // The boxes shown so far, one text.
    std::string shown() const { return dialogs_.texts().join("|").toStdString(); }

    TfrmRealmDetails* r = nullptr;
    ScriptedModal modal_;
};

TEST_F(DesktopTest, EscapeFirstUndoesTheTypingThenClosesTheRealmWindowThroughItsChecks)
{
    addCharacter("G", "Aric", {{"Domain_Name", "Old"}});
    openOn("G", "Aric");
    showActive(r);

    // Typing in a box: the first Escape takes back that box's text only.
    r->dedtDomainName->setFocus();
    type(r->dedtDomainName, "Typed");
    escape();
    EXPECT_EQ(r->dedtDomainName->text(), "Old");
    EXPECT_TRUE(r->isVisible());

    // A blank character name: Escape runs the close checks and stays.
    r->dedtCharName->setFocus();
    type(r->dedtCharName, "");
    QTest::keyClick(r->dedtCharName, Qt::Key_Tab);
    escape();
    EXPECT_TRUE(r->isVisible());
    EXPECT_EQ(shown(), "Character Name Must Be Entered");

    // Written boxes of a pending record: Escape closes as Close does, saving.
    type(r->dedtCharName, "Aric");
    r->dedtDomainName->setFocus();
    type(r->dedtDomainName, "New");
    QTest::keyClick(r->dedtDomainName, Qt::Key_Tab);
    ASSERT_EQ(r->tblVDDB.state(), State::Edit);
    escape();
    EXPECT_FALSE(r->isVisible());
    EXPECT_EQ(r->tblVDDB.state(), State::Browse);
    EXPECT_EQ(r->tblVDDB.text("Domain_Name"), "New");
    EXPECT_EQ(dialogs_.shown.size(), 1u);
}

TEST_F(DesktopTest, EscapeInTheProvinceGridCancelsTheCellAndTheRowBeforeItCloses)
{
    addCharacter("G", "Aric");
    addProvince("G", "Aric", "a1");
    openOn("G", "Aric");
    showActive(r);
    r->PageControl1->setCurrentWidget(r->tsProvinces);
    r->dbgProvinces->setFocus();
    QApplication::processEvents();
    QTest::keyClick(r->dbgProvinces, Qt::Key_F2);  // the name cell opens for typing
    QTest::keyClicks(QApplication::focusWidget(), "zz");
    ASSERT_NE(QApplication::focusWidget(), r->dbgProvinces) << "a cell editor is open";

    escape();  // the cell
    EXPECT_EQ(QApplication::focusWidget(), r->dbgProvinces);
    EXPECT_TRUE(r->isVisible());
    if (r->tblProv.editing()) {
        escape();  // the row
        EXPECT_EQ(r->tblProv.state(), State::Browse);
        EXPECT_TRUE(r->isVisible());
    }
    escape();
    EXPECT_FALSE(r->isVisible());
    EXPECT_EQ(provincesOf("G", "Aric"), std::vector<std::string>{"a1"});
}

TEST_F(DesktopTest, EscapeClosesTheProvinceTransferAndHelpWindowsThroughTheirChecks)
{
    addCharacter("G", "Aric");
    addProvince("G", "Aric", "a1");
    addProvince("G", "", "nameless");
    app::HelpWindow help;
    struct Case {
        QWidget* window;
        const char* province;  // where the province window stands
        bool closes;
    } cases[] = {{frmProvince, "nameless", false}, {frmProvince, "a1", true}, {frmTransfer, "", true},
                 {&help, "", true}};
    for (const Case& c : cases) {
        dialogs_.shown.clear();
        if (c.window == frmProvince) {
            frmProvince->tblProv.first();
            while (frmProvince->tblProv.text("Province_Name") != c.province && !frmProvince->tblProv.eof())
                frmProvince->tblProv.next();
        }
        showActive(c.window);
        escape();
        EXPECT_EQ(c.window->isVisible(), !c.closes) << c.province;
        EXPECT_EQ(shown(), c.closes ? "" : "Character Name Must Be Entered");
        c.window->hide();
    }
}

TEST_F(DesktopTest, AddProvinceAppendsARowWithTheCursorInItsNameAndFollowsTheGrid)
{
    addCharacter("G", "Aric");
    openOn("G", "Aric");
    showActive(r);
    r->PageControl1->setCurrentWidget(r->tsProvinces);
    QApplication::processEvents();

    for (const char* name : {"first", "second"}) {  // into an empty list, then after a row
        ASSERT_TRUE(r->btnAddProvince->isEnabled());
        r->btnAddProvince->click();
        ASSERT_EQ(r->tblProv.state(), State::Insert) << name;
        const int newRow = r->dbgProvinces->gridModel()->rowCount() - 1;
        EXPECT_EQ(r->dbgProvinces->currentIndex().row(), newRow);
        EXPECT_EQ(r->dbgProvinces->currentIndex().column(), 0);
        EXPECT_TRUE(r->dbgProvinces->hasFocus());
        QTest::keyClick(r->dbgProvinces, name[0]);  // typing opens the name cell
        QTest::keyClicks(QApplication::focusWidget(), name + 1);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        r->tblProv.post();
    }
    EXPECT_EQ(provincesOf("G", "Aric"), (std::vector<std::string>{"first", "second"}));

    r->InsertRecord1->trigger();  // no names yet: no province list, no button
    EXPECT_FALSE(r->dbgProvinces->isEnabled());
    EXPECT_FALSE(r->btnAddProvince->isEnabled());
    r->CancelChanges1->trigger();
    r->FormActivate();
    EXPECT_TRUE(r->dbgProvinces->isEnabled());
    EXPECT_TRUE(r->btnAddProvince->isEnabled());
}

TEST_F(DesktopTest, ASignAloneIsANumberNotYetTypedAndTheFiguresWait)
{
    addCharacter("G", "Aric", {{"Palace_Value", "12"}});
    openOn("G", "Aric");
    showActive(r);
    r->PageControl1->setCurrentWidget(r->tsDiplomacy);
    r->dedtPalaceValue->setFocus();
    for (const char* sign : {"-", "+", " - ", "+ "}) {
        r->dedtPalaceValue->setText(sign);
        EXPECT_EQ(r->edtContrib->text(), "2") << sign;
        EXPECT_EQ(r->edtPalaceMaint->text(), "1") << sign;
    }
    EXPECT_EQ(shown(), "");
    type(r->dedtPalaceValue, "-12");
    EXPECT_EQ(r->edtContrib->text(), "-2");
    EXPECT_EQ(r->edtPalaceMaint->text(), "0");
    r->dedtPalaceValue->setText("5-");  // any other bad text is still told
    EXPECT_EQ(shown(), "'5-' is not a valid integer value.");
    EXPECT_EQ(dialogs_.shown.front().icon, dbaware::Icon::Error);
    EXPECT_EQ(dialogs_.shown.front().caption, "Valdane Campaign Database");

    // Left with the sign alone, the box cannot be written: it says so and
    // keeps the focus, as for any text that is no number.
    dialogs_.shown.clear();
    type(r->dedtPalaceValue, "-");
    QTest::keyClick(r->dedtPalaceValue, Qt::Key_Tab);
    EXPECT_EQ(shown(), "'-' is not a valid integer value for field 'Palace_Value'");
    EXPECT_EQ(QApplication::focusWidget(), r->dedtPalaceValue);
}
