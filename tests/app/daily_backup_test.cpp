// Today's copy of the campaign file, made while the program already runs.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>

#include <chrono>
#include <fstream>

#include "shell_fixture.h"
#include "store/backup.h"
#include "store/sqlite.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing_support::ShellTest;

namespace {

// Boxes, each with whether it was shown from the GUI thread.
class ThreadNotingDialogs final : public dbaware::Dialogs {
public:
    ThreadNotingDialogs() { dbaware::setDialogs(this); }
    ~ThreadNotingDialogs() override { dbaware::setDialogs(nullptr); }
    dbaware::Answer ask(QWidget*, const QString&, const QString& text, dbaware::Icon icon, dbaware::Buttons) override
    {
        shown.push_back({text, icon, QThread::currentThread() == QCoreApplication::instance()->thread()});
        return dbaware::Answer::Ok;
    }
    std::optional<QString> saveFileName(QWidget*, const dbaware::SaveRequest&) override { return std::nullopt; }
    std::optional<QString> folderName(QWidget*, const QString&, const QString&) override { return std::nullopt; }
    void beep() override {}

    struct Box {
        QString text;
        dbaware::Icon icon;
        bool onGuiThread;
    };
    std::vector<Box> shown;
};

std::vector<std::string> listing(const fs::path& folder)
{
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(folder))
        out.push_back(e.path().filename().string());
    return out;
}

std::int64_t count(const fs::path& file, const std::string& query)
{
    auto conn = store::sql::Connection::open(file.string(), false);
    store::sql::Statement st(conn, query);
    EXPECT_TRUE(st.step());
    return st.int64(0);
}

class DailyBackupTest : public ShellTest {
protected:
    DailyBackupTest() { makeDatabase(data()); }
    fs::path data() const { return programFolder() / "Data"; }
    fs::path backups() const { return data() / store::backupFolderName; }
    // Characters written straight into the campaign file, `vassals` long each.
    void fill(int characters, int vassals)
    {
        auto conn = store::sql::Connection::open((data() / campaign::campaignFile).string(), false);
        conn.exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " + std::to_string(characters) +
                  ") INSERT INTO vddb (Game_Name, Character_Name, Vassals) SELECT 'G', 'C' || i, substr(hex(zeroblob(" +
                  std::to_string(vassals) + ")), 1, " + std::to_string(vassals) + ") FROM n");
    }
    // Start-up as the program makes it, without waiting for the copy.
    void startWithoutWaiting()
    {
        program_ = std::make_unique<app::Program>(*context_);
        ASSERT_TRUE(program_->startUp());
        ASSERT_TRUE(program_->dailyBackup) << "no copy started";
    }
};

}  // namespace

TEST_F(DailyBackupTest, TheCopyIsMadeAfterStartUpBesideASave)
{
    fill(3, 10);
    startWithoutWaiting();
    // A change made at once is saved; the copy holds it or not, whole.
    testing_support::post(program_->frmVDDBSearch->tblVDDB, {{"Game_Name", "G"}, {"Character_Name", "Later"}});
    ASSERT_TRUE(program_->dailyBackup->wait(30s));
    const auto made = program_->dailyBackup->made();
    QCoreApplication::processEvents();
    ASSERT_TRUE(made) << dialogs_.texts().join('|').toStdString();
    EXPECT_EQ(store::dailyBackups(backups(), campaign::catalogue()), std::vector<fs::path>{*made});
    EXPECT_EQ(count(*made, "SELECT count(*) FROM vddb WHERE Character_Name IN ('C1', 'C2', 'C3')"), 3);
    EXPECT_EQ(count(*made, "SELECT count(*) FROM vddb WHERE Character_Name = 'Later'"),
              count(*made, "SELECT count(*) FROM vddb") - 3);
    EXPECT_EQ(count(*made, "SELECT count(*) FROM pragma_integrity_check WHERE integrity_check = 'ok'"), 1);
    EXPECT_EQ(count(data() / campaign::campaignFile, "SELECT count(*) FROM vddb"), 4);
    QCoreApplication::processEvents();
    EXPECT_TRUE(dialogs_.shown.empty()) << dialogs_.texts().join('|').toStdString();

    // A later start the same day starts none.
    ASSERT_TRUE(startUp());
    EXPECT_FALSE(program_->dailyBackup);
    EXPECT_EQ(listing(backups()), std::vector<std::string>{made->filename().string()});
}

TEST_F(DailyBackupTest, AFailedCopyIsShownOnceFromTheGuiThread)
{
    std::ofstream(backups()) << "in the way";
    ThreadNotingDialogs boxes;
    startWithoutWaiting();
    EXPECT_TRUE(boxes.shown.empty()) << "shown before the event loop runs";
    ASSERT_TRUE(program_->dailyBackup->wait(30s));
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(boxes.shown[0].text.startsWith("Cannot make the backup folder " + QString::fromStdString(backups().string())))
        << boxes.shown[0].text.toStdString();
    EXPECT_EQ(boxes.shown[0].icon, dbaware::Icon::Error);
    EXPECT_TRUE(boxes.shown[0].onGuiThread);
    EXPECT_FALSE(program_->dailyBackup->made());
}

TEST_F(DailyBackupTest, EndingTheProgramDuringTheCopyLeavesNoHalfCopyAndNoLock)
{
    fill(20000, 1000);  // some 20 MB: the copy is still under way when the program ends
    startWithoutWaiting();
    shutDown();
    EXPECT_TRUE(listing(backups()).empty()) << listing(backups()).front();
    // Another program writes at once, without waiting for a lock.
    auto other = store::sql::Connection::open((data() / campaign::campaignFile).string(), false);
    EXPECT_NO_THROW(other.exec("UPDATE vddb SET Domain_Name = 'x'"));
    EXPECT_EQ(dialogs_.shown.size(), 0u);
}
