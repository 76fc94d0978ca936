// Building the SQL text of a table's reads and writes from its layout.
#include "store/table_sql.h"

#include "store/sqlite.h"

namespace store {

TableSql::TableSql(const TableLayout& layout, std::string schema)
    : layout_(layout), schema_(std::move(schema)),
      tieBreaker_(layout.keyColumns.empty() || layout.keyColumns.back() != layout.autoIncColumn())
{
}

int TableSql::orderParams() const { return static_cast<int>(layout_.keyColumns.size()) + (tieBreaker_ ? 1 : 0); }

std::string TableSql::table() const { return schema_ + "." + sql::quoteIdentifier(layout_.name); }

std::string TableSql::orderBy(bool descending) const
{
    std::string s;
    for (int k : layout_.keyColumns)
        s += (s.empty() ? "" : ", ") + sql::quoteIdentifier(layout_.columns[static_cast<std::size_t>(k)].name) +
             (descending ? " DESC" : "");
    if (tieBreaker_)
        s += std::string(s.empty() ? "" : ", ") + "rowid" + (descending ? " DESC" : "");
    return s;
}

std::string TableSql::orderTuple() const
{
    std::string s = orderBy(false);
    return orderParams() == 1 ? s : "(" + s + ")";
}

std::string TableSql::params(int first, int count) const
{
    std::string s;
    for (int i = 0; i < count; ++i)
        s += (i ? ", ?" : "?") + std::to_string(first + i);
    return count == 1 ? s : "(" + s + ")";
}

std::string TableSql::sameKey(int firstParam) const
{
    std::string s;
    int n = firstParam;
    for (int k : layout_.keyColumns)
        s += " AND " + sql::quoteIdentifier(layout_.columns[static_cast<std::size_t>(k)].name) + " IS ?" +
             std::to_string(n++);
    return s;
}

bool TableSql::writable(std::size_t column) const { return static_cast<int>(column) != layout_.autoIncColumn(); }

std::string TableSql::selectList() const
{
    std::string s = "rowid";
    for (const Column& c : layout_.columns)
        s += ", " + sql::quoteIdentifier(c.name);
    return s;
}

std::string TableSql::read(const std::string& where, int filterParams, Range range, bool keyIndex) const
{
    const bool back = range == Range::StartBack || range == Range::Before || range == Range::UpTo;
    std::string s = "SELECT " + selectList() + " FROM " + table();
    if (keyIndex && !layout_.keyColumns.empty())
        s += " INDEXED BY " + sql::quoteIdentifier(layout_.keyIndexName());
    s += " WHERE (" + where + ")";
    int next = filterParams + 1;
    if (range != Range::Start && range != Range::StartBack) {
        const char* op = range == Range::After ? " > " : range == Range::From ? " >= " : range == Range::Before ? " < " : " <= ";
        s += " AND " + orderTuple() + op + params(next, orderParams());
        next += orderParams();
    }
    return s + " ORDER BY " + orderBy(back) + " LIMIT ?" + std::to_string(next);
}

std::string TableSql::sameRecord(const std::string& where, int filterParams) const
{
    return "SELECT " + selectList() + " FROM " + table() + " WHERE (" + where + ") AND rowid = ?" +
           std::to_string(filterParams + 1) + sameKey(filterParams + 2);
}

std::string TableSql::scan() const { return "SELECT " + selectList() + " FROM " + table(); }

std::string TableSql::byRowNumber() const
{
    return "SELECT " + selectList() + " FROM " + table() + " WHERE rowid = ?1";
}

std::string TableSql::find(const std::string& where, int filterParams) const
{
    std::string s = "SELECT " + selectList() + " FROM " + table() + " WHERE (" + where + ")";
    int n = filterParams + 1;
    for (int k : layout_.keyColumns)
        s += " AND " + sql::quoteIdentifier(layout_.columns[static_cast<std::size_t>(k)].name) + " = ?" +
             std::to_string(n++);
    return s + " ORDER BY " + orderBy(false) + " LIMIT 1";
}

namespace {

// No clause for the whole table: without one SQLite counts the smallest
// index's pages, not rows, and empties a table by its pages, not row by row.
std::string whereClause(const std::string& where) { return where == "1" ? std::string() : " WHERE (" + where + ")"; }

}  // namespace

std::string TableSql::count(const std::string& where) const { return "SELECT count(*) FROM " + table() + whereClause(where); }

std::string TableSql::countUpTo(const std::string& where, int filterParams) const
{
    return "SELECT count(*) FROM (SELECT 1 FROM " + table() + " WHERE (" + where + ") LIMIT ?" +
           std::to_string(filterParams + 1) + ")";
}

std::string TableSql::exists(const std::string& where) const
{
    return "SELECT 1 FROM " + table() + " WHERE (" + where + ") LIMIT 1";
}

std::string TableSql::rowsBefore(const std::string& where, int filterParams) const
{
    return "SELECT count(*) FROM " + table() + " WHERE (" + where + ") AND " + orderTuple() + " < " + params(filterParams + 1, orderParams());
}

std::string TableSql::rowAt(const std::string& where, int filterParams) const
{
    std::string s = "SELECT rowid";
    for (int k : layout_.keyColumns)
        s += ", " + sql::quoteIdentifier(layout_.columns[static_cast<std::size_t>(k)].name);
    return s + " FROM " + table() + " WHERE (" + where + ") ORDER BY " + orderBy(false) + " LIMIT 1 OFFSET ?" +
           std::to_string(filterParams + 1);
}

std::string TableSql::insert() const
{
    std::string names, values;
    int n = 1;
    for (std::size_t i = 0; i < layout_.columns.size(); ++i) {
        if (!writable(i))
            continue;
        names += (names.empty() ? "" : ", ") + sql::quoteIdentifier(layout_.columns[i].name);
        values += (values.empty() ? "?" : ", ?") + std::to_string(n++);
    }
    return "INSERT INTO " + table() + " (" + names + ") VALUES (" + values + ")";
}

std::string TableSql::update() const
{
    std::vector<int> all;
    for (std::size_t i = 0; i < layout_.columns.size(); ++i)
        if (writable(i))
            all.push_back(static_cast<int>(i));
    return update(all);
}

std::string TableSql::update(const std::vector<int>& columns) const
{
    std::string sets;
    int n = 1;
    for (int i : columns)
        sets += (sets.empty() ? "" : ", ") + sql::quoteIdentifier(layout_.columns[static_cast<std::size_t>(i)].name) +
                " = ?" + std::to_string(n++);
    return "UPDATE " + table() + " SET " + sets + " WHERE rowid = ?" + std::to_string(n) + sameKey(n + 1);
}

std::string TableSql::replaceValues(const std::vector<int>& columns) const
{
    std::string sets, where;
    const int n = static_cast<int>(columns.size());
    for (int i = 0; i < n; ++i) {
        const std::string name = sql::quoteIdentifier(layout_.columns[static_cast<std::size_t>(columns[i])].name);
        sets += (i ? ", " : "") + name + " = ?" + std::to_string(n + i + 1);
        where += (i ? " AND " : "") + name + " = ?" + std::to_string(i + 1);
    }
    return "UPDATE " + table() + " SET " + sets + " WHERE " + where;
}

std::string TableSql::remove() const { return "DELETE FROM " + table() + " WHERE rowid = ?1" + sameKey(2); }

// It reads no column, so that it needs nothing a reading restriction (an
// authorizer) might refuse.
std::string TableSql::lockForWrite() const { return "DELETE FROM " + table() + " WHERE 0"; }

std::string TableSql::ownerStored() const
{
    std::string where;
    int n = 1;
    for (int k : layout_.owner.columns)
        where += (where.empty() ? " WHERE " : " AND ") + sql::quoteIdentifier(layout_.columns[static_cast<std::size_t>(k)].name) +
                 " = ?" + std::to_string(n++);
    return "SELECT 1 FROM " + schema_ + "." + sql::quoteIdentifier(layout_.owner.table) + where;
}

std::string TableSql::removeWhere(const std::string& where) const
{
    return "DELETE FROM " + table() + whereClause(where);
}

std::string TableSql::appendFrom(const TableSql& source, const std::string& sourceWhere) const
{
    std::string names, exprs;
    for (std::size_t i = 0; i < layout_.columns.size(); ++i) {
        const std::string src = sql::quoteIdentifier(source.layout_.columns[i].name);
        names += (i ? ", " : "") + sql::quoteIdentifier(layout_.columns[i].name);
        // The destination gives AutoInc numbers anew.
        const std::string e = !writable(i) ? std::string("NULL")
                              : layout_.isKeyText(static_cast<int>(i)) ? "coalesce(" + src + ", '')"
                                                                       : src;
        exprs += (i ? ", " : "") + e;
    }
    return "INSERT INTO " + table() + " (" + names + ") SELECT " + exprs + " FROM " + source.table() + " WHERE (" +
           sourceWhere + ") ORDER BY " + source.orderBy(false);
}

}  // namespace store
