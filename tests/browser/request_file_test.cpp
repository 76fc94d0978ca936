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

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <future>
#include <thread>

namespace {

// Takes the request on a thread of its own. A reader that blocks (a FIFO
// opened for reading waits for a writer) is set free by opening the FIFO for
// writing, so that the test reports it instead of hanging.
RequestFile::Taken takeWatched(RequestFile& file, bool& blocked)
{
    RequestFile::Taken taken;
    std::promise<void> done;
    std::future<void> finished = done.get_future();
    std::thread reader([&] {
        taken = file.take();
        done.set_value();
    });
    blocked = finished.wait_for(std::chrono::seconds(5)) != std::future_status::ready;
    if (blocked)
        if (int fd = ::open(file.path().c_str(), O_WRONLY | O_NONBLOCK); fd >= 0)
            ::close(fd);
    reader.join();
    return taken;
}

}  // namespace

TEST(RequestFileTake, OnlyASmallRegularFileIsServed)
{
    constexpr std::size_t cap = RequestFile::maxSize;
    const std::string valid = "North\r\nAric\r\n";
    struct Case {
        const char* what;
        std::function<void(const fs::path&)> make;
        bool served;
        std::string game, character;
    };
    const std::vector<Case> cases = {
        {"a FIFO", [](const fs::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }, false, {}, {}},
        {"a link to a request",
         [&](const fs::path& p) {
             write(p.parent_path() / "elsewhere", valid);
             fs::create_symlink(p.parent_path() / "elsewhere", p);
         },
         false, {}, {}},
        {"a folder", [](const fs::path& p) { fs::create_directories(p); }, false, {}, {}},
        {"a sparse 1 GB file",
         [](const fs::path& p) {
             const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT, 0600);
             ASSERT_GE(fd, 0);
             EXPECT_EQ(::ftruncate(fd, off_t(1) << 30), 0);
             ::close(fd);
         },
         false, {}, {}},
        {"one byte over the limit", [&](const fs::path& p) { write(p, valid + std::string(cap - valid.size() + 1, 'x')); },
         false, {}, {}},
        {"exactly the limit", [&](const fs::path& p) { write(p, valid + std::string(cap - valid.size(), 'x')); }, true,
         "North", "Aric"},
        {"empty", [](const fs::path& p) { write(p, ""); }, true, "", ""},
        {"binary", [](const fs::path& p) { write(p, std::string("\0\x01\xff\n\x80\n\0", 7)); }, true,
         std::string("\0\x01\xc3\xbf", 4), "\xe2\x82\xac"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testing_support::TempFolder temp;
        RequestFile file(temp.path() / "figjam.$#!");
        c.make(file.path());
        const auto start = std::chrono::steady_clock::now();
        bool blocked = false;
        const RequestFile::Taken taken = takeWatched(file, blocked);
        EXPECT_FALSE(blocked) << "the reader waited on the file";
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
        EXPECT_EQ(taken.request.has_value(), c.served);
        if (c.served) {
            EXPECT_TRUE(taken.error.empty()) << taken.error;
            EXPECT_EQ(taken.request->gameName, c.game);
            EXPECT_EQ(taken.request->characterName, c.character);
            EXPECT_FALSE(fs::exists(fs::symlink_status(file.path())));
        } else {
            // Refused as unreadable, reported once, and left where it is.
            EXPECT_NE(taken.error.find("Cannot read the open-request file"), std::string::npos) << taken.error;
            EXPECT_TRUE(fs::exists(fs::symlink_status(file.path())));
            EXPECT_TRUE(takeWatched(file, blocked).error.empty());
            EXPECT_FALSE(blocked);
        }
    }
}
#endif
