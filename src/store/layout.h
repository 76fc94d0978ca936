// Table layouts: columns, key, indexes and file. The engine knows no table
// of its own; the program hands it a catalogue of the tables it works on.
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

// A column that tells the user which record a message is about, and the
// word that goes before its value ("game" gives "game 'Test'").
struct RecordLabel {
    int column;
    std::string noun;
};

// The table whose records own this table's rows, in the same file: a row
// holds its owner's key in `columns` (named as the owner's key columns, in
// their order). The file itself refuses a row whose owner is not stored,
// carries an owner's new key to its rows and deletes them with their owner.
struct Owner {
    std::string table;         // SQL name; empty: the rows belong to no other table
    std::vector<int> columns;
};

struct TableLayout {
    std::string name;              // SQL name
    std::string displayName;       // the name the program opens it by
    std::string file;              // the catalogue's main or side file
    std::vector<Column> columns;
    std::vector<int> keyColumns;   // browse order; the last one may be the AutoInc column
    bool uniqueKey;                // true: the key columns identify a record; key lookups use them
    std::vector<SecondaryIndex> secondaryIndexes;  // for searches, never relied on for order
    // Most general first: a message names the record most specific first,
    // "Province 'P' of character 'C' of game 'G'".
    std::vector<RecordLabel> labels;
    Owner owner;

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

// The tables of one data folder: two files behind one connection, the main
// one opened first (and copied by the backups, named after it) and the side
// one attached beside it, so that one transaction spans both.
struct Catalogue {
    std::string mainFile;
    std::string sideFile;
    std::vector<TableLayout> tables;  // each in mainFile or sideFile

    // Finds a layout by the name a window opens it by ("people.DB",
    // "PEOPLE"): the extension and the letter case do not matter. nullptr
    // when unknown.
    const TableLayout* find(std::string_view tableName) const;
};

bool equalsNoCase(std::string_view a, std::string_view b);

}  // namespace store
