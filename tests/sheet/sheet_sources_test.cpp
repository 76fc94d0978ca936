// The sheet from the store: province rows through the query, armies through
// the hidden window, memo lines at the memos' widths.
#include "sheet_fixture.h"

#include <QFont>
#include <QRegularExpression>
#include <QWidget>

#include "dbaware/dbmemo.h"
#include "sheet/vdtemp.h"
#include "store/fixture.h"
#include "store/query.h"
#include "support/scripted_dialogs.h"

#include <fstream>

using namespace sheet_testing;
using dbaware::DBMemo;
namespace fs = std::filesystem;

namespace {

class SheetSourcesTest : public testing_support::StoreTest {
protected:
    SheetSourcesTest() : provs(openTable("vdprovs.db")), query(session_) { owner.resize(640, 480); }

    void addProvince(const std::string& game, const std::string& name, const sheet::ProvinceRow& r,
                     const std::string& armies = {})
    {
        addOwner(*provs, game, name);
        provs->insert();
        const std::vector<std::pair<const char*, QString>> fields = {
            {"Province_Name", r.name},        {"Province_Level", r.level},     {"Max_Source_Potential", r.maxSource},
            {"Temple1_Level", r.templeLevel}, {"Temple1_Owner", r.templeOwner}, {"Guild1_Level", r.guildLevel},
            {"Guild1_Owner", r.guildOwner},   {"Law1_Level", r.lawLevel},       {"Law1_Owner", r.lawOwner},
            {"Source1_Level", r.sourceLevel}, {"Source1_Owner", r.sourceOwner}, {"Fortification_Level", r.fort},
            {"Province_Terrain", r.terrain}};
        provs->setText("Game_Name", game);
        provs->setText("Character_Name", name);
        for (const auto& [k, v] : fields)
            provs->setText(k, v.toStdString());
        provs->setText("Armies", armies);
        // Further holdings are not on the sheet.
        provs->setText("Temple2_Level", "9");
        provs->setText("Temple2_Owner", "Second");
        provs->post();
    }
    void addExample(const std::string& game = "Valdane", const std::string& name = "Aldric")
    {
        const auto rows = exampleRows();
        addProvince(game, name, rows[0], "2 units of infantry\r\n1 unit of archers\r\n");
        addProvince(game, name, rows[1]);
    }
    // The sheet written through the file, as the window's command does.
    QByteArray save(const sheet::RealmTexts& texts)
    {
        const fs::path file = temp_.path() / "sheet.txt";
        sheet::saveSheet(QString::fromStdString(file.string()), texts, query, session_, &owner);
        return readAll(file);
    }
    QStringList lines(const sheet::RealmTexts& texts)
    {
        return sheetLines(texts, sheet::storeSources(texts, query, session_, &owner));
    }
    // A memo as the realm window has it, holding `text`.
    DBMemo* memo(const QString& text, DBMemo::ScrollBars bars = DBMemo::ScrollBars::Vertical)
    {
        auto* m = new DBMemo(&owner);
        m->setScrollBars(bars);
        m->setPlainText(text);
        return m;
    }

    std::unique_ptr<store::Table> provs;
    store::Query query;
    QWidget owner;
};

}  // namespace

TEST_F(SheetSourcesTest, WorkedExampleFromTheStoreByteForByte)
{
    addExample();
    // Others' provinces: the same character in another game, another
    // character of the game, and names that differ only in letter case or blanks.
    addProvince("Valdane", "Bera", exampleRows()[0], "lots");
    addProvince("Other", "Aldric", exampleRows()[1], "lots");
    addProvince("valdane", "Aldric", exampleRows()[1]);
    addProvince("Valdane", "Aldric ", exampleRows()[1]);

    // The memos' lines as the window's controls show them at their widths.
    sheet::RealmTexts t = exampleTexts();
    t.vassals = sheet::memoLines(*memo("Sir Ormond, lieutenant\nLady Tess, vassal in Greyhollow Downs\n"),
                                 sheet::width::vassals);
    t.landTradeRoutes = sheet::memoLines(*memo("Brightwater to Tamsvale, 2 GB", DBMemo::ScrollBars::None),
                                         sheet::width::landTradeRoutes);
    t.seaTradeRoutes = sheet::memoLines(*memo("", DBMemo::ScrollBars::None), sheet::width::seaTradeRoutes);
    t.priestSpells = sheet::memoLines(*memo("Bless Land"), sheet::width::priestSpells);
    t.mageSpells = sheet::memoLines(*memo(""), sheet::width::mageSpells);
    t.buildingProjects = sheet::memoLines(*memo("Road to Tamsvale, 3 GB left"), sheet::width::buildingProjects);
    t.misc = sheet::memoLines(*memo("Owes the river guild a favour"), sheet::width::misc);

    EXPECT_EQ(save(t), fileBytes(exampleSheet));
    EXPECT_EQ(frmTemp, nullptr) << "the hidden window is freed after the armies";
    EXPECT_TRUE(owner.findChildren<TfrmTemp*>().isEmpty());
    EXPECT_TRUE(query.isOpen()) << "the query stays open with its last select";
}

TEST_F(SheetSourcesTest, NamesWithQuotesWriteAWholeSheet)
{
    const std::string game = "Say \"Hi\"", name = "O'Brien \"the Bold\"";
    addExample(game, name);
    addExample("Say \"Hi\"", "O");
    sheet::RealmTexts t = exampleTexts();
    t.gameName = QString::fromStdString(game);
    t.characterName = QString::fromStdString(name);
    EXPECT_EQ(save(t), fileBytes(exampleSheet));
}

TEST_F(SheetSourcesTest, ACharacterWithoutProvincesAndEachRunSelectsAfresh)
{
    addExample();
    sheet::RealmTexts t = exampleTexts();
    EXPECT_EQ(lines(t), exampleSheet);

    // The same query, a character without provinces: its statement is replaced.
    t.characterName = "Bera";
    const QStringList none = lines(t);
    const qsizetype at = none.indexOf("The Realm (Eastmarch):");
    EXPECT_EQ(none.mid(at + 2, 2), (QStringList{"", "Lieutenant/Vassal Information:"}));
    const qsizetype armies = none.indexOf("Armies:");
    EXPECT_EQ(none.mid(armies, 4), (QStringList{"Armies:", "", "", "Realm Spells:"}));

    // And a province added since shows on the next run.
    addProvince("Valdane", "Bera", exampleRows()[1], "1 ship");
    const QStringList one = lines(t);
    EXPECT_TRUE(one.contains(sheet::provinceRowLine(0, exampleRows()[1])));
    EXPECT_EQ(one.mid(one.indexOf("Armies:") + 2, 2), (QStringList{" Province: Greyhollow Downs", "  1 ship"}));
}

TEST_F(SheetSourcesTest, ArmiesAreReadThroughTheHiddenWindowInTheOwnersFont)
{
    const QString longArmies =
        "12 units of heavy infantry, 4 units of knights, 3 units of archers and two companies of scouts "
        "held in reserve at the ford";
    sheet::ProvinceRow r = exampleRows()[0];
    addProvince("Valdane", "Aldric", r, (longArmies + "\r\n\r\nGarrison").toStdString());

    QFont font = owner.font();
    font.setPointSize(font.pointSize() + 4);
    owner.setFont(font);

    sheet::Sources s = sheet::storeSources(exampleTexts(), query, session_, &owner);
    std::vector<sheet::ProvinceArmies> seen;
    s.armies([&](const sheet::ProvinceArmies& p) {
        ASSERT_NE(frmTemp, nullptr);
        EXPECT_EQ(frmTemp->parentWidget(), &owner);
        EXPECT_TRUE(frmTemp->isWindow());
        EXPECT_FALSE(frmTemp->isVisible());
        EXPECT_EQ(frmTemp->dmemArmies->font(), font) << "wrapped in the owner's font";
        EXPECT_EQ(frmTemp->dmemArmies->width(), sheet::width::armies);
        EXPECT_EQ(frmTemp->dmemArmies->toPlainText(), longArmies + "\n\nGarrison");
        seen.push_back(p);
    });
    EXPECT_EQ(frmTemp, nullptr);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].province, "Brightwater");

    // The line wider than the memo is broken as a memo of that width breaks
    // it, and the sheet writes each part with the section's blanks.
    DBMemo* same = memo(longArmies + "\n\nGarrison", DBMemo::ScrollBars::None);
    const QStringList expected = sheet::memoLines(*same, sheet::width::armies);
    ASSERT_GE(expected.size(), 4);
    EXPECT_EQ(seen[0].lines, expected);
    const QStringList sheetLines = lines(exampleTexts());
    const qsizetype at = sheetLines.indexOf(" Province: Brightwater");
    for (qsizetype i = 0; i < expected.size(); ++i)
        EXPECT_EQ(sheetLines[at + 1 + i], "  " + expected[i]);
    EXPECT_EQ(sheetLines[at + expected.size() - 1], "  ") << "the empty line inside the armies";
    EXPECT_EQ(sheetLines[at + expected.size()], "  Garrison");
    QString joined;
    for (qsizetype i = 0; i + 2 < expected.size(); ++i)
        joined += expected[i];
    EXPECT_EQ(joined, longArmies) << "wrapping loses and adds nothing";
}

TEST_F(SheetSourcesTest, MemoLinesFollowTheWidthNotTheMemosOwnSize)
{
    const QString text = "Brightwater to Tamsvale by the old road through the hills, 2 GB a season\nShort";
    DBMemo* land = memo(text, DBMemo::ScrollBars::None);
    land->setFixedWidth(80);  // however the window lays it out
    const QStringList lines = sheet::memoLines(*land, sheet::width::landTradeRoutes);

    DBMemo* shown = memo(text, DBMemo::ScrollBars::None);
    shown->setFixedWidth(sheet::width::landTradeRoutes);
    owner.show();
    EXPECT_EQ(shown->displayLines(), lines) << "as a shown control of that width counts them";
    EXPECT_GE(lines.size(), 3);
    EXPECT_EQ(lines.back(), "Short");
    EXPECT_GT(land->displayLines().size(), lines.size());
    EXPECT_EQ(land->width(), 80) << "the memo itself is left as it was";

    // Scroll bars take their part of the width.
    const QStringList wider = sheet::memoLines(*memo(text, DBMemo::ScrollBars::None), 505);
    const QStringList withBar = sheet::memoLines(*memo(text, DBMemo::ScrollBars::Vertical), 505);
    EXPECT_LE(wider.size(), withBar.size());
    EXPECT_TRUE(sheet::memoLines(*memo(""), 505).isEmpty());

    // In the sheet each part of the wrapped route carries the two blanks.
    sheet::RealmTexts t = exampleTexts();
    t.landTradeRoutes = lines;
    const QStringList sheet = sheetLines(t, canned({}, {}));
    const qsizetype at = sheet.indexOf(" Land:");
    for (qsizetype i = 0; i < lines.size(); ++i)
        EXPECT_EQ(sheet[at + 1 + i], "  " + lines[i]);
    EXPECT_EQ(sheet[at + 1 + lines.size()], "");
}

TEST_F(SheetSourcesTest, AnInvalidTotalEndsTheSaveAndLeavesTheFileAsItWas)
{
    addExample();
    sheet::RealmTexts t = exampleTexts();
    t.maintTotal = "x";
    const fs::path file = temp_.path() / "part.txt";
    EXPECT_THROW(sheet::saveSheet(QString::fromStdString(file.string()), t, query, session_, &owner),
                 sheet::SheetError);
    EXPECT_FALSE(fs::exists(file)) << "no partial sheet";
    std::ofstream(file, std::ios::binary) << "older sheet";
    EXPECT_THROW(sheet::saveSheet(QString::fromStdString(file.string()), t, query, session_, &owner),
                 sheet::SheetError);
    EXPECT_EQ(readAll(file), QByteArray("older sheet"));
    for (const auto& entry : fs::directory_iterator(temp_.path()))
        EXPECT_FALSE(entry.path().filename().string().starts_with("part.txt.")) << "left behind: " << entry.path();
    EXPECT_EQ(frmTemp, nullptr);
}

TEST_F(SheetSourcesTest, TheSaveChangesNoRecord)
{
    addExample();
    const std::int64_t before = provs->dataVersion();
    save(exampleTexts());
    EXPECT_EQ(provs->dataVersion(), before);
    EXPECT_EQ(provs->recordCount(), 2);
    provs->first();
    EXPECT_EQ(provs->text("Armies"), "2 units of infantry\r\n1 unit of archers\r\n") << "the armies as they were";
}

TEST_F(SheetSourcesTest, SaveCommandAsksForTheFileAndReportsItsProgress)
{
    addExample();
    testing_support::ScriptedDialogs boxes;
    const fs::path program = temp_.path() / "prog";
    QStringList statuses;
    auto status = [&statuses](const QString& s) { statuses << s; };

    // Cancelled: the folder is made all the same, nothing is read or written.
    boxes.saveAs(std::nullopt);
    sheet::saveToFile(&owner, program, exampleTexts(), query, session_, status);
    EXPECT_EQ(statuses, QStringList{"Save Canceled"});
    ASSERT_EQ(boxes.saveRequests.size(), 1u);
    const dbaware::SaveRequest& r = boxes.saveRequests[0];
    EXPECT_EQ(r.title, "Save Realm To:");
    EXPECT_EQ(r.folder, QString::fromStdString((program / "Save").string()));
    EXPECT_EQ(r.fileName, "Aldric");
    EXPECT_TRUE(fs::is_directory(program / "Save"));
    EXPECT_TRUE(fs::is_empty(program / "Save"));
    EXPECT_FALSE(query.isOpen()) << "no select for a cancelled save";

    // A file chosen: processing, then complete, and the whole sheet.
    statuses.clear();
    const fs::path file = program / "Save" / "Aldric.txt";
    boxes.saveAs(QString::fromStdString(file.string()));
    sheet::saveToFile(&owner, program, exampleTexts(), query, session_, status);
    EXPECT_EQ(statuses, (QStringList{"Save Processing...", "Save Complete"}));
    EXPECT_EQ(readAll(file), fileBytes(exampleSheet));

    // A file that cannot be written: the error goes on to the window's error
    // box and the status says the save failed.
    statuses.clear();
    boxes.saveAs(QString::fromStdString((program / "Save").string()));  // a folder
    EXPECT_THROW(sheet::saveToFile(&owner, program, exampleTexts(), query, session_, status), sheet::SheetError);
    EXPECT_EQ(statuses, (QStringList{"Save Processing...", "Save Failed"}));
    EXPECT_EQ(frmTemp, nullptr);
    EXPECT_TRUE(boxes.shown.empty()) << "no box of its own";
}

TEST_F(SheetSourcesTest, ManyProvincesWithArmiesOfSeveralLinesByteForByte)
{
    // Thirty provinces, stored out of key order; armies of one to several
    // lines: blank lines, each kind of line break, a trailing break, letters
    // outside ASCII, a tab, and lines wider than the memo.
    const QString wide = "14 units of heavy infantry, 6 units of knights, 3 units of archers and two companies "
                         "of scouts held in reserve at the ford";
    const QStringList armies = {"2 units of infantry\r\n1 unit of archers\r\n", "",
                                QString::fromUtf8("Élite guard\r\n\r\nGarrison of Ærø"), "1 ship\n2 ships\r3 ships",
                                wide + "\r\nMilitia", "Scouts\tand pickets", "\r\n", wide};
    sheet::ProvinceRow r;
    r.maxSource = "4";
    r.templeLevel = "1";
    r.templeOwner = "OTA";
    r.lawLevel = "3";
    r.lawOwner = "AV";
    r.fort = "2";
    r.terrain = "Hills";
    // Both sections list them as the store keeps them: here in the order added.
    const std::vector<int> order = {29, 0, 27, 1, 26, 2, 28, 3, 25, 4, 5,  6,  7,  8,  9,
                                    10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24};
    for (int i : order) {
        r.name = QString("Province %1").arg(i, 2, 10, QChar('0'));
        r.level = QString::number(i % 7);
        addProvince("Valdane", "Aldric", r, armies[i % armies.size()].toStdString());
    }
    addProvince("Valdane", "Bera", r, "not hers");

    QStringList expected = exampleSheet;
    const qsizetype rows = expected.indexOf("A) Brightwater 3/2  2(OTA)     1          3(AV)                2      Plains");
    expected.remove(rows, 2);
    const qsizetype armiesAt = expected.indexOf(" Province: Brightwater");
    expected.remove(armiesAt, 4);
    QStringList rowLines, armyLines;
    for (int n = 0; n < 30; ++n) {
        const int i = order[n];
        rowLines << QString("%1) Province %2 %3/4  1(OTA)                3(AV)                2      Hills")
                        .arg(QChar(u'A' + n))
                        .arg(i, 2, 10, QChar('0'))
                        .arg(i % 7);
        armyLines << QString(" Province: Province %1").arg(i, 2, 10, QChar('0'));
        QStringList lines = sheet::memoLines(*memo(DBMemo::shownText(armies[i % armies.size()]), DBMemo::ScrollBars::None),
                                             sheet::width::armies);
        if (!lines.isEmpty() && lines.back().isEmpty())
            lines.removeLast();
        for (const QString& l : lines)
            armyLines << "  " + l;
    }
    EXPECT_EQ(rowLines[26], "[) Province 21 0/4  1(OTA)                3(AV)                2      Hills");
    EXPECT_EQ(rowLines[27], "\\) Province 22 1/4  1(OTA)                3(AV)                2      Hills");
    EXPECT_EQ(armyLines.mid(armyLines.indexOf(" Province: Province 00"), 4),
              (QStringList{" Province: Province 00", "  2 units of infantry", "  1 unit of archers",
                           " Province: Province 27"}));
    EXPECT_GT(armyLines.size(), 30 + 30 * 2) << "the wide lines are broken";
    for (qsizetype i = rowLines.size() - 1; i >= 0; --i)
        expected.insert(rows, rowLines[i]);
    for (qsizetype i = armyLines.size() - 1; i >= 0; --i)
        expected.insert(armiesAt + rowLines.size(), armyLines[i]);

    const QByteArray bytes = save(exampleTexts());
    EXPECT_EQ(QString::fromUtf8(bytes).split("\r\n"), expected + QStringList{""}) << "line by line";
    EXPECT_EQ(bytes, fileBytes(expected));
}

TEST_F(SheetSourcesTest, StoredTextsOfAnyLettersWriteTheSameBytesAsTheirLines)
{
    // The file takes ASCII fields as stored and any other through its text:
    // both must give the bytes of the sheet's lines. Enough provinces for the
    // labels to pass the ASCII codes and wrap after 255.
    struct Case {
        const char* name;
        const char* level;
        const char* owner;
        const char* terrain;
        const char* armies;
    };
    const std::vector<Case> cases = {
        {"Plain", "3", "OTA", "Hills", "2 units of infantry\r\n1 unit of archers\r\n"},
        {"A name longer than twelve", "12", "  AV\t ", "Plains", "1 ship\n2 ships\r3 ships"},
        {"Ærø", "", " Ōda ", "Fjord", "Élite guard\r\n\r\nGarrison"},
        {"Tam", "1", "Lengthy owner", "𝔄 marsh", "军队 two"},
        {"Vale", "2", "", "", "Scouts\tand pickets\n"},
        {"Wide", "0", "\t", "Forest",
         "14 units of heavy infantry, 6 units of knights, 3 units of archers and two companies of scouts\r\nMilitia"},
        {"Empty", "4", "Ré", "Moor", ""},
    };
    sheet::ProvinceRow r;
    r.maxSource = "4";
    r.templeLevel = "1";
    r.lawLevel = "3";
    r.lawOwner = "AV";
    r.fort = "2";
    for (int i = 0; i < 200; ++i) {
        const Case& c = cases[static_cast<std::size_t>(i) % cases.size()];
        r.name = QString::fromUtf8(c.name) + QString::number(i);
        r.level = QString::fromUtf8(c.level);
        r.templeOwner = QString::fromUtf8(c.owner);
        r.terrain = QString::fromUtf8(c.terrain);
        addProvince("Valdane", "Aldric", r, c.armies);
    }
    const sheet::RealmTexts t = exampleTexts();
    const QStringList expected = lines(t);
    ASSERT_EQ(expected.filter(QRegularExpression("^ Province: ")).size(), 200);
    const QByteArray saved = save(t);
    EXPECT_EQ(saved, fileBytes(expected));
    for (const char* text : {"\r\nB) A name longer than twelve112/4  1(AV)     ", "Ærø2        /4  1(Ōda)    ", "1(Lengthy owner)",
                             "𝔄 marsh", "\r\n  Élite guard\r\n  \r\n  Garrison\r\n", "\r\n  1 ship\r\n  2 ships\r\n"})
        EXPECT_TRUE(saved.contains(text)) << text;
}
