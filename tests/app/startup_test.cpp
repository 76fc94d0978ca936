#include <gtest/gtest.h>

#include <QApplication>
#include <QEventLoop>
#include <QImage>
#include <QTimer>
#include <QWindow>

#include <fstream>

#include "app/about.h"
#include "app/shell.h"
#include "app/splash.h"
#include "campaign/catalogue.h"
#include "shell_fixture.h"
#include "store/sqlite.h"
#include "transfer/transfer.h"

namespace fs = std::filesystem;
using testing_support::ShellTest;

namespace {

// Notes, for every box, how far start-up had got when it was shown.
class ProgressDialogs final : public dbaware::Dialogs {
public:
    explicit ProgressDialogs(const std::unique_ptr<app::Program>& program) : program_(program)
    {
        dbaware::setDialogs(this);
    }
    ~ProgressDialogs() override { dbaware::setDialogs(nullptr); }
    dbaware::Answer ask(QWidget*, const QString&, const QString& text, dbaware::Icon, dbaware::Buttons) override
    {
        const bool splash = frmSplash && frmSplash->isVisible() && frmSplash->windowHandle()->isExposed();
        const app::Program& p = *program_;
        seen.push_back(QStringList{text.section(' ', 0, 1), splash ? "splash" : "no splash",
                                   QString("%1%2%3%4%5").arg(!!p.frmVDDBSearch).arg(!!p.frmRealmDetails)
                                       .arg(!!p.frmProvince).arg(!!AboutBox).arg(!!p.frmTransfer)}.join(' '));
        return dbaware::Answer::Ok;
    }
    std::optional<QString> saveFileName(QWidget*, const dbaware::SaveRequest&) override { return std::nullopt; }
    std::optional<QString> folderName(QWidget*, const QString&, const QString&) override { return std::nullopt; }
    void beep() override {}
    QStringList seen;

private:
    const std::unique_ptr<app::Program>& program_;
};

}  // namespace

TEST_F(ShellTest, FirstStartOpensTheSixTablesBehindTheSplash)
{
    ASSERT_TRUE(startUp());
    EXPECT_TRUE(dialogs_.shown.empty()) << dialogs_.texts().join('|').toStdString();
    EXPECT_EQ(dbaware::applicationTitle(), "Valdane Campaign Database");
    // Window captions stay as they are set, with nothing appended.
    EXPECT_TRUE(QGuiApplication::applicationDisplayName() != "Valdane Campaign Database");
    EXPECT_EQ(app::helpFile(), "vddb.hlp");
    ASSERT_TRUE(frmSplash && frmSplash->isVisible());
    const std::vector<std::string> names{"vddb.DB", "vddb.DB", "vdprovs.db", "vdtrans.DB", "expprovs.DB", "vdprovs.db"};
    for (std::size_t i = 0; i < names.size(); ++i) {
        ASSERT_TRUE(sixTables()[i]->isOpen()) << i;
        EXPECT_EQ(sixTables()[i]->tableName(), names[i]);
        EXPECT_EQ(sixTables()[i]->database().folder(), programFolder() / "Data");
    }

    // The icon: 32 by 32 in 16 colours, on every window.
    const QImage icon = app::programPixmap().toImage();
    EXPECT_EQ(icon.size(), QSize(32, 32));
    EXPECT_EQ(QImage(":/vddb.png").colorCount(), 16);
    for (QWidget* window : std::vector<QWidget*>{frmSplash, frmVDDBSearch, frmRealmDetails, frmProvince, AboutBox,
                                                 frmTransfer})
        EXPECT_EQ(window->windowIcon().pixmap(32, 32).toImage().convertToFormat(icon.format()), icon);
}

TEST_F(ShellTest, WindowsAreCreatedInOrderEachOpeningItsTablesWhileTheSplashShows)
{
    // Files without tables: every table fails, each creation handler shows
    // one box and stops there, and the box tells how far start-up had got.
    fs::create_directories(temp_.path() / "empty");
    std::ofstream(temp_.path() / "empty" / campaign::campaignFile);
    std::ofstream(temp_.path() / "empty" / campaign::transferFile);
    context_->session.aliases().add(store::Alias{"VDDB", "STANDARD", {{"PATH", (temp_.path() / "empty/").string()}}}, true);
    ProgressDialogs progress(program_);

    ASSERT_TRUE(startUp());
    EXPECT_EQ(progress.seen, (QStringList{"Table vddb.DB splash 10000", "Table vddb.DB splash 11000",
                                          "Table vdprovs.db splash 11100"}));
    for (const store::Table* table : sixTables())
        EXPECT_FALSE(table->isOpen());
    EXPECT_TRUE(AboutBox && frmTransfer);  // start-up went on to the end
}

TEST_F(ShellTest, AMissingTableFileIsReportedAndLeavesTheLaterTablesClosed)
{
    makeDatabase(programFolder() / "Data", false);
    ASSERT_TRUE(startUp());

    ASSERT_EQ(dialogs_.shown.size(), 1u);
    const auto& box = dialogs_.shown[0];
    EXPECT_TRUE(box.text.startsWith("Table vdtrans.DB cannot be opened: the file transfer.sqlite is missing from "))
        << box.text.toStdString();
    EXPECT_TRUE(box.text.endsWith("Data."));  // the error box's full stop
    EXPECT_EQ(box.caption, "Valdane Campaign Database");
    EXPECT_EQ(box.icon, dbaware::Icon::Error);
    std::vector<bool> open;
    for (const store::Table* table : sixTables())
        open.push_back(table->isOpen());
    EXPECT_EQ(open, (std::vector<bool>{true, true, true, false, false, true}));
}

TEST(ErrorBox, AddsAFullStopAfterACharacterAboveTheFullStop)
{
    const std::vector<std::pair<QString, QString>> cases{
        {"Key violation", "Key violation."}, {"value 12", "value 12."}, {"done.", "done."}, {"really?", "really?."},
        {"a (b)", "a (b)"},                  {"x-", "x-"},              {"path/", "path/."}, {"", ""}};
    for (const auto& [text, shown] : cases)
        EXPECT_EQ(dbaware::errorBoxText(text), shown) << text.toStdString();
}

TEST_F(ShellTest, AReadInProgressIsReleasedWhenTheProgramWaitsForEvents)
{
    ASSERT_TRUE(startUp());
    store::Table& characters = frmVDDBSearch->tblVDDB;
    for (const char* name : {"A", "B", "C", "D", "E"}) {
        characters.insert();
        characters.setText("Game_Name", "G");
        characters.setText("Character_Name", name);
        characters.post();
    }
    characters.first();
    characters.next();  // walking forward: a read stays open on the file

    // Another program's write, without waiting for locks.
    auto other = store::sql::Connection::open((programFolder() / "Data" / campaign::campaignFile).string(), false);
    EXPECT_THROW(other.exec("UPDATE vddb SET Domain_Name = 'x'"), store::sql::SqlError);
    QEventLoop idle;
    QTimer::singleShot(20, &idle, &QEventLoop::quit);
    idle.exec();
    EXPECT_NO_THROW(other.exec("UPDATE vddb SET Domain_Name = 'x'"));
}
