// File > Export Game as CSV and the keyboard of the browser's grid.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLineEdit>
#include <QProcess>
#include <QTest>

#include "app/shell_fixture.h"
#include "browser/vdsearch.h"
#include "campaign/catalogue.h"
#include "campaign/csv.h"
#include "dbaware/dbgrid.h"
#include "realm/vddetails.h"

using testing_support::ScriptedModal;
using testing_support::ShellTest;

namespace csv = campaign::csv;

TEST(Csv, FieldsAreQuotedOnlyWhenTheyMustBe)
{
    const std::pair<QString, QString> cases[] = {
        {"", ""},          {"plain words", "plain words"}, {"a,b", "\"a,b\""},     {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"\"", "\"\"\"\""}, {"two\r\nlines", "\"two\r\nlines\""}, {"lf\nonly", "\"lf\nonly\""}, {"cr\r", "\"cr\r\""},
        {" spaced ", " spaced "}, {"é;ü", "é;ü"}};
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(csv::field(text), expected) << text.toStdString();
    EXPECT_EQ(csv::record({"a", "b,c", "é"}), QByteArray("a,\"b,c\",\xc3\xa9\r\n"));
}

class ExportTest : public ShellTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(startUp());
        b = frmVDDBSearch;
        out = QString::fromStdString((temp_.path() / "out").string());
        std::filesystem::create_directories(temp_.path() / "out");
    }
    QByteArray read(const char* name)
    {
        QFile f(out + "/" + name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("missing");
    }
    TfrmVDDBSearch* b = nullptr;
    QString out;
    ScriptedModal modal_;
};

TEST_F(ExportTest, TheCurrentRowsGameGoesToTwoFilesThatASpreadsheetReadsBack)
{
    const std::string hostile = "Al \"the \"\"Bold\"\"\", of, Commas";
    const std::string memo = "first line\r\nsecond, \"quoted\"\nthird";
    addCharacter("North", hostile, {{"General_Ability_Memo", memo}, {"Warrior", "True"}, {"Palace_Value", "-3"}});
    addCharacter("North", "Bran");
    addCharacter("South", "Other");
    addProvince("North", hostile, "P,1", {{"Armies", memo}});
    addProvince("North", "Bran", "P\"2\"");
    addProvince("South", "Other", "not exported");
    b->tblVDDB.refresh();
    ASSERT_EQ(b->tblVDDB.text("Game_Name"), "North");

    dialogs_.chooseFolder(out);
    b->ExportGameAsCSV1->trigger();
    EXPECT_EQ(dialogs_.texts(),
              QStringList{"Exported 2 characters and 2 provinces of the game \"North\" to " + out + "."});

    const QByteArray characters = read("characters.csv");
    const QByteArray header = characters.left(characters.indexOf("\r\n"));
    EXPECT_TRUE(header.startsWith("Game_Name,Character_Name,Bloodline_Derivation,")) << "no byte order mark";
    EXPECT_EQ(header.count(',') + 1, 62);
    EXPECT_FALSE(read("provinces.csv").contains("AutoKeyInc"));
    EXPECT_TRUE(characters.endsWith("\r\n"));

    // Python's csv module reads both files back to what is stored.
    QProcess python;
    python.start("python3", {"-c",
                             "import csv,json,sys\n"
                             "print(json.dumps([list(csv.reader(open(f, newline='', encoding='utf-8')))"
                             " for f in sys.argv[1:]]))",
                             out + "/characters.csv", out + "/provinces.csv"});
    if (!python.waitForFinished(20000) || python.exitCode() != 0)
        GTEST_SKIP() << "python3 is not there";
    const QJsonArray files = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
    ASSERT_EQ(files.size(), 2);
    const QJsonArray chars = files[0].toArray(), provs = files[1].toArray();
    ASSERT_EQ(chars.size(), 3);
    const QJsonArray aric = chars[1].toArray();
    EXPECT_EQ(aric[1].toString().toStdString(), hostile);
    EXPECT_EQ(aric[campaign::findLayout("vddb.DB")->columnIndex("General_Ability_Memo")].toString().toStdString(), memo);
    EXPECT_EQ(aric[5].toString(), "True");
    EXPECT_EQ(aric[15].toString(), "-3");
    EXPECT_EQ(chars[2].toArray()[1].toString(), "Bran");
    ASSERT_EQ(provs.size(), 3);
    EXPECT_EQ(provs[1].toArray()[2].toString(), "P,1");
    EXPECT_EQ(provs[2].toArray()[2].toString(), "P\"2\"");
    EXPECT_EQ(provs[0].toArray().size(), 77) << "every column but the counter";
}

TEST_F(ExportTest, AnExistingFileIsReplacedOnlyWhenTheUserSaysSo)
{
    addCharacter("G", "Aric");
    b->tblVDDB.refresh();
    QFile old(out + "/provinces.csv");
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();

    for (dbaware::Answer answer : {dbaware::Answer::No, dbaware::Answer::Yes}) {
        const bool yes = answer == dbaware::Answer::Yes;
        dialogs_.shown.clear();
        dialogs_.chooseFolder(out);
        dialogs_.answer(answer);
        b->ExportGameAsCSV1->trigger();
        ASSERT_EQ(dialogs_.shown.size(), yes ? 2u : 1u);
        EXPECT_EQ(dialogs_.shown[0].text, out + " already holds provinces.csv. Replace it?");
        EXPECT_EQ(dialogs_.shown[0].buttons, dbaware::Buttons::YesNoDefaultNo);
        // No writes nothing, not even the file that was not there.
        EXPECT_EQ(read("provinces.csv").left(10), yes ? "Game_Name," : "old");
        EXPECT_EQ(QFile::exists(out + "/characters.csv"), yes);
    }
    EXPECT_EQ(dialogs_.texts().back(), "Exported 1 character and 0 provinces of the game \"G\" to " + out + ".");

    // No row, or a cancelled chooser: nothing written.
    dialogs_.shown.clear();
    dialogs_.chooseFolder(std::nullopt);
    b->ExportGameAsCSV1->trigger();
    b->edtSearch->setText("Nobody");
    b->btnName->click();
    b->ExportGameAsCSV1->trigger();
    EXPECT_EQ(dialogs_.texts(), QStringList{"There is no game to export."});
    EXPECT_EQ(dialogs_.folderTitles.size(), 3);
}

TEST_F(ExportTest, EnterOnARowOfTheGridOpensItAsADoubleClickDoes)
{
    addCharacter("G", "Aric");
    addCharacter("G", "Bran");
    b->tblVDDB.refresh();
    b->DBGrid1->setFocus();
    QTest::keyClick(b->DBGrid1, Qt::Key_Down);
    for (auto [key, modifiers] : {std::pair{Qt::Key_Return, Qt::NoModifier}, {Qt::Key_Enter, Qt::KeypadModifier}}) {
        modal_.shown.clear();
        QTest::keyClick(b->DBGrid1, key, modifiers);
        ASSERT_EQ(modal_.shown.size(), 1u);
        EXPECT_EQ(modal_.shown[0], frmRealmDetails);
        EXPECT_EQ(frmRealmDetails->tblVDDB.text("Character_Name"), "Bran");
    }
    modal_.shown.clear();
    QTest::keyClick(b->edtSearch, Qt::Key_Return);
    EXPECT_TRUE(modal_.shown.empty()) << "Enter in the search box opens nothing";
}
