// Checking a table's stored values against its layout: one quick pass, and
// the exact scan only when that pass finds a suspect value.
#include "store/value_check.h"

#include "store/database.h"
#include "store/error.h"
#include "store/int_text.h"
#include "store/table.h"
#include "store/table_sql.h"

#include <cctype>
#include <optional>

namespace store {

namespace {

// A name or value as a message quotes it: control characters (a NUL among
// them) shown as '?', and at most 40 characters.
std::string printable(std::string s)
{
    for (char& c : s)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    return msg::excerpt(s);
}

std::string why(TableSql::Unfit unfit, const Column& c, const std::string& value, int memoCharacters)
{
    switch (unfit) {
    case TableSql::Unfit::Binary: return msg::binaryValue(c.name);
    case TableSql::Unfit::NumberInText: return msg::numberInText(c.name);
    case TableSql::Unfit::Nul: return msg::nulInText(c.name);
    case TableSql::Unfit::TooLong: return msg::tooLong(c.name, c.type == ColumnType::Memo ? memoCharacters : c.size);
    case TableSql::Unfit::NotInteger: return msg::notInteger(printable(value), c.name);
    case TableSql::Unfit::OutOfRange:
        return msg::outOfRange(formatG(static_cast<double>(std::stoll(value))), c.name, formatG(-32768),
                               formatG(32767));
    case TableSql::Unfit::NotBoolean: return msg::notBoolean(printable(value), c.name);
    }
    return msg::binaryValue(c.name);
}

// Whether a row read with the table's select list (the row number first) may
// hold a value its column cannot hold. It errs only towards yes: a text longer
// in bytes than its column holds characters is left to the exact scan, since
// a character never takes less than a byte. Looking at each value once here
// costs a fraction of the exact scan's expressions, which run only on a yes.
bool mayBeUnfit(const sql::Statement& row, const TableLayout& layout, int memoCharacters)
{
    using T = sql::Statement::Type;
    for (std::size_t i = 0; i < layout.columns.size(); ++i) {
        const Column& c = layout.columns[i];
        const int at = static_cast<int>(i) + 1;
        switch (c.type) {
        case ColumnType::Text:
        case ColumnType::Memo: {
            const T type = row.type(at);
            if (type == T::Null)
                break;
            if (type != T::Text)
                return true;
            const std::string_view bytes = row.bytes(at);
            const std::size_t most = static_cast<std::size_t>(c.type == ColumnType::Memo ? memoCharacters : c.size);
            if (bytes.size() > most || bytes.find('\0') != std::string_view::npos)
                return true;
            break;
        }
        case ColumnType::Short:
        case ColumnType::Logical: {
            const T type = row.type(at);
            if (type == T::Null)
                break;
            if (type != T::Integer)
                return true;
            const std::int64_t v = row.int64(at);
            if (c.type == ColumnType::Short ? (v < -32768 || v > 32767) : (v != 0 && v != 1))
                return true;
            break;
        }
        case ColumnType::AutoInc:
            break;
        }
    }
    return false;
}

}  // namespace

void checkValues(sql::Connection& conn, const std::string& schema, const TableLayout& layout, int memoCharacters)
{
    std::int64_t rowid = 0, unfit = 0;
    try {
        const TableSql sql(layout, schema);
        {
            sql::Statement all(conn, sql.scan());
            bool suspect = false;
            while (!suspect && all.step())
                suspect = mayBeUnfit(all, layout, memoCharacters);
            if (!suspect)
                return;
        }
        {
            sql::Statement scan(conn, sql.firstUnfitValue());
            scan.bind(1, std::int64_t(memoCharacters));
            if (!scan.step())
                return;
            rowid = scan.int64(0);
            unfit = scan.int64(1);
        }
        const int column = static_cast<int>(unfit / 8);
        sql::Statement record(conn, sql.unfitRecord(column));
        record.bind(1, rowid);
        if (!record.step())
            throw sql::SqlError(0, "the record went while it was read");
        const int labels = static_cast<int>(layout.labels.size());
        std::string which;
        for (int i = labels - 1; i >= 0; --i)
            which += layout.labels[static_cast<std::size_t>(i)].noun + " '" + printable(record.text(i)) + "'" +
                     (i > 0 ? " of " : "");
        which = which.empty() ? "A record" : which;
        which[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(which[0])));
        const std::string reason = why(static_cast<TableSql::Unfit>(unfit % 8),
                                       layout.columns[static_cast<std::size_t>(column)], record.text(labels),
                                       memoCharacters);
        throw StoreError(msg::unfitValue(layout.displayName, which, reason));
    } catch (const sql::SqlError& e) {
        throw StoreError(msg::cannotRead(layout.displayName, e.what()));
    }
}

void checkValues(std::initializer_list<Table*> tables)
{
    for (Table* table : tables) {
        Database& db = table->database();
        checkValues(db.connection(), db.schemaFor(table->layout()), table->layout());
    }
}

}  // namespace store
