// Records written straight into a campaign's tables, for bringing old data
// in: no cursor, no record buffer, no events. A load is one transaction,
// rolled back unless committed. What SQLite refuses comes as LoadError, in
// SQLite's own words, for the caller to say what it was doing.
#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "store/layout.h"
#include "store/value.h"

namespace store {

class Database;

class LoadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Load {
public:
    // A new file of the catalogue (`which` names it), made at `file`.
    Load(const Catalogue& catalogue, const std::filesystem::path& file, const std::string& which);
    // The open database's tables of `layouts`; each must be there (a
    // StoreError names the one that is not), before anything is begun.
    Load(Database& db, const std::vector<const TableLayout*>& layouts);
    ~Load();
    Load(const Load&) = delete;
    Load& operator=(const Load&) = delete;

    // One table's records, through statements prepared once.
    class Records {
    public:
        Records(Records&&) noexcept;
        ~Records();
        // The table holds a record of these values of the key columns.
        bool holds(const std::vector<Value>& key);
        // A new record: a value for each column but the AutoInc one, in
        // layout order.
        void insert(const std::vector<Value>& values);

    private:
        friend class Load;
        struct Statements;
        explicit Records(std::unique_ptr<Statements> s);
        std::unique_ptr<Statements> s_;
    };
    // `insert` and `find` prepare what insert() and holds() need.
    Records records(const TableLayout& layout, bool insert, bool find);

    // checkValues on the table: a StoreError names a record holding a
    // value its column cannot hold.
    void checkValues(const TableLayout& layout, const std::function<bool()>& keepGoing);
    // Owner records, holding only their key, made for the table's rows
    // whose owner is missing (addMissingOwners); how many.
    std::int64_t addMissingOwners(const TableLayout& layout);
    void commit();

private:
    struct Files;
    std::unique_ptr<Files> files_;
};

}  // namespace store
