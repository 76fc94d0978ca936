// File > Save to File on the realm details window, driven as a user drives it:
// the character typed into the window and saved, its provinces added through
// the province list and the province window, then the menu command with the
// save dialog answered from a script.
#include "sheet_fixture.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include "app/shell_fixture.h"
#include "dbaware/dbcheckbox.h"
#include "dbaware/dbedit.h"
#include "dbaware/dbgrid.h"
#include "dbaware/dbmemo.h"
#include "dbaware/dbnavigator.h"
#include "dbaware/statusbar.h"
#include "province/vdprovince.h"
#include "realm/vddetails.h"
#include "sheet/vdtemp.h"

#include <cstring>
#include <fstream>

#ifndef _WIN32
#include "support/file_size_limit.h"
#endif

using namespace sheet_testing;
using dbaware::DBEdit;
using dbaware::DBMemo;
using testing_support::ScriptedModal;
using testing_support::ShellTest;
namespace fs = std::filesystem;

namespace {

// What the user types for one province on the province window.
struct ProvinceInput {
    QString name, level, maxSource, terrain, fort;
    QStringList armies;
    QString templeLevel, templeOwner, guildLevel, guildOwner, lawLevel, lawOwner, sourceLevel, sourceOwner;
};

// The two provinces of the worked example.
std::vector<ProvinceInput> exampleProvinces()
{
    ProvinceInput a;
    a.name = "Brightwater";
    a.level = "3";
    a.maxSource = "2";
    a.terrain = "Plains";
    a.fort = "2";
    a.armies = {"2 units of infantry", "1 unit of archers"};
    a.templeLevel = "2";
    a.templeOwner = "OTA";
    a.guildLevel = "1";
    a.lawLevel = "3";
    a.lawOwner = "AV";
    ProvinceInput b;
    b.name = "Greyhollow Downs";
    b.level = "1";
    b.maxSource = "5";
    b.terrain = "Hills";
    b.guildLevel = "2";
    b.guildOwner = "Merchants Guild";
    b.lawLevel = "1";
    b.lawOwner = "AV";
    b.sourceLevel = "4";
    b.sourceOwner = "Wizard";
    return {a, b};
}

// The worked example's sheet without its two province rows and their armies.
QStringList sheetWithoutProvinces()
{
    QStringList lines = exampleSheet;
    for (const char* gone : {"A) Brightwater 3/2  2(OTA)     1          3(AV)                2      Plains",
                             "B) Greyhollow Downs1/5             2(Merchants Guild) 1(AV)      4(Wizard)        Hills",
                             " Province: Brightwater", "  2 units of infantry", "  1 unit of archers",
                             " Province: Greyhollow Downs"})
        EXPECT_TRUE(lines.removeOne(QString::fromLatin1(gone))) << gone;
    return lines;
}

}  // namespace

class SaveToFileTest : public ShellTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(startUp());
        r = frmRealmDetails;
        r->tblVDDB.refresh();
        r->show();
        r->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(r));
    }
    void TearDown() override
    {
        if (frmProvince->isVisible())
            frmProvince->hide();
    }

    // Selects the page that holds the control, puts the focus there and types
    // over its text; lines of a memo are separated by Enter. Leaving the
    // previous control writes its text, as it does for the user.
    static void typeInto(QWidget* control, const QStringList& lines)
    {
        for (QWidget* w = control; w; w = w->parentWidget())
            if (QWidget* stack = w->parentWidget())
                if (auto* pages = qobject_cast<QTabWidget*>(stack->parentWidget()); pages && pages->indexOf(w) >= 0)
                    pages->setCurrentWidget(w);
        control->setFocus(Qt::MouseFocusReason);  // a click
        ASSERT_TRUE(control->hasFocus()) << control->objectName().toStdString();
        QTest::keyClick(control, Qt::Key_A, Qt::ControlModifier);
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (i > 0)
                QTest::keyClick(control, Qt::Key_Return);
            if (lines[i].isEmpty() && lines.size() == 1)
                QTest::keyClick(control, Qt::Key_Delete);
            QTest::keyClicks(control, lines[i]);
        }
    }
    static void typeInto(QWidget* control, const QString& text) { typeInto(control, QStringList{text}); }

    // A new character on the realm window, every value of the worked example
    // typed into its box, then Save Changes. Palace value and court
    // expenditure come first and are saved: the maintenance total takes them
    // when its own boxes are typed.
    void typeCharacter(const QString& game, const QString& name)
    {
        r->InsertRecord1->trigger();
        typeInto(r->dedtGameName, game);
        typeInto(r->dedtCharName, name);
        typeInto(r->dedtPalaceValue, "6");
        typeInto(r->dedtCourtExpenditure, "4");
        r->SaveChanges1->trigger();
        ASSERT_EQ(r->tblVDDB.state(), store::State::Browse);

        const std::vector<std::pair<DBEdit*, const char*>> boxes = {
            {r->dedtClassAbbrev, "F7/P3"},
            {r->dedtBloodlineStr, "Major"},
            {r->dedtBloodlineScore, "30"},
            {r->dedtResearchCheck, "2"},
            {r->dedtAdminCheck, "3"},
            {r->dedtLawCheck, "1"},
            {r->dedtLeadershipCheck, "4"},
            {r->dedtIntrigueCheck, "0"},
            {r->dedtDiplomacyCheck, "2"},
            {r->dedtDomainName, "Eastmarch"},
            {r->dedtCurrRP, "20"},
            {r->dedtCurrGB, "12"},
            {r->dedtCurrGP, "0"},
            {r->dedtProvMaint, "5"},
            {r->dedtFortMaint, "2"},
            {r->dedtArmyMaint, "3"},
            {r->dedtLeyLineMaint, "0"},
            {r->dedtLandGB, "2"},
            {r->dedtSeaGB, "0"},
            {r->dedtPossibleRP, "12"},
            {r->dedtVassalRP, "2"},
            {r->dedtProvinceGB, "10"},
            {r->dedtGuildGB, "4"},
            {r->dedtTempleGB, "3"},
            {r->dedtLawIncome, "2"},
        };
        for (const auto& [box, text] : boxes)
            typeInto(box, QString::fromLatin1(text));
        typeInto(r->dmemVassals, QStringList{"Sir Ormond, lieutenant", "Lady Tess, vassal in Greyhollow Downs"});
        typeInto(r->dmemLandTR, "Brightwater to Tamsvale, 2 GB");
        typeInto(r->dmemPriestSpells, "Bless Land");
        typeInto(r->dmemBuildingProjects, "Road to Tamsvale, 3 GB left");
        typeInto(r->dmemMisc, "Owes the river guild a favour");
        r->SaveChanges1->trigger();
        ASSERT_EQ(r->tblVDDB.state(), store::State::Browse);
        ASSERT_TRUE(dialogs_.shown.empty()) << dialogs_.texts().join('|').toStdString();
    }

    // On the "Provinces" page: Down on the empty list adds a row, its name
    // typed and a double click open the province window on it; there the first province is
    // typed, the navigator's Insert adds each further one, and Close returns.
    void addProvinces(const std::vector<ProvinceInput>& provinces)
    {
        r->PageControl1->setCurrentWidget(r->tsProvinces);
        r->dbgProvinces->setFocus(Qt::MouseFocusReason);
        QApplication::processEvents();
        QTest::keyClick(r->dbgProvinces, Qt::Key_Down);
        ASSERT_EQ(r->tblProv.state(), store::State::Insert);
        // A row is kept only with its name: the first key opens the cell.
        QTest::keyClick(r->dbgProvinces, provinces[0].name[0].toLatin1());
        QTest::keyClicks(QApplication::focusWidget(), provinces[0].name.mid(1));
        modal_.shown.clear();
        modal_.action = [&](QWidget& w) {
            ASSERT_EQ(&w, frmProvince);
            TfrmProvince* p = frmProvince;
            p->show();
            p->activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(p));
            for (std::size_t i = 0; i < provinces.size(); ++i) {
                if (i > 0)
                    p->DBNavigator1->click(dbaware::NavButton::Insert);
                const ProvinceInput& in = provinces[i];
                const std::vector<std::pair<QWidget*, QStringList>> boxes = {
                    {p->dedtProvName, {in.name}},
                    {p->dedtProvLevel, {in.level}},
                    {p->dedtMaxSrcPotential, {in.maxSource}},
                    {p->dedtTerrain, {in.terrain}},
                    {p->dedtCastleLevel, {in.fort}},
                    {p->dedtArmies, in.armies},
                    {p->dedtTemple1Level, {in.templeLevel}},
                    {p->dedtTemple1Owner, {in.templeOwner}},
                    {p->dedtGuild1Level, {in.guildLevel}},
                    {p->dedtGuild1Owner, {in.guildOwner}},
                    {p->dedtLaw1Level, {in.lawLevel}},
                    {p->dedtLaw1Owner, {in.lawOwner}},
                    {p->dedtSource1Level, {in.sourceLevel}},
                    {p->dedtSource1Owner, {in.sourceOwner}},
                };
                for (const auto& [box, text] : boxes)
                    if (!text.isEmpty() && !(text.size() == 1 && text[0].isEmpty()))
                        typeInto(box, text);
            }
            p->btnClose->click();
            EXPECT_FALSE(p->isVisible());
        };
        emit r->dbgProvinces->dblClick();
        ASSERT_EQ(modal_.shown.size(), 1u);
        modal_.action = nullptr;
        r->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(r));
    }

    fs::path saveFolder() const { return programFolder() / "Save"; }
    QString out(const char* name) const { return QString::fromStdString((temp_.path() / name).string()); }
    QByteArray saved(const char* name) const { return readAll(temp_.path() / name); }

    TfrmRealmDetails* r = nullptr;
    ScriptedModal modal_;
};

TEST_F(SaveToFileTest, WorkedExampleByteForByteThroughTheWindow)
{
    typeCharacter("Valdane", "Aldric");
    addProvinces(exampleProvinces());
    ASSERT_TRUE(dialogs_.shown.empty()) << dialogs_.texts().join('|').toStdString();
    EXPECT_EQ(r->edtTotalRP->text(), "14");
    EXPECT_EQ(r->edtTotalGB->text(), "21");
    EXPECT_EQ(r->edtPalaceMaint->text(), "1");
    EXPECT_EQ(r->edtMaintTotal->text(), "15");
    const int provinces = r->tblProv.recordCount();
    ASSERT_EQ(provinces, 2);

    dialogs_.saveAs(out("Aldric.txt"));
    ASSERT_TRUE(r->SaveToFile1->isEnabled());
    r->SaveToFile1->trigger();

    EXPECT_EQ(saved("Aldric.txt"), fileBytes(exampleSheet));
    EXPECT_TRUE(dialogs_.shown.empty()) << dialogs_.texts().join('|').toStdString();
    EXPECT_EQ(r->StatusBar1->text(), "Save Complete");

    // The dialog started in the save folder beside the program, made for it,
    // on the character's name.
    ASSERT_EQ(dialogs_.saveRequests.size(), 1u);
    const dbaware::SaveRequest& req = dialogs_.saveRequests[0];
    EXPECT_EQ(req.title, "Save Realm To:");
    EXPECT_EQ(req.folder, QString::fromStdString(saveFolder().string()));
    EXPECT_TRUE(fs::is_directory(saveFolder()));
    EXPECT_EQ(req.fileName, "Aldric");

    // Nothing of the window's own changed: its record, its province list,
    // and the hidden window is gone.
    EXPECT_EQ(r->tblVDDB.state(), store::State::Browse);
    EXPECT_EQ(r->tblProv.recordCount(), provinces);
    EXPECT_EQ(frmTemp, nullptr);
    EXPECT_TRUE(r->findChildren<TfrmTemp*>().isEmpty());

    // Saved again over the same file: emptied and written anew; the query's
    // select is replaced, not added to.
    dialogs_.saveAs(out("Aldric.txt"));
    r->SaveToFile1->trigger();
    EXPECT_EQ(saved("Aldric.txt"), fileBytes(exampleSheet));
    EXPECT_EQ(dialogs_.saveRequests.size(), 2u);
}

TEST_F(SaveToFileTest, ACharacterWithoutProvinces)
{
    typeCharacter("Valdane", "Aldric");
    // Another character's provinces are not this one's.
    addProvinces(exampleProvinces());
    typeCharacter("Valdane", "Bera");
    dialogs_.saveAs(out("Bera.txt"));
    r->SaveToFile1->trigger();
    EXPECT_EQ(saved("Bera.txt"), fileBytes(sheetWithoutProvinces()));
    EXPECT_EQ(dialogs_.saveRequests.back().fileName, "Bera");
    EXPECT_EQ(r->StatusBar1->text(), "Save Complete");
    EXPECT_TRUE(dialogs_.shown.empty());
}

TEST_F(SaveToFileTest, CancellingTheDialogWritesNothing)
{
    typeCharacter("Valdane", "Aldric");
    dialogs_.saveAs(std::nullopt);
    r->SaveToFile1->trigger();
    EXPECT_EQ(r->StatusBar1->text(), "Save Canceled");
    ASSERT_EQ(dialogs_.saveRequests.size(), 1u);
    EXPECT_TRUE(fs::is_directory(saveFolder())) << "made before the dialog all the same";
    EXPECT_TRUE(fs::is_empty(saveFolder()));
    for (const auto& entry : fs::recursive_directory_iterator(temp_.path()))
        EXPECT_NE(entry.path().extension(), ".txt") << entry.path();
    EXPECT_FALSE(r->Query1.isOpen()) << "no select for a cancelled save";
    EXPECT_TRUE(dialogs_.shown.empty());

    // The user's next page clears the text, as any status text.
    r->PageControl1->setCurrentWidget(r->tsGeneralInfo);
    EXPECT_TRUE(r->StatusBar1->text().isEmpty());
}

TEST_F(SaveToFileTest, AFileThatCannotBeWrittenShowsTheErrorBoxAndTheStatusSaysSo)
{
    typeCharacter("Valdane", "Aldric");
    addProvinces(exampleProvinces());

    // A folder where the file should be: it cannot be created.
    fs::create_directories(temp_.path() / "taken.txt");
    dialogs_.saveAs(out("taken.txt"));
    r->SaveToFile1->trigger();
    ASSERT_EQ(dialogs_.shown.size(), 1u);
    EXPECT_EQ(dialogs_.shown[0].icon, dbaware::Icon::Error);
    EXPECT_EQ(dialogs_.shown[0].caption, "Valdane Campaign Database");
    EXPECT_FALSE(dialogs_.shown[0].text.isEmpty());
    EXPECT_TRUE(dialogs_.shown[0].text.endsWith('.')) << "the error box's full stop";
    EXPECT_EQ(r->StatusBar1->text(), "Save Failed");
    EXPECT_TRUE(fs::is_directory(temp_.path() / "taken.txt"));
    EXPECT_EQ(frmTemp, nullptr);

    // A disk that is full from the first byte: the error at the first line.
    if (fs::exists("/dev/full")) {
        dialogs_.saveAs(QStringLiteral("/dev/full"));
        r->SaveToFile1->trigger();
        ASSERT_EQ(dialogs_.shown.size(), 2u);
        EXPECT_EQ(dialogs_.shown[1].text, "No space left on device.");
        EXPECT_EQ(r->StatusBar1->text(), "Save Failed");
    }

    // The window goes on as before: the next save writes the whole sheet.
    dialogs_.saveAs(out("Aldric.txt"));
    r->SaveToFile1->trigger();
    EXPECT_EQ(saved("Aldric.txt"), fileBytes(exampleSheet));
    EXPECT_EQ(r->StatusBar1->text(), "Save Complete");
    EXPECT_EQ(r->tblVDDB.state(), store::State::Browse);
}

#ifndef _WIN32
TEST_F(SaveToFileTest, ADiskThatFillsUpLeavesTheOldSheetWhole)
{
    typeCharacter("Valdane", "Aldric");
    addProvinces(exampleProvinces());
    const QByteArray old("Realm Sheet of last month\r\n");
    std::ofstream(temp_.path() / "Aldric.txt", std::ios::binary) << old.toStdString();

    // The system lets no file grow past 300 bytes: the sheet's writes fail
    // part way, as on a disk that fills up.
    dialogs_.saveAs(out("Aldric.txt"));
    withFileSizeLimit(300, [&] { r->SaveToFile1->trigger(); });

    ASSERT_EQ(dialogs_.shown.size(), 1u);
    EXPECT_EQ(dialogs_.shown[0].icon, dbaware::Icon::Error);
    EXPECT_TRUE(dialogs_.shown[0].text.contains(QString::fromLocal8Bit(std::strerror(EFBIG))))
        << dialogs_.shown[0].text.toStdString();
    EXPECT_EQ(saved("Aldric.txt"), old) << "the old sheet stays whole";
    for (const auto& entry : fs::directory_iterator(temp_.path()))
        EXPECT_FALSE(entry.path().filename().string().starts_with("Aldric.txt.")) << "left behind: " << entry.path();
    EXPECT_NE(r->StatusBar1->text(), "Save Complete");
    EXPECT_NE(r->StatusBar1->text(), "Save Processing...");

    // With room again the sheet replaces the old one.
    dialogs_.saveAs(out("Aldric.txt"));
    r->SaveToFile1->trigger();
    EXPECT_EQ(saved("Aldric.txt"), fileBytes(exampleSheet));
    EXPECT_EQ(r->StatusBar1->text(), "Save Complete");
}
#endif

TEST_F(SaveToFileTest, ACharacterWithBlankMaintenanceWritesAWholeSheet)
{
    // The first character shown, its maintenance boxes all blank: the figures
    // are worked out for every record shown, so its total is 0 and the sheet
    // is whole rather than stopping at a blank total.
    {
        store::Table t(context_->session);
        t.open("VDDB", "vddb.DB");
        t.insert();
        t.setText("Game_Name", "Valdane");
        t.setText("Character_Name", "Cara");
        t.post();
    }
    r->tblVDDB.refresh();
    ASSERT_EQ(r->dedtCharName->text(), "Cara");
    ASSERT_EQ(r->edtMaintTotal->text(), "0");

    dialogs_.saveAs(out("Cara.txt"));
    r->SaveToFile1->trigger();
    EXPECT_TRUE(dialogs_.shown.empty()) << dialogs_.texts().join('|').toStdString();
    EXPECT_EQ(r->StatusBar1->text(), "Save Complete");
    const QByteArray bytes = saved("Cara.txt");
    EXPECT_TRUE(bytes.contains("Provinces and Holdings: \r\nLey Lines: \r\n\r\n"));
    EXPECT_TRUE(bytes.contains("\r\nTotal Realm Maintenance/Costs"));
    EXPECT_TRUE(bytes.endsWith("\r\n"));
    EXPECT_EQ(frmTemp, nullptr);
}

TEST_F(SaveToFileTest, TheMenuItemIsDisabledWhileTheRecordIsEditedOrInserted)
{
    typeCharacter("Valdane", "Aldric");
    ASSERT_TRUE(r->SaveToFile1->isEnabled());

    // A keystroke puts the record into edit state: the command cannot run.
    typeInto(r->dedtDomainName, "Westmarch");
    ASSERT_EQ(r->tblVDDB.state(), store::State::Edit);
    EXPECT_FALSE(r->SaveToFile1->isEnabled());
    dialogs_.saveAs(out("never.txt"));
    r->SaveToFile1->trigger();
    EXPECT_TRUE(dialogs_.saveRequests.empty());
    EXPECT_TRUE(r->StatusBar1->text().isEmpty());

    // Saved, it runs, with the text now stored.
    r->SaveChanges1->trigger();
    EXPECT_TRUE(r->SaveToFile1->isEnabled());
    r->SaveToFile1->trigger();
    ASSERT_EQ(dialogs_.saveRequests.size(), 1u);
    EXPECT_TRUE(saved("never.txt").contains("\r\nThe Realm (Westmarch):\r\n"));

    // A new record: disabled until it is saved or dropped.
    r->InsertRecord1->trigger();
    EXPECT_FALSE(r->SaveToFile1->isEnabled());
    r->SaveToFile1->trigger();
    EXPECT_EQ(dialogs_.saveRequests.size(), 1u);
    r->CancelChanges1->trigger();
    EXPECT_TRUE(r->SaveToFile1->isEnabled());
    EXPECT_TRUE(dialogs_.shown.empty());
}

TEST_F(SaveToFileTest, NamesWithQuotesWriteAWholeSheet)
{
    const QString game = "Say \"Hi\"", name = "O'Brien \"the Bold\"";
    typeCharacter(game, name);
    addProvinces(exampleProvinces());
    // Provinces of names that a spliced filter or select would mix up.
    typeCharacter("Say \"Hi\"", "O");
    addProvinces({exampleProvinces()[0]});
    r->tblVDDB.refresh();
    ASSERT_TRUE(r->tblVDDB.findKey({game.toStdString(), name.toStdString()}));

    dialogs_.saveAs(out("quotes.txt"));
    r->SaveToFile1->trigger();
    EXPECT_TRUE(dialogs_.shown.empty()) << dialogs_.texts().join('|').toStdString();
    EXPECT_EQ(saved("quotes.txt"), fileBytes(exampleSheet));
    EXPECT_EQ(dialogs_.saveRequests.back().fileName, name);
    EXPECT_EQ(r->StatusBar1->text(), "Save Complete");
}

TEST_F(SaveToFileTest, MemosAreCopiedAtTheSheetsWidthsWhateverTheWindowsSize)
{
    // Word wrap and scroll bars as the sheet's widths take them.
    const std::vector<std::pair<DBMemo*, DBMemo::ScrollBars>> memos = {
        {r->dmemVassals, DBMemo::ScrollBars::Vertical},      {r->dmemLandTR, DBMemo::ScrollBars::None},
        {r->dmemSeaTR, DBMemo::ScrollBars::None},            {r->dmemPriestSpells, DBMemo::ScrollBars::Vertical},
        {r->dmemMageSpells, DBMemo::ScrollBars::Vertical},   {r->dmemBuildingProjects, DBMemo::ScrollBars::Vertical},
        {r->dmemMisc, DBMemo::ScrollBars::Vertical},
    };
    for (const auto& [m, bars] : memos) {
        EXPECT_TRUE(m->wordWrap()) << m->fieldName().toStdString();
        EXPECT_EQ(m->scrollBars(), bars) << m->fieldName().toStdString();
        EXPECT_EQ(m->font(), r->font()) << "the window's font";
    }

    typeCharacter("Valdane", "Aldric");
    const QString route = "Brightwater to Tamsvale by the old road through the hills and over the ford, 2 GB";
    typeInto(r->dmemLandTR, QStringList{route, "", "Tamsvale to Eastmarch, 1 GB"});
    typeInto(r->dmemVassals, QStringList{"Sir Ormond, lieutenant", ""});  // ends with a line break
    r->SaveChanges1->trigger();
    r->resize(1000, 700);
    QApplication::processEvents();
    ASSERT_GT(r->dmemLandTR->width(), sheet::width::landTradeRoutes);

    dialogs_.saveAs(out("memos.txt"));
    r->SaveToFile1->trigger();
    const QStringList lines = QString::fromUtf8(saved("memos.txt")).split("\r\n");
    const qsizetype land = lines.indexOf(" Land:");
    ASSERT_GE(land, 0);
    // The long route is broken as a memo of the sheet's width breaks it,
    // each part with the section's two blanks; the empty line stays.
    const QStringList parts = sheet::memoLines(*r->dmemLandTR, sheet::width::landTradeRoutes);
    ASSERT_GE(parts.size(), 4) << "the route wraps at the sheet's width";
    EXPECT_LT(r->dmemLandTR->displayLines().size(), parts.size()) << "the window shows it wider";
    for (qsizetype i = 0; i < parts.size(); ++i)
        EXPECT_EQ(lines[land + 1 + i], "  " + parts[i]);
    EXPECT_EQ(lines[land + parts.size() - 1], "  ");
    EXPECT_EQ(lines[land + parts.size()], "  Tamsvale to Eastmarch, 1 GB");
    EXPECT_EQ(lines[land + parts.size() + 1], "");
    QString joined;
    for (qsizetype i = 0; i + 2 < parts.size(); ++i)
        joined += parts[i];
    EXPECT_EQ(joined, route);

    // The vassals' final line break writes no empty line.
    const qsizetype vassals = lines.indexOf("Lieutenant/Vassal Information:");
    EXPECT_EQ(lines.mid(vassals, 5),
              (QStringList{"Lieutenant/Vassal Information:", "", "Sir Ormond, lieutenant", "", "Trade Routes:"}));
}

// The name suggested for a sheet or PDF keeps the file inside the save folder.
TEST_F(SaveToFileTest, TheSuggestedFileNameStaysInsideTheSaveFolder)
{
    const std::pair<QString, QString> cases[] = {{"../../x", "_._x"}, {"a/b\\c", "a_b_c"}, {"...", ""},
                                                 {".hidden", "hidden"}, {"~root", "_root"}, {"Al. B", "Al. B"}};
    for (const auto& [name, suggested] : cases) {
        typeCharacter("Valdane", name);
        for (QAction* command : {r->SaveToFile1, r->SaveAsPDF1})
            dialogs_.saveAs(std::nullopt), command->trigger();
        EXPECT_EQ(dialogs_.saveRequests.end()[-2].fileName, suggested) << name.toStdString();
        EXPECT_EQ(dialogs_.saveRequests.back().fileName, suggested.isEmpty() ? "" : suggested + ".pdf");
    }
}
