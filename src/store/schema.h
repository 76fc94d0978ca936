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

// Throws StoreError naming `fileName` and the object when `schema` holds
// anything that the program does not create in `file` (the catalogue's main
// or side file): a trigger, a view, a virtual table, a table or an index of
// another name, a table of the program's name defined otherwise than the
// program defines it (any clause), or an index of the program's name that is
// not the program's.
// SQLite's own tables (the AutoInc counters, ANALYZE's statistics) pass.
void checkObjects(sql::Connection& conn, const std::string& schema, const Catalogue& catalogue,
                  const std::string& file, const std::string& fileName);

// Whether the table is as the program made it before a row had to belong
// to a stored owner (its layout's Owner): that definition is accepted, and
// giveOwner() brings it up to date.
bool predatesOwner(sql::Connection& conn, const std::string& schema, const TableLayout& layout);

// Makes the table again with its owner's rule, keeping every row, its row
// number and the AutoInc counter; a row whose owner is missing gets one
// (addMissingOwners). Run inside a transaction: a failure leaves the table
// as it was once that is rolled back.
void giveOwner(sql::Connection& conn, const std::string& schema, const TableLayout& layout);

// Adds to the owner table of `layout` (in `schema`) a record holding only
// the key for each key of `rows` (a table or subquery with the layout's
// columns) that no owner holds; returns how many.
std::int64_t addMissingOwners(sql::Connection& conn, const std::string& schema, const std::string& rows,
                              const TableLayout& layout);

}  // namespace store
