// The realm window's derived figures, driven as a user drives them: typing
// into the boxes, pasting, clicking the check boxes and moving between
// records.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include "app/shell_fixture.h"
#include "dbaware/dbcheckbox.h"
#include "dbaware/dbedit.h"
#include "dbaware/dbmemo.h"
#include "dbaware/dbnavigator.h"
#include "realm/vddetails.h"
#include "support/gui_helpers.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

using testing_support::ScriptedModal;
using testing_support::ShellTest;

using testing_support::activate;
using testing_support::type;
using testing_support::Fields;

namespace {

// Pasted over the box's text with Ctrl+V: the only way to get characters
// that the keys refuse (blanks, "$") into a number box.
void paste(QLineEdit* e, const QString& text)
{
    QApplication::clipboard()->setText(text);
    e->selectAll();
    QTest::keyClick(e, Qt::Key_V, Qt::ControlModifier);
}

// The hide and show requests that reach a set of widgets, in order.
class VisibilityLog : public QObject {
public:
    explicit VisibilityLog(const std::vector<QWidget*>& widgets)
    {
        for (QWidget* w : widgets)
            w->installEventFilter(this);
    }
    std::vector<std::pair<QObject*, bool>> events;  // widget, shown

protected:
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::HideToParent || e->type() == QEvent::ShowToParent)
            events.emplace_back(o, e->type() == QEvent::ShowToParent);
        return false;
    }
};

}  // namespace

class FiguresTest : public ShellTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(startUp());
        r = frmRealmDetails;
    }

    // Every figure, in one line, to compare whole states.
    QStringList figures() const
    {
        QStringList out;
        for (QLineEdit* e : {r->edtContrib, r->edtCourtValue, r->edtDipTotalMod, r->edtPalaceMaint, r->edtMaintTotal,
                             r->edtLandRP, r->edtSeaRP, r->edtTRIncome, r->edtTotalRP, r->edtTotalGB})
            out << e->text();
        out << r->pnlDiploMod->text();
        return out;
    }
    std::vector<QWidget*> modifierControls() const
    {
        return {r->Label68, r->Label10, r->Label11, r->Label57, r->dedtRODiplomacyCheck, r->edtDipTotalMod};
    }
    // How many of the six modifier controls are hidden.
    int hiddenModifierControls() const
    {
        int n = 0;
        for (QWidget* w : modifierControls())
            n += w->isHidden() ? 1 : 0;
        return n;
    }

    TfrmRealmDetails* r = nullptr;
    ScriptedModal modal_;
};

// ---- Palace, court value and diplomacy ----------------------------------------

TEST_F(FiguresTest, PalaceValueGivesContributionAndMaintenanceAsTyped)
{
    addCharacter("G", "Aric");
    openOn("G", "Aric");

    const std::vector<std::tuple<QString, QString, QString>> cases{
        {"5", "0", "1"}, {"6", "1", "1"}, {"0", "0", "0"}, {"-7", "-1", "0"}, {"12", "2", "1"}, {"-12", "-2", "0"}};
    for (const auto& [value, contrib, maint] : cases) {
        type(r->dedtPalaceValue, value);
        EXPECT_EQ(r->edtContrib->text(), contrib) << value.toStdString();
        EXPECT_EQ(r->edtPalaceMaint->text(), maint) << value.toStdString();
    }
    // The minus sign alone, typed into the selected text, is no number: told
    // once as it is typed; the finished numbers computed normally.
    EXPECT_EQ(dialogs_.texts(), QStringList(2, "'-' is not a valid integer value."));

    // -12 with no court expenditure: the court value is clamped to "0".
    EXPECT_EQ(r->dedtCourtExpenditure->text(), "");
    EXPECT_EQ(r->edtCourtValue->text(), "0");
    EXPECT_EQ(r->pnlDiploMod->text(), "No Diplomacy Possible");
    EXPECT_EQ(r->edtDipTotalMod->text(), "N/A");
    EXPECT_EQ(hiddenModifierControls(), 6);
}

TEST_F(FiguresTest, CourtValueBandsAndRoyalFacade)
{
    addCharacter("G", "Aric", {{"Royal_Facade_Spell", "False"}});
    openOn("G", "Aric");
    type(r->dedtPalaceValue, "6");  // contribution 1

    struct Case {
        QString expenditure, courtValue, caption, plain, withFacade;
    };
    const std::vector<Case> cases{
        {"0", "1", "-4 to Diplomacy Actions", "-4", "-3"},
        {"1", "2", "-4 to Diplomacy Actions", "-4", "-3"},
        {"2", "3", "-2 to Diplomacy Actions", "-2", "-1"},
        {"4", "5", "-2 to Diplomacy Actions", "-2", "-1"},
        {"5", "6", "No Modifier to Diplomacy Actions", "0", "+1"},
        {"7", "8", "No Modifier to Diplomacy Actions", "0", "+1"},
        {"8", "9", "+3 to Diplomacy Actions", "+3", "+4"},
        {"-1", "0", "No Diplomacy Possible", "N/A", "N/A"},
        {"-3", "0", "No Diplomacy Possible", "N/A", "N/A"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expenditure.toStdString());
        ASSERT_FALSE(r->cbRoyalFacade->checked());
        type(r->dedtCourtExpenditure, c.expenditure);
        EXPECT_EQ(r->edtCourtValue->text(), c.courtValue);
        EXPECT_EQ(r->pnlDiploMod->text(), c.caption);
        EXPECT_EQ(r->edtDipTotalMod->text(), c.plain);
        EXPECT_EQ(hiddenModifierControls(), c.courtValue == "0" ? 6 : 0);

        QTest::mouseClick(r->cbRoyalFacade, Qt::LeftButton);
        ASSERT_TRUE(r->cbRoyalFacade->checked());
        EXPECT_EQ(r->edtDipTotalMod->text(), c.withFacade);
        EXPECT_EQ(r->pnlDiploMod->text(), c.caption) << "the facade changes the total only";
        EXPECT_EQ(hiddenModifierControls(), c.courtValue == "0" ? 6 : 0);
        QTest::mouseClick(r->cbRoyalFacade, Qt::LeftButton);
        EXPECT_EQ(r->edtDipTotalMod->text(), c.plain);
    }
    // The Royal Facade box, its label and the panel stay visible throughout.
    EXPECT_FALSE(r->cbRoyalFacade->isHidden());
    EXPECT_FALSE(r->pnlDiploMod->isHidden());
    EXPECT_FALSE(r->Label58->isHidden());
}

TEST_F(FiguresTest, TheSixModifierControlsHideAndShowInOrder)
{
    addCharacter("G", "Aric", {{"Court_Expenditure", "4"}});
    openOn("G", "Aric");
    EXPECT_EQ(hiddenModifierControls(), 0);

    VisibilityLog log(modifierControls());
    type(r->dedtCourtExpenditure, "0");
    std::vector<std::pair<QObject*, bool>> hidden;
    for (QWidget* w : modifierControls())
        hidden.emplace_back(w, false);
    EXPECT_EQ(log.events, hidden);
    EXPECT_EQ(r->edtDipTotalMod->text(), "N/A");

    log.events.clear();
    type(r->dedtCourtExpenditure, "3");
    std::vector<std::pair<QObject*, bool>> shown;
    for (QWidget* w : modifierControls())
        shown.emplace_back(w, true);
    EXPECT_EQ(log.events, shown);
    EXPECT_EQ(r->edtDipTotalMod->text(), "-2");
    EXPECT_EQ(hiddenModifierControls(), 0);
}

TEST_F(FiguresTest, TheDiplomacyPageKeepsItsLayoutWhileTheModifierIsHidden)
{
    addCharacter("G", "Aric", {{"Court_Expenditure", "4"}});
    openOn("G", "Aric");
    r->PageControl1->setCurrentWidget(r->tsDiplomacy);
    r->show();
    QTest::qWait(50);
    auto placeOf = [this](QWidget* w) { return QRect(w->mapTo(r, QPoint(0, 0)), w->size()); };
    const QRect memo = placeOf(r->dmemGeneralAbility);
    const QRect panel = placeOf(r->pnlDiploMod);

    type(r->dedtCourtExpenditure, "0");
    ASSERT_EQ(hiddenModifierControls(), 6);
    QTest::qWait(50);  // the layouts settle
    EXPECT_EQ(placeOf(r->dmemGeneralAbility), memo);
    EXPECT_EQ(placeOf(r->pnlDiploMod), panel);
    r->hide();
}

TEST_F(FiguresTest, OnlyARealChangeOfAComputedBoxStartsItsFigures)
{
    addCharacter("G", "Aric", {{"Palace_Value", "6"}, {"Court_Expenditure", "2"}});
    openOn("G", "Aric");
    EXPECT_EQ(r->edtContrib->text(), "1");
    EXPECT_EQ(r->edtCourtValue->text(), "3");

    QSignalSpy contrib(r->edtContrib, &dbaware::DBEdit::changed);
    QSignalSpy court(r->edtCourtValue, &dbaware::DBEdit::changed);
    type(r->dedtPalaceValue, "11");  // "1" then "11": a sixth of each is 0 then 1
    EXPECT_EQ(r->edtContrib->text(), "1");
    EXPECT_EQ(contrib.count(), 2);
    EXPECT_EQ(court.count(), 2) << "3 to 2 and back";
    type(r->dedtPalaceValue, "7");
    EXPECT_EQ(contrib.count(), 2) << "still a contribution of 1";
    EXPECT_EQ(court.count(), 2);
    EXPECT_EQ(r->edtCourtValue->text(), "3");
}

// ---- Maintenance and regency points ------------------------------------------

TEST_F(FiguresTest, MaintenanceTotalCountsCastlesButNotTroopsProvincesOrConstructionTotal)
{
    addCharacter("G", "Aric");
    openOn("G", "Aric");
    EXPECT_EQ(r->edtMaintTotal->text(), "0");

    type(r->dedtShipMaint, "1");
    type(r->dedtProvMaint, "2");
    type(r->dedtFortMaint, "4");
    type(r->dedtArmyMaint, "8");
    type(r->dedtConstructionCosts, "16");
    EXPECT_EQ(r->edtMaintTotal->text(), "31");
    type(r->dedtTotalCastles, "3");
    EXPECT_EQ(r->edtMaintTotal->text(), "34");
    type(r->dedtTroopCapacity, "100");
    type(r->dedtTotalProvinces, "200");
    type(r->dedtTotalConstructionCosts, "300");
    EXPECT_EQ(r->edtMaintTotal->text(), "34");
}

TEST_F(FiguresTest, EveryFigureFollowsEveryValueItReadsAndNothingElse)
{
    addCharacter("G", "Aric", {{"Possible_RP_Earnings", "10"}, {"Bloodline_Score", "25"}, {"Income_RP_From_Vassals", "3"}});
    openOn("G", "Aric");
    EXPECT_EQ(r->edtTotalRP->text(), "13");

    type(r->dedtLeyLineMaint, "2");
    EXPECT_EQ(r->edtTotalRP->text(), "11") << "Ley Line Maint counts at once";
    EXPECT_EQ(r->dedtROLeyLineMaint->text(), "2") << "and its mirror on the Income page shows it";
    type(r->dedtPossibleRP, "30");
    EXPECT_EQ(r->edtTotalRP->text(), "26");

    type(r->dedtShipMaint, "1");
    EXPECT_EQ(r->edtMaintTotal->text(), "1");
    type(r->dedtPalaceValue, "6");
    EXPECT_EQ(r->edtPalaceMaint->text(), "1");
    EXPECT_EQ(r->edtMaintTotal->text(), "2") << "palace maintenance counts at once";
    type(r->dedtCourtExpenditure, "5");
    EXPECT_EQ(r->dedtROCourtExpenditure->text(), "5");
    EXPECT_EQ(r->edtMaintTotal->text(), "7") << "so does the court expenditure, typed on another page";
    EXPECT_TRUE(dialogs_.shown.empty());
}

// ---- Trade routes and income -----------------------------------------------

TEST_F(FiguresTest, AThiefsRegencyPointsAreTheTwoTextsAsTheyStand)
{
    addCharacter("G", "Aric", {{"Thief", "True"}, {"Prov_GB_Income", "10"}});
    openOn("G", "Aric");

    type(r->dedtLandGB, "4");
    EXPECT_EQ(r->edtTRIncome->text(), "4");
    EXPECT_EQ(r->edtLandRP->text(), "4");
    EXPECT_EQ(r->edtSeaRP->text(), "") << "a blank Sea GB stays blank";
    EXPECT_EQ(r->edtTotalGB->text(), "14");

    type(r->dedtSeaGB, "+07");
    EXPECT_EQ(r->edtSeaRP->text(), "+07") << "not converted";
    EXPECT_EQ(r->edtTRIncome->text(), "11");
    EXPECT_EQ(r->edtTotalGB->text(), "21");

    QTest::mouseClick(r->cbThief, Qt::LeftButton);
    ASSERT_FALSE(r->cbThief->checked());
    EXPECT_EQ(r->edtLandRP->text(), "0");
    EXPECT_EQ(r->edtSeaRP->text(), "0");
    EXPECT_EQ(r->edtTRIncome->text(), "11");
    EXPECT_EQ(r->edtTotalGB->text(), "21");

    type(r->dedtGuildGB, "1");
    type(r->dedtTempleGB, "2");
    type(r->dedtLawIncome, "3");
    EXPECT_EQ(r->edtTotalGB->text(), "27");
}

TEST_F(FiguresTest, GreyCheckBoxesCountAsUnchecked)
{
    // Thief and Royal Facade hold no value at all.
    addCharacter("G", "Aric", {{"Land_TR_GB_Earn", "4"}, {"Sea_TR_GB_Earn", "2"}, {"Court_Expenditure", "6"}});
    openOn("G", "Aric");
    ASSERT_EQ(r->cbThief->checkState(), Qt::PartiallyChecked);
    ASSERT_EQ(r->cbRoyalFacade->checkState(), Qt::PartiallyChecked);
    EXPECT_EQ(r->edtLandRP->text(), "0");
    EXPECT_EQ(r->edtSeaRP->text(), "0");
    EXPECT_EQ(r->edtTRIncome->text(), "6");
    EXPECT_EQ(r->edtDipTotalMod->text(), "0");

    // A click turns grey into ticked.
    QTest::mouseClick(r->cbThief, Qt::LeftButton);
    EXPECT_EQ(r->edtLandRP->text(), "4");
    EXPECT_EQ(r->edtSeaRP->text(), "2");
    QTest::mouseClick(r->cbRoyalFacade, Qt::LeftButton);
    EXPECT_EQ(r->edtDipTotalMod->text(), "+1");
}

// ---- Reading numbers -----------------------------------------------------------

TEST_F(FiguresTest, PastedTextsLeadingSpacesHexAndErrors)
{
    addCharacter("G", "Aric", {{"Thief", "True"}});
    openOn("G", "Aric");

    paste(r->dedtLandGB, "  7");
    EXPECT_EQ(r->edtTRIncome->text(), "7");
    EXPECT_EQ(r->edtLandRP->text(), "  7");
    paste(r->dedtSeaGB, "$10");
    EXPECT_EQ(r->edtTRIncome->text(), "23");
    paste(r->dedtSeaGB, "$FFFFFFFF");
    EXPECT_EQ(r->edtTRIncome->text(), "6");
    paste(r->dedtSeaGB, "   ");
    EXPECT_EQ(r->edtTRIncome->text(), "7") << "blank is 0";
    EXPECT_TRUE(dialogs_.shown.empty());

    // A blank after the digits fails: the figure stops there and the boxes
    // that it writes keep their texts.
    paste(r->dedtSeaGB, "5 ");
    EXPECT_EQ(dialogs_.texts(), QStringList{"'5 ' is not a valid integer value."});
    EXPECT_EQ(r->dedtSeaGB->text(), "5 ") << "the text stays as typed";
    EXPECT_EQ(r->edtTRIncome->text(), "7");
    EXPECT_EQ(r->edtSeaRP->text(), "   ");
    EXPECT_EQ(r->edtTotalGB->text(), "7");

    // A bad text left in one input fails every later run of that figure.
    type(r->dedtLandGB, "8");
    EXPECT_EQ(dialogs_.shown.size(), 2u);
    EXPECT_EQ(r->edtTRIncome->text(), "7");
    type(r->dedtSeaGB, "1");
    EXPECT_EQ(r->edtTRIncome->text(), "9");
    EXPECT_EQ(r->edtLandRP->text(), "8");
    EXPECT_EQ(r->edtSeaRP->text(), "1");
    EXPECT_EQ(dialogs_.shown.size(), 2u);
}

TEST_F(FiguresTest, AFailingNestedFigureStopsOnlyItself)
{
    addCharacter("G", "Aric", {{"Court_Expenditure", "3"}});
    openOn("G", "Aric");
    EXPECT_EQ(r->edtCourtValue->text(), "3");

    type(r->dedtCourtExpenditure, "3-");  // a sign after a digit
    EXPECT_EQ(dialogs_.texts(), QStringList{"'3-' is not a valid integer value."});
    EXPECT_EQ(r->edtCourtValue->text(), "3");
    EXPECT_EQ(r->pnlDiploMod->text(), "-2 to Diplomacy Actions");

    // The palace figures go on past the court value that cannot be worked out.
    type(r->dedtPalaceValue, "12");
    EXPECT_EQ(r->edtContrib->text(), "2");
    EXPECT_EQ(r->edtPalaceMaint->text(), "1");
    EXPECT_EQ(r->edtCourtValue->text(), "3");
    // "1" changed the palace maintenance, which the maintenance total reads
    // with the bad court expenditure; "12" changed the contribution.
    EXPECT_EQ(dialogs_.shown.size(), 3u);
    EXPECT_EQ(r->tblVDDB.text("Palace_Value"), "") << "nothing posted";
}

TEST_F(FiguresTest, PastedHugeNumbersGiveTheTrueSum)
{
    addCharacter("G", "Aric");
    openOn("G", "Aric");

    paste(r->dedtLandGB, "2147483647");
    paste(r->dedtSeaGB, "2147483647");
    EXPECT_EQ(r->edtTRIncome->text(), "4294967294");
    paste(r->dedtProvinceGB, "2147483647");
    EXPECT_EQ(r->edtTotalGB->text(), "6442450941");

    paste(r->dedtPalaceValue, "-2147483647");
    paste(r->dedtCourtExpenditure, "-2147483647");
    EXPECT_EQ(r->edtCourtValue->text(), "0") << "clamped, not wrapped to a positive value";

    for (QLineEdit* e : {r->dedtShipMaint, r->dedtProvMaint, r->dedtFortMaint, r->dedtArmyMaint})
        paste(e, "2147483647");
    // Four times the largest number, less the court expenditure.
    EXPECT_EQ(r->edtMaintTotal->text(), "6442450941");
    EXPECT_TRUE(dialogs_.shown.empty());

    paste(r->dedtArmyMaint, "2147483648");
    EXPECT_EQ(dialogs_.texts(), QStringList{"'2147483648' is not a valid integer value."});
    EXPECT_EQ(r->edtMaintTotal->text(), "6442450941");
}

// ---- Showing records -----------------------------------------------------------

namespace {

// Two characters whose figures' triggers show the same texts, so that only
// their non-trigger inputs tell them apart.
const Fields aricFields{{"Palace_Value", "6"},        {"Court_Expenditure", "3"}, {"Ship_Maintenance", "1"},
                        {"Possible_RP_Earnings", "10"}, {"Bloodline_Score", "25"},  {"Ley_Line_Maint", "2"},
                        {"Income_RP_From_Vassals", "3"}, {"Thief", "True"},          {"Land_TR_GB_Earn", "4"},
                        {"Prov_GB_Income", "5"},           {"Royal_Facade_Spell", "True"}};
const Fields bethFields{{"Palace_Value", "11"},        {"Court_Expenditure", "7"}, {"Ship_Maintenance", "1"},
                        {"Possible_RP_Earnings", "10"}, {"Bloodline_Score", "25"},  {"Ley_Line_Maint", "9"},
                        {"Income_RP_From_Vassals", "3"}, {"Thief", "False"},         {"Land_TR_GB_Earn", "4"},
                        {"Prov_GB_Income", "5"},           {"Royal_Facade_Spell", "False"}};
const QStringList aricFigures{"1", "4", "-1", "1", "5", "4", "", "4", "11", "9", "-2 to Diplomacy Actions"};
const QStringList bethFigures{"1", "8", "0", "1", "9", "0", "0", "4", "4", "9", "No Modifier to Diplomacy Actions"};
const QStringList blankFigures{"0", "0", "N/A", "0", "0", "0", "0", "0", "0", "0", "No Diplomacy Possible"};

}  // namespace

TEST_F(FiguresTest, EveryShownRecordGivesItsOwnFigures)
{
    addCharacter("G", "Aric", aricFields);
    addCharacter("G", "Beth", bethFields);
    addCharacter("G", "Cole");  // nothing filled in

    openOn("G", "Aric");
    EXPECT_EQ(figures(), aricFigures);
    r->Next1->trigger();
    ASSERT_EQ(r->dedtCharName->text(), "Beth");
    EXPECT_EQ(figures(), bethFigures);
    r->Previous1->trigger();
    EXPECT_EQ(figures(), aricFigures);
    r->Last1->trigger();
    EXPECT_EQ(figures(), blankFigures);
    r->First1->trigger();
    EXPECT_EQ(figures(), aricFigures);
    QTest::mouseClick(r->DBNavigator1->button(dbaware::NavButton::Next), Qt::LeftButton);
    EXPECT_EQ(figures(), bethFigures);

    // Opening the window again on another character, as the browser does.
    openOn("G", "Aric");
    EXPECT_EQ(figures(), aricFigures);

    // A reload of the same character after its inputs that start nothing
    // were changed elsewhere (as an import does).
    {
        store::Table t(context_->session);
        t.open("VDDB", "vddb.DB");
        ASSERT_TRUE(t.findKey({"G", "Aric"}));
        t.edit();
        t.setText("Ley_Line_Maint", "7");
        t.setText("Palace_Value", "-6");
        t.post();
    }
    r->tblVDDB.refresh();
    ASSERT_EQ(r->dedtCharName->text(), "Aric");
    EXPECT_EQ(r->edtTotalRP->text(), "6");
    EXPECT_EQ(r->edtPalaceMaint->text(), "0");
    EXPECT_EQ(r->edtMaintTotal->text(), "4");
    EXPECT_EQ(r->edtCourtValue->text(), "2");
    EXPECT_TRUE(dialogs_.shown.empty());
}

TEST_F(FiguresTest, TheFirstRecordShownWithBlankTriggersShowsItsFigures)
{
    // A record that leaves every trigger blank still has figures: zeros,
    // and no diplomacy.
    addCharacter("G", "Cole", {{"Ley_Line_Maint", "4"}});
    openOn("G", "Cole");
    QStringList expected = blankFigures;
    expected[8] = "-4";  // Total RP Earned less the Ley Line Maint
    EXPECT_EQ(figures(), expected);
    EXPECT_EQ(hiddenModifierControls(), 6);
}

TEST_F(FiguresTest, InsertAndCancelShowTheFiguresOfWhatIsShown)
{
    addCharacter("G", "Aric", aricFields);
    openOn("G", "Aric");

    type(r->dedtLeyLineMaint, "5");
    type(r->dedtBloodlineScore, "20");
    type(r->dedtPalaceValue, "0");
    EXPECT_EQ(r->edtTotalRP->text(), "8");
    // Bloodline Score takes its stored value back before Ley Line Maint does.
    r->CancelChanges1->trigger();
    EXPECT_EQ(figures(), aricFigures);

    r->InsertRecord1->trigger();
    EXPECT_EQ(figures(), blankFigures) << "a new record has no values; Thief and Royal Facade are False";
    r->CancelChanges1->trigger();
    EXPECT_EQ(figures(), aricFigures);
    EXPECT_TRUE(dialogs_.shown.empty());
}
