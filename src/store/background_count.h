// The rows of a table counted on a thread of its own, through a connection of
// its own: a million rows take tens of milliseconds to count, which the first
// grid to need them (Ctrl+End, a scroll-bar drag) would otherwise wait for.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

struct sqlite3;

namespace store {

class Table;

class BackgroundCount {
public:
    // Called once on the counting thread with the rows and the file's change
    // counter read beside them; never after the object is gone or on failure.
    using Done = std::function<void(std::int64_t rows, std::uint32_t changeCounter)>;

    // Counts every row of the table's own table (no filter).
    static std::unique_ptr<BackgroundCount> start(Table& table, Done done);
    // Stops a count under way and waits for the thread.
    ~BackgroundCount();
    BackgroundCount(const BackgroundCount&) = delete;
    BackgroundCount& operator=(const BackgroundCount&) = delete;

private:
    BackgroundCount(std::string file, std::string table, Done done);
    void run();

    const std::string file_, table_;
    const Done done_;
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    sqlite3* counting_ = nullptr;
    std::thread thread_;  // last: started once the rest is set
};

}  // namespace store
