#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include <algorithm>
#include <map>
#include <set>

#include "app/shell_fixture.h"
#include "dbaware/binding.h"
#include "dbaware/dbedit.h"
#include "dbaware/dbmemo.h"
#include "dbaware/dbnavigator.h"
#include "province/vdprovince.h"
#include "realm/vddetails.h"
#include "support/fault_vfs.h"
#include "support/gui_helpers.h"

using dbaware::DBEdit;
using dbaware::DBMemo;
using dbaware::NavButton;
using store::State;
using testing_support::ScriptedModal;
using testing_support::ShellTest;

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

using testing_support::post;
using testing_support::type;
using testing_support::Fields;

namespace {

// The text of the label that names a control.
QString labelOf(QWidget* control)
{
    for (QLabel* l : control->window()->findChildren<QLabel*>())
        if (l->buddy() == control)
            return l->text();
    return {};
}

QString groupOf(QWidget* control)
{
    auto* g = qobject_cast<QGroupBox*>(control->parentWidget());
    return g ? g->title() : QString();
}

}  // namespace

class ProvinceTest : public ShellTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(startUp());
        p = frmProvince;
        ASSERT_TRUE(p->tblProv.isOpen());
    }
    void TearDown() override
    {
        // Nothing left pending may stop the window from going.
        if (p->tblProv.isOpen() && p->tblProv.editing())
            p->tblProv.cancel();
        p->hide();
    }

    // Every stored province as game/character/province, in key order.
    std::vector<std::string> stored()
    {
        store::Table t(context_->session);
        t.open("VDDB", "vdprovs.db");
        std::vector<std::string> out;
        for (t.first(); !t.eof(); t.next())
            out.push_back(t.text("Game_Name") + "/" + t.text("Character_Name") + "/" + t.text("Province_Name"));
        return out;
    }
    std::string storedField(const std::string& province, const char* field)
    {
        store::Table t(context_->session);
        t.open("VDDB", "vdprovs.db");
        for (t.first(); !t.eof(); t.next())
            if (t.text("Province_Name") == province)
                return t.text(field);
        ADD_FAILURE() << "no province " << province;
        return {};
    }

    // The realm window's side of a double click on one of the character's
    // provinces: its own lists on the character and the province, then this
    // window positioned there, on its page "General", shown and active.
    void open(const std::string& game, const std::string& name, const std::string& province)
    {
        TfrmRealmDetails* r = frmRealmDetails;
        r->tblVDDB.refresh();
        ASSERT_TRUE(r->tblVDDB.findKey({game, name}));
        r->ApplyProvinceFilter();
        for (r->tblProv.first(); !r->tblProv.eof(); r->tblProv.next())
            if (r->tblProv.text("Province_Name") == province)
                break;
        ASSERT_EQ(r->tblProv.text("Province_Name"), province);
        p->tblProv.gotoCurrent(r->tblProv);
        p->PageControl1->setCurrentWidget(p->tsGeneral);
        p->show();
        p->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(p));
    }
    QString shownCharacter() const { return p->dedtGameName->text() + "/" + p->dedtCharName->text(); }
    void click(NavButton b) { p->DBNavigator1->button(b)->click(); }
    std::vector<QString> messages() const
    {
        std::vector<QString> out;
        for (const auto& s : dialogs_.shown)
            out.push_back(s.text);
        return out;
    }

    TfrmProvince* p = nullptr;
};

TEST_F(ProvinceTest, EveryFieldButTheAutomaticKeyHasExactlyOneLabelledBox)
{
    // The top panel, the general page, the trade routes page and the ley
    // line memos; the holdings follow their pattern below.
    const std::vector<std::tuple<QWidget*, const char*, const char*>> named = {
        {p->dedtGameName, "Game_Name", "Game Name:"},
        {p->dedtCharName, "Character_Name", "Character Name:"},
        {p->dedtProvName, "Province_Name", "Province Name:"},
        {p->dedtProvLevel, "Province_Level", "Prov Lvl:"},
        {p->dedtMaxSrcPotential, "Max_Source_Potential", "Max Src:"},
        {p->dedtTerrain, "Province_Terrain", "Terrain:"},
        {p->dedtProvOwner, "Province_Owner", "Province Owner:"},
        {p->dedtCastleLevel, "Fortification_Level", "Castle Level:"},
        {p->dedtTaxationLevel, "Taxation_Level", "Taxation Level:"},
        {p->dedtLawClaimsLossSource, "Law_Claims_Loss_Source", "Law Claims Loss Source:"},
        {p->dedtArmies, "Armies", "Armies:"},
        {p->dedtRealmSpellsInEffect, "Realm_Spells_In_Effect", "Realm Spells in Effect:"},
        {p->dmemTradeRoutes, "Guild_Trade_Routes", "Guild Sponsored Trade Routes:"},
        {p->DBEdit5, "Guild_Num_Land_TR", "Land:"},
        {p->DBEdit6, "Guild_Num_Sea_TR", "Sea:"},
        {p->dmemLeyLines, "Source_Ley_Lines", "Ley Line Network:"},
        {p->dmemLeyLinesProt, "Source_Ley_Line_Protects", "Protection Spells on Ley Lines:"},
    };
    auto fieldOf = [](QWidget* w) {
        if (auto* e = qobject_cast<DBEdit*>(w))
            return e->fieldName();
        if (auto* m = qobject_cast<DBMemo*>(w))
            return m->fieldName();
        return QString();
    };
    for (const auto& [w, field, text] : named) {
        EXPECT_EQ(fieldOf(w), field);
        EXPECT_EQ(labelOf(w), text) << field;
    }

    struct Kind {
        QWidget* page;
        const char* word;
        std::array<DBEdit*, 4> level, owner, fort, second;
        const char* secondField;
        const char* secondLabel;
    };
    const std::vector<Kind> kinds = {
        {p->tsGuilds, "Guild",
         {p->dedtGuild1Level, p->dedtGuild2Level, p->dedtGuild3Level, p->dedtGuild4Level},
         {p->dedtGuild1Owner, p->dedtGuild2Owner, p->dedtGuild3Owner, p->dedtGuild4Owner},
         {p->DBEdit7, p->DBEdit8, p->DBEdit9, p->DBEdit10},
         {p->dedtGuild1LawLossSource, p->dedtGuild2LawLossSource, p->dedtGuild3LawLossSource,
          p->dedtGuild4LawLossSource},
         "_Law_Loss_Source", "Law Income Loss Source:"},
        {p->tsLaw, "Law",
         {p->dedtLaw1Level, p->dedtLaw2Level, p->dedtLaw3Level, p->dedtLaw4Level},
         {p->dedtLaw1Owner, p->dedtLaw2Owner, p->dedtLaw3Owner, p->dedtLaw4Owner},
         {p->DBEdit11, p->DBEdit12, p->DBEdit13, p->DBEdit14},
         {p->DBEdit1, p->DBEdit2, p->DBEdit3, p->DBEdit4},
         "_Claim_Victim", "Law Claim Victim:"},
        {p->tsSource, "Source",
         {p->dedtSource1Level, p->dedtSource2Level, p->dedtSource3Level, p->dedtSource4Level},
         {p->dedtSource1Owner, p->dedtSource2Owner, p->dedtSource3Owner, p->dedtSource4Owner},
         {p->DBEdit15, p->DBEdit16, p->DBEdit17, p->DBEdit18},
         {},
         nullptr, nullptr},
        {p->tsTemple, "Temple",
         {p->dedtTemple1Level, p->dedtTemple2Level, p->dedtTemple3Level, p->dedtTemple4Level},
         {p->dedtTemple1Owner, p->dedtTemple2Owner, p->dedtTemple3Owner, p->dedtTemple4Owner},
         {p->DBEdit19, p->DBEdit20, p->DBEdit21, p->DBEdit22},
         {p->dedtTemple1LawLoss, p->dedtTemple2LawLoss, p->dedtTemple3LawLoss, p->dedtTemple4LawLoss},
         "_Law_Loss_Source", "Law Income Loss Source:"},
    };
    for (const Kind& k : kinds) {
        for (int i = 0; i < 4; ++i) {
            const auto n = static_cast<std::size_t>(i);
            const QString prefix = QString::fromLatin1(k.word) + QString::number(i + 1);
            const QString group = QString::fromLatin1(k.word) + ' ' + QString::number(i + 1);
            SCOPED_TRACE(prefix.toStdString());
            EXPECT_EQ(k.level[n]->fieldName(), prefix + "_Level");
            EXPECT_EQ(k.owner[n]->fieldName(), prefix + "_Owner");
            EXPECT_EQ(k.fort[n]->fieldName(), prefix + "_Fort");
            EXPECT_EQ(labelOf(k.level[n]), "Level:");
            EXPECT_EQ(labelOf(k.owner[n]), "Owner:");
            EXPECT_EQ(labelOf(k.fort[n]), "Fortification:");
            for (DBEdit* e : {k.level[n], k.owner[n], k.fort[n]}) {
                EXPECT_EQ(groupOf(e), group);
                EXPECT_TRUE(k.page->isAncestorOf(e));
            }
            if (k.secondField) {
                EXPECT_EQ(k.second[n]->fieldName(), prefix + k.secondField);
                EXPECT_EQ(labelOf(k.second[n]), k.secondLabel);
                EXPECT_EQ(groupOf(k.second[n]), group);
            }
        }
    }

    // Taken together: every column once, all on this window's data source.
    std::map<QString, int> bound;
    for (auto* e : p->findChildren<DBEdit*>()) {
        ++bound[e->fieldName()];
        EXPECT_EQ(e->dataSource(), &p->dsProv) << e->fieldName().toStdString();
    }
    for (auto* m : p->findChildren<DBMemo*>()) {
        ++bound[m->fieldName()];
        EXPECT_EQ(m->dataSource(), &p->dsProv) << m->fieldName().toStdString();
    }
    std::map<QString, int> expected;
    for (const auto& c : p->tblProv.layout().columns)
        if (c.name != "AutoKeyInc")
            expected[QString::fromStdString(c.name)] = 1;
    EXPECT_EQ(bound, expected);
    EXPECT_EQ(bound.size(), 77u);
}

TEST_F(ProvinceTest, PagesGroupsMemosAndNavigatorAreThoseOfTheWindow)
{
    EXPECT_EQ(p->windowTitle(), "Province Details");
    EXPECT_EQ(p->btnClose->text(), "&Close");
    QStringList tabs;
    for (int i = 0; i < p->PageControl1->count(); ++i)
        tabs << p->PageControl1->tabText(i);
    EXPECT_EQ(tabs, (QStringList{"&General", "Trade &Routes", "G&uilds", "&Law", "&Source", "&Temple"}));
    EXPECT_EQ(p->PageControl1->widget(0), p->tsGeneral);
    EXPECT_EQ(p->PageControl1->widget(5), p->tsTemple);

    // The groups of a holdings page stacked in the order of their numbers.
    p->show();
    for (auto [page, word] : {std::pair{p->tsGuilds, "Guild"}, {p->tsLaw, "Law"}, {p->tsSource, "Source"},
                              {p->tsTemple, "Temple"}}) {
        p->PageControl1->setCurrentWidget(page);
        QApplication::processEvents();
        auto groups = page->findChildren<QGroupBox*>();
        std::sort(groups.begin(), groups.end(), [](auto* a, auto* b) { return a->y() < b->y(); });
        QStringList titles;
        for (auto* g : groups)
            titles << g->title();
        const QString w = QString::fromLatin1(word);
        EXPECT_EQ(titles, (QStringList{w + " 1", w + " 2", w + " 3", w + " 4"}));
    }
    EXPECT_EQ(groupOf(p->DBEdit5), "Number of Trade Routes");
    EXPECT_EQ(groupOf(p->DBEdit6), "Number of Trade Routes");

    for (DBMemo* m : {p->dmemTradeRoutes, p->dmemLeyLines, p->dmemLeyLinesProt})
        EXPECT_EQ(m->scrollBars(), DBMemo::ScrollBars::Vertical) << m->fieldName().toStdString();
    for (DBMemo* m : {p->dedtArmies, p->dedtRealmSpellsInEffect})
        EXPECT_EQ(m->scrollBars(), DBMemo::ScrollBars::None) << m->fieldName().toStdString();

    for (DBEdit* name : {p->dedtGameName, p->dedtCharName}) {
        EXPECT_EQ(name->access(), DBEdit::Access::ReadOnly);
        EXPECT_FALSE(name->focusPolicy() & Qt::TabFocus);
    }
    EXPECT_EQ(p->dedtProvName->access(), DBEdit::Access::Editable);

    const QList<NavButton> eight = {NavButton::First,  NavButton::Prior,  NavButton::Next, NavButton::Last,
                                    NavButton::Insert, NavButton::Delete, NavButton::Post, NavButton::Cancel};
    EXPECT_EQ(p->DBNavigator1->visibleButtons(), eight);
    QStringList hints;
    for (int i = 0; i < dbaware::navButtonCount; ++i)
        hints << p->DBNavigator1->hint(static_cast<NavButton>(i));
    EXPECT_EQ(hints, (QStringList{"First Record", "Previous Record", "Next Record", "Last Record",
                                  "Insert New Province", "Delete Current Province", "Edit",
                                  "Save Changes to Database", "Cancel Changes to this Record", "Refresh"}));
    EXPECT_EQ(p->DBNavigator1->dataSource(), &p->dsProv);
    EXPECT_TRUE(p->DBNavigator1->confirmDelete());
    // At the bottom right of the window.
    const QRect nav(p->DBNavigator1->mapTo(p, QPoint(0, 0)), p->DBNavigator1->size());
    EXPECT_LE(p->width() - nav.right(), 12);
    EXPECT_LE(p->height() - nav.bottom(), 12);
    EXPECT_GT(nav.top(), p->PageControl1->geometry().bottom());
}

TEST_F(ProvinceTest, OpensOnTheChosenProvinceAndTheNavigatorRunsOnPastTheCharacter)
{
    addCharacter("G", "Aric");
    addProvince("A", "Zed", "z1");
    addProvince("G", "Aric", "a1", {{"Province_Level", "3"}, {"Guild2_Owner", "Merchants"}});
    addProvince("G", "Aric", "a2", {{"Province_Terrain", "Hills"}, {"Armies", "One\r\nTwo"}});
    addProvince("G", "Bran", "b1");
    addProvince("H", "Aric", "h1");
    p->PageControl1->setCurrentWidget(p->tsTemple);  // left there last time

    open("G", "Aric", "a2");
    EXPECT_EQ(p->PageControl1->currentWidget(), p->tsGeneral);
    EXPECT_EQ(p->dedtProvName->text(), "a2");
    EXPECT_EQ(p->dedtTerrain->text(), "Hills");
    EXPECT_EQ(p->dedtArmies->toPlainText(), "One\nTwo");
    EXPECT_EQ(shownCharacter(), "G/Aric");

    click(NavButton::Prior);
    EXPECT_EQ(p->dedtProvName->text(), "a1");
    EXPECT_EQ(p->dedtProvLevel->text(), "3");
    EXPECT_EQ(p->dedtGuild2Owner->text(), "Merchants");
    EXPECT_TRUE(p->dedtTerrain->text().isEmpty());

    // Past the character's provinces the grey boxes show the others' names.
    click(NavButton::Next);
    click(NavButton::Next);
    EXPECT_EQ(p->dedtProvName->text(), "b1");
    EXPECT_EQ(shownCharacter(), "G/Bran");
    click(NavButton::Next);
    EXPECT_EQ(shownCharacter(), "H/Aric");
    click(NavButton::First);
    EXPECT_EQ(shownCharacter(), "A/Zed");
    EXPECT_FALSE(p->DBNavigator1->button(NavButton::Prior)->isEnabled());
    click(NavButton::Last);
    EXPECT_EQ(p->dedtProvName->text(), "h1");
    EXPECT_FALSE(p->DBNavigator1->button(NavButton::Next)->isEnabled());
    EXPECT_TRUE(dialogs_.shown.empty());
}

TEST_F(ProvinceTest, MovingSavesAChangedProvinceAndCancelDropsAChange)
{
    addCharacter("G", "Aric");
    addProvince("G", "Aric", "a1");
    addProvince("G", "Aric", "a2");
    open("G", "Aric", "a1");

    p->dedtProvOwner->setFocus();
    QTest::keyClicks(p->dedtProvOwner, "Aric");
    EXPECT_EQ(p->tblProv.state(), State::Edit);
    click(NavButton::Next);  // the typed text goes with the record
    EXPECT_EQ(p->tblProv.state(), State::Browse);
    EXPECT_EQ(storedField("a1", "Province_Owner"), "Aric");

    p->PageControl1->setCurrentWidget(p->tsSource);
    p->dmemLeyLines->setFocus();
    QTest::keyClicks(p->dmemLeyLines, "North");
    click(NavButton::Cancel);
    EXPECT_TRUE(p->dmemLeyLines->toPlainText().isEmpty());
    click(NavButton::Prior);
    EXPECT_TRUE(storedField("a2", "Source_Ley_Lines").empty());
    EXPECT_TRUE(dialogs_.shown.empty());
}

TEST_F(ProvinceTest, InsertTakesTheRealmWindowsNamesAlsoFromAnotherCharactersProvince)
{
    addCharacter("G", "Aric");
    addProvince("G", "Aric", "a1");
    addProvince("H", "Bran", "h1");
    addProvince("J", "Cara", "j1");
    open("G", "Aric", "a1");
    click(NavButton::Next);
    click(NavButton::Next);
    ASSERT_EQ(shownCharacter(), "J/Cara");

    click(NavButton::Insert);
    EXPECT_EQ(p->tblProv.state(), State::Insert);
    EXPECT_EQ(shownCharacter(), "G/Aric");
    EXPECT_TRUE(p->dedtProvName->text().isEmpty());
    // The user cannot type over them.
    p->dedtCharName->setFocus();
    QTest::keyClicks(p->dedtCharName, "X");
    EXPECT_EQ(p->dedtCharName->text(), "Aric");

    p->dedtProvName->setFocus();
    QTest::keyClicks(p->dedtProvName, "a2");
    click(NavButton::Post);
    EXPECT_EQ(stored(), (std::vector<std::string>{"G/Aric/a1", "G/Aric/a2", "H/Bran/h1", "J/Cara/j1"}));
    EXPECT_EQ(p->dedtProvName->text(), "a2");

    // A new record with nothing typed but the names still counts as changed:
    // moving on saves it; cancelling drops it.
    click(NavButton::Last);
    click(NavButton::Insert);
    click(NavButton::Cancel);
    EXPECT_EQ(shownCharacter(), "J/Cara");
    EXPECT_EQ(stored().size(), 4u);
    click(NavButton::Insert);
    click(NavButton::First);
    // Key order puts it after the character's older provinces.
    EXPECT_EQ(stored(), (std::vector<std::string>{"G/Aric/a1", "G/Aric/a2", "G/Aric/", "H/Bran/h1", "J/Cara/j1"}));
    EXPECT_TRUE(dialogs_.shown.empty());
}

TEST_F(ProvinceTest, InsertTakesTheNamesAsTheRealmWindowShowsThem)
{
    addCharacter("G", "Aric");
    addProvince("G", "Aric", "a1");
    open("G", "Aric", "a1");
    // The realm window's boxes, not its record: a name typed there counts.
    frmRealmDetails->dedtCharName->setText("Aric the Younger");
    click(NavButton::Insert);
    EXPECT_EQ(shownCharacter(), "G/Aric the Younger");
    click(NavButton::Post);
    EXPECT_EQ(p->tblProv.text("Character_Name"), "Aric the Younger");
}

TEST_F(ProvinceTest, ClosingIsRefusedWhileANameIsBlank)
{
    addCharacter("G", "Aric");
    addProvince("G", "Aric", "a1");
    addProvince("", "", "nameless");
    addProvince("", "Bran", "gameless");
    open("G", "Aric", "a1");

    // A stored province without names, with a change pending.
    click(NavButton::First);
    ASSERT_EQ(p->dedtProvName->text(), "nameless");
    p->dedtProvOwner->setFocus();
    QTest::keyClicks(p->dedtProvOwner, "Someone");
    p->btnClose->click();
    EXPECT_TRUE(p->isVisible());
    EXPECT_EQ(messages(), std::vector<QString>{"Character Name Must Be Entered"});
    EXPECT_EQ(dialogs_.shown[0].caption, "Valdane Campaign Database");
    EXPECT_EQ(dialogs_.shown[0].icon, dbaware::Icon::None);
    EXPECT_EQ(dialogs_.shown[0].buttons, dbaware::Buttons::Ok);
    EXPECT_EQ(QApplication::focusWidget(), p->dedtCharName);
    EXPECT_EQ(p->tblProv.state(), State::Edit);  // still pending
    EXPECT_EQ(p->dedtProvOwner->text(), "Someone");
    click(NavButton::Cancel);

    click(NavButton::Next);
    ASSERT_EQ(p->dedtProvName->text(), "gameless");
    p->close();  // as the window's own close button does
    EXPECT_TRUE(p->isVisible());
    EXPECT_EQ(messages().back(), "Game Name Must Be Entered");
    EXPECT_EQ(QApplication::focusWidget(), p->dedtGameName);

    // Blanks and control characters count as nothing, the character name
    // is asked for first, and the new record stays pending.
    frmRealmDetails->dedtGameName->setText(" \t");
    frmRealmDetails->dedtCharName->setText("  ");
    click(NavButton::Insert);
    p->btnClose->click();
    EXPECT_EQ(messages().back(), "Character Name Must Be Entered");
    EXPECT_EQ(p->tblProv.state(), State::Insert);
    click(NavButton::Cancel);
    frmRealmDetails->dedtCharName->setText("Aric");
    click(NavButton::Insert);
    p->btnClose->click();
    EXPECT_EQ(messages().back(), "Game Name Must Be Entered");
    EXPECT_EQ(p->tblProv.state(), State::Insert);
    EXPECT_TRUE(p->isVisible());
    EXPECT_EQ(dialogs_.shown.size(), 4u);
    EXPECT_EQ(stored().size(), 3u);
}

TEST_F(ProvinceTest, ClosingWithBothNamesSavesWhatIsPendingAndHides)
{
    addCharacter("G", "Aric");
    addProvince("G", "Aric", "a1");
    open("G", "Aric", "a1");

    // Typed text that has not left its box yet is saved too.
    p->PageControl1->setCurrentWidget(p->tsTemple);
    p->dedtTemple3Owner->setFocus();
    QTest::keyClicks(p->dedtTemple3Owner, "Haelyn");
    p->btnClose->click();
    EXPECT_FALSE(p->isVisible());
    EXPECT_EQ(storedField("a1", "Temple3_Owner"), "Haelyn");
    EXPECT_EQ(p->tblProv.state(), State::Browse);

    // A new province, closed by Alt+C.
    open("G", "Aric", "a1");
    click(NavButton::Insert);
    p->dedtProvName->setFocus();
    QTest::keyClicks(p->dedtProvName, "a2");
    QTest::keyClick(p, Qt::Key_C, Qt::AltModifier);
    QTRY_VERIFY(!p->isVisible());
    EXPECT_EQ(stored(), (std::vector<std::string>{"G/Aric/a1", "G/Aric/a2"}));
    EXPECT_EQ(p->dedtProvName->text(), "a2");  // the cursor stays on it while hidden

    // Nothing pending: the window just goes, and comes back in the name box.
    open("G", "Aric", "a1");
    QTest::mouseClick(p->dedtGameName, Qt::LeftButton);
    p->btnClose->click();
    EXPECT_FALSE(p->isVisible());
    open("G", "Aric", "a1");
    EXPECT_EQ(QApplication::focusWidget(), p->dedtProvName);
    EXPECT_EQ(stored().size(), 2u);
    EXPECT_TRUE(dialogs_.shown.empty());
}

TEST_F(ProvinceTest, ASaveThatFailsKeepsTheWindowOpenWithTheRecordPending)
{
    addCharacter("G", "Aric");
    addProvince("G", "Aric", "a1");
    open("G", "Aric", "a1");
    p->dedtProvLevel->setFocus();
    QTest::keyClicks(p->dedtProvLevel, "99999");  // beyond a Short
    p->btnClose->click();
    EXPECT_TRUE(p->isVisible());
    ASSERT_EQ(dialogs_.shown.size(), 1u);
    EXPECT_EQ(dialogs_.shown[0].icon, dbaware::Icon::Error);
    EXPECT_EQ(p->tblProv.state(), State::Edit);
    EXPECT_EQ(p->dedtProvLevel->text(), "99999");

    p->dedtProvLevel->setText("12");
    p->btnClose->click();
    EXPECT_FALSE(p->isVisible());
    EXPECT_EQ(storedField("a1", "Province_Level"), "12");
}

TEST_F(ProvinceTest, AfterDeletingTheLastProvinceTheWindowStillCloses)
{
    addCharacter("G", "Aric");
    addProvince("G", "Aric", "a1");
    open("G", "Aric", "a1");
    dialogs_.answer(dbaware::Answer::Cancel);
    click(NavButton::Delete);
    EXPECT_EQ(stored().size(), 1u);
    click(NavButton::Delete);  // answered OK
    EXPECT_EQ(messages(), (std::vector<QString>{"Delete record?", "Delete record?"}));
    EXPECT_EQ(dialogs_.shown[0].buttons, dbaware::Buttons::OkCancel);
    EXPECT_TRUE(stored().empty());
    EXPECT_TRUE(p->dedtCharName->text().isEmpty());
    p->btnClose->click();
    EXPECT_FALSE(p->isVisible());
    EXPECT_EQ(dialogs_.shown.size(), 2u);
}

TEST_F(ProvinceTest, F1OpensHelpFromEveryControlOfEveryPage)
{
    addCharacter("G", "Aric");
    addProvince("G", "Aric", "a1");
    open("G", "Aric", "a1");
    int controls = 0;
    for (int page = 0; page < p->PageControl1->count(); ++page) {
        p->PageControl1->setCurrentIndex(page);
        std::vector<QWidget*> here{p->dedtGameName, p->btnClose, p->PageControl1->tabBar()};
        for (QWidget* w : p->PageControl1->currentWidget()->findChildren<QWidget*>())
            if (qobject_cast<DBEdit*>(w) || qobject_cast<DBMemo*>(w))
                here.push_back(w);
        for (QWidget* w : here) {
            w->setFocus();
            ASSERT_EQ(QApplication::focusWidget(), w);
            helpCalls_.clear();
            QTest::keyClick(w, Qt::Key_F1);
            EXPECT_EQ(helpCalls_, (std::vector<std::pair<QString, unsigned>>{{"vddb.hlp", 3u}}))
                << page << " " << w->metaObject()->className();
            ++controls;
        }
    }
    EXPECT_EQ(controls, 6 * 3 + 77 - 6);  // the top panel's boxes are not on a page
    EXPECT_EQ(p->tblProv.state(), State::Browse);  // F1 typed nothing
}

TEST_F(ProvinceTest, TabWalksEachPageInReadingOrder)
{
    addCharacter("G", "Aric");
    addProvince("G", "Aric", "a1");
    open("G", "Aric", "a1");
    QWidget* tabs = p->PageControl1->tabBar();
    const std::vector<QWidget*> top{p->dedtProvName, p->dedtProvLevel, p->dedtMaxSrcPotential, p->dedtTerrain,
                                    p->btnClose, tabs};
    const std::vector<std::pair<QWidget*, std::vector<QWidget*>>> pages = {
        {p->tsGeneral,
         {p->dedtProvOwner, p->dedtCastleLevel, p->dedtTaxationLevel, p->dedtLawClaimsLossSource, p->dedtArmies,
          p->dedtRealmSpellsInEffect}},
        {p->tsTradeRoutes, {p->dmemTradeRoutes, p->DBEdit5, p->DBEdit6}},
        {p->tsLaw,
         {p->dedtLaw1Level, p->dedtLaw1Owner, p->DBEdit11, p->DBEdit1, p->dedtLaw2Level, p->dedtLaw2Owner,
          p->DBEdit12, p->DBEdit2, p->dedtLaw3Level, p->dedtLaw3Owner, p->DBEdit13, p->DBEdit3, p->dedtLaw4Level,
          p->dedtLaw4Owner, p->DBEdit14, p->DBEdit4}},
        {p->tsSource,
         {p->dedtSource1Level, p->dedtSource1Owner, p->DBEdit15, p->dedtSource2Level, p->dedtSource2Owner,
          p->DBEdit16, p->dedtSource3Level, p->dedtSource3Owner, p->DBEdit17, p->dedtSource4Level,
          p->dedtSource4Owner, p->DBEdit18, p->dmemLeyLines, p->dmemLeyLinesProt}},
    };
    for (const auto& [page, controls] : pages) {
        p->PageControl1->setCurrentWidget(page);
        std::vector<QWidget*> expected = top;
        expected.insert(expected.end(), controls.begin(), controls.end());
        for (int b = 0; b < dbaware::navButtonCount; ++b) {  // the navigator's buttons that can act now
            QWidget* button = p->DBNavigator1->button(static_cast<dbaware::NavButton>(b));
            if (button->isEnabled() && !button->isHidden())
                expected.push_back(button);
        }
        expected.push_back(p->dedtProvName);  // round again, past the grey names
        p->dedtProvName->setFocus();
        std::vector<QWidget*> walked{QApplication::focusWidget()};
        for (std::size_t i = 1; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            walked.push_back(QApplication::focusWidget());
        }
        EXPECT_EQ(walked, expected) << p->PageControl1->tabText(p->PageControl1->currentIndex()).toStdString();
    }
}

TEST_F(ProvinceTest, OpeningSizeFitsASmallScreenWithTheHoldingsLinedUp)
{
    p->show();
    QApplication::processEvents();
    EXPECT_LE(p->frameGeometry().width(), 1024);
    EXPECT_LE(p->frameGeometry().height(), 768 - 48);  // room for a task bar
    for (int page = 0; page < p->PageControl1->count(); ++page) {
        p->PageControl1->setCurrentIndex(page);
        QApplication::processEvents();
        // Nothing squeezed below what it needs to show itself whole.
        for (QWidget* w : p->PageControl1->currentWidget()->findChildren<QWidget*>()) {
            if (!w->isVisible())
                continue;
            EXPECT_GE(w->width(), w->minimumSizeHint().width()) << page << w->metaObject()->className();
            EXPECT_GE(w->height(), w->minimumSizeHint().height()) << page << w->metaObject()->className();
        }
    }
    EXPECT_GE(p->width(), p->minimumSizeHint().width());
    EXPECT_GE(p->height(), p->minimumSizeHint().height());

    // Within a page the groups' boxes stand in columns, and a group's second
    // row starts under its owner.
    auto x = [](QWidget* w, QWidget* page) { return w->mapTo(page, QPoint(0, 0)).x(); };
    p->PageControl1->setCurrentWidget(p->tsGuilds);
    QApplication::processEvents();
    for (DBEdit* e : {p->dedtGuild2Owner, p->dedtGuild3Owner, p->dedtGuild4Owner, p->dedtGuild1LawLossSource,
                      p->dedtGuild4LawLossSource})
        EXPECT_EQ(x(e, p->tsGuilds), x(p->dedtGuild1Owner, p->tsGuilds));
    EXPECT_EQ(x(p->DBEdit10, p->tsGuilds), x(p->DBEdit7, p->tsGuilds));
    // The boxes show whole values: a level of five digits, an owner of
    // sixteen characters.
    EXPECT_GE(p->dedtGuild1Level->width(), p->fontMetrics().horizontalAdvance(QStringLiteral("00000")));
    EXPECT_GE(p->dedtGuild1Owner->width(), p->fontMetrics().horizontalAdvance(QString(16, 'n')));
}

TEST_F(ProvinceTest, ShownModallyOverTheRealmWindowItsChangesReachTheRealmList)
{
    addCharacter("G", "Aric");
    addProvince("G", "Aric", "a1");
    addProvince("G", "Aric", "a2");
    TfrmRealmDetails* r = frmRealmDetails;
    r->tblVDDB.refresh();
    ASSERT_TRUE(r->tblVDDB.findKey({"G", "Aric"}));
    r->ApplyProvinceFilter();
    r->tblProv.last();

    // As the realm window's double click does it.
    ScriptedModal modal;
    modal.action = [&](QWidget& w) {
        ASSERT_EQ(&w, p);
        p->show();
        EXPECT_EQ(p->dedtProvName->text(), "a2");
        p->dedtProvName->setFocus();
        p->dedtProvName->selectAll();
        QTest::keyClicks(p->dedtProvName, "Coastland");
        click(NavButton::Insert);
        p->dedtProvName->setFocus();
        QTest::keyClicks(p->dedtProvName, "a3");
        p->btnClose->click();
        EXPECT_FALSE(p->isVisible());
    };
    p->tblProv.gotoCurrent(r->tblProv);
    p->PageControl1->setCurrentWidget(p->tsGeneral);
    app::showModal(*p);
    r->tblProv.refresh();

    std::vector<std::string> listed;
    for (r->tblProv.first(); !r->tblProv.eof(); r->tblProv.next())
        listed.push_back(r->tblProv.text("Province_Name"));
    EXPECT_EQ(listed, (std::vector<std::string>{"a1", "Coastland", "a3"}));
    EXPECT_TRUE(dialogs_.shown.empty());
}

TEST_F(ProvinceTest, TurningPagesNeitherSavesNorWritesAndCancelUndoesTheEdit)
{
    addCharacter("G", "Aric");
    addProvince("G", "Aric", "a1", {{"Province_Owner", "Old"}});
    open("G", "Aric", "a1");
    p->show();
    p->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(p));
    p->dedtProvOwner->setFocus(Qt::MouseFocusReason);
    type(p->dedtProvOwner, "New");
    QTabBar* tabs = p->PageControl1->tabBar();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(p->PageControl1->indexOf(p->tsLaw)).center());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(p->PageControl1->currentWidget(), p->tsSource);
    EXPECT_EQ(p->tblProv.state(), State::Edit);
    EXPECT_EQ(p->tblProv.text("Province_Owner"), "Old");
    click(NavButton::Cancel);
    EXPECT_EQ(p->dedtProvOwner->text(), "Old");
    EXPECT_EQ(storedField("a1", "Province_Owner"), "Old");
}

TEST_F(ProvinceTest, TheFormNamesOnlyRealColumnsOfItsOwnTableEachOnce)
{
    // A column name misspelt in the form, or a box whose name was dropped,
    // would leave a box that shows nothing and saves nothing.
    const std::vector<dbaware::Binding> bound = dbaware::boundFields(*p);
    std::set<int> columns;
    for (const auto& b : bound) {
        const int column = p->tblProv.layout().columnIndex(b.field.toStdString());
        EXPECT_GE(column, 0) << b.field.toStdString();
        EXPECT_TRUE(columns.insert(column).second) << b.field.toStdString() << " twice";
        EXPECT_EQ(b.control->window(), p);
    }
    EXPECT_EQ(bound.size(), 77u);  // every column but the automatic key
    // The top panel first: the names lead the order in which typed text is
    // written before a post.
    ASSERT_GE(bound.size(), 2u);
    EXPECT_EQ(bound[0].control, p->dedtGameName);
    EXPECT_EQ(bound[1].control, p->dedtCharName);
}

// A save whose commit fails shows what the file holds: saved when the fault
// came after the commit point (the journal unlinked), pending when the journal
// stayed to be rolled back; saving on stores the province once.
class ProvinceCommitTest : public ProvinceTest {
protected:
    testing_support::FaultVfs vfs_;
};

TEST_F(ProvinceCommitTest, ASaveWhoseCommitFailsShowsWhatTheFileHoldsAndIsStoredOnce)
{
    addCharacter("G", "Aric");
    addProvince("G", "Aric", "a1");
    for (const bool unlinked : {true, false}) {
        const std::string name = unlinked ? "stored" : "pending";
        open("G", "Aric", "a1");
        click(NavButton::Insert);
        p->dedtProvName->setFocus();
        QTest::keyClicks(p->dedtProvName, QString::fromStdString(name));
        vfs_.failDelete = "campaign.sqlite-journal", vfs_.removed = unlinked;
        p->btnClose->click();
        EXPECT_EQ(p->isVisible(), !unlinked) << name;  // the error shown, the province pending
        if (p->isVisible())
            p->btnClose->click();  // saving again, as the message invites
        EXPECT_EQ(std::ranges::count(stored(), "G/Aric/" + name), 1) << name;
    }
    EXPECT_EQ(dialogs_.shown.size(), 1u);
}
