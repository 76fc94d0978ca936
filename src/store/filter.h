// The filter language of table objects: its parser, the helpers that write
// filter texts, and the compilation of a parsed filter to an SQL condition.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "store/layout.h"
#include "store/value.h"

namespace store {

// The filter language: Column='value', comparisons joined by "and", and a
// final lone asterisk inside the quotes for a prefix match (Column='Al*').
// Comparisons respect letter case; column names do not.
//
// Quoting rule: inside the quotes a doubled quote ('') stands for one quote and
// a doubled asterisk (**) for one asterisk, so that any name can be written;
// a single asterisk anywhere but at the end is taken as it stands.
struct Condition {
    std::string column;
    std::string value;
    bool prefix = false;
};

struct Filter {
    std::vector<Condition> conditions;  // all must hold; none selects every row
};

// Throws StoreError for a malformed text.
Filter parseFilter(std::string_view text);

// A filter as SQL: a condition over the table's columns with its parameters,
// numbered from `firstParam` (?n) in the order of `params`.
struct SqlCondition {
    std::string sql;  // "1" when nothing restricts
    std::vector<Value> params;
};
// Throws StoreError for an unknown column, a prefix match on a column that
// is not text, or a value the column's type cannot hold.
SqlCondition whereFor(const TableLayout& layout, const Filter& filter, int firstParam);

// 'value' with quotes and asterisks doubled.
std::string quoteFilterValue(std::string_view value);
// Column='<text>*': the rows whose column begins with text.
std::string prefixFilter(std::string_view column, std::string_view text);

}  // namespace store
