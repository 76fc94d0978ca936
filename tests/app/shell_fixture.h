#pragma once
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QSettings>
#include <QWidget>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/context.h"
#include "app/help.h"
#include "app/modal.h"
#include "startup/startup.h"
#include "browser/vdsearch.h"
#include "campaign/catalogue.h"
#include "province/vdprovince.h"
#include "realm/vddetails.h"
#include "transfer/transfer.h"
#include "store/database.h"
#include "store/fixture.h"
#include "store/backup.h"
#include "store/layout.h"
#include "support/grid_models.h"
#include "support/gui_helpers.h"
#include "support/scripted_dialogs.h"
#include "support/scripted_modal.h"
#include "support/test_server.h"

namespace testing_support {

// A program folder, a user data folder and an alias file of their own in a
// scratch folder; boxes and help requests are recorded.
class ShellTest : public ::testing::Test {
protected:
    ShellTest()
    {
        std::filesystem::create_directories(programFolder());
        // The same tests over a campaign on a server, where the test command
        // runs them so: the alias VDDB names a new one there.
        if (const std::string server = testServer("VDDB_TEST_SERVER"); !server.empty())
            store::AliasRegistry(aliasFile()).add(serverAlias("VDDB", newServerCampaign(server)), true);
        context_ = std::make_unique<app::Context>(store::AliasRegistry(aliasFile()), programFolder(), userDataFolder());
        app::setHelpHandler([this](const QString& file, unsigned command) { helpCalls_.emplace_back(file, command); });
        // Each test opens the windows as a first run does.
        QSettings().remove(QStringLiteral("Windows"));
    }
    ~ShellTest() override
    {
        shutDown();
        app::setHelpHandler({});
    }

    // Start-up as the program makes it, on the test's folders or another
    // context; the windows are reachable by their names until shutDown().
    bool startUp(app::Context& context)
    {
        shutDown();
        program_ = std::make_unique<app::Program>(context);  // seen by boxes during start-up
        const bool started = program_->startUp();
        finishDailyBackup();
        frmVDDBSearch = program_->frmVDDBSearch;
        frmRealmDetails = program_->frmRealmDetails;
        frmProvince = program_->frmProvince;
        frmTransfer = program_->frmTransfer;
        for (QWidget* w : std::initializer_list<QWidget*>{frmVDDBSearch, frmRealmDetails, frmTransfer})
            if (w)
                testGridModels(*w);
        return started;
    }
    bool startUp() { return startUp(*context_); }
    // Start-up leaves today's copy under way; the tests that follow find it
    // made, and a failure shown, as the event loop would show it.
    void finishDailyBackup()
    {
        if (!program_->dailyBackup)
            return;
        EXPECT_TRUE(program_->dailyBackup->wait(std::chrono::seconds(30))) << "the daily copy did not end";
        QCoreApplication::sendPostedEvents(program_->frmVDDBSearch, QEvent::MetaCall);
    }
    void shutDown()
    {
        program_.reset();
        frmVDDBSearch = nullptr;
        frmRealmDetails = nullptr;
        frmProvince = nullptr;
        frmTransfer = nullptr;
    }

    std::filesystem::path programFolder() const { return temp_.path() / "prog"; }
    std::filesystem::path aliasFile() const { return temp_.path() / "config" / "aliases.conf"; }
    std::filesystem::path userDataFolder() const { return temp_.path() / "user" / "vddb" / "Data"; }
    static void makeDatabase(const std::filesystem::path& folder, bool transfer = true)
    {
        std::filesystem::create_directories(folder);
        store::Database::createFile(campaign::catalogue(), folder / campaign::campaignFile, campaign::campaignFile);
        if (transfer)
            store::Database::createFile(campaign::catalogue(), folder / campaign::transferFile, campaign::transferFile);
    }
    // The six table objects that start-up opens.
    std::vector<const store::Table*> sixTables() const
    {
        return {&frmVDDBSearch->tblVDDB,      &frmRealmDetails->tblVDDB,    &frmRealmDetails->tblProv,
                &frmRealmDetails->tblTransfer, &frmRealmDetails->tblXfrProv, &frmProvince->tblProv};
    }

    // Records stored through a table object of their own, as another part
    // of the program would store them.
    void addCharacter(const std::string& game, const std::string& name, const Fields& more = {})
    {
        store::Table t(context_->session);
        t.open("VDDB", "vddb.DB");
        Fields fields{{"Game_Name", game}, {"Character_Name", name}};
        fields.insert(fields.end(), more.begin(), more.end());
        post(t, fields);
    }
    void addProvince(const std::string& game, const std::string& name, const std::string& province,
                     const Fields& more = {})
    {
        store::Table t(context_->session);
        t.open("VDDB", "vdprovs.db");
        Fields fields{{"Game_Name", game}, {"Character_Name", name}, {"Province_Name", province}};
        fields.insert(fields.end(), more.begin(), more.end());
        post(t, fields);
    }
    // Every stored province of one character, whatever a window shows.
    std::vector<std::string> provincesOf(const std::string& game, const std::string& name)
    {
        store::Table t(context_->session);
        t.open("VDDB", "vdprovs.db");
        std::vector<std::string> out;
        for (t.first(); !t.eof(); t.next())
            if (t.text("Game_Name") == game && t.text("Character_Name") == name)
                out.push_back(t.text("Province_Name"));
        return out;
    }
    // Every stored character as game/name, in key order.
    std::vector<std::string> characters()
    {
        store::Table t(context_->session);
        t.open("VDDB", "vddb.DB");
        std::vector<std::string> out;
        for (t.first(); !t.eof(); t.next())
            out.push_back(t.text("Game_Name") + "/" + t.text("Character_Name"));
        return out;
    }
    // Opens the realm window on a character as the browser does.
    void openOn(const std::string& game, const std::string& name)
    {
        frmRealmDetails->tblVDDB.refresh();
        ASSERT_TRUE(frmRealmDetails->tblVDDB.findKey({game, name}));
        activate(frmRealmDetails);
    }

    TempFolder temp_;
    std::unique_ptr<app::Context> context_;
    std::unique_ptr<app::Program> program_;
    TfrmVDDBSearch* frmVDDBSearch = nullptr;
    TfrmRealmDetails* frmRealmDetails = nullptr;
    TfrmProvince* frmProvince = nullptr;
    TfrmTransfer* frmTransfer = nullptr;
    ScriptedDialogs dialogs_;
    std::vector<std::pair<QString, unsigned>> helpCalls_;
};

}  // namespace testing_support
