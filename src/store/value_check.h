// Whether the rows of a file hold only values that the tables can hold. A
// file written by another program, or damaged, may hold a blob as a name, a
// NUL inside a text, a fraction in a number column or a memo too long to
// show; such a row is refused before anything is copied from it.
#pragma once
#include <functional>
#include <initializer_list>
#include <stdexcept>
#include <string>

#include "store/layout.h"
#include "store/sqlite.h"

namespace store {

class Table;

// Throws a StoreError naming the first record (by row number) of the table in
// `schema` that holds a value its column cannot hold, naming the record by its
// layout's label columns, and the column: anything but text (or
// nothing) in a text or memo column, a NUL character in one, more characters
// than the column holds (`memoCharacters` for memos), text that is not valid
// UTF-8 (counted only once it is valid), anything but a whole
// number from -32768 to 32767 in a number column, anything but 0 or 1 in a
// logical column. One read of the table.
//
// A million rows take seconds: `keepGoing` is asked every few hundred rows,
// and when it answers false the check ends with Stopped.
void checkValues(sql::Connection& conn, const std::string& schema, const TableLayout& layout,
                 int memoCharacters = memoLimit, const std::function<bool()>& keepGoing = {});

// The same for the whole table of each table object, whatever its filter.
void checkValues(std::initializer_list<Table*> tables, const std::function<bool()>& keepGoing = {});

// The user stopped a check before its end; nothing was found wrong so far.
class Stopped : public std::runtime_error {
public:
    Stopped() : std::runtime_error("The check of the values was stopped") {}
};

}  // namespace store
