// What the power-cut records bring back of a folder, and of SQLite's commit.
#include "crash/powercut.h"
#include "store/durable.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <map>

namespace fs = std::filesystem;

namespace {

void put(const fs::path& file, const std::string& bytes) { std::ofstream(file, std::ios::binary) << bytes; }

void sync(const fs::path& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::fsync(fd), 0);
    ::close(fd);
}

std::map<std::string, std::string> contents(const fs::path& folder)
{
    std::map<std::string, std::string> out;
    for (const auto& e : fs::directory_iterator(folder)) {
        std::ifstream in(e.path(), std::ios::binary);
        out[e.path().filename().string()] = std::string(std::istreambuf_iterator<char>(in), {});
    }
    return out;
}

struct Cut : ::testing::Test {
    fs::path root = fs::temp_directory_path() / ("vddb-powercut-" + std::to_string(getpid()));
    fs::path folder = root / "f", records = root / "records";
    void SetUp() override
    {
        fs::remove_all(root);
        fs::create_directories(folder);
        put(folder / "old.txt", "old");
        crash::powercut::baseline(records, {folder});
        crash::powercut::watch(records, {folder});
    }
    void TearDown() override { fs::remove_all(root); }
};

TEST_F(Cut, OnlyWhatWasSyncedStays)
{
    struct Case {
        const char* what;
        std::function<void(const fs::path&)> steps;
        std::map<std::string, std::string> after;
    };
    const Case cases[] = {
        {"an unsynced write", [](const fs::path& f) { put(f / "old.txt", "new"); }, {{"old.txt", "old"}}},
        {"a synced write", [](const fs::path& f) { put(f / "old.txt", "new"), sync(f / "old.txt"); }, {{"old.txt", "new"}}},
        {"a rename in an unsynced folder",
         [](const fs::path& f) { put(f / "t", "new"), sync(f / "t"), fs::rename(f / "t", f / "old.txt"); },
         {{"old.txt", "old"}}},
        {"a durable rename",
         [](const fs::path& f) {
             std::error_code ec;
             put(f / "t", "new"), store::renameDurably(f / "t", f / "old.txt", ec);
         },
         {{"old.txt", "new"}}},
        {"a name synced before its bytes", [](const fs::path& f) { put(f / "n", "x"), sync(f); },
         {{"old.txt", "old"}, {"n", ""}}},
        {"an unsynced removal", [](const fs::path& f) { fs::remove(f / "old.txt"); }, {{"old.txt", "old"}}},
    };
    for (const Case& c : cases) {
        SetUp();
        c.steps(folder);
        crash::powercut::restore(records, {folder});
        EXPECT_EQ(contents(folder), c.after) << c.what;
    }
}

// A commit in one file deletes its journal; unless that deletion's folder is
// synced (synchronous=EXTRA) the cut brings the journal back, hot, and the
// next open rolls the committed transaction back.
TEST_F(Cut, AJournalDeletedWithoutAFolderSyncUndoesTheCommit)
{
    const std::pair<const char*, int> cases[] = {{"FULL", 1}, {"EXTRA", 2}};
    for (const auto& [synchronous, rows] : cases) {
        fs::remove_all(folder);
        fs::create_directories(folder);
        sqlite3* db = nullptr;
        sqlite3_open((folder / "a.sqlite").c_str(), &db);
        sqlite3_exec(db, "CREATE TABLE t(x); INSERT INTO t VALUES(1)", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        crash::powercut::baseline(records, {folder});
        crash::powercut::watch(records, {folder});
        sqlite3_open((folder / "a.sqlite").c_str(), &db);
        const std::string sql = std::string("PRAGMA synchronous=") + synchronous + "; INSERT INTO t VALUES(2)";
        ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
        crash::powercut::restore(records, {folder});
        sqlite3* after = nullptr;
        sqlite3_open((folder / "a.sqlite").c_str(), &after);
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(after, "SELECT count(*) FROM t", -1, &st, nullptr);
        ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
        EXPECT_EQ(sqlite3_column_int(st, 0), rows) << synchronous;
        sqlite3_finalize(st);
        sqlite3_close(after);
    }
}

}  // namespace
