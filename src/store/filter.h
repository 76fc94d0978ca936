#pragma once
#include <string>
#include <string_view>
#include <vector>

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

// 'value' with quotes and asterisks doubled.
std::string quoteFilterValue(std::string_view value);
// Character_Name='<character>' and Game_Name='<game>': exactly one character's rows.
std::string recordFilter(std::string_view gameName, std::string_view characterName);
// Column='<text>*': the rows whose column begins with text.
std::string prefixFilter(std::string_view column, std::string_view text);

}  // namespace store
