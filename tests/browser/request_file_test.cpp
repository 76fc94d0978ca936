#include <gtest/gtest.h>

#include <fstream>

#include "browser/request_file.h"
#include "store/fixture.h"

namespace fs = std::filesystem;

namespace {
void write(const fs::path& p, const std::string& s)
{
    std::ofstream(p, std::ios::binary) << s;
}
}  // namespace

TEST(OpenRequestText, LineBreaksAreNeverPartOfANameAndMissingLinesAreEmpty)
{
    auto r = parseOpenRequest("North\r\nAric\r\n");
    EXPECT_EQ(r.gameName, "North");
    EXPECT_EQ(r.characterName, "Aric");
    r = parseOpenRequest("North\nAric");
    EXPECT_EQ(r.characterName, "Aric");
    r = parseOpenRequest("North\r\n");
    EXPECT_EQ(r.gameName, "North");
    EXPECT_EQ(r.characterName, "");
    r = parseOpenRequest("");
    EXPECT_EQ(r.gameName, "");
    EXPECT_EQ(r.characterName, "");
    r = parseOpenRequest(" Lead \nTrail \nthird line\n");
    EXPECT_EQ(r.gameName, " Lead ");
    EXPECT_EQ(r.characterName, "Trail ");
    r = parseOpenRequest("G\xe9n\xe9rale\r\nJ\xfcrgen\r\n");  // Windows-1252
    EXPECT_EQ(r.gameName, "G\u00e9n\u00e9rale");
    EXPECT_EQ(r.characterName, "J\u00fcrgen");
    r = parseOpenRequest("G\u00e9n\r\n\u20ac\r\n");  // already UTF-8
    EXPECT_EQ(r.gameName, "G\u00e9n");
    EXPECT_EQ(r.characterName, "\u20ac");
}

TEST(RequestFileTake, ServedOnceThenGone)
{
    testing_support::TempFolder temp;
    RequestFile file(temp.path() / "figjam.$#!");
    EXPECT_FALSE(file.take().request);
    write(file.path(), "North\r\nAric\r\n");
    auto t = file.take();
    ASSERT_TRUE(t.request);
    EXPECT_TRUE(t.error.empty());
    EXPECT_EQ(t.request->characterName, "Aric");
    EXPECT_FALSE(fs::exists(file.path()));
    EXPECT_FALSE(file.take().request);
}

TEST(RequestFileTake, UnreadableFileIsReportedOnce)
{
    testing_support::TempFolder temp;
    RequestFile file(temp.path() / "figjam.$#!");
    fs::create_directories(file.path() / "inner");  // exists, but is no file to read
    auto first = file.take();
    EXPECT_FALSE(first.error.empty());
    EXPECT_FALSE(first.request);
    auto again = file.take();
    EXPECT_TRUE(again.error.empty());
    EXPECT_FALSE(again.request);
}

TEST(RequestFileTake, UndeletableFileIsServedOnceUntilItChanges)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root deletes from read-only folders";
    testing_support::TempFolder temp;
    fs::path dir = temp.path() / "locked";
    fs::create_directories(dir);
    RequestFile file(dir / "figjam.$#!");
    write(file.path(), "North\nAric\n");
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
    auto first = file.take();
    ASSERT_TRUE(first.request);
    EXPECT_EQ(first.request->characterName, "Aric");
    EXPECT_FALSE(first.error.empty());
    auto again = file.take();
    EXPECT_FALSE(again.request);
    EXPECT_TRUE(again.error.empty());
    fs::permissions(dir, fs::perms::owner_all);
    write(file.path(), "North\nBran\n");  // a new request
    auto fresh = file.take();
    ASSERT_TRUE(fresh.request);
    EXPECT_EQ(fresh.request->characterName, "Bran");
}
