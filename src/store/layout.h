// The four tables' layouts: columns, key, indexes and file. Everything
// particular to the campaign's tables is fixed here, not in the engine.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace store {

enum class ColumnType { Text, Short, Logical, Memo, AutoInc };

struct Column {
    std::string name;
    ColumnType type;
    int size;  // characters, for Text columns only
};

// One table's fixed layout: its columns in order, its key, its further
// indexes, and the database file it lives in.
struct SecondaryIndex {
    std::string suffix;         // the index is named <table>_<suffix>
    std::vector<int> columns;
};

struct TableLayout {
    std::string name;              // SQL name: vddb, vdprovs, vdtrans, expprovs
    std::string displayName;       // the name the program opens it by
    std::string file;              // campaign.sqlite or transfer.sqlite
    std::vector<Column> columns;
    std::vector<int> keyColumns;   // browse order; the last one may be the AutoInc column
    bool uniqueKey;                // true: the key columns identify a record; key lookups use them
    std::vector<SecondaryIndex> secondaryIndexes;  // for searches, never relied on for order

    int columnIndex(std::string_view columnName) const;  // -1 when absent; letter case ignored
    int autoIncColumn() const;                           // -1 when absent
    bool isKeyColumn(int column) const;
    // A key column of text: stored as '' rather than empty, so that the
    // unique key also refuses a second record with both names empty.
    bool isKeyText(int column) const;
    std::string keyIndexName() const { return name + "_key"; }
};

// The longest memo, in characters, that the program takes in from a file or
// lets be typed. The memo box lays out a line without blanks in time that
// grows with the square of its length (a second at 100,000 characters,
// minutes at a million), and the program would hang on showing it.
inline constexpr int memoLimit = 100'000;

inline constexpr const char* campaignFile = "campaign.sqlite";
inline constexpr const char* transferFile = "transfer.sqlite";

const std::vector<TableLayout>& allLayouts();
// Finds a layout by the name a window opens it by ("vddb.DB", "VDPROVS"):
// the extension and the letter case do not matter. nullptr when unknown.
const TableLayout* findLayout(std::string_view tableName);

bool equalsNoCase(std::string_view a, std::string_view b);

}  // namespace store
