#include <gtest/gtest.h>

#include <QDir>

#include <fstream>
#include <sstream>

#include "app/platform.h"
#include "campaign/catalogue.h"
#include "shell_fixture.h"

namespace fs = std::filesystem;
using testing_support::ShellTest;

namespace {

std::string contents(const fs::path& file)
{
    std::stringstream s;
    s << std::ifstream(file, std::ios::binary).rdbuf();
    return s.str();
}

}  // namespace

TEST_F(ShellTest, AnAliasKnownInAnotherLetterCaseIsUsedAsConfigured)
{
    const fs::path elsewhere = temp_.path() / "elsewhere";
    makeDatabase(elsewhere);
    context_->session.aliases().add(store::Alias{"vddb", "STANDARD", {{"PATH", elsewhere.string() + "/"}}}, true);
    const std::string before = contents(aliasFile());

    ASSERT_TRUE(startUp());
    EXPECT_TRUE(dialogs_.shown.empty());
    EXPECT_EQ(contents(aliasFile()), before);
    EXPECT_FALSE(fs::exists(programFolder() / "Data"));
    for (const store::Table* table : sixTables())
        EXPECT_EQ(table->database().folder(), elsewhere);
}

TEST_F(ShellTest, AMissingAliasIsRegisteredOnTheDataFolderBesideTheProgram)
{
    const fs::path cwd = fs::current_path();
    fs::current_path(temp_.path());  // the working folder plays no part
    const bool started = startUp();
    fs::current_path(cwd);

    ASSERT_TRUE(started);
    auto alias = store::AliasRegistry(aliasFile()).find("VDDB");  // kept for later runs
    ASSERT_TRUE(alias);
    EXPECT_EQ(alias->name, "VDDB");
    EXPECT_EQ(alias->type, "STANDARD");
    EXPECT_EQ(alias->path(), (programFolder() / "Data").string() + "/");
    EXPECT_EQ(alias->params.at("DEFAULT DRIVER"), "Paradox");
    EXPECT_TRUE(fs::exists(programFolder() / "Data" / campaign::campaignFile));
    EXPECT_FALSE(fs::exists(temp_.path() / "Data"));
}

TEST_F(ShellTest, AFailedRegistrationIsReportedAndEndsTheProgram)
{
    std::ofstream(aliasFile().parent_path()) << "a file where the alias file's folder should be";

    EXPECT_FALSE(startUp());
    ASSERT_EQ(dialogs_.shown.size(), 1u);
    EXPECT_EQ(dialogs_.shown[0].text, "Error Creating Paradox Alias - Terminating");
    EXPECT_EQ(dialogs_.shown[0].caption, "Valdane Campaign Database");
    EXPECT_EQ(dialogs_.shown[0].icon, dbaware::Icon::None);
    EXPECT_FALSE(frmVDDBSearch->tblVDDB.isOpen());
    EXPECT_EQ(frmRealmDetails, nullptr);  // start-up stopped there
    shutDown();

    app::Context again(store::AliasRegistry(aliasFile()), programFolder(), userDataFolder());
    EXPECT_NE(app::run(again), 0);
    EXPECT_EQ(dialogs_.shown.size(), 2u);
}

TEST_F(ShellTest, AReadOnlyProgramFolderPutsTheDataInTheUserDataFolder)
{
    context_->folderWritable = [](const fs::path&) { return false; };
    ASSERT_TRUE(startUp());
    EXPECT_EQ(store::AliasRegistry(aliasFile()).find("VDDB")->path(), userDataFolder().string() + "/");
    for (const store::Table* table : sixTables())
        EXPECT_EQ(table->database().folder(), userDataFolder());
    EXPECT_FALSE(fs::exists(programFolder() / "Data"));
    EXPECT_EQ(app::saveFolderParent(*context_), context_->userDocumentsFolder);

    // Installed where root could write: kept out of the system's folder all the same.
    context_->folderWritable = [](const fs::path&) { return true; };
    context_->installed = true;
    EXPECT_EQ(app::dataFolderFor(*context_), userDataFolder());
    EXPECT_EQ(app::saveFolderParent(*context_), context_->userDocumentsFolder);

    // A writable Data folder that is already there is used all the same.
    fs::create_directories(programFolder() / "Data");
    context_->folderWritable = [&](const fs::path& folder) { return folder == programFolder() / "Data"; };
    EXPECT_EQ(app::dataFolderFor(*context_), programFolder() / "Data");
}

TEST(Platform, TheFoldersTheSystemInstallsProgramsIntoAreKnown)
{
#if defined(_WIN32) || defined(__APPLE__)
    GTEST_SKIP() << "the write test finds them there";
#endif
    for (auto [folder, system] : {std::pair{"/usr/bin", true}, {"/usr/local/bin", true}, {"/opt/vddb/bin", true},
                                  {"/home/ann/vddb", false}, {"/tmp/build", false}, {"usr/bin", false}})
        EXPECT_EQ(app::platform::isSystemProgramFolder(folder), system) << folder;
}

TEST(Platform, TheProgramFolderIsThatOfTheProgramFileWhateverTheWorkingFolder)
{
#ifndef __linux__
    GTEST_SKIP() << "compares with /proc/self/exe";
#endif
    testing_support::TempFolder temp;
    const fs::path cwd = fs::current_path();
    fs::current_path(temp.path());
    const fs::path folder = app::platform::programFolder();
    fs::current_path(cwd);
    EXPECT_EQ(fs::canonical(folder), fs::canonical("/proc/self/exe").parent_path());
}

TEST(Platform, AliasFileFollowsXdgConfigHome)
{
    const char* old = std::getenv("XDG_CONFIG_HOME");
    std::string keep = old ? old : "";
    setenv("XDG_CONFIG_HOME", "/tmp/xdg-test", 1);
    EXPECT_EQ(app::platform::aliasFile(), fs::path("/tmp/xdg-test/vddb/aliases.conf"));
    setenv("XDG_CONFIG_HOME", "relative", 1);  // ignored, as the XDG rules say
    EXPECT_NE(app::platform::aliasFile(), fs::path("relative/vddb/aliases.conf"));
    if (old)
        setenv("XDG_CONFIG_HOME", keep.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}

TEST(Platform, UserDataFolderFollowsXdgDataHomeWhenAbsolute)
{
    const char* old = std::getenv("XDG_DATA_HOME");
    const std::string keep = old ? old : "";
    setenv("XDG_DATA_HOME", "/srv/xdg", 1);
    EXPECT_EQ(app::platform::userDataFolder(), fs::path("/srv/xdg/vddb/Data"));
    setenv("XDG_DATA_HOME", "relative", 1);
    EXPECT_EQ(app::platform::userDataFolder(), app::platform::toPath(QDir::homePath()) / ".local/share/vddb/Data");
    old ? setenv("XDG_DATA_HOME", keep.c_str(), 1) : unsetenv("XDG_DATA_HOME");
}

TEST_F(ShellTest, AnAliasOnAMissingFolderAsksBeforeANewDatabaseIsMadeThere)
{
    // A folder on a drive that is not mounted: nothing is made unless the user says so.
    const fs::path unmounted = temp_.path() / "mnt" / "games" / "Data";
    context_->session.aliases().add(store::Alias{"VDDB", "STANDARD", {{"PATH", unmounted.string() + "/"}}}, true);
    dialogs_.answer(dbaware::Answer::No);
    EXPECT_FALSE(startUp());
    ASSERT_EQ(dialogs_.shown.size(), 1u);
    EXPECT_EQ(dialogs_.shown[0].caption, "Confirm");
    EXPECT_EQ(dialogs_.shown[0].buttons, dbaware::Buttons::YesNo);
    EXPECT_TRUE(dialogs_.shown[0].text.contains(QString::fromStdString(unmounted.string())))
        << dialogs_.shown[0].text.toStdString();
    EXPECT_NE(context_->exitStatus.value_or(0), 0);
    EXPECT_FALSE(fs::exists(temp_.path() / "mnt"));
    shutDown();

    // Yes makes it with empty tables.
    app::Context again(store::AliasRegistry(aliasFile()), programFolder(), userDataFolder());
    dialogs_.answer(dbaware::Answer::Yes);
    ASSERT_TRUE(startUp(again));
    EXPECT_EQ(dialogs_.shown.size(), 2u);
    EXPECT_TRUE(fs::exists(unmounted / campaign::campaignFile));
    shutDown();

    // The program's own Data folder is made without a question, as on a first start.
    for (const fs::path& own : {programFolder() / "Data", userDataFolder()}) {
        app::Context ownContext(store::AliasRegistry(aliasFile()), programFolder(), userDataFolder());
        ownContext.session.aliases().add(store::Alias{"VDDB", "STANDARD", {{"PATH", own.string() + "/"}}}, true);
        ASSERT_TRUE(startUp(ownContext));
        EXPECT_EQ(dialogs_.shown.size(), 2u);
        EXPECT_TRUE(fs::exists(own / campaign::campaignFile));
        shutDown();
    }
}
