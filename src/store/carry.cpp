// Snapshots through VACUUM INTO, and tables taken from an attached file in
// one transaction of the open connection.
#include "store/carry.h"

#include "store/database.h"
#include "store/durable.h"
#include "store/error.h"
#include "store/journal.h"
#include "store/layout.h"
#include "store/paths.h"
#include "store/schema.h"
#include "store/backup.h"
#include "store/sqlite.h"
#include "store/value_check.h"

#include <algorithm>
#include <ctime>

namespace store {

namespace fs = std::filesystem;

namespace {

std::vector<const TableLayout*> layoutsOf(const Catalogue& catalogue, const std::string& which)
{
    std::vector<const TableLayout*> layouts;
    for (const TableLayout& layout : catalogue.tables)
        if (layout.file == which)
            layouts.push_back(&layout);
    return layouts;
}


std::string literal(const std::string& s)
{
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
}

std::string tableIn(const std::string& schema, const TableLayout& layout)
{
    return sql::quoteIdentifier(schema) + "." + sql::quoteIdentifier(layout.name);
}

// The checks every file from elsewhere passes, on the schema it is open as.
void checkUntrusted(sql::Connection& conn, const std::string& schema, const Catalogue& catalogue,
                    const std::string& which, const fs::path& file)
{
    for (const TableLayout* layout : layoutsOf(catalogue, which))
        checkTable(conn, schema, *layout, utf8(file));
    checkObjects(conn, schema, catalogue, which, utf8(file));
}


}  // namespace

void saveFileAs(Database& db, const std::string& which, const fs::path& target)
{
    const auto layouts = layoutsOf(db.catalogue(), which);
    if (layouts.empty())
        throw StoreError("Cannot write " + utf8(target) + ": no tables");
    const std::string schema = db.schemaFor(*layouts.front());
    fs::path part = target;
    part += ".part";
    std::error_code ec;
    fs::remove(part, ec);
    try {
        db.releaseCursors();  // VACUUM runs only while no other statement does
        sql::Statement vacuum(db.connection(), "VACUUM " + sql::quoteIdentifier(schema) + " INTO ?1");
        vacuum.bind(1, std::string_view(utf8(part)));
        vacuum.run();
        // Carried elsewhere it is another file: no journal of this one may
        // ever be played into it.
        if (!giveNewIdentity(part, ec) || !renameDurably(part, target, ec))
            throw std::system_error(ec);
    } catch (const std::exception& e) {
        fs::remove(part, ec);
        throw StoreError("Cannot write " + utf8(target) + ": " + e.what());
    }
}

std::vector<std::int64_t> takeTablesFrom(Database& db, const std::string& which, const fs::path& source)
{
    const auto layouts = layoutsOf(db.catalogue(), which);
    std::vector<std::string> schemas;
    for (const TableLayout* layout : layouts)
        schemas.push_back(db.schemaFor(*layout));
    sql::Connection& conn = db.connection();
    const std::string incoming = "incoming";
    std::vector<std::int64_t> rows;
    try {
        db.releaseCursors();  // ATTACH needs no read in progress
        conn.exec("ATTACH DATABASE " + literal(fileUri(source, "ro")) + " AS " + incoming);
    } catch (const sql::SqlError& e) {
        throw StoreError("Cannot open " + utf8(source) + ": " + e.what());
    }
    // Detached however the rest ends; after the transaction, which it outlives.
    struct Detach {
        Database& db;
        sql::Connection& conn;
        ~Detach()
        {
            try {
                db.releaseCursors();
                conn.exec("DETACH DATABASE incoming");
            } catch (const sql::SqlError&) {
            }
        }
    } detach{db, conn};
    try {
        Database::Transaction transaction(db);
        // Checked within the transaction, whose read of the file holds it as
        // it is checked until the rows are copied.
        checkUntrusted(conn, incoming, db.catalogue(), which, source);
        for (const TableLayout* layout : layouts)
            checkValues(conn, incoming, *layout);
        for (std::size_t i = 0; i < layouts.size(); ++i) {
            conn.exec("DELETE FROM " + tableIn(schemas[i], *layouts[i]));
            conn.exec("INSERT INTO " + tableIn(schemas[i], *layouts[i]) + " SELECT * FROM " +
                      tableIn(incoming, *layouts[i]));
            rows.push_back(conn.changes());
        }
        transaction.commit();
    } catch (const sql::SqlError& e) {
        throw StoreError("Cannot take the tables of " + utf8(source) + ": " + e.what());
    }
    return rows;
}

std::vector<BackupSummary> listBackups(Database& db)
{
    const fs::path folder = db.folder() / backupFolderName;
    std::vector<fs::path> files = dailyBackups(folder, db.catalogue());
    for (const fs::path& file : importBackups(folder, db.catalogue()))
        files.push_back(file);
    const auto layouts = layoutsOf(db.catalogue(), db.catalogue().mainFile);
    std::vector<BackupSummary> list;
    for (const fs::path& file : files) {
        BackupSummary summary{file, {}, {}, {}};
        std::error_code ec;
        summary.written = fs::last_write_time(file, ec);
        try {
            sql::Connection conn = sql::Connection::open(fileUri(file, "ro"), false);
            checkUntrusted(conn, "main", db.catalogue(), db.catalogue().mainFile, file);
            for (const TableLayout* layout : layouts) {
                sql::Statement count(conn, "SELECT count(*) FROM " + tableIn("main", *layout));
                count.step();
                summary.rows.push_back(count.int64(0));
            }
        } catch (const std::exception& e) {
            summary.rows.clear();
            summary.damage = e.what();
        }
        list.push_back(std::move(summary));
    }
    std::sort(list.begin(), list.end(), [](const BackupSummary& a, const BackupSummary& b) {
        return a.written != b.written ? a.written > b.written : a.file > b.file;
    });
    return list;
}

fs::path restoreBackup(Database& db, const fs::path& backup, std::chrono::system_clock::time_point now)
{
    const fs::path main = pathFromUtf8(db.catalogue().mainFile);
    fs::path kept = db.folder() / main.stem();
    kept += "-replaced-" + localStamp(now, "%Y-%m-%d-%H%M%S") + utf8(main.extension());
    std::error_code ec;
    for (int n = 2; fs::exists(kept, ec); ++n) {
        kept = db.folder() / main.stem();
        kept += "-replaced-" + localStamp(now, "%Y-%m-%d-%H%M%S") + "-" + std::to_string(n) + utf8(main.extension());
    }
    saveFileAs(db, db.catalogue().mainFile, kept);
    takeTablesFrom(db, db.catalogue().mainFile, backup);
    return kept;
}

}  // namespace store
