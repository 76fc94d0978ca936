// The transfer commands of the realm window: export, import and empty.
#include "transfer/transfer_fixture.h"

#include "campaign/catalogue.h"
#include "campaign/tables.h"

#include <algorithm>
#include <functional>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "store/error.h"
#include "store/filter.h"
#include "store/sqlite.h"

using testing_support::Fields;
using testing_support::TransferTest;
using Strings = std::vector<std::string>;
using dbaware::Answer;

namespace {

const char* const characterTable = "vddb.DB";
const char* const provinceTable = "vdprovs.db";
const char* const transferCharacters = "vdtrans.DB";
const char* const transferProvinces = "expprovs.DB";

// `existing`: the line naming a character already there, after the store's
// message.
QString importError(const QString& storeMessage, const QString& existing = {})
{
    return QStringList{"An error occurred during the Import Operation.",
                       "",
                       "The Database Engine returned the following error:",
                       "",
                       existing.isEmpty() ? storeMessage : storeMessage + QChar(13) + existing,
                       "",
                       "This could be the result of importing a record into the ",
                       "database that already exists.  Please correct the error ",
                       "and try again",
                       "",
                       "The import operation was not successful."}
        .join(QChar(13));
}

}  // namespace

class ExportTest : public TransferTest {
protected:
    void SetUp() override
    {
        TransferTest::SetUp();
        addCharacter(characterTable, "G", "Aric", {{"Domain_Name", "Aricia"}});
        addCharacter(characterTable, "G", "Bran");
        addCharacter(characterTable, "H", "Aric");
        for (auto p : {"a1", "a2", "a3"})
            addProvince(provinceTable, "G", "Aric", p);
        addProvince(provinceTable, "G", "Bran", "b1");
        addProvince(provinceTable, "H", "Aric", "h1");
    }
    void expectBackOn(const std::string& game, const std::string& name)
    {
        EXPECT_FALSE(w->tblVDDB.filtered());
        EXPECT_EQ(w->tblVDDB.text("Game_Name"), game);
        EXPECT_EQ(w->tblVDDB.text("Character_Name"), name);
        EXPECT_EQ(w->tblVDDB.recordCount(), 3);
        expectControlsResumed();
    }
};

TEST_F(ExportTest, YesReplacesWhatTheTransferTablesHeldWithTheShownCharacter)
{
    addCharacter(transferCharacters, "X", "Old1");
    addCharacter(transferCharacters, "X", "Old2");
    addProvince(transferProvinces, "X", "Old1", "o1");
    addProvince(transferProvinces, "X", "Old2", "o2");
    show("G", "Aric");
    // The province list stands elsewhere: the export takes the shown
    // character's provinces all the same.
    w->tblProv.setFiltered(false);

    dialogs_.answer(Answer::Yes);
    run(&TfrmRealmDetails::ExportCurrentCharacter1Click);

    ASSERT_EQ(dialogs_.shown.size(), 1u);
    EXPECT_EQ(dialogs_.shown[0].caption, "Confirm");
    EXPECT_EQ(dialogs_.shown[0].text,
              "Overwrite contents of transfer Table ?\r\rYes = Overwrite, No = Append\rCancel = Cancel the Export");
    EXPECT_EQ(dialogs_.shown[0].icon, dbaware::Icon::Question);
    EXPECT_EQ(dialogs_.shown[0].buttons, dbaware::Buttons::YesNoCancel);
    EXPECT_EQ(characters(transferCharacters), Strings{"G/Aric"});
    EXPECT_EQ(field(transferCharacters, "G", "Aric", "Domain_Name"), "Aricia");
    EXPECT_EQ(provinces(transferProvinces), (Strings{"G/Aric/a1", "G/Aric/a2", "G/Aric/a3"}));
    EXPECT_EQ(status(), "Export/Overwrite Complete");
    expectBackOn("G", "Aric");
    // The campaign tables are as they were.
    EXPECT_EQ(characters(characterTable), (Strings{"G/Aric", "G/Bran", "H/Aric"}));
    EXPECT_EQ(provinces(provinceTable).size(), 5u);
}

// A move: export, then delete. A change saved since to the record or its
// provinces, by another program or this one, refuses the delete.
TEST_F(ExportTest, ADeleteAfterTheExportIsRefusedWhenTheStoredCharacterChangedSince)
{
    const std::vector<std::pair<const char*, std::function<void()>>> changes = {
        {"record", [this] { w->tblVDDB.database().connection().exec("UPDATE vddb SET Domain_Name = 'X'"); }},
        {"province", [this] { addProvince(provinceTable, "G", "Aric", "a4"); }},
        {"", [] {}},
    };
    for (const auto& [what, change] : changes) {
        show("G", "Aric");
        run(&TfrmRealmDetails::ExportCurrentCharacter1Click);
        change();
        show("G", "Aric");
        dialogs_.shown.clear();
        run(&TfrmRealmDetails::DeleteRecord1Click);
        const bool refused = *what != '\0';
        EXPECT_EQ(characters(characterTable).size(), refused ? 3u : 2u) << what;
        EXPECT_EQ(dialogs_.shown.back().text, refused ? "The character \"Aric\" of the game \"G\" was not deleted: it was "
                                                        "changed since it was exported. Export it again to move it as it is now."
                                                      : "Confirm delete of this record") << what;
    }
}

TEST_F(ExportTest, NoAppendsAndEveryProvinceGetsAKeyOfItsOwn)
{
    addCharacter(transferCharacters, "X", "Old");
    addProvince(transferProvinces, "X", "Old", "o1");
    show("G", "Aric");
    dialogs_.answer(Answer::No);
    run(&TfrmRealmDetails::ExportCurrentCharacter1Click);
    EXPECT_EQ(status(), "Export/Append Complete");
    show("H", "Aric");
    dialogs_.answer(Answer::No);
    run(&TfrmRealmDetails::ExportCurrentCharacter1Click);

    EXPECT_EQ(dialogs_.shown.size(), 2u);  // the two questions, no error
    EXPECT_EQ(characters(transferCharacters), (Strings{"G/Aric", "H/Aric", "X/Old"}));
    EXPECT_EQ(provinces(transferProvinces), (Strings{"G/Aric/a1", "G/Aric/a2", "G/Aric/a3", "H/Aric/h1", "X/Old/o1"}));
    // a1 and o1 both had key 1 in their own tables.
    const Strings keys = rows(transferProvinces, {"AutoKeyInc"});
    EXPECT_EQ(std::set<std::string>(keys.begin(), keys.end()).size(), 5u);
    expectBackOn("H", "Aric");
}

TEST_F(ExportTest, CancelExportsNothing)
{
    addCharacter(transferCharacters, "X", "Old");
    show("G", "Bran");
    dialogs_.answer(Answer::Cancel);
    run(&TfrmRealmDetails::ExportCurrentCharacter1Click);
    EXPECT_EQ(status(), "Export Canceled");
    EXPECT_EQ(characters(transferCharacters), Strings{"X/Old"});
    EXPECT_TRUE(provinces(transferProvinces).empty());
    expectBackOn("G", "Bran");
}

TEST_F(ExportTest, ACharacterWithoutProvincesGoesAlone)
{
    addCharacter(characterTable, "G", "Cara");
    show("G", "Cara");
    dialogs_.answer(Answer::Yes);
    run(&TfrmRealmDetails::ExportCurrentCharacter1Click);
    EXPECT_EQ(characters(transferCharacters), Strings{"G/Cara"});
    EXPECT_TRUE(provinces(transferProvinces).empty());
    EXPECT_EQ(status(), "Export/Overwrite Complete");
    EXPECT_EQ(dialogs_.shown.size(), 1u);
}

TEST_F(ExportTest, UnsavedChangesAreSavedAndThoseValuesExported)
{
    show("G", "Bran");
    w->tblVDDB.edit();
    w->tblVDDB.setText("Domain_Name", "Brandon");
    w->tblVDDB.setText("Ley_Line_Network", "North line\r\nSouth line");
    dialogs_.answer(Answer::Yes);
    run(&TfrmRealmDetails::ExportCurrentCharacter1Click);

    EXPECT_EQ(w->tblVDDB.state(), store::State::Browse);
    EXPECT_EQ(field(characterTable, "G", "Bran", "Domain_Name"), "Brandon");
    EXPECT_EQ(field(transferCharacters, "G", "Bran", "Domain_Name"), "Brandon");
    EXPECT_EQ(field(transferCharacters, "G", "Bran", "Ley_Line_Network"), "North line\r\nSouth line");
    EXPECT_EQ(provinces(transferProvinces), Strings{"G/Bran/b1"});
    expectBackOn("G", "Bran");
}

TEST_F(ExportTest, AppendingACharacterAlreadyThereFailsAndChangesNothing)
{
    addCharacter(transferCharacters, "G", "Aric", {{"Domain_Name", "Earlier"}});
    addProvince(transferProvinces, "G", "Aric", "t1");
    show("G", "Aric");
    w->StatusBar1->setText("before");
    dialogs_.answer(Answer::No);
    run(&TfrmRealmDetails::ExportCurrentCharacter1Click);

    ASSERT_EQ(dialogs_.shown.size(), 2u);
    EXPECT_EQ(dialogs_.shown[1].text, "Key violation.");
    EXPECT_EQ(dialogs_.shown[1].icon, dbaware::Icon::Error);
    EXPECT_EQ(status(), "before");
    EXPECT_EQ(field(transferCharacters, "G", "Aric", "Domain_Name"), "Earlier");
    EXPECT_EQ(provinces(transferProvinces), Strings{"G/Aric/t1"});
    expectBackOn("G", "Aric");  // carried out after the failure too
}

TEST_F(ExportTest, AFailedProvinceCopyLeavesTheTransferTablesAsTheyWere)
{
    addCharacter(transferCharacters, "X", "Old");
    addProvince(transferProvinces, "X", "Old", "o1");
    show("G", "Aric");
    failInsertsInto("xfer.expprovs");
    for (Answer a : {Answer::Yes, Answer::No}) {
        dialogs_.shown.clear();
        dialogs_.answer(a);
        run(&TfrmRealmDetails::ExportCurrentCharacter1Click);
        ASSERT_EQ(dialogs_.shown.size(), 2u);
        EXPECT_EQ(dialogs_.shown[1].text, "Cannot write table expprovs.DB: Disk full.");
        // Neither emptied nor holding the character without its provinces.
        EXPECT_EQ(characters(transferCharacters), Strings{"X/Old"});
        EXPECT_EQ(provinces(transferProvinces), Strings{"X/Old/o1"});
        EXPECT_EQ(w->tblTransfer.text("Character_Name"), "Old");  // not a row that is gone
        EXPECT_TRUE(status().isEmpty());
        expectBackOn("G", "Aric");
    }
    insertsWorkAgain();
    dialogs_.answer(Answer::Yes);
    run(&TfrmRealmDetails::ExportCurrentCharacter1Click);
    EXPECT_EQ(provinces(transferProvinces), (Strings{"G/Aric/a1", "G/Aric/a2", "G/Aric/a3"}));
}

TEST_F(ExportTest, AnUntouchedNewRecordIsDroppedAndTheShownCharacterExported)
{
    show("G", "Bran");
    w->tblVDDB.insert();
    dialogs_.answer(Answer::Yes);
    run(&TfrmRealmDetails::ExportCurrentCharacter1Click);
    EXPECT_EQ(characters(characterTable).size(), 3u);
    EXPECT_EQ(characters(transferCharacters), Strings{"G/Bran"});
    expectBackOn("G", "Bran");
}

class ImportTest : public TransferTest {
protected:
    void SetUp() override
    {
        TransferTest::SetUp();
        addCharacter(characterTable, "G", "Aric");
        addCharacter(characterTable, "G", "Bran");
        addProvince(provinceTable, "G", "Aric", "a1");
        addProvince(provinceTable, "G", "Bran", "b1");
    }
};

TEST_F(ImportTest, EmptyTransferTablesImportNothingAndStillComplete)
{
    show("G", "Bran");
    run(&TfrmRealmDetails::ImportCurrentCharacter1Click);
    EXPECT_TRUE(dialogs_.shown.empty());
    EXPECT_EQ(status(), "Import Complete");
    EXPECT_EQ(characters(characterTable), (Strings{"G/Aric", "G/Bran"}));
    EXPECT_EQ(w->tblVDDB.text("Character_Name"), "Aric");  // the first character
    expectControlsResumed();
}

TEST_F(ImportTest, EverythingArrivesWithNewProvinceKeysAndTheTransferTablesEmpty)
{
    addCharacter(transferCharacters, "H", "Cara", {{"Domain_Name", "Carath"}});
    addCharacter(transferCharacters, "H", "Dov");
    addProvince(transferProvinces, "H", "Cara", "c1");
    addProvince(transferProvinces, "H", "Cara", "c2");
    addProvince(transferProvinces, "H", "Dov", "d1");
    show("G", "Bran");
    // A change not yet saved is saved by the import.
    w->tblVDDB.edit();
    w->tblVDDB.setText("Domain_Name", "Branholt");
    run(&TfrmRealmDetails::ImportCurrentCharacter1Click);

    EXPECT_TRUE(dialogs_.shown.empty());
    EXPECT_EQ(status(), "Import Complete");
    EXPECT_EQ(field(characterTable, "G", "Bran", "Domain_Name"), "Branholt");
    EXPECT_EQ(characters(characterTable), (Strings{"G/Aric", "G/Bran", "H/Cara", "H/Dov"}));
    EXPECT_EQ(field(characterTable, "H", "Cara", "Domain_Name"), "Carath");
    EXPECT_EQ(provinces(provinceTable), (Strings{"G/Aric/a1", "G/Bran/b1", "H/Cara/c1", "H/Cara/c2", "H/Dov/d1"}));
    const Strings keys = rows(provinceTable, {"AutoKeyInc"});
    EXPECT_EQ(std::set<std::string>(keys.begin(), keys.end()).size(), 5u);
    EXPECT_TRUE(characters(transferCharacters).empty());
    EXPECT_TRUE(provinces(transferProvinces).empty());
    // The window shows the first character with its provinces.
    EXPECT_EQ(w->tblVDDB.text("Character_Name"), "Aric");
    EXPECT_EQ(w->tblProv.filter(), campaign::recordFilter("G", "Aric"));
    EXPECT_TRUE(w->tblProv.filtered());
    EXPECT_EQ(w->tblProv.recordCount(), 1);
    EXPECT_FALSE(w->tblTransfer.hasCurrentRecord());
    expectControlsResumed();
}

TEST_F(ImportTest, AnExistingKeyFailsWithTheMessageAndChangesNothing)
{
    addCharacter(transferCharacters, "H", "Cara");
    addCharacter(transferCharacters, "G", "Bran", {{"Domain_Name", "Other Bran"}});
    addProvince(transferProvinces, "H", "Cara", "c1");
    addProvince(transferProvinces, "G", "Bran", "b2");
    show("G", "Bran");
    run(&TfrmRealmDetails::ImportCurrentCharacter1Click);

    ASSERT_EQ(dialogs_.shown.size(), 1u);
    EXPECT_EQ(dialogs_.shown[0].caption, "Error");
    EXPECT_EQ(dialogs_.shown[0].icon, dbaware::Icon::Error);
    EXPECT_EQ(dialogs_.shown[0].buttons, dbaware::Buttons::Ok);
    EXPECT_EQ(dialogs_.shown[0].text,
              importError("Key violation", "Already in the database: the character \"Bran\" of the game \"G\"."));
    EXPECT_EQ(status(), "Error in Import");
    EXPECT_EQ(characters(characterTable), (Strings{"G/Aric", "G/Bran"}));
    EXPECT_EQ(field(characterTable, "G", "Bran", "Domain_Name"), "");
    EXPECT_EQ(provinces(provinceTable), (Strings{"G/Aric/a1", "G/Bran/b1"}));
    EXPECT_EQ(characters(transferCharacters), (Strings{"G/Bran", "H/Cara"}));
    EXPECT_EQ(provinces(transferProvinces), (Strings{"G/Bran/b2", "H/Cara/c1"}));
    EXPECT_EQ(w->tblVDDB.text("Character_Name"), "Bran");
    // Nothing to take back: that would take the Bran who was there before.
    for (const auto& entry : std::filesystem::directory_iterator(programFolder() / "Data" / "Backups"))
        EXPECT_EQ(entry.path().filename().string().find("-imported"), std::string::npos) << entry.path();
    expectControlsResumed();
}

TEST_F(ImportTest, AFailedProvinceCopyLeavesNoCharacterBehindAndARetrySucceeds)
{
    addCharacter(transferCharacters, "H", "Cara");
    addProvince(transferProvinces, "H", "Cara", "c1");
    show("G", "Aric");
    failInsertsInto("main.vdprovs");
    run(&TfrmRealmDetails::ImportCurrentCharacter1Click);
    ASSERT_EQ(dialogs_.shown.size(), 1u);
    EXPECT_EQ(dialogs_.shown[0].text, importError("Cannot write table vdprovs.db: Disk full"));
    EXPECT_EQ(characters(characterTable), (Strings{"G/Aric", "G/Bran"}));
    EXPECT_EQ(characters(transferCharacters), Strings{"H/Cara"});
    EXPECT_EQ(provinces(transferProvinces), Strings{"H/Cara/c1"});
    EXPECT_EQ(w->tblVDDB.text("Character_Name"), "Aric");
    EXPECT_EQ(w->tblVDDB.recordCount(), 2);

    insertsWorkAgain();
    run(&TfrmRealmDetails::ImportCurrentCharacter1Click);
    EXPECT_EQ(dialogs_.shown.size(), 1u);
    EXPECT_EQ(status(), "Import Complete");
    EXPECT_EQ(characters(characterTable), (Strings{"G/Aric", "G/Bran", "H/Cara"}));
    EXPECT_EQ(provinces(provinceTable), (Strings{"G/Aric/a1", "G/Bran/b1", "H/Cara/c1"}));
    EXPECT_TRUE(characters(transferCharacters).empty());
}

TEST_F(ImportTest, AFailedEmptyingTakesTheImportBack)
{
    addCharacter(transferCharacters, "H", "Cara");
    addProvince(transferProvinces, "H", "Cara", "c1");
    w->tblVDDB.database().connection().exec(
        "CREATE TEMP TRIGGER keep BEFORE DELETE ON xfer.vdtrans BEGIN SELECT RAISE(ABORT, 'File locked'); END");
    run(&TfrmRealmDetails::ImportCurrentCharacter1Click);
    ASSERT_EQ(dialogs_.shown.size(), 1u);
    EXPECT_EQ(dialogs_.shown[0].text, importError("Cannot write table vdtrans.DB: File locked"));
    EXPECT_EQ(characters(characterTable), (Strings{"G/Aric", "G/Bran"}));
    EXPECT_EQ(provinces(provinceTable).size(), 2u);
    EXPECT_EQ(provinces(transferProvinces), Strings{"H/Cara/c1"});
}

TEST_F(ImportTest, AReadFailingAfterTheCommitStillTellsTheImportIsStored)
{
    addCharacter(transferCharacters, "H", "Cara");
    // The lists' read after the commit meets a failing disk.
    QObject::connect(&w->tables(), &campaign::Tables::charactersImported, w, [] {
        throw store::StoreError("Cannot read table vddb.DB: disk I/O error");
    });
    run(&TfrmRealmDetails::ImportCurrentCharacter1Click);
    EXPECT_EQ(status(), "Import Complete");
    ASSERT_EQ(dialogs_.shown.size(), 1u);
    EXPECT_EQ(dialogs_.shown[0].text,
              "The characters are imported, but they cannot be shown now: Cannot read table vddb.DB: disk I/O error");
    EXPECT_EQ(characters(characterTable), (Strings{"G/Aric", "G/Bran", "H/Cara"}));
}

// Values that another program can leave in a transfer file but the tables
// cannot hold: each refuses the whole import, naming the record and the
// column, and neither file changes.
TEST_F(ImportTest, AValueTheTablesCannotHoldRefusesTheWholeImport)
{
    namespace fs = std::filesystem;
    const fs::path folder = w->tblVDDB.database().folder();
    auto bytesOf = [&] {
        Strings files;
        for (const auto& e : fs::recursive_directory_iterator(folder)) {
            std::ifstream in(e.path(), std::ios::binary);
            files.push_back(e.path().string() + ":" +
                            (e.is_regular_file() ? std::string(std::istreambuf_iterator<char>(in), {}) : ""));
        }
        std::sort(files.begin(), files.end());
        return files;
    };
    const std::string x50(50, 'x'), a31(31, 'a');
    // A lead byte, then continuation bytes that SQLite counts as one character.
    const auto notUtf8 = [](int continuations) {
        std::string hex = "CAST(x'F0";
        for (int i = 0; i < continuations; ++i)
            hex += "80";
        return hex + "' AS TEXT)";
    };
    const std::string cara = "Character 'Cara' of game 'H' in table vdtrans.DB: ";
    struct Case {
        const char* table;
        const char* column;
        std::string value;  // SQL
        std::string message;
    };
    const std::vector<Case> cases = {
        {"vdtrans", "Game_Name", "x'4869'", "Character 'Cara' of game 'Hi' in table vdtrans.DB: Field 'Game_Name' holds binary data"},
        {"vdtrans", "Character_Name", "'Cara' || char(0) || '" + x50 + "'",
         "Character 'Cara?" + std::string(35, 'x') + "...' of game 'H' in table vdtrans.DB: Field 'Character_Name' holds a NUL character"},
        {"vdtrans", "Character_Name", "'" + a31 + "'",
         "Character '" + a31 + "' of game 'H' in table vdtrans.DB: Value is too long for field 'Character_Name': at most 30 characters"},
        {"vdtrans", "Palace_Value", "2.5", cara + "'2.5' is not a valid integer value for field 'Palace_Value'"},
        {"vdtrans", "Palace_Value", "40000",
         cara + "40000 is not a valid value for field 'Palace_Value'. The allowed range is -32768 to 32767"},
        {"vdtrans", "Warrior", "2", cara + "'2' is not a valid boolean value for field 'Warrior'"},
        {"vdtrans", "Palace_Value", "'many'", cara + "'many' is not a valid integer value for field 'Palace_Value'"},
        {"vdtrans", "Vassals", "replace(hex(zeroblob(100001)), '00', 'v')",
         cara + "Value is too long for field 'Vassals': at most 100000 characters"},
        {"vdtrans", "Vassals", notUtf8(1000000), cara + "Field 'Vassals' holds text that is not valid UTF-8"},
        {"vdtrans", "Domain_Name", notUtf8(5000), cara + "Field 'Domain_Name' holds text that is not valid UTF-8"},
        {"vdtrans", "Character_Name", "'Cara' || " + notUtf8(2),
         "Character 'Cara\xEF\xBF\xBD' of game 'H' in table vdtrans.DB: Field 'Character_Name' holds text that is not valid UTF-8"},
        {"expprovs", "Law1_Level", "x'01'",
         "Province 'c1' of character 'Cara' of game 'H' in table expprovs.DB: Field 'Law1_Level' holds binary data"},
    };
    store::sql::Connection& db = w->tblVDDB.database().connection();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        db.exec("DELETE FROM xfer.expprovs; DELETE FROM xfer.vdtrans");
        addCharacter(transferCharacters, "H", "Cara");
        addProvince(transferProvinces, "H", "Cara", "c1");
        db.exec(std::string("PRAGMA ignore_check_constraints = ON; UPDATE xfer.") + c.table + " SET \"" + c.column +
                "\" = " + c.value + "; PRAGMA ignore_check_constraints = OFF");
        w->tblTransfer.refresh();
        show("G", "Bran");
        dialogs_.shown.clear();
        const Strings before = bytesOf();
        run(&TfrmRealmDetails::ImportCurrentCharacter1Click);

        ASSERT_EQ(dialogs_.shown.size(), 1u);
        EXPECT_EQ(dialogs_.shown[0].text, importError(QString::fromStdString(c.message)));
        EXPECT_EQ(status(), "Error in Import");
        EXPECT_TRUE(bytesOf() == before) << "a file changed, or a backup was made";
        EXPECT_EQ(characters(characterTable), (Strings{"G/Aric", "G/Bran"}));
        EXPECT_EQ(w->tblVDDB.text("Character_Name"), "Bran");
    }
}

// Values at the edge of what the tables hold all come in: names and memos
// of as many characters as allowed, though of more bytes than that, and the
// ends of the number ranges.
TEST_F(ImportTest, ValuesAtTheirLimitsComeIn)
{
    std::string name, memo;
    for (int i = 0; i < 30; ++i)
        name += "\xC3\xA9";  // two bytes each
    for (int i = 0; i < 100000; ++i)
        memo += "\xE2\x82\xAC";  // three bytes each
    addCharacter(transferCharacters, "H", name,
                 {{"Vassals", memo}, {"Palace_Value", "-32768"}, {"Law_Check", "32767"}, {"Warrior", "True"}});
    addProvince(transferProvinces, "H", name, name);
    show("G", "Bran");
    run(&TfrmRealmDetails::ImportCurrentCharacter1Click);
    EXPECT_TRUE(dialogs_.shown.empty()) << (dialogs_.shown.empty() ? QString() : dialogs_.shown[0].text).toStdString();
    EXPECT_EQ(status(), "Import Complete");
    EXPECT_EQ(characters(characterTable), (Strings{"G/Aric", "G/Bran", "H/" + name}));
    EXPECT_EQ(field(characterTable, "H", name, "Vassals"), memo);
    EXPECT_EQ(provinces(provinceTable).size(), 3u);
}

// A blob as a game name once came in as a record that could be neither opened
// nor deleted; now the import is refused, and once the name is mended in the
// transfer file the import from the menu goes through.
TEST_F(ImportTest, ABinaryNameIsRefusedAndTheMendedFileImports)
{
    addCharacter(transferCharacters, "H", "Cara");
    store::sql::Connection& db = w->tblVDDB.database().connection();
    db.exec("UPDATE xfer.vdtrans SET Game_Name = x'48'");
    w->ImportCurrentCharacter1->trigger();
    ASSERT_EQ(dialogs_.shown.size(), 1u);
    EXPECT_EQ(characters(characterTable), (Strings{"G/Aric", "G/Bran"}));

    db.exec("UPDATE xfer.vdtrans SET Game_Name = 'H'");
    w->ImportCurrentCharacter1->trigger();
    EXPECT_EQ(dialogs_.shown.size(), 1u);
    EXPECT_EQ(status(), "Import Complete");
    EXPECT_EQ(characters(characterTable), (Strings{"G/Aric", "G/Bran", "H/Cara"}));
}

class EmptyTest : public TransferTest {
protected:
    void SetUp() override
    {
        TransferTest::SetUp();
        addCharacter(transferCharacters, "G", "Aric");
        addCharacter(transferCharacters, "G", "Bran");
        addProvince(transferProvinces, "G", "Aric", "a1");
        addProvince(transferProvinces, "Z", "Orphan", "z1");
    }
};

TEST_F(EmptyTest, NoKeepsBothTables)
{
    dialogs_.answer(Answer::No);
    run(&TfrmRealmDetails::Delete1Click);
    ASSERT_EQ(dialogs_.shown.size(), 1u);
    EXPECT_EQ(dialogs_.shown[0].text, "Delete all Transfer Table records ?");
    EXPECT_EQ(dialogs_.shown[0].caption, "Confirm");
    EXPECT_EQ(dialogs_.shown[0].buttons, dbaware::Buttons::YesNo);
    EXPECT_EQ(status(), "Empty operation canceled");
    EXPECT_EQ(characters(transferCharacters).size(), 2u);
    EXPECT_EQ(provinces(transferProvinces).size(), 2u);
}

TEST_F(EmptyTest, YesDeletesEveryRecordOfBoth)
{
    dialogs_.answer(Answer::Yes);
    run(&TfrmRealmDetails::Delete1Click);
    EXPECT_EQ(status(), "Transfer Table Contents Deleted.");
    EXPECT_TRUE(characters(transferCharacters).empty());
    EXPECT_TRUE(provinces(transferProvinces).empty());
    EXPECT_FALSE(w->tblTransfer.hasCurrentRecord());
    EXPECT_EQ(dialogs_.shown.size(), 1u);
    expectControlsResumed();
}

TEST_F(EmptyTest, AFailureHalfWayDeletesNothing)
{
    w->tblVDDB.database().connection().exec(
        "CREATE TEMP TRIGGER keep BEFORE DELETE ON xfer.vdtrans BEGIN SELECT RAISE(ABORT, 'File locked'); END");
    dialogs_.answer(Answer::Yes);
    run(&TfrmRealmDetails::Delete1Click);
    ASSERT_EQ(dialogs_.shown.size(), 2u);
    EXPECT_EQ(dialogs_.shown[1].text, "Cannot write table vdtrans.DB: File locked.");
    EXPECT_EQ(provinces(transferProvinces).size(), 2u);  // deleted first, then restored
    EXPECT_EQ(characters(transferCharacters).size(), 2u);
    expectControlsResumed();
}

// A user moves a character to another database: export here, carry the
// transfer file into the other data folder, import there.
TEST_F(TransferTest, ACharacterCarriedToAnotherDataFolderArrivesWhole)
{
    namespace fs = std::filesystem;
    const std::string longMemo = std::string(6000, 'x') + "\r\nÆlfric's end — «fin»";
    const Fields fields{{"Domain_Name", "Ælfmark"},   {"Ley_Line_Network", "North\r\nSouth\r\n"},
                        {"Mage", "True"},            {"Priest", "False"},
                        {"Palace_Value", "-32768"},   {"General_Ability_Memo", longMemo},
                        {"Vassals", "Sir Odo\r\n\r\nDame Ysolde"}};
    addCharacter(characterTable, "Saga", "Ælfric", fields);
    addProvince(provinceTable, "Saga", "Ælfric", "Westfold", {{"Armies", "3 units\r\nof pikes"}});
    addProvince(provinceTable, "Saga", "Ælfric", "Eastfold");
    show("Saga", "Ælfric");
    dialogs_.answer(Answer::Yes);
    run(&TfrmRealmDetails::ExportCurrentCharacter1Click);
    ASSERT_EQ(status(), "Export/Overwrite Complete");

    // What the source holds, every column of the records.
    auto wholeRecords = [](store::Session& session, const char* table) {
        store::Table t(session);
        t.open("VDDB", table);
        Strings out;
        const int skip = t.layout().autoIncColumn();
        for (t.first(); !t.eof(); t.next())
            for (int i = 0; i < static_cast<int>(t.layout().columns.size()); ++i)
                if (i != skip)
                    out.push_back(t.layout().columns[static_cast<std::size_t>(i)].name + "=" + t.text(i));
        return out;
    };
    const Strings character = wholeRecords(context_->session, characterTable);
    const Strings provinceRecords = wholeRecords(context_->session, provinceTable);
    ASSERT_EQ(character.size(), 62u);
    shutDown();

    // The other database: its own program folder, data folder and alias file,
    // with a character of its own.
    const fs::path other = temp_.path() / "other";
    makeDatabase(other / "prog" / "Data");
    fs::copy_file(programFolder() / "Data" / campaign::transferFile, other / "prog" / "Data" / campaign::transferFile,
                  fs::copy_options::overwrite_existing);
    app::Context there(store::AliasRegistry(other / "config" / "aliases.conf"), other / "prog", other / "user");
    ASSERT_TRUE(startUp(there));
    w = frmRealmDetails;
    {
        store::Table t(there.session);
        t.open("VDDB", characterTable);
        t.insert();
        t.setText("Game_Name", "Aaa");
        t.setText("Character_Name", "Local");
        t.post();
    }
    w->tblVDDB.refresh();
    run(&TfrmRealmDetails::ImportCurrentCharacter1Click);
    EXPECT_EQ(status(), "Import Complete");
    EXPECT_TRUE(dialogs_.shown.size() == 1u) << dialogs_.texts().join("|").toStdString();

    store::Table t(there.session);
    t.open("VDDB", characterTable);
    ASSERT_TRUE(t.findKey({"Saga", "Ælfric"}));
    Strings arrived;
    for (int i = 0; i < static_cast<int>(t.layout().columns.size()); ++i)
        arrived.push_back(t.layout().columns[static_cast<std::size_t>(i)].name + "=" + t.text(i));
    t.close();
    EXPECT_EQ(arrived, character);
    EXPECT_EQ(wholeRecords(there.session, provinceTable), provinceRecords);
    EXPECT_TRUE(wholeRecords(there.session, transferCharacters).empty());
    shutDown();
}

namespace {

std::string fileBytes(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

TEST_F(ImportTest, ACancelAtAnyStageLeavesBothFilesAsTheyWere)
{
    // Enough characters and provinces on both sides that every stage takes
    // a while.
    const std::string numbers = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) ";
    auto& conn = w->tblVDDB.database().connection();
    conn.exec(numbers + "INSERT INTO main.vddb (Game_Name, Character_Name) SELECT 'Old', 'C' || i FROM n");
    conn.exec(numbers + "INSERT INTO xfer.vdtrans (Game_Name, Character_Name, Domain_Name) "
                        "SELECT 'Big', 'C' || i, 'Realm ' || i FROM n");
    conn.exec(numbers + "INSERT INTO xfer.expprovs (Game_Name, Character_Name, Province_Name) "
                        "SELECT 'Big', 'C' || i, 'P' || i FROM n");
    show("G", "Bran");
    const auto data = programFolder() / "Data";
    const std::string campaign = fileBytes(data / campaign::campaignFile);
    const std::string transfer = fileBytes(data / campaign::transferFile);
    ASSERT_GT(transfer.size(), 100000u);

    for (int stage : {0, 1, 2, 3, 4}) {
        dialogs_.progressScript = {};
        dialogs_.progressScript.cancelInStage = stage;
        w->ImportCurrentCharacter1->trigger();
        EXPECT_EQ(dialogs_.progressScript.cancelledInStage, stage);
        EXPECT_EQ(status(), "Import Canceled") << stage;
        EXPECT_TRUE(dialogs_.shown.empty()) << dialogs_.texts().join('|').toStdString();
        EXPECT_TRUE(fileBytes(data / campaign::campaignFile) == campaign) << stage;
        EXPECT_TRUE(fileBytes(data / campaign::transferFile) == transfer) << stage;
        EXPECT_EQ(w->tblVDDB.text("Character_Name"), "Bran");
        expectControlsResumed();
    }
    // Left to run, the same import goes through.
    dialogs_.progressScript = {};
    w->ImportCurrentCharacter1->trigger();
    EXPECT_EQ(status(), "Import Complete");
    EXPECT_EQ(dialogs_.progressTitles, std::vector<QString>(6, "Import Characters"));
    EXPECT_EQ(dialogs_.progressScript.stages,
              (std::vector<QString>{"0/5 Checking the transfer tables", "1/5 Keeping a record of the import",
                                    "2/5 Copying the characters", "3/5 Copying the provinces",
                                    "4/5 Emptying the transfer tables"}));
    EXPECT_EQ(characters(characterTable).size(), 6002u);
    EXPECT_TRUE(characters(transferCharacters).empty());
}

TEST_F(ImportTest, WithoutABackupTheUserChoosesAndNoIsTheDefault)
{
    addCharacter(transferCharacters, "H", "Cara");
    addProvince(transferProvinces, "H", "Cara", "c1");
    // Start-up made the folder for its daily copy; a file takes its place.
    const auto backups = programFolder() / "Data" / "Backups";
    std::filesystem::remove_all(backups);
    std::ofstream(backups) << "a file where the folder should be";
    show("G", "Bran");

    // Enter (the default answer), then No: nothing is imported.
    for (std::optional<Answer> answer : {std::optional<Answer>(), std::optional<Answer>(Answer::No)}) {
        dialogs_.shown.clear();
        if (answer)
            dialogs_.answer(*answer);
        w->ImportCurrentCharacter1->trigger();
        ASSERT_EQ(dialogs_.shown.size(), 1u);
        const auto& box = dialogs_.shown[0];
        EXPECT_EQ(box.caption, "Confirm");
        EXPECT_EQ(box.icon, dbaware::Icon::Question);
        EXPECT_EQ(box.buttons, dbaware::Buttons::YesNoDefaultNo);
        EXPECT_TRUE(box.text.startsWith("Cannot make a backup before importing: ")) << box.text.toStdString();
        EXPECT_TRUE(box.text.contains(QString::fromStdString(backups.string()))) << box.text.toStdString();
        EXPECT_TRUE(box.text.endsWith("\r\rImport without a backup?")) << box.text.toStdString();
        EXPECT_EQ(status(), "Import Canceled");
        EXPECT_EQ(characters(characterTable), (Strings{"G/Aric", "G/Bran"}));
        EXPECT_EQ(characters(transferCharacters), Strings{"H/Cara"});
        EXPECT_EQ(w->tblVDDB.text("Character_Name"), "Bran");
    }

    dialogs_.shown.clear();
    dialogs_.answer(Answer::Yes);
    w->ImportCurrentCharacter1->trigger();
    EXPECT_EQ(dialogs_.shown.size(), 1u);
    EXPECT_EQ(status(), "Import Complete");
    EXPECT_EQ(characters(characterTable), (Strings{"G/Aric", "G/Bran", "H/Cara"}));
    EXPECT_EQ(provinces(provinceTable), (Strings{"G/Aric/a1", "G/Bran/b1", "H/Cara/c1"}));
    EXPECT_TRUE(std::filesystem::is_regular_file(backups));
}

// A transfer file made to act on the program: its triggers would put back
// every deleted row (an endless import) or block every import with a text
// of its own. The file is refused when opened and nothing of it runs.
class HostileTransferFileTest : public TransferTest {
protected:
    void SetUp() override {}
};

TEST_F(HostileTransferFileTest, IsRefusedNamingTheTriggerAndTheImportChangesNothing)
{
    namespace fs = std::filesystem;
    const std::vector<std::pair<std::string, std::string>> triggers = {
        {"undelete", "CREATE TRIGGER undelete AFTER DELETE ON vdtrans BEGIN INSERT INTO vdtrans "
                     "(Game_Name, Character_Name) VALUES (old.Game_Name, old.Character_Name || '+'); END"},
        {"ransom", "CREATE TRIGGER ransom BEFORE DELETE ON expprovs BEGIN SELECT RAISE(ABORT, 'Pay 5 gold'); END"},
    };
    for (const auto& [name, ddl] : triggers) {
        // A program folder of its own for each file.
        const fs::path folder = temp_.path() / name;
        const fs::path data = folder / "prog" / "Data";
        makeDatabase(data);
        {
            auto conn = store::sql::Connection::open((data / campaign::transferFile).string(), false);
            conn.exec("INSERT INTO vdtrans (Game_Name, Character_Name) VALUES ('H', 'Cara');"
                      "INSERT INTO expprovs (Game_Name, Character_Name, Province_Name) VALUES ('H', 'Cara', 'c1');" +
                      ddl);
        }
        const std::string campaign = fileBytes(data / campaign::campaignFile);
        const std::string transfer = fileBytes(data / campaign::transferFile);
        dialogs_.shown.clear();
        app::Context there(store::AliasRegistry(folder / "config" / "aliases.conf"), folder / "prog", folder / "user");
        ASSERT_TRUE(startUp(there));
        w = frmRealmDetails;
        const QString refusal = QString::fromStdString("The file " + (data / campaign::transferFile).string() +
                                                       " cannot be opened: it holds the trigger \"" + name + "\"");
        ASSERT_FALSE(dialogs_.shown.empty());
        EXPECT_TRUE(dialogs_.shown[0].text.startsWith(refusal)) << dialogs_.shown[0].text.toStdString();

        dialogs_.shown.clear();
        w->ImportCurrentCharacter1->trigger();
        EXPECT_EQ(status(), "Error in Import");
        ASSERT_EQ(dialogs_.shown.size(), 1u);
        EXPECT_FALSE(dialogs_.shown[0].text.contains("Pay 5 gold"));
        EXPECT_TRUE(fileBytes(data / campaign::campaignFile) == campaign) << name;
        EXPECT_TRUE(fileBytes(data / campaign::transferFile) == transfer) << name;
        shutDown();
    }
}
