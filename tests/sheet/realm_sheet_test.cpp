// The sheet's lines from canned window texts and province rows.
#include "sheet_fixture.h"
#include "dbaware/text.h"

#include <limits>

using namespace sheet_testing;
using sheet::ProvinceRow;

namespace {

const QString header = "   Province        Temple     Guild      Law        Source     Fort   Terrain";

// The lines between the column header and the blank line after the rows.
QStringList rowsOf(const QStringList& lines)
{
    const qsizetype at = lines.indexOf(header);
    const qsizetype end = lines.indexOf(QString(), at);
    return lines.mid(at + 1, end - at - 1);
}

QString rowOf(const ProvinceRow& row, int index = 0) { return sheet::provinceRowLine(index, row); }

}  // namespace

TEST(RealmSheet, WorkedExampleLineByLine)
{
    const QStringList lines = sheetLines(exampleTexts(), canned(exampleRows(), exampleArmies()));
    EXPECT_EQ(lines, exampleSheet);
}

TEST(RealmSheet, ProvinceColumnsLineUpUnderTheHeading)
{
    const QString a = rowOf(exampleRows()[0]);
    EXPECT_EQ(header.indexOf("Temple"), 19);
    for (const char* column : {"Temple", "Guild", "Law", "Source"})
        EXPECT_EQ(a[header.indexOf(column)], u' ') << column << ": a holding column opens with a blank";
    EXPECT_EQ(a.mid(20, 6), "2(OTA)");
    EXPECT_EQ(a.mid(31, 1), "1");
    EXPECT_EQ(a.mid(42, 5), "3(AV)");
    EXPECT_EQ(a.mid(header.indexOf("Fort"), 7), "2      ");
    EXPECT_EQ(a.mid(header.indexOf("Terrain")), "Plains");

    // Terrain as it stands, blanks and all.
    ProvinceRow r = exampleRows()[0];
    r.terrain = " Hills ";
    EXPECT_TRUE(rowOf(r).endsWith("2       Hills "));
}

TEST(RealmSheet, LongNamesAndOwnersPushTheRowRightAndNothingIsCut)
{
    ProvinceRow r = exampleRows()[0];
    r.name = "Twelve Chars";  // exactly 12: no blank before the level
    EXPECT_TRUE(rowOf(r).startsWith("A) Twelve Chars3/2  2(OTA)")) << rowOf(r).toStdString();
    r.name = "Greyhollow Downs";
    EXPECT_TRUE(rowOf(r).startsWith("A) Greyhollow Downs3/2  2(OTA)"));

    r = exampleRows()[0];
    const QString before = rowOf(r);
    r.templeOwner = "Ironhand";  // eight characters: ten with the brackets
    const QString wide = rowOf(r);
    EXPECT_EQ(wide.mid(20, 11), "2(Ironhand)");
    EXPECT_EQ(wide.size(), before.size() + 1);
    EXPECT_EQ(wide.mid(31), before.mid(30)) << "the rest moves one to the right";
    r.templeOwner = "Seven77";  // seven still fits
    EXPECT_EQ(rowOf(r).size(), before.size());

    r = exampleRows()[0];
    r.templeLevel = "12";
    r.fort = "12345678";
    EXPECT_EQ(rowOf(r), "A) Brightwater 3/2  12(OTA)     1          3(AV)                12345678Plains");
}

TEST(RealmSheet, EmptyLevelsAndOwners)
{
    ProvinceRow r = exampleRows()[0];
    r.level.clear();
    EXPECT_TRUE(rowOf(r).startsWith("A) Brightwater /2  2(OTA)"));
    r.maxSource.clear();
    EXPECT_TRUE(rowOf(r).startsWith("A) Brightwater /  2(OTA)"));
    r = exampleRows()[0];
    r.maxSource.clear();
    EXPECT_TRUE(rowOf(r).startsWith("A) Brightwater 3/  2(OTA)"));

    // An empty holding level leaves one blank; an empty, blank or control-
    // character owner leaves nine; an owner is trimmed inside its brackets.
    r = exampleRows()[0];
    r.templeLevel.clear();
    r.templeOwner = "   ";
    r.guildOwner = "\t\r\n";
    r.lawOwner = "  AV\t";
    EXPECT_EQ(rowOf(r), "A) Brightwater 3/2             1          3(AV)                2      Plains");
    r.templeOwner = " O T A ";
    EXPECT_EQ(rowOf(r).mid(19, 11), "  (O T A)  ");
}

TEST(RealmSheet, PaddingCountsCharactersNotBytes)
{
    ProvinceRow r = exampleRows()[0];
    r.name = QString::fromUtf8("Ærøskøbing");  // ten characters, thirteen UTF-8 bytes
    EXPECT_TRUE(rowOf(r).startsWith(QString::fromUtf8("A) Ærøskøbing  3/2 ")));
    r.name = QString::fromUtf8("\U0001D504lba");  // four characters, five UTF-16 units
    EXPECT_TRUE(rowOf(r).startsWith(QString::fromUtf8("A) \U0001D504lba        3/2 ")));
    EXPECT_EQ(sheet::padRight(QString::fromUtf8("Ærø"), 5), QString::fromUtf8("Ærø  "));
    EXPECT_EQ(sheet::padRight("toolong", 3), "toolong");
}

TEST(RealmSheet, RowsAreLabelledOnThroughTheCodesAfterZ)
{
    std::vector<ProvinceRow> rows(28, exampleRows()[1]);
    const QStringList got = rowsOf(sheetLines(exampleTexts(), canned(rows, {})));
    ASSERT_EQ(got.size(), 28);
    EXPECT_TRUE(got[0].startsWith("A) Greyhollow"));
    EXPECT_TRUE(got[25].startsWith("Z) Greyhollow"));
    EXPECT_TRUE(got[26].startsWith("[) Greyhollow"));
    EXPECT_TRUE(got[27].startsWith("\\) Greyhollow"));
    // Each row is the row of its own index; the index alone differs.
    for (int i = 0; i < 28; ++i)
        EXPECT_EQ(got[i], rowOf(rows[0], i));
    EXPECT_EQ(rowOf(rows[0], 191)[0], QChar(0));  // the codes wrap at 256
    EXPECT_EQ(rowOf(rows[0], 256)[0], u'A');
}

TEST(RealmSheet, ACharacterWithoutProvinces)
{
    const QStringList lines = sheetLines(exampleTexts(), canned({}, {}));
    const qsizetype at = lines.indexOf(header);
    ASSERT_GE(at, 0);
    EXPECT_EQ(lines.mid(at, 3), (QStringList{header, "", "Lieutenant/Vassal Information:"}));
    const qsizetype armies = lines.indexOf("Armies:");
    EXPECT_EQ(lines.mid(armies, 4), (QStringList{"Armies:", "", "", "Realm Spells:"}));
    EXPECT_EQ(lines.size(), exampleSheet.size() - 6) << "two rows and four army lines fewer";
}

TEST(RealmSheet, TotalMaintenanceLine)
{
    using sheet::maintenanceTotalLine;
    EXPECT_EQ(maintenanceTotalLine("3", "15"), "Total Realm Maintenance/Costs (Admin 3): 15/14");
    EXPECT_EQ(maintenanceTotalLine("", "15"), "Total Realm Maintenance/Costs: 15");
    EXPECT_EQ(maintenanceTotalLine("  ", "15"), "Total Realm Maintenance/Costs: 15");
    EXPECT_EQ(maintenanceTotalLine("0", "15"), "Total Realm Maintenance/Costs (Admin 0): 15/14") << "0 is a check";
    EXPECT_EQ(maintenanceTotalLine(" 2 ", "0"), "Total Realm Maintenance/Costs (Admin 2): 0/-1");
    EXPECT_EQ(maintenanceTotalLine("", " 015"), "Total Realm Maintenance/Costs: 15") << "written back as a number";
    // The smallest whole number (here in hex) less one is still written as it is.
    EXPECT_EQ(maintenanceTotalLine("1", "$80000000"),
              "Total Realm Maintenance/Costs (Admin 1): -2147483648/-2147483649");
    EXPECT_EQ(maintenanceTotalLine("1", "2147483647"), "Total Realm Maintenance/Costs (Admin 1): 2147483647/2147483646");
}

TEST(RealmSheet, ATotalThatIsNoNumberStopsTheSheetAfterTheLeyLines)
{
    for (const QString& bad : {QString(), QString("abc"), QString("1.5"), QString("15 "), QString("2147483648")}) {
        sheet::RealmTexts t = exampleTexts();
        t.maintTotal = bad;
        QStringList lines;
        try {
            sheet::writeSheet(t, canned(exampleRows(), exampleArmies()), [&lines](const QString& l) { lines << l; });
            ADD_FAILURE() << "no error for " << bad.toStdString();
        } catch (const sheet::SheetError& e) {
            EXPECT_EQ(QString::fromUtf8(e.what()), "'" + bad + "' is not a valid integer value");
        }
        const qsizetype total = exampleSheet.indexOf("Total Realm Maintenance/Costs (Admin 3): 15/14");
        EXPECT_EQ(lines, exampleSheet.mid(0, total)) << "everything up to the blank line after Ley Lines";
    }
}

TEST(RealmSheet, TreasuryLine)
{
    using sheet::treasuryLine;
    EXPECT_EQ(treasuryLine("12", ""), " Treasury: 12GB");
    EXPECT_EQ(treasuryLine("12", "0"), " Treasury: 12GB");
    EXPECT_EQ(treasuryLine("12", "   "), " Treasury: 12GB");
    EXPECT_EQ(treasuryLine("12", " 0 "), " Treasury: 12GB");
    EXPECT_EQ(treasuryLine("12", "5"), " Treasury: 12GB, 5 GP");
    EXPECT_EQ(treasuryLine("12", "00"), " Treasury: 12GB, 00 GP");
    EXPECT_EQ(treasuryLine("12", " 5"), " Treasury: 12GB,  5 GP") << "the GP as shown, untrimmed";
    EXPECT_EQ(treasuryLine("", "-3"), " Treasury: GB, -3 GP");
}

TEST(RealmSheet, RealmHeadingAndChecks)
{
    EXPECT_EQ(sheet::realmHeading(""), "The Realm:");
    EXPECT_EQ(sheet::realmHeading(" \t "), "The Realm:");
    EXPECT_EQ(sheet::realmHeading(" East "), "The Realm ( East ):");

    sheet::RealmTexts t = exampleTexts();
    t.administrationCheck.clear();
    t.intrigueCheck.clear();
    t.domainName = "  ";
    t.currentGP = "5";
    const QStringList lines = sheetLines(t, canned({}, {}));
    EXPECT_EQ(lines[3], "  Research (2), Administration (), Law (1), Leadership (4),");
    EXPECT_EQ(lines[4], "  Intrigue (), Diplomacy (2)");
    EXPECT_EQ(lines[6], "The Realm:");
    EXPECT_TRUE(lines.contains("Total Realm Maintenance/Costs: 15"));
    EXPECT_TRUE(lines.contains(" Treasury: 12GB, 5 GP"));
}

TEST(RealmSheet, MemoSections)
{
    sheet::RealmTexts t = exampleTexts();
    t.vassals = {"Sir Ormond", ""};                     // ends with a line break
    t.landTradeRoutes = {"Road A", "", "Road B", ""};   // an empty line in the middle
    t.seaTradeRoutes = {"Bay", "", ""};                  // two breaks at the end: one empty line stays
    t.priestSpells = {"", ""};                           // a lone line break: one empty line
    t.misc.clear();
    const QStringList lines = sheetLines(t, canned({}, {{"Keep", {"3 pikes", ""}}, {"Moor", {""}}}));
    auto after = [&lines](const QString& heading, int n) { return lines.mid(lines.indexOf(heading) + 1, n); };
    EXPECT_EQ(after("Lieutenant/Vassal Information:", 3), (QStringList{"", "Sir Ormond", ""}));
    EXPECT_EQ(after(" Land:", 4), (QStringList{"  Road A", "  ", "  Road B", ""}));
    EXPECT_EQ(after(" Sea:", 3), (QStringList{"  Bay", "  ", ""}));
    EXPECT_EQ(after("Armies:", 5), (QStringList{"", " Province: Keep", "  3 pikes", " Province: Moor", ""}));
    EXPECT_EQ(after(" Priest:", 2), (QStringList{"  ", ""}));
    // An empty memo writes nothing: the sheet ends after the blank line.
    EXPECT_EQ(lines.mid(lines.size() - 2), (QStringList{"Miscellaneous Leftovers:", ""}));
}

TEST(RealmSheet, TrimmingTakesOffControlCharactersOnly)
{
    EXPECT_EQ(dbaware::trimmed(QString("\x01\t a b \x1f")), "a b");
    EXPECT_EQ(dbaware::trimmed(QString::fromUtf8("\u00a0x\u00a0")), QString::fromUtf8("\u00a0x\u00a0"))
        << "a no-break space is no control character";
    EXPECT_EQ(dbaware::trimmed(" \n "), "");
}
