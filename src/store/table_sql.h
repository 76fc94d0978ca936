// The SQL text of one table's statements, built from its layout alone: pure,
// so that it is tested without a database.
//
// Key order is the layout's key columns followed by the row number, which
// breaks ties should a file hold equal keys (the row number is left out where
// the last key column already is it). Every statement that compares with a
// row compares the whole of that order, so paging never skips or repeats rows.
//
// Filter conditions come first in every statement that takes one (?1..?m,
// m = `filterParams`); the statement's own parameters follow in the order the
// comment of each function gives.
#pragma once
#include <string>
#include <vector>

#include "store/layout.h"

namespace store {

class TableSql {
public:
    TableSql(const TableLayout& layout, std::string schema);

    // Where a read starts: the first or last row, or after, from, before or
    // up to a row in key order. The backward ones read in descending order.
    enum class Range { Start, StartBack, After, From, Before, UpTo };

    // Parameters that a row's place in key order takes: its key values, then
    // its row number when that breaks ties.
    int orderParams() const;
    bool rowNumberBreaksTies() const { return tieBreaker_; }
    std::string orderBy(bool descending) const;

    // rowid and every column, in layout order.
    std::string selectList() const;
    // Rows under the condition: the place (for all but the Start ranges),
    // then the row limit.
    // `keyIndex`: walk the key index in order (for a condition that another
    // index would serve, leaving every match to be sorted).
    std::string read(const std::string& where, int filterParams, Range range, bool keyIndex = false) const;
    // The row with the row number, if it still holds the key: rowid, then the
    // key values (a reused row number never passes for the old record).
    std::string sameRecord(const std::string& where, int filterParams) const;
    // The row with the row number, whatever its key: rowid.
    std::string byRowNumber() const;
    // The row with the given key values.
    std::string find(const std::string& where, int filterParams) const;
    // Every row, in the file's own order: for passes that need no order.
    std::string scan() const;
    std::string count(const std::string& where) const;
    // How many rows the condition selects, counting no further than the
    // limit: the limit.
    std::string countUpTo(const std::string& where, int filterParams) const;
    std::string exists(const std::string& where) const;
    // How many rows come before a place.
    std::string rowsBefore(const std::string& where, int filterParams) const;
    // rowid and key of the row at an offset in key order: the offset.
    std::string rowAt(const std::string& where, int filterParams) const;

    // Every column but the AutoInc one, in layout order.
    std::string insert() const;
    // The same columns, then rowid, then the key values the record had.
    std::string update() const;
    // Only the given columns (layout indexes, none of them the AutoInc one),
    // in that order, then rowid, then the key values the record had.
    std::string update(const std::vector<int>& columns) const;
    // rowid, then the key values.
    std::string remove() const;
    // A write that changes nothing but takes the write lock on the table's
    // file.
    std::string lockForWrite() const;
    // A row when the layout's owner holds the key: the values of the owner
    // columns, in their order.
    std::string ownerStored() const;
    // Every row that `where` selects, its parameters numbered from 1.
    std::string removeWhere(const std::string& where) const;
    // Every row whose columns equal the old values takes the new ones: the
    // old values, then the new, each in the order of `columns`.
    std::string replaceValues(const std::vector<int>& columns) const;
    // Every row of `source` under its condition, in its key order, columns
    // paired by position; empty key texts stored as ''.
    std::string appendFrom(const TableSql& source, const std::string& sourceWhere) const;

    const TableLayout& layout() const { return layout_; }

    const std::string& schema() const { return schema_; }

private:
    std::string table() const;
    std::string orderTuple() const;
    std::string params(int first, int count) const;
    std::string sameKey(int firstParam) const;
    bool writable(std::size_t column) const;

    const TableLayout& layout_;
    std::string schema_;
    bool tieBreaker_;
};

}  // namespace store
