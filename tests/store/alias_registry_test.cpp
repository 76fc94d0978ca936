#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

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
    try {
        AliasRegistry(file).add(Alias{"B", "STANDARD", {}}, true);
        ADD_FAILURE() << "written";
    } catch (const store::StoreError& e) {
        EXPECT_EQ(e.what(), "Cannot write the alias file " + file.string()) << "the alias file, not the temporary one";
    }
    EXPECT_EQ(AliasRegistry(file).names(), std::vector<std::string>{"A"});
}

TEST(AliasRegistry, FolderInPlaceOfTheFileFails)
{
    testing_support::TempFolder temp;
    fs::path file = temp.path() / "aliases.conf";
    fs::create_directories(file / "sub");  // rename over a non-empty folder cannot succeed
    EXPECT_THROW(AliasRegistry(file).add(Alias{"B", "STANDARD", {}}, true), store::StoreError);
}


namespace {
std::string bytesOf(const fs::path& file)
{
    std::ostringstream s;
    s << std::ifstream(file, std::ios::binary).rdbuf();
    return s.str();
}
}  // namespace

TEST(AliasRegistry, LinesItDoesNotOwnAreKeptByteForByte)
{
    testing_support::TempFolder temp;
    const fs::path file = temp.path() / "aliases.conf";
    const std::string mine = "# aliases of this desk\r\n[Other]\r\nTYPE=STANDARD\r\n; the old drive\r\nPATH=/y/\r\n"
                             "COLOR=blue\r\n\r\n[Third]\r\nPATH=/t/";
    std::ofstream(file, std::ios::binary) << mine;

    AliasRegistry(file).add(Alias{"VDDB", "STANDARD", {{"PATH", "/x/Data/"}}}, true);
    const std::string added = bytesOf(file);
    EXPECT_EQ(added.substr(0, mine.size()), mine) << added;
    EXPECT_EQ(AliasRegistry(file).find("VDDB")->path(), "/x/Data/");
    EXPECT_EQ(AliasRegistry(file).find("Third")->path(), "/t/");

    // Replacing an alias changes its own lines only.
    AliasRegistry(file).add(Alias{"other", "STANDARD", {{"PATH", "/z/"}}}, true);
    const std::string replaced = bytesOf(file);
    EXPECT_NE(replaced.find("# aliases of this desk\r\n"), std::string::npos) << replaced;
    EXPECT_NE(replaced.find("; the old drive\r\n"), std::string::npos) << replaced;
    EXPECT_NE(replaced.find("[Third]\r\nPATH=/t/"), std::string::npos) << replaced;
    EXPECT_EQ(AliasRegistry(file).find("Other")->path(), "/z/");
    EXPECT_EQ(AliasRegistry(file).names(), (std::vector<std::string>{"other", "Third", "VDDB"}));
}

TEST(AliasRegistry, AFileItDoesNotUnderstandIsNeverRewritten)
{
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"a broken section heading", "[Other]\nPATH=/a/\n[Broken\nPATH=/b/\n"},
        {"a setting before any alias", "PATH=/orphan/\n[Other]\nPATH=/a/\n"},
        {"a line of no known form", "[Other]\nPATH=/a/\nthis is not a setting\n"},
        {"an alias twice", "[Other]\nPATH=/a/\n[other]\nPATH=/b/\n"},
        {"a setting twice", "[Other]\nPATH=/a/\nPATH=/b/\n"},
        {"binary garbage", std::string("[Other]\nPATH=/a/\n\x01\x02\xff\0", 21)},
    };
    for (const auto& [what, text] : cases) {
        SCOPED_TRACE(what);
        testing_support::TempFolder temp;
        const fs::path file = temp.path() / "aliases.conf";
        std::ofstream(file, std::ios::binary) << text;
        // What was understood still reads as written: no line of another alias leaks in.
        const auto other = AliasRegistry(file).find("Other");
        ASSERT_TRUE(other);
        EXPECT_EQ(other->path(), "/a/");
        EXPECT_THROW(AliasRegistry(file).add(Alias{"VDDB", "STANDARD", {{"PATH", "/x/"}}}, true), store::StoreError);
        EXPECT_EQ(bytesOf(file), text);
        EXPECT_FALSE(fs::exists(file.string() + ".tmp"));
    }
}
