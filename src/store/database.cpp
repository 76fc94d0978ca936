// Opening an alias folder's files (creating them on a first start), attaching
// the transfer file, savepoint transactions and the shared read of an event.
#include "store/database.h"

#include "store/error.h"
#include "store/paths.h"
#include "store/schema.h"

#include <system_error>

namespace store {

namespace fs = std::filesystem;

void applyPragmas(sql::Connection& conn)
{
    // Rollback journal with full syncs: every commit is durable and atomic
    // across attached files; see the README.
    conn.exec("PRAGMA journal_mode=DELETE; PRAGMA synchronous=FULL; PRAGMA busy_timeout=5000;");
}

namespace {

std::string attachUri(const fs::path& file)
{
    // mode=rw: attaching must never create the file.
    std::string uri = "file:";
    for (char c : utf8(file)) {
        if (c == '%' || c == '?' || c == '#')
            uri += c == '%' ? "%25" : (c == '?' ? "%3f" : "%23");
        else
            uri += c;
    }
    return uri + "?mode=rw";
}

std::string sqlLiteral(const std::string& s)
{
    std::string out = "'";
    for (char c : s) {
        if (c == '\'')
            out += '\'';
        out += c;
    }
    return out + "'";
}

}  // namespace

void Database::createFile(const fs::path& file, const std::string& which)
{
    sql::Connection conn = sql::Connection::open(utf8(file), true);
    applyPragmas(conn);
    std::string ddl = "BEGIN;\n";
    for (const auto& layout : allLayouts())
        if (layout.file == which)
            ddl += createTableSql(layout, "");
    ddl += "COMMIT;";
    conn.exec(ddl);
}

Database::Database(fs::path folder) : folder_(std::move(folder))
{
    const fs::path campaign = folder_ / campaignFile;
    const fs::path transfer = folder_ / transferFile;
    std::error_code ec;
    bool haveCampaign = fs::exists(campaign, ec);
    bool haveTransfer = fs::exists(transfer, ec);
    try {
        if (!haveCampaign && !haveTransfer) {
            fs::create_directories(folder_, ec);
            if (ec)
                throw StoreError(msg::cannotCreateFolder(utf8(folder_), ec.message()));
            // Built under temporary names and renamed, so that an interrupted
            // first start never leaves a half-made file that looks like data.
            for (const auto& [target, which] : {std::pair{campaign, campaignFile}, std::pair{transfer, transferFile}}) {
                fs::path tmp = target;
                tmp += ".new";
                fs::remove(tmp, ec);
                createFile(tmp, which);
                fs::rename(tmp, target, ec);
                if (ec)
                    throw StoreError(msg::cannotCreateFile(utf8(target), ec.message()));
            }
            haveCampaign = haveTransfer = true;
        }
        if (haveCampaign) {
            conn_ = sql::Connection::open(utf8(campaign), false);
            campaignSchema_ = "main";
            transferPending_ = haveTransfer;
        } else {
            conn_ = sql::Connection::open(utf8(transfer), false);
            transferSchema_ = "main";
        }
        applyPragmas(conn_);
    } catch (const sql::SqlError& e) {
        throw StoreError(msg::cannotOpenDatabase(utf8(folder_), e.what()));
    }
}

std::string Database::schemaFor(const TableLayout& layout)
{
    if (layout.file == transferFile && transferPending_) {
        releaseCursors();  // ATTACH needs no read in progress
        try {
            conn_.exec("ATTACH DATABASE " + sqlLiteral(attachUri(folder_ / transferFile)) + " AS xfer");
            conn_.exec("PRAGMA xfer.journal_mode=DELETE; PRAGMA xfer.synchronous=FULL;");
        } catch (const sql::SqlError& e) {
            throw StoreError(msg::cannotOpenTable(layout.displayName, e.what()));
        }
        transferSchema_ = "xfer";
        transferPending_ = false;
    }
    const std::string& schema = layout.file == campaignFile ? campaignSchema_ : transferSchema_;
    if (schema.empty())
        throw StoreError(msg::fileMissing(layout.displayName, layout.file, utf8(folder_)));
    checkTable(conn_, schema, layout, utf8(folder_ / layout.file));
    return schema;
}

bool Database::keepReading(const std::string& schema)
{
    sql::Statement& reader = readers_[schema];
    if (reader && reader.active())
        return true;
    if (!reader)
        reader = sql::Statement(conn_, "SELECT 1 FROM " + schema + ".sqlite_master");
    ++readEpoch_;
    return reader.step();
}

void Database::releaseCursors()
{
    ++readEpoch_;
    for (auto& [schema, reader] : readers_)
        reader.reset();
}

Database::Transaction::Transaction(Database& db) : db_(db), name_("sp" + std::to_string(++db.savepoints_))
{
    try {
        db_.conn_.exec("SAVEPOINT " + name_);
    } catch (const sql::SqlError& e) {
        --db_.savepoints_;
        throw StoreError(msg::transactionFailed(e.what()));
    }
}

Database::Transaction::~Transaction()
{
    if (!done_) {
        try {
            db_.conn_.exec("ROLLBACK TO " + name_ + "; RELEASE " + name_);
        } catch (...) {
        }
    }
    --db_.savepoints_;
}

void Database::Transaction::commit()
{
    try {
        db_.conn_.exec("RELEASE " + name_);
    } catch (const sql::SqlError& e) {
        throw StoreError(msg::transactionFailed(e.what()));
    }
    done_ = true;
}

}  // namespace store
