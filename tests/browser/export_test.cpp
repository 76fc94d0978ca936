// File > Export Game as CSV, and Enter on the browser's grid.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTest>

#include "app/shell_fixture.h"
#include "campaign/csv.h"
#include "dbaware/dbgrid.h"

using dbaware::Answer;

TEST(Csv, FieldsAreQuotedOnlyWhenTheyMustBe)
{
    const std::pair<QString, QString> cases[] = {
        {"", ""}, {" plain ", " plain "}, {"a,b", "\"a,b\""}, {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"cr\rlf\n", "\"cr\rlf\n\""}, {"é;", "é;"},
        // What a spreadsheet would run as a formula is text; numbers stay numbers.
        {"=1+1", "\"'=1+1\""}, {"+cmd|' /C calc'!A0", "\"'+cmd|' /C calc'!A0\""}, {"@SUM(A1)", "\"'@SUM(A1)\""},
        {"-2+3", "\"'-2+3\""}, {"=\"x\",y", "\"'=\"\"x\"\",y\""}, {"-5", "-5"}, {"+3.5", "+3.5"}, {"a=b", "a=b"}};
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(campaign::csv::field(text), expected) << text.toStdString();
    EXPECT_EQ(campaign::csv::record({"a", "b,c", "é"}), QByteArray("a,\"b,c\",\xc3\xa9\r\n"));
}

class ExportTest : public testing_support::ShellTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(startUp());
        b = frmVDDBSearch;
        std::filesystem::create_directories(temp_.path() / "out");
    }
    QByteArray read(const char* name)
    {
        QFile f(out + "/" + name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("missing");
    }
    void exportTo(std::optional<QString> folder, std::optional<Answer> replace = {})
    {
        dialogs_.shown.clear();
        dialogs_.chooseFolder(folder);
        if (replace)
            dialogs_.answer(*replace);
        b->ExportGameAsCSV1->trigger();
    }
    TfrmVDDBSearch* b = nullptr;
    const QString out = QString::fromStdString((temp_.path() / "out").string());
    testing_support::ScriptedModal modal_;
};

TEST_F(ExportTest, TheRowsGameGoesToTwoFilesThatPythonsCsvModuleReadsBackWhole)
{
    const std::string hostile = "Al \"the \"\"Bold\"\"\", of, Commas", memo = "one\r\ntwo, \"2\"\nthree";
    addCharacter("North", hostile, {{"General_Ability_Memo", memo}, {"Warrior", "True"}});
    addCharacter("North", "Bran");
    addCharacter("South", "Other");
    addProvince("North", hostile, "P,1", {{"Armies", memo}});
    addProvince("South", "Other", "not exported");
    b->tblVDDB.refresh();
    exportTo(out);
    EXPECT_EQ(dialogs_.texts().join(""), "Exported 2 characters and 1 province of the game \"North\" to " + out + ".");
    EXPECT_TRUE(read("characters.csv").startsWith("\xEF\xBB\xBFGame_Name,Character_Name,Bloodline_Derivation,"));

    QProcess python;
    python.start("python3", {"-c",
                             "import csv,json,sys\nprint(json.dumps([list(csv.reader(open(f, newline='', "
                             "encoding='utf-8-sig'))) for f in sys.argv[1:]]))",
                             out + "/characters.csv", out + "/provinces.csv"});
    if (!python.waitForFinished(20000) || python.exitCode() != 0)
        GTEST_SKIP() << "no python3";
    const QJsonArray files = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
    const QJsonArray chars = files[0].toArray(), provs = files[1].toArray();
    ASSERT_EQ(chars.size(), 3);
    ASSERT_EQ(provs.size(), 2);
    EXPECT_EQ(chars[0].toArray().size(), 62);
    EXPECT_EQ(provs[0].toArray().size(), 77) << "every column but the counter";
    // A row's field under a column name of the header.
    auto at = [](const QJsonArray& table, int row, const char* column) {
        const QJsonArray header = table[0].toArray();
        for (int c = 0; c < header.size(); ++c)
            if (header[c].toString() == column)
                return table[row].toArray()[c].toString().toStdString();
        return std::string("no column");
    };
    EXPECT_EQ(at(chars, 1, "Character_Name") + "|" + at(chars, 1, "Warrior"), hostile + "|True");
    EXPECT_EQ(at(chars, 1, "General_Ability_Memo"), memo);
    EXPECT_EQ(at(provs, 1, "Province_Name") + "|" + at(provs, 1, "Armies"), "P,1|" + memo);
}

TEST_F(ExportTest, AnExistingFileIsReplacedOnlyOnYesAndNothingIsWrittenWithoutAGame)
{
    addCharacter("G", "Aric");
    b->tblVDDB.refresh();
    QFile old(out + "/provinces.csv");
    ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
    old.close();
    for (Answer answer : {Answer::No, Answer::Yes}) {
        exportTo(out, answer);
        ASSERT_FALSE(dialogs_.shown.empty());
        EXPECT_EQ(dialogs_.shown[0].text, out + " already holds provinces.csv. Replace it?");
        EXPECT_EQ(dialogs_.shown[0].buttons, dbaware::Buttons::YesNoDefaultNo);
        EXPECT_EQ(read("provinces.csv").left(13), answer == Answer::Yes ? "\xEF\xBB\xBFGame_Name," : "old");
        EXPECT_EQ(QFile::exists(out + "/characters.csv"), answer == Answer::Yes) << "No writes neither file";
    }
    EXPECT_EQ(dialogs_.texts().back(), "Exported 1 character and 0 provinces of the game \"G\" to " + out + ".");

    exportTo(std::nullopt);  // cancelled
    EXPECT_TRUE(dialogs_.shown.empty());
    b->edtSearch->setText("Nobody");
    b->btnName->click();
    exportTo(out);
    EXPECT_EQ(dialogs_.texts().join(""), "There is no game to export.");
}

TEST_F(ExportTest, EnterOnARowOfTheGridOpensItAsADoubleClickDoes)
{
    addCharacter("G", "Aric");
    addCharacter("G", "Bran");
    b->tblVDDB.refresh();
    b->show();
    QTest::keyClick(b->DBGrid1, Qt::Key_Down);
    QTest::keyClick(b->DBGrid1, Qt::Key_Return);
    QTest::keyClick(b->DBGrid1, Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClick(b->edtSearch, Qt::Key_Return);  // starts nothing
    EXPECT_EQ(modal_.shown, (std::vector<QWidget*>{frmRealmDetails, frmRealmDetails}));
    EXPECT_EQ(frmRealmDetails->tblVDDB.text("Character_Name"), "Bran");
}

#ifndef _WIN32
#include "support/file_size_limit.h"
// The disk fills up in provinces.csv, characters.csv written whole: neither old
// file is replaced nor anything left beside them, and the box names the file.
TEST_F(ExportTest, ADiskThatFillsUpReplacesNeitherFileAndTheBoxNamesTheFile)
{
    addCharacter("G", "Aric");
    for (int i = 0; i < 12; ++i)
        addProvince("G", "Aric", "Province " + std::to_string(i));
    b->tblVDDB.refresh();
    exportTo(out);
    const auto whole = static_cast<rlim_t>(read("characters.csv").size());
    for (const char* name : {"/characters.csv", "/provinces.csv"})
        QFile::resize(out + name, 6);  // the old files: their first bytes
    withFileSizeLimit(whole + 1, [&] { exportTo(out, Answer::Yes); });
    const QString text = dialogs_.shown.back().text;
    EXPECT_TRUE(text.startsWith("Cannot write " + out + "/provinces.csv: ")) << text.toStdString();
    EXPECT_TRUE(text.contains("Neither file was replaced")) << text.toStdString();
    EXPECT_EQ(read("characters.csv") + read("provinces.csv"), "\xEF\xBB\xBFGam\xEF\xBB\xBFGam");
    EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden).size(), 2);
}
#endif
