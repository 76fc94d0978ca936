#include <gtest/gtest.h>

#include <fstream>

#include "fixture.h"
#include "store/alias_registry.h"
#include "store/error.h"

namespace fs = std::filesystem;
using store::Alias;
using store::AliasRegistry;

TEST(AliasRegistry, RegistersFindsInAnyCaseAndKeepsBetweenRuns)
{
    testing_support::TempFolder temp;
    fs::path file = temp.path() / "cfg" / "aliases.conf";
    {
        AliasRegistry reg(file);
        EXPECT_TRUE(reg.names().empty());
        reg.add(Alias{"VDDB", "STANDARD", {{"PATH", "/x/Data/"}, {"DEFAULT DRIVER", "Paradox"}}}, true);
        reg.add(Alias{"Other", "STANDARD", {{"PATH", "/y/"}}}, true);
    }
    AliasRegistry again(file);
    EXPECT_EQ(again.names(), (std::vector<std::string>{"VDDB", "Other"}));
    auto a = again.find("vddb");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->name, "VDDB");
    EXPECT_EQ(a->type, "STANDARD");
    EXPECT_EQ(a->path(), "/x/Data/");
    EXPECT_EQ(a->params.at("DEFAULT DRIVER"), "Paradox");
    EXPECT_FALSE(again.find("missing"));
    // Re-registering replaces, whatever the case.
    again.add(Alias{"vddb", "STANDARD", {{"PATH", "/z/"}}}, true);
    EXPECT_EQ(AliasRegistry(file).find("VDDB")->path(), "/z/");
    EXPECT_EQ(AliasRegistry(file).names().size(), 2u);
    EXPECT_FALSE(fs::exists(file.string() + ".tmp"));
}

TEST(AliasRegistry, TransientAliasIsNotWritten)
{
    testing_support::TempFolder temp;
    fs::path file = temp.path() / "aliases.conf";
    AliasRegistry reg(file);
    reg.add(Alias{"T", "STANDARD", {{"PATH", "/t/"}}}, false);
    EXPECT_TRUE(reg.find("t"));
    EXPECT_FALSE(fs::exists(file));
}

TEST(AliasRegistry, FailedWriteLeavesTheOldFile)
{
    testing_support::TempFolder temp;
    fs::path file = temp.path() / "aliases.conf";
    AliasRegistry(file).add(Alias{"A", "STANDARD", {{"PATH", "/a/"}}}, true);
    // The temporary file cannot be made where a folder stands (as root too).
    fs::create_directories(temp.path() / "aliases.conf.tmp" / "x");
    EXPECT_THROW(AliasRegistry(file).add(Alias{"B", "STANDARD", {}}, true), store::StoreError);
    EXPECT_EQ(AliasRegistry(file).names(), std::vector<std::string>{"A"});
}

TEST(AliasRegistry, FolderInPlaceOfTheFileFails)
{
    testing_support::TempFolder temp;
    fs::path file = temp.path() / "aliases.conf";
    fs::create_directories(file / "sub");  // rename over a non-empty folder cannot succeed
    EXPECT_THROW(AliasRegistry(file).add(Alias{"B", "STANDARD", {}}, true), store::StoreError);
}

TEST(AliasRegistry, DefaultFileFollowsXdgConfigHome)
{
    const char* old = std::getenv("XDG_CONFIG_HOME");
    std::string keep = old ? old : "";
    setenv("XDG_CONFIG_HOME", "/tmp/xdg-test", 1);
    EXPECT_EQ(AliasRegistry::defaultFile(), fs::path("/tmp/xdg-test/vddb/aliases.conf"));
    setenv("XDG_CONFIG_HOME", "relative", 1);  // ignored, as the XDG rules say
    EXPECT_NE(AliasRegistry::defaultFile(), fs::path("relative/vddb/aliases.conf"));
    if (old)
        setenv("XDG_CONFIG_HOME", keep.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}
