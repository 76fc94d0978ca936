#pragma once
#include <filesystem>
#include <string>
#include <vector>

#include "store/layout.h"
#include "store/sqlite.h"

namespace store {

class Table;

// The two files of one alias folder, reached through one connection: the
// campaign file as the main database and the transfer file attached beside it.
// One connection lets a later transaction span both files atomically, which
// the rollback journal guarantees and WAL would not.
class Database {
public:
    // Opens the folder. When it holds neither file (a first start) the folder
    // and both files are created with their four empty tables; otherwise
    // nothing is ever created, and a missing file only makes its tables fail
    // to open.
    explicit Database(std::filesystem::path folder);

    const std::filesystem::path& folder() const { return folder_; }
    sql::Connection& connection() { return conn_; }

    // The schema name ("main" or "xfer") that holds the table; throws a
    // StoreError naming the table when its file or the table is missing, or
    // the table's columns are not the expected ones.
    std::string schemaFor(const TableLayout& layout);

    // Creates the tables of one file; used for a first start and by tests.
    static void createFile(const std::filesystem::path& file, const std::string& which);
    static std::string createTableSql(const TableLayout& layout, const std::string& schema);

    // Table objects reading from this database. releaseCursors() ends their
    // reads in progress so that no read lock outlives the event being handled.
    void addCursor(Table* table);
    void removeCursor(Table* table);
    void releaseCursors();

    // A nestable transaction (a savepoint): rolled back unless committed.
    class Transaction {
    public:
        explicit Transaction(Database& db);
        ~Transaction();
        void commit();
        Transaction(const Transaction&) = delete;
        Transaction& operator=(const Transaction&) = delete;
    private:
        Database& db_;
        std::string name_;
        bool done_ = false;
    };

private:
    std::filesystem::path folder_;
    sql::Connection conn_;
    std::string campaignSchema_;  // empty when the file is missing
    std::string transferSchema_;
    bool transferPending_ = false;  // present, attached when first needed
    std::vector<Table*> cursors_;
    int savepoints_ = 0;
};

// Connection settings, applied to every connection the store opens and to the
// benchmark's plain SQLite connection alike.
void applyPragmas(sql::Connection& conn);

}  // namespace store
