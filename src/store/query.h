// The program's one read-only SQL query, for the realm sheet.
#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "store/layout.h"
#include "store/sqlite.h"

namespace store {

class Database;
class Session;

// The one read-only SQL select of the program: every column of one table
// where some columns equal given texts, in the table's key order. The values
// are bound as parameters, so no text of theirs can change the statement.
class Query {
public:
    explicit Query(Session& session);
    ~Query();

    // `columns` names the columns to read; none reads them all.
    void open(const std::string& alias, const std::string& tableName,
              const std::vector<std::pair<std::string, std::string>>& equals,
              const std::vector<std::string_view>& columns = {});
    void close();
    bool isOpen() const { return open_; }

    bool eof() const { return eof_; }
    void next();
    // The current row's field by column name (letter case ignored), as text.
    std::string text(std::string_view column) const;
    // The current row's field by its place among the columns `open` named;
    // for reading many rows without looking each column up by name. Valid
    // until the next move.
    std::string_view field(std::size_t position) const;

private:
    void fetch();

    Session& session_;
    std::shared_ptr<Database> db_;
    const TableLayout* layout_ = nullptr;
    sql::Statement st_;
    std::vector<int> picked_;  // the layout's index of each column read
    std::vector<std::string> row_;
    bool open_ = false;
    bool eof_ = true;
};

}  // namespace store
