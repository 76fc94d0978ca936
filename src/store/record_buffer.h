// The current record of a table object: its values (the pending ones while
// editing), where it stands in key order, and the conversion of typed text
// to a column's value with the messages the user sees for refused text.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "store/layout.h"
#include "store/value.h"

namespace store {

// Where a record stands in key order; remembers a record across moves. The
// key tells a record apart from a later one that took its row number.
struct Bookmark {
    std::int64_t rowid = 0;
    std::vector<Value> key;
    bool valid = false;
};

// One row as a grid reads it, without moving the table object.
struct Row {
    Bookmark mark;
    std::vector<Value> values;
};

// The value that typed text gives a column: "" empties it. Throws StoreError
// for text the column's type refuses.
Value valueFromText(const Column& column, std::string_view text);
// A value as a control shows it; Logical ones as True or False.
std::string textOf(const Value& v, ColumnType type);

class RecordBuffer {
public:
    void reset(const TableLayout* layout);  // empty, sized for the layout
    void take(Row&& row);
    void clear();  // no record: every field empty
    bool hasRecord() const { return hasRecord_; }

    Bookmark mark() const;  // invalid without a record
    // After an insert: the row number it was given and its key as stored.
    void storedAs(std::int64_t rowid);
    // The key that writing the record as it stands gives it.
    std::vector<Value> keyAsWritten(std::int64_t rowid) const;

    int size() const { return static_cast<int>(values_.size()); }
    const std::vector<Value>& values() const { return values_; }
    const Value& value(int column) const;  // throws for a column out of range
    std::string text(int column) const;
    bool asBool(int column) const;
    // The value as a write stores it ('' for an empty key text).
    Value stored(int column) const;
    void set(int column, Value v);
    void empty();  // every field empty, for a new record

    // The value as last read from the file, before any set(): what another
    // program's write is told apart from.
    const Value& original(int column) const;
    // The columns whose value now differs from the one read: only these are
    // written when a change is posted, so that a field nobody here touched
    // keeps whatever another program stored in it.
    std::vector<int> changedColumns() const;

private:
    const TableLayout* layout_ = nullptr;
    std::vector<Value> values_;
    std::vector<Value> original_;
    std::int64_t rowid_ = 0;
    std::vector<Value> key_;  // as stored, for seeking from this record
    bool hasRecord_ = false;
};

}  // namespace store
