// Creating the tables of a new file, and checking an existing file's table
// and key index before a table object relies on them.
#include "store/schema.h"

#include "store/error.h"

namespace store {

namespace {

std::string sqlType(const Column& c)
{
    switch (c.type) {
    case ColumnType::Text: return "VARCHAR(" + std::to_string(c.size) + ")";
    case ColumnType::Short: return "SMALLINT";
    case ColumnType::Logical: return "BOOLEAN";
    case ColumnType::Memo: return "TEXT";
    case ColumnType::AutoInc: return "INTEGER PRIMARY KEY AUTOINCREMENT";
    }
    return "TEXT";
}

std::string columnList(const TableLayout& layout, const std::vector<int>& columns)
{
    std::string s;
    for (int k : columns)
        s += (s.empty() ? "" : ", ") + sql::quoteIdentifier(layout.columns[static_cast<std::size_t>(k)].name);
    return s;
}

// Whether the index holds exactly `columns` in order, ascending and in byte
// order, over every row.
bool indexOn(sql::Connection& conn, const std::string& schema, const std::string& index, const TableLayout& layout,
             const std::vector<int>& columns)
{
    sql::Statement info(conn, "PRAGMA " + schema + ".index_xinfo(" + sql::quoteIdentifier(index) + ")");
    std::size_t n = 0;
    while (info.step()) {
        if (info.int64(5) == 0)  // the row number and other auxiliary columns
            continue;
        if (n >= columns.size())
            return false;
        const int column = columns[n];
        const Column& expected = layout.columns[static_cast<std::size_t>(column)];
        // An index names the row number's alias column by number -1.
        const bool named = info.int64(1) == -1 ? column == layout.autoIncColumn()
                                               : !info.isNull(2) && equalsNoCase(info.text(2), expected.name);
        if (!named || info.int64(3) != 0 || !equalsNoCase(info.text(4), "BINARY"))
            return false;
        ++n;
    }
    return n == columns.size();
}

bool isKeyIndex(sql::Connection& conn, const std::string& schema, const std::string& index, const TableLayout& layout)
{
    return indexOn(conn, schema, index, layout, layout.keyColumns);
}

// Whether the index of the program's table is one that the program creates:
// its name, its columns, unique where the key is, over every row.
bool isOwnIndex(sql::Connection& conn, const std::string& schema, const std::string& index, const TableLayout& layout)
{
    const std::vector<int>* columns = nullptr;
    bool unique = false;
    if (equalsNoCase(index, layout.keyIndexName())) {
        columns = &layout.keyColumns;
        unique = layout.uniqueKey;
    }
    for (const SecondaryIndex& secondary : layout.secondaryIndexes)
        if (equalsNoCase(index, layout.name + "_" + secondary.suffix))
            columns = &secondary.columns;
    if (!columns)
        return false;
    sql::Statement list(conn, "PRAGMA " + schema + ".index_list(" + sql::quoteIdentifier(layout.name) + ")");
    bool found = false;
    while (list.step())
        if (equalsNoCase(list.text(1), index))
            found = (list.int64(2) == 1) == unique && list.int64(4) == 0;
    list.reset();
    return found && indexOn(conn, schema, index, layout, *columns);
}

}  // namespace

namespace {

// The table's definition from its name on, as the program writes it and as
// SQLite keeps it; without the owner's clause as every file made before the
// owner rule held it.
std::string definition(const TableLayout& layout, bool withOwner)
{
    std::string s = sql::quoteIdentifier(layout.name) + " (\n";
    for (std::size_t i = 0; i < layout.columns.size(); ++i) {
        const Column& c = layout.columns[i];
        const std::string q = sql::quoteIdentifier(c.name);
        s += "  " + q + " " + sqlType(c);
        if (layout.isKeyText(static_cast<int>(i)))
            s += " NOT NULL DEFAULT ''";
        if (c.type == ColumnType::Text)
            s += " CHECK(length(" + q + ") <= " + std::to_string(c.size) + ")";
        else if (c.type == ColumnType::Short)
            s += " CHECK(" + q + " BETWEEN -32768 AND 32767)";
        else if (c.type == ColumnType::Logical)
            s += " CHECK(" + q + " IN (0, 1))";
        s += i + 1 < layout.columns.size() ? ",\n" : "\n";
    }
    if (withOwner && !layout.owner.table.empty()) {
        // Deferred to the commit, so that a batch may copy rows and owners
        // in either order.
        const std::string key = columnList(layout, layout.owner.columns);
        s.insert(s.size() - 1, ",\n  FOREIGN KEY (" + key + ") REFERENCES " + sql::quoteIdentifier(layout.owner.table) +
                                   " (" + key + ") ON UPDATE CASCADE ON DELETE CASCADE DEFERRABLE INITIALLY DEFERRED");
    }
    return s + ")";
}

// SQLite keeps a table's CREATE statement as it was written, from the
// table's name on (the schema name before it left out), and answers every
// clause of it: collation, conflict clause, default, check, generated
// column, WITHOUT ROWID, a foreign key. table_xinfo shows only some of them,
// and a parser of the rest would have to be complete to be safe. So the
// stored text is compared whole with the ones the program writes; every
// version of it has written exactly these, and a table edited by another
// tool, even in its spacing only, is refused, which errs on the safe side.
enum class Definition { Own, BeforeOwner, Other };

Definition definitionOf(const std::string& stored, const TableLayout& layout)
{
    const std::string prefix = "CREATE TABLE ";
    if (stored.compare(0, prefix.size(), prefix) != 0)
        return Definition::Other;
    const std::string rest = stored.substr(prefix.size());
    if (rest == definition(layout, true))
        return Definition::Own;
    if (!layout.owner.table.empty() && rest == definition(layout, false))
        return Definition::BeforeOwner;
    return Definition::Other;
}

}  // namespace

std::string createTableSql(const TableLayout& layout, const std::string& schema)
{
    const std::string prefix = schema.empty() ? "" : sql::quoteIdentifier(schema) + ".";
    std::string s = "CREATE TABLE " + prefix + definition(layout, true) + ";\n";
    const std::string table = sql::quoteIdentifier(layout.name);
    s += std::string("CREATE ") + (layout.uniqueKey ? "UNIQUE " : "") + "INDEX " + prefix +
         sql::quoteIdentifier(layout.keyIndexName()) + " ON " + table + " (" + columnList(layout, layout.keyColumns) +
         ");\n";
    for (const SecondaryIndex& index : layout.secondaryIndexes)
        s += "CREATE INDEX " + prefix + sql::quoteIdentifier(layout.name + "_" + index.suffix) + " ON " + table +
             " (" + columnList(layout, index.columns) + ");\n";
    return s;
}

void checkTable(sql::Connection& conn, const std::string& schema, const TableLayout& layout,
                const std::string& fileName)
{
    const std::string& table = layout.displayName;
    try {
        // table_xinfo, since table_info leaves out generated columns.
        sql::Statement info(conn, "PRAGMA " + schema + ".table_xinfo(" + sql::quoteIdentifier(layout.name) + ")");
        std::size_t n = 0;
        bool match = true;
        bool rowNumber = true;
        const int autoInc = layout.autoIncColumn();
        while (info.step()) {
            if (n >= layout.columns.size() || info.text(1) != layout.columns[n].name || info.int64(6) != 0)
                match = false;
            else if (static_cast<int>(n) == autoInc)
                rowNumber = info.int64(5) == 1 && equalsNoCase(info.text(2), "INTEGER");
            else if (info.int64(5) != 0)
                rowNumber = false;  // another primary key: the row number could change on its own
            ++n;
        }
        if (n == 0)
            throw StoreError(msg::tableMissing(table, fileName));
        if (!match || n != layout.columns.size())
            throw StoreError(msg::unexpectedColumns(table, fileName));
        if (!rowNumber)
            throw StoreError(msg::unexpectedKey(table, fileName, "the row number is not its own"));

        sql::Statement list(conn, "PRAGMA " + schema + ".index_list(" + sql::quoteIdentifier(layout.name) + ")");
        std::vector<std::string> candidates;
        while (list.step())
            if ((!layout.uniqueKey || list.int64(2) == 1) && list.int64(4) == 0)  // unique where needed, not partial
                candidates.push_back(list.text(1));
        list.reset();
        for (const std::string& index : candidates)
            if (isKeyIndex(conn, schema, index, layout))
                return;
        throw StoreError(msg::unexpectedKey(table, fileName,
                                            std::string(layout.uniqueKey ? "no unique index" : "no index") + " on " +
                                                columnList(layout, layout.keyColumns)));
    } catch (const sql::SqlError& e) {
        throw StoreError(msg::cannotOpenTable(table, e.what()));
    }
}

void checkObjects(sql::Connection& conn, const std::string& schema, const Catalogue& catalogue,
                  const std::string& file, const std::string& fileName)
{
    struct Object {
        std::string type, name, table, sql;
    };
    std::vector<Object> objects;
    try {
        sql::Statement list(conn, "SELECT type, name, tbl_name, sql FROM " + schema + ".sqlite_master");
        while (list.step())
            objects.push_back({list.text(0), list.text(1), list.text(2), list.text(3)});
    } catch (const sql::SqlError& e) {
        throw StoreError(msg::cannotOpenDatabase(fileName, e.what()));
    }
    auto layoutOf = [&catalogue, &file](const std::string& table) -> const TableLayout* {
        for (const TableLayout& layout : catalogue.tables)
            if (layout.file == file && equalsNoCase(layout.name, table))
                return &layout;
        return nullptr;
    };
    for (const Object& o : objects) {
        bool own = false;
        try {
            if (o.type == "table") {
                // SQLite's own: AutoInc counters, and statistics that a user's
                // ANALYZE leaves; they hold values, never code.
                own = o.name == "sqlite_sequence" || o.name == "sqlite_stat1" || o.name == "sqlite_stat4" ||
                      (layoutOf(o.name) && definitionOf(o.sql, *layoutOf(o.name)) != Definition::Other);
            } else if (o.type == "index") {
                const TableLayout* layout = layoutOf(o.table);
                own = layout && !o.sql.empty() && isOwnIndex(conn, schema, o.name, *layout);
            }
        } catch (const sql::SqlError& e) {
            throw StoreError(msg::cannotOpenDatabase(fileName, e.what()));
        }
        if (!own)
            throw StoreError(msg::foreignObject(fileName, o.type, o.name));
    }
}

bool predatesOwner(sql::Connection& conn, const std::string& schema, const TableLayout& layout)
{
    if (layout.owner.table.empty())
        return false;
    sql::Statement st(conn, "SELECT sql FROM " + schema + ".sqlite_master WHERE type = 'table' AND name = ?1");
    st.bind(1, std::string_view(layout.name));
    return st.step() && definitionOf(st.text(0), layout) == Definition::BeforeOwner;
}

std::int64_t addMissingOwners(sql::Connection& conn, const std::string& schema, const std::string& rows,
                              const TableLayout& layout)
{
    const std::string key = columnList(layout, layout.owner.columns);
    std::string same;
    for (int k : layout.owner.columns) {
        const std::string c = sql::quoteIdentifier(layout.columns[static_cast<std::size_t>(k)].name);
        same += (same.empty() ? "" : " AND ") + ("o." + c) + " = r." + c;
    }
    conn.exec("INSERT INTO " + schema + "." + sql::quoteIdentifier(layout.owner.table) + " (" + key + ") SELECT DISTINCT " +
              key + " FROM " + rows + " AS r WHERE NOT EXISTS (SELECT 1 FROM " + schema + "." +
              sql::quoteIdentifier(layout.owner.table) + " AS o WHERE " + same + ")");
    return conn.changes();
}

void giveOwner(sql::Connection& conn, const std::string& schema, const TableLayout& layout)
{
    // A table's definition cannot be changed in place: its rows wait in a
    // table of the connection's own while it is made again, with their row
    // numbers. Their copy has no column types, so that no value is
    // converted on the way.
    const std::string table = schema + "." + sql::quoteIdentifier(layout.name);
    const std::string aside = sql::quoteIdentifier(layout.name + "_rows");
    std::string columns = "rowid";  // the AutoInc column, where there is one
    for (int i = 0; i < static_cast<int>(layout.columns.size()); ++i)
        if (i != layout.autoIncColumn())
            columns += ", " + sql::quoteIdentifier(layout.columns[static_cast<std::size_t>(i)].name);
    std::int64_t counter = -1;  // the AutoInc counter: a number once given is never given again
    if (layout.autoIncColumn() >= 0) {
        sql::Statement seq(conn, "SELECT seq FROM " + schema + ".sqlite_sequence WHERE name = ?1");
        seq.bind(1, std::string_view(layout.name));
        if (seq.step())
            counter = seq.int64(0);
    }
    conn.exec("CREATE TEMP TABLE " + aside + " (" + columns + "); INSERT INTO temp." + aside + " SELECT " + columns +
              " FROM " + table + "; DROP TABLE " + table + ";");
    conn.exec(createTableSql(layout, schema));
    // Rows whose owner is not stored come from a time nothing refused them:
    // rather than lose them, each key gets an owner holding only the key,
    // which shows the rows again.
    addMissingOwners(conn, schema, "temp." + aside, layout);
    conn.exec("INSERT INTO " + table + " (" + columns + ") SELECT " + columns + " FROM temp." + aside +
              "; DROP TABLE temp." + aside + ";");
    if (counter >= 0) {
        sql::Statement seq(conn, "UPDATE " + schema + ".sqlite_sequence SET seq = max(seq, ?1) WHERE name = ?2");
        seq.bind(1, counter);
        seq.bind(2, std::string_view(layout.name));
        seq.run();
    }
}

}  // namespace store
