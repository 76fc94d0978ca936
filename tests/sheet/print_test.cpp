// The printed realm sheet: Save as PDF and Print on the realm window, Export
// Game as PDF in the browser. The PDFs are read back with poppler's tools.
#include <QAction>
#include <QDir>
#include <QImage>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include "app/shell_fixture.h"
#include "dbaware/statusbar.h"
#include "sheet/sheet_print.h"

namespace fs = std::filesystem;
using testing_support::Fields;
using testing_support::ShellTest;

namespace {

// Print preview as a script plays it: the pages go to a PDF file, or the
// user closes the preview without printing.
class ScriptedPrinting final : public sheet::Printing {
public:
    ScriptedPrinting() { sheet::setPrinting(this); }
    ~ScriptedPrinting() override { sheet::setPrinting(nullptr); }
    bool preview(QWidget*, const QString& title, const std::function<void(QPagedPaintDevice&)>& paint) override
    {
        titles << title;
        if (file.isEmpty())
            return false;
        QPdfWriter writer(file);
        paint(writer);
        return true;
    }
    QString file;  // empty: cancelled
    QStringList titles;
};

QString run(const QString& tool, const QStringList& args)
{
    QProcess p;
    p.start(tool, args);
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The text of one page, or of all pages (page 0).
QString pdfText(const QString& pdf, int page = 0)
{
    QStringList args{QStringLiteral("-enc"), QStringLiteral("UTF-8")};
    if (page > 0)
        args << QStringLiteral("-f") << QString::number(page) << QStringLiteral("-l") << QString::number(page);
    return run(QStringLiteral("pdftotext"), args << pdf << QStringLiteral("-"));
}

// Ligatures (the font's "fi") back to their letters, white space to one blank.
QString simplified(const QString& s)
{
    return s.normalized(QString::NormalizationForm_KC).replace(QRegularExpression(QStringLiteral("\\s+")), " ");
}

const QString longMemo = QStringLiteral(
    "The river guild holds the ford at Tamsvale and asks a toll of every barge that passes; the "
    "duke's men have twice failed to break its hold, and the regent means to buy the guild out "
    "before the spring floods end with a final clause.");

}  // namespace

class PrintTest : public ShellTest {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable("pdftotext").isEmpty() || QStandardPaths::findExecutable("pdftoppm").isEmpty())
            GTEST_SKIP() << "poppler-utils (pdftotext, pdftoppm) is not installed";
        ASSERT_TRUE(startUp());
    }
    // A character with the figures the window works out: palace 6 (maint 1),
    // maintenance 3+2+1+4+5 = 15, GB 10+4+3+2+2 = 21, RP min(12,30)-0+2 = 14.
    void addExample(const std::string& game, const std::string& name)
    {
        addCharacter(game, name,
                     Fields{{"Class_Abbrev", "F7/P3"}, {"Administration_Check", "3"}, {"Domain_Name", "Eastmarch"},
                            {"Palace_Value", "6"}, {"Court_Expenditure", "4"}, {"Army_Maintenenace", "3"},
                            {"Fort_Maintenance", "2"}, {"Total_Prov_Cost", "5"}, {"Prov_GB_Income", "10"},
                            {"Guild_GB_Income", "4"}, {"Temple_GB_Income", "3"}, {"Law_Income", "2"},
                            {"Land_TR_GB_Earn", "2"}, {"Possible_RP_Earnings", "12"}, {"Bloodline_Score", "30"},
                            {"Income_RP_From_Vassals", "2"}, {"Current_GB", "12"},
                            {"Misc_Leftovers", longMemo.toStdString() + "\nSecond line"}});
        addProvince(game, name, "Brightwater",
                    Fields{{"Province_Level", "3"}, {"Max_Source_Potential", "2"}, {"Temple1_Level", "2"},
                           {"Temple1_Owner", "OTA"}, {"Province_Terrain", "Plains"},
                           {"Armies", "2 units of infantry\n1 unit of archers"}});
    }
    QString out(const char* name) const { return QString::fromStdString((temp_.path() / name).string()); }
};

TEST_F(PrintTest, SaveAsPdfAndPrintShowTheSheetOfTheShownCharacter)
{
    addExample("Valdane", "Al <b>&amp; \"Co\"");
    openOn("Valdane", "Al <b>&amp; \"Co\"");
    TfrmRealmDetails* r = frmRealmDetails;
    ScriptedPrinting printing;

    dialogs_.saveAs(out("sheet.pdf"));
    r->SaveAsPDF1->trigger();
    ASSERT_EQ(dialogs_.saveRequests.size(), 1u);
    EXPECT_EQ(dialogs_.saveRequests[0].title, "Save Realm As PDF");
    EXPECT_EQ(dialogs_.saveRequests[0].fileName, "Al <b>&amp; \"Co\".pdf");
    EXPECT_EQ(fs::path(dialogs_.saveRequests[0].folder.toStdString()), programFolder() / "Save");
    EXPECT_EQ(r->StatusBar1->text(), "Save Complete");

    printing.file = out("printed.pdf");
    r->Print1->trigger();
    EXPECT_EQ(r->StatusBar1->text(), "Print Complete");
    ASSERT_TRUE(dialogs_.shown.empty()) << dialogs_.texts().join('|').toStdString();

    for (const QString& pdf : {out("sheet.pdf"), out("printed.pdf")}) {
        const QString text = pdfText(pdf);
        const QString flat = simplified(text);
        for (const char* expected :
             {"Al <b>&amp; \"Co\"", "Game: Valdane", "The Realm (Eastmarch):", "Brightwater", "3/2", "2 (OTA)",
              "Plains", "Province: Brightwater", "2 units of infantry", "Total Realm Maintenance/Costs (Admin 3): 15/14",
              "GB: 21", "RP: 14", "Treasury: 12GB", "Second line", "Page 1 of 1"})
            EXPECT_TRUE(flat.contains(QString::fromUtf8(expected))) << expected << " in " << pdf.toStdString();
        // The long memo is whole, on more than one line.
        EXPECT_TRUE(flat.contains(longMemo)) << text.toStdString();
        EXPECT_FALSE(text.contains(longMemo)) << "not wrapped";
    }

    // Closed without printing; editing disables both commands, as Save to File.
    printing.file.clear();
    r->Print1->trigger();
    EXPECT_EQ(r->StatusBar1->text(), "Print Canceled");
    EXPECT_EQ(printing.titles, (QStringList{"Print Realm Sheet", "Print Realm Sheet"}));
    testing_support::type(r->dedtDomainName, "Westmarch");
    EXPECT_FALSE(r->SaveAsPDF1->isEnabled());
    EXPECT_FALSE(r->Print1->isEnabled());
    r->CancelChanges1->trigger();
    EXPECT_TRUE(r->SaveAsPDF1->isEnabled());
    EXPECT_TRUE(r->Print1->isEnabled());
}

TEST_F(PrintTest, ExportGameWritesEveryCharacterOfTheGameOnPagesOfTheirOwn)
{
    TfrmVDDBSearch* b = frmVDDBSearch;
    b->tblVDDB.refresh();
    b->ExportGameAsPDF1->trigger();
    EXPECT_EQ(dialogs_.texts(), QStringList{"There is no game to export."});
    EXPECT_TRUE(dialogs_.saveRequests.empty());

    for (const char* name : {"Aldric", "Bryn", "Cato"})
        addExample("Valdane", name);
    addExample("Other", "Dunstan");
    b->tblVDDB.refresh();
    ASSERT_TRUE(b->tblVDDB.findKey({"Valdane", "Bryn"}));
    dialogs_.saveAs(out("game.pdf"));
    b->ExportGameAsPDF1->trigger();
    ASSERT_EQ(dialogs_.saveRequests.size(), 1u);
    EXPECT_EQ(dialogs_.saveRequests[0].title, "Export Game As PDF");
    EXPECT_EQ(dialogs_.saveRequests[0].fileName, "Valdane.pdf");
    ASSERT_EQ(dialogs_.shown.size(), 1u) << dialogs_.texts().join('|').toStdString();

    EXPECT_FALSE(pdfText(out("game.pdf")).contains("Dunstan"));
    const std::vector<const char*> names{"Aldric", "Bryn", "Cato"};
    for (int page = 1; page <= 3; ++page) {
        const QString text = simplified(pdfText(out("game.pdf"), page));
        for (int other = 1; other <= 3; ++other)
            EXPECT_EQ(text.contains(names[other - 1]), other == page) << "page " << page << ": " << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("Page %1 of 3").arg(page))) << text.toStdString();
        // The grey boxes worked out from the record, no window shown.
        EXPECT_TRUE(text.contains("Total Realm Maintenance/Costs (Admin 3): 15/14")) << text.toStdString();
        EXPECT_TRUE(text.contains("GB: 21 ")) << text.toStdString();
    }
    EXPECT_TRUE(run(QStringLiteral("pdfinfo"), {out("game.pdf")}).contains(QRegularExpression("Pages: +3\n")));
    EXPECT_FALSE(frmRealmDetails->isVisible());

    // The first page, rendered, is not blank.
    run(QStringLiteral("pdftoppm"), {"-png", "-r", "40", "-f", "1", "-l", "1", "-singlefile", out("game.pdf"), out("page")});
    QImage image(out("page.png"));
    ASSERT_FALSE(image.isNull());
    int dark = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            dark += qGray(image.pixel(x, y)) < 128;
    EXPECT_GT(dark, image.width() * image.height() / 200) << "ink on the page";
}

#ifndef _WIN32
#include "support/file_size_limit.h"
// A disk that fills up before the PDF's last byte: the old PDF stays, nothing
// is left beside it, and the box names the file.
TEST_F(PrintTest, ADiskThatFillsUpLeavesTheOldPdfWholeAndTheBoxNamesIt)
{
    addExample("Valdane", "Aldric");
    frmVDDBSearch->tblVDDB.refresh();
    dialogs_.saveAs(out("game.pdf"));
    frmVDDBSearch->ExportGameAsPDF1->trigger();
    const auto whole = static_cast<rlim_t>(fs::file_size(temp_.path() / "game.pdf"));
    QFile::resize(out("game.pdf"), 5);  // the old file: "%PDF-"
    dialogs_.saveAs(out("game.pdf"));
    withFileSizeLimit(whole - 1, [&] { frmVDDBSearch->ExportGameAsPDF1->trigger(); });
    EXPECT_TRUE(dialogs_.texts().join('|').startsWith("Cannot write " + out("game.pdf") + ": "));
    EXPECT_EQ(fs::file_size(temp_.path() / "game.pdf"), 5u);
    EXPECT_EQ(QDir(out("")).entryList({"game.pdf*"}, QDir::Files | QDir::Hidden).size(), 1);
}
#endif
