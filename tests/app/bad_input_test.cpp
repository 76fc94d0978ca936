// Input no user should send, sent through the windows: ten megabytes pasted
// into a memo and a number box, names at their length limit, and names full
// of quotes, asterisks, accents, right-to-left text and emoji in the
// browser's search, the province list, a transfer and the realm sheet.
#include "campaign/tables.h"
#include "transfer/transfer_fixture.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QClipboard>
#include <QPushButton>
#include <QTest>

#include "browser/vdsearch.h"
#include "dbaware/dbedit.h"
#include "dbaware/dbmemo.h"
#include "store/error.h"

using testing_support::TransferTest;
using Strings = std::vector<std::string>;

namespace {

const char* const characterTable = "vddb.DB";
const char* const provinceTable = "vdprovs.db";

// Ten megabytes of lines, as a pasted document would bring.
QString tenMegabytes(QChar fill)
{
    QString line(79, fill);
    line += '\n';
    QString text;
    text.reserve(10 * 1024 * 1024 + 80);
    while (text.size() < 10 * 1024 * 1024)
        text += line;
    return text;
}

void paste(QWidget* box, const QString& text)
{
    QApplication::clipboard()->setText(text);
    box->setFocus();
    if (auto* memo = qobject_cast<QPlainTextEdit*>(box)) {
        memo->selectAll();
        memo->paste();
    } else if (auto* edit = qobject_cast<QLineEdit*>(box)) {
        edit->selectAll();
        edit->paste();
    }
}

// Names the filters and the file must carry unchanged: quotes, asterisks,
// accents, right-to-left text, emoji, and each at the 30-character limit.
const std::vector<std::string> oddNames{
    "O'Brien",
    "Star*",
    "**'*",
    "Zoë Ångström-Çelik",
    "\u05D3\u05D5\u05D3 \u05D4\u05DE\u05DC\u05DA",          // Hebrew, right to left
    "\u0645\u0644\u0643 \u202Eabc",                          // Arabic and an override mark
    "Dragon \U0001F409\U0001F525",                            // emoji outside the BMP
    std::string(30, 'x'),
    "\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9"
    "\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9\u00E9",  // 30 é
};

std::string thirtyEmoji()
{
    std::string s;
    for (int i = 0; i < 30; ++i)
        s += "\U0001F600";
    return s;
}

}  // namespace

class BadInputTest : public TransferTest {
protected:
    void SetUp() override
    {
        TransferTest::SetUp();
        addCharacter(characterTable, "G", "Aric");
        show("G", "Aric");
        w->show();
    }
};

// Ten megabytes are past what a memo holds: the paste is refused whole with
// the reason. As much as the memo holds is stored whole.
TEST_F(BadInputTest, TenMegabytesPastedIntoAMemoAreRefusedAndAFullMemoIsStoredWhole)
{
    w->PageControl1->setCurrentWidget(w->dmemLeyLines->parentWidget());
    paste(w->dmemLeyLines, tenMegabytes('m'));
    EXPECT_EQ(dialogs_.texts(), QStringList{"Value is too long for field 'Ley_Line_Network': at most 100000 characters."});
    EXPECT_TRUE(w->dmemLeyLines->toPlainText().isEmpty());
    EXPECT_EQ(w->tblVDDB.state(), store::State::Browse);

    // 1234 lines of 79 characters and CR LF: 99,954 characters stored.
    const QString text = tenMegabytes('m').left(1234 * 80);
    paste(w->dmemLeyLines, text);
    w->SaveChanges1->trigger();
    EXPECT_EQ(dialogs_.shown.size(), 1u) << dialogs_.texts().join('|').left(300).toStdString();

    std::string stored = field(characterTable, "G", "Aric", "Ley_Line_Network");
    EXPECT_EQ(stored.size(), 1234u * 81);
    std::erase(stored, '\r');
    EXPECT_TRUE(stored == text.toStdString()) << "the stored memo differs from what was pasted";
    EXPECT_EQ(w->tblVDDB.state(), store::State::Browse);
}

TEST_F(BadInputTest, TenMegabytesPastedIntoANumberBoxAreRefusedWithTheConversionError)
{
    addCharacter(characterTable, "G", "Bran", {{"Palace_Value", "7"}});
    show("G", "Bran");
    w->PageControl1->setCurrentWidget(w->dedtPalaceValue->parentWidget());
    for (QChar fill : {QChar('9'), QChar('z')}) {
        dialogs_.shown.clear();
        QString text = tenMegabytes(fill);
        text.remove('\n');
        paste(w->dedtPalaceValue, text);
        w->SaveChanges1->trigger();
        ASSERT_FALSE(dialogs_.shown.empty()) << "a number box took ten megabytes";
        // The figures refuse it as they read it, the save as it writes it;
        // each message quotes the input, but not all ten megabytes of it.
        bool saveRefused = false;
        for (const auto& shown : dialogs_.shown) {
            EXPECT_LT(shown.text.size(), 1000) << shown.text.left(300).toStdString();
            saveRefused = saveRefused || shown.text.contains("Palace_Value");
        }
        EXPECT_TRUE(saveRefused);
        EXPECT_EQ(field(characterTable, "G", "Bran", "Palace_Value"), "7");
        w->CancelChanges1->trigger();
        EXPECT_EQ(w->tblVDDB.text("Palace_Value"), "7");
    }
}

TEST_F(BadInputTest, NamesAtTheirLimitAreKeptWholeAndOneMoreIsRefused)
{
    for (const std::string& name : {std::string(30, 'n'), oddNames.back(), thirtyEmoji()}) {
        dialogs_.shown.clear();
        w->InsertRecord1->trigger();
        w->dedtGameName->setFocus();
        w->dedtGameName->setText("Limits");
        paste(w->dedtCharName, QString::fromStdString(name + "n"));
        EXPECT_EQ(w->dedtCharName->text().toStdString(), name) << "the box stops at thirty characters";
        w->dedtGameName->setFocus();
        w->SaveChanges1->trigger();
        EXPECT_TRUE(dialogs_.shown.empty()) << dialogs_.texts().join('|').toStdString();
        EXPECT_EQ(field(characterTable, "Limits", name, "Character_Name"), name) << name;
    }
    // The store counts characters, not bytes or UTF-16 units.
    store::Table t(context_->session);
    t.open("VDDB", characterTable);
    t.insert();
    t.setText("Game_Name", "Store limits");
    t.setText("Character_Name", thirtyEmoji());
    t.post();
    EXPECT_EQ(field(characterTable, "Store limits", thirtyEmoji(), "Character_Name"), thirtyEmoji());
    t.insert();
    EXPECT_THROW(t.setText("Character_Name", std::string(31, 'n')), store::StoreError);
    EXPECT_THROW(t.setText("Character_Name", thirtyEmoji() + "\U0001F600"), store::StoreError);
    t.cancel();
}

TEST_F(BadInputTest, OddNamesAreFoundExactlyByTheSearchAndTheProvinceList)
{
    for (const std::string& name : oddNames) {
        addCharacter(characterTable, "Odd", name);
        addProvince(provinceTable, "Odd", name, "of " + name.substr(0, 20));
    }
    // Near misses that a filter spliced together badly would also match.
    addCharacter(characterTable, "Odd", "O'Brienne");
    addCharacter(characterTable, "Odd", "StarX");
    addProvince(provinceTable, "Odd", "StarX", "not a star");
    TfrmVDDBSearch* b = frmVDDBSearch;
    b->tblVDDB.refresh();
    for (const std::string& name : oddNames) {
        dialogs_.shown.clear();
        b->edtSearch->setText(QString::fromStdString(name));
        b->btnName->click();
        EXPECT_TRUE(dialogs_.shown.empty()) << name;
        std::vector<std::string> found;
        for (const auto& row : b->tblVDDB.readRows(nullptr, false, 100, false))
            found.push_back(std::get<std::string>(row.values[static_cast<std::size_t>(
                b->tblVDDB.fieldIndex("Character_Name"))]));
        ASSERT_FALSE(found.empty()) << name;
        EXPECT_EQ(found[0], name);
        for (const std::string& f : found)
            EXPECT_EQ(f.compare(0, name.size(), name), 0) << name << " found " << f;

        show("Odd", name);
        std::vector<std::string> listed;
        const int c = w->tblProv.fieldIndex("Province_Name");
        for (const auto& row : w->tblProv.readRows(nullptr, false, 100, false))
            listed.push_back(std::get<std::string>(row.values[static_cast<std::size_t>(c)]));
        EXPECT_EQ(listed, Strings{"of " + name.substr(0, 20)}) << name;
    }
}

TEST_F(BadInputTest, OddNamesTravelThroughATransferUnchanged)
{
    for (const std::string& name : oddNames) {
        addCharacter(characterTable, "Odd", name, {{"Domain_Name", name}});
        addProvince(provinceTable, "Odd", name, name);
    }
    for (const std::string& name : oddNames) {
        show("Odd", name);
        dialogs_.answer(dbaware::Answer::No);  // append
        run(&TfrmRealmDetails::ExportCurrentCharacter1Click);
        EXPECT_EQ(status(), "Export/Append Complete") << name;
    }
    // Away from the campaign and back through the import.
    {
        store::Table c(context_->session), p(context_->session);
        c.open("VDDB", characterTable);
        p.open("VDDB", provinceTable);
        campaign::Tables::DeleteAllRecords(p);
        campaign::Tables::DeleteAllRecords(c);
    }
    run(&TfrmRealmDetails::ImportCurrentCharacter1Click);
    EXPECT_EQ(status(), "Import Complete") << dialogs_.texts().join('|').toStdString();
    std::vector<std::string> expected;
    for (const std::string& name : oddNames) {
        EXPECT_EQ(field(characterTable, "Odd", name, "Domain_Name"), name);
        expected.push_back("Odd/" + name + "/" + name);
    }
    std::sort(expected.begin(), expected.end());
    Strings got = provinces(provinceTable);
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, expected);
}

TEST_F(BadInputTest, OddNamesWriteAWholeRealmSheet)
{
    QTemporaryDir out;
    ASSERT_TRUE(out.isValid());
    for (const std::string& name : oddNames) {
        addCharacter(characterTable, "Odd", name, {{"Domain_Name", name}});
        addProvince(provinceTable, "Odd", name, name);
    }
    int n = 0;
    for (const std::string& name : oddNames) {
        show("Odd", name);
        const QString file = out.filePath(QStringLiteral("sheet%1.txt").arg(++n));
        dialogs_.shown.clear();
        dialogs_.saveAs(file);
        w->SaveToFile1->trigger();
        EXPECT_TRUE(dialogs_.shown.empty()) << name << ": " << dialogs_.texts().join('|').toStdString();
        EXPECT_EQ(status(), "Save Complete") << name;
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << name;
        const QString sheet = QString::fromUtf8(f.readAll());
        // The select found the character's province by its odd names, and the
        // names came through the system's encoding unchanged.
        const QString province = QString::fromStdString(name);
        EXPECT_TRUE(sheet.contains(QStringLiteral("\r\n Province: ") + province + QStringLiteral("\r\n")))
            << name;
        EXPECT_TRUE(sheet.contains(QStringLiteral("The Realm (") + province + QStringLiteral("):"))) << name;
        EXPECT_TRUE(sheet.endsWith(QStringLiteral("\r\n"))) << name;
    }
}
