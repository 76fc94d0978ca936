// The tables as SQLite holds them: the statements that create them on a first
// start, and the check, each time a table is opened, that a file holds them
// as the store expects. The files are plain SQLite and may have been edited
// with another tool; the store's order and paging rely on the key.
#pragma once
#include <string>

#include "store/layout.h"
#include "store/sqlite.h"

namespace store {

// CREATE TABLE and CREATE INDEX statements for one table in `schema` ("" for
// the main one).
std::string createTableSql(const TableLayout& layout, const std::string& schema);

// Throws StoreError naming the table and `fileName` when the table is missing
// from `schema`, its columns are not the layout's in order, its key index is
// not on exactly the key columns (unique where the key is), or its AutoInc
// column is not the row number.
void checkTable(sql::Connection& conn, const std::string& schema, const TableLayout& layout,
                const std::string& fileName);

}  // namespace store
