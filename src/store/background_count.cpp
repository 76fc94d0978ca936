#include "store/background_count.h"

#include "store/database.h"
#include "store/sqlite.h"
#include "store/table.h"

#include <sqlite3.h>

namespace store {

std::unique_ptr<BackgroundCount> BackgroundCount::start(Table& table, Done done)
{
    const std::string file = table.fileName();
    if (file.empty())
        return nullptr;
    return std::unique_ptr<BackgroundCount>(new BackgroundCount(file, table.layout().name, std::move(done)));
}

BackgroundCount::BackgroundCount(std::string file, std::string table, Done done)
    : file_(std::move(file)), table_(std::move(table)), done_(std::move(done)), thread_(&BackgroundCount::run, this)
{
}

BackgroundCount::~BackgroundCount()
{
    stopping_ = true;
    {
        std::lock_guard lock(mutex_);
        if (counting_)
            sqlite3_interrupt(counting_);
    }
    if (thread_.joinable())
        thread_.join();
}

void BackgroundCount::run()
{
    sql::Connection conn;  // outlives the pointer the destructor may interrupt
    std::int64_t rows = 0;
    std::uint32_t counter = 0;
    bool counted = false;
    try {
        conn = sql::Connection::open(file_, false);
        {
            std::lock_guard lock(mutex_);
            counting_ = conn.get();
        }
        if (!stopping_) {
            // The count and the counter within one read: no commit between.
            conn.exec("BEGIN");
            sql::Statement count(conn, "SELECT count(*) FROM main." + sql::quoteIdentifier(table_));
            count.step();
            rows = count.int64(0);
            const auto now = fileChangeCounter(file_);
            count = sql::Statement();
            conn.exec("COMMIT");
            counter = now.value_or(0);
            counted = now.has_value();
        }
    } catch (const std::exception&) {
        counted = false;  // the grid counts for itself when it needs to
    }
    {
        std::lock_guard lock(mutex_);
        counting_ = nullptr;
    }
    if (!stopping_ && counted && done_)
        done_(rows, counter);
}

}  // namespace store
