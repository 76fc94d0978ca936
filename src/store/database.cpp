#include "store/database.h"

#include "store/error.h"
#include "store/paths.h"
#include "store/table.h"

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

std::string sqlType(const Column& c)
{
    switch (c.type) {
    case ColumnType::Text: return "VARCHAR(" + std::to_string(c.size) + ")";
    case ColumnType::Short: return "SMALLINT";
    case ColumnType::Logical: return "BOOLEAN";
    case ColumnType::Memo: return "TEXT";
    case ColumnType::AutoInc: return "INTEGER PRIMARY KEY AUTOINCREMENT";
    }
    return "TEXT";
}

bool isKeyColumn(const TableLayout& layout, int index)
{
    for (int k : layout.keyColumns)
        if (k == index)
            return true;
    return false;
}

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

std::string Database::createTableSql(const TableLayout& layout, const std::string& schema)
{
    std::string prefix = schema.empty() ? "" : sql::quoteIdentifier(schema) + ".";
    std::string s = "CREATE TABLE " + prefix + sql::quoteIdentifier(layout.name) + " (\n";
    for (std::size_t i = 0; i < layout.columns.size(); ++i) {
        const Column& c = layout.columns[i];
        std::string q = sql::quoteIdentifier(c.name);
        s += "  " + q + " " + sqlType(c);
        // Key text columns hold '' for "no value" so the unique key also
        // refuses a second record with both names empty.
        if (c.type == ColumnType::Text && isKeyColumn(layout, static_cast<int>(i)))
            s += " NOT NULL DEFAULT ''";
        if (c.type == ColumnType::Text)
            s += " CHECK(length(" + q + ") <= " + std::to_string(c.size) + ")";
        else if (c.type == ColumnType::Short)
            s += " CHECK(" + q + " BETWEEN -32768 AND 32767)";
        else if (c.type == ColumnType::Logical)
            s += " CHECK(" + q + " IN (0, 1))";
        s += i + 1 < layout.columns.size() ? ",\n" : "\n";
    }
    s += ");\n";
    std::string keyCols;
    for (int k : layout.keyColumns) {
        if (!keyCols.empty())
            keyCols += ", ";
        keyCols += sql::quoteIdentifier(layout.columns[static_cast<std::size_t>(k)].name);
    }
    s += std::string("CREATE ") + (layout.uniqueKey ? "UNIQUE " : "") + "INDEX " + prefix +
         sql::quoteIdentifier(layout.name + "_key") + " ON " + sql::quoteIdentifier(layout.name) + " (" + keyCols +
         ");\n";
    if (layout.uniqueKey)  // the browser's search by character name
        s += "CREATE INDEX " + prefix + sql::quoteIdentifier(layout.name + "_name") + " ON " +
             sql::quoteIdentifier(layout.name) + " (\"Character_Name\");\n";
    return s;
}

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
                throw StoreError("Cannot create the database folder " + utf8(folder_) + ": " + ec.message());
            // Built under temporary names and renamed, so that an interrupted
            // first start never leaves a half-made file that looks like data.
            for (const auto& [target, which] : {std::pair{campaign, campaignFile}, std::pair{transfer, transferFile}}) {
                fs::path tmp = target;
                tmp += ".new";
                fs::remove(tmp, ec);
                createFile(tmp, which);
                fs::rename(tmp, target, ec);
                if (ec)
                    throw StoreError("Cannot create " + utf8(target) + ": " + ec.message());
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
        throw StoreError("Cannot open the database in " + utf8(folder_) + ": " + e.what());
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
            throw StoreError("Table " + layout.displayName + " cannot be opened: " + e.what());
        }
        transferSchema_ = "xfer";
        transferPending_ = false;
    }
    const std::string& schema = layout.file == campaignFile ? campaignSchema_ : transferSchema_;
    if (schema.empty())
        throw StoreError("Table " + layout.displayName + " cannot be opened: the file " + layout.file +
                         " is missing from " + utf8(folder_));
    sql::Statement info(conn_, "PRAGMA " + schema + ".table_info(" + sql::quoteIdentifier(layout.name) + ")");
    std::size_t n = 0;
    bool match = true;
    while (info.step()) {
        if (n >= layout.columns.size() || info.text(1) != layout.columns[n].name)
            match = false;
        ++n;
    }
    if (n == 0)
        throw StoreError("Table " + layout.displayName + " does not exist in " + utf8(folder_ / layout.file));
    if (!match || n != layout.columns.size())
        throw StoreError("Table " + layout.displayName + " in " + utf8(folder_ / layout.file) +
                         " does not have the expected columns");
    return schema;
}

void Database::addCursor(Table* table) { cursors_.push_back(table); }

void Database::removeCursor(Table* table) { std::erase(cursors_, table); }

void Database::releaseCursors()
{
    for (Table* t : cursors_)
        t->releaseCursor();
}

Database::Transaction::Transaction(Database& db) : db_(db), name_("sp" + std::to_string(++db.savepoints_))
{
    try {
        db_.conn_.exec("SAVEPOINT " + name_);
    } catch (...) {
        --db_.savepoints_;
        throw;
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
    db_.conn_.exec("RELEASE " + name_);
    done_ = true;
}

}  // namespace store
