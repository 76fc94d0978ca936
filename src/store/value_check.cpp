// Checking a table's stored values against its layout: one pass over the
// rows, each value looked at once, the message built from the row itself.
#include "store/value_check.h"

#include "store/database.h"
#include "store/error.h"
#include "store/int_text.h"
#include "store/table.h"
#include "store/table_sql.h"
#include "store/utf8.h"

#include <cctype>

namespace store {

namespace {

// What is wrong with a value that its column cannot hold, in the order in
// which a value is looked at.
enum class Unfit { None, Binary, NumberInText, Nul, NotUtf8, TooLong, NotInteger, OutOfRange, NotBoolean };

// Rows between two questions whether to go on.
constexpr std::int64_t rowsPerQuestion = 512;

// A name or value as a message quotes it: control characters (a NUL among
// them) shown as '?', bytes that are no UTF-8 as U+FFFD, and at most 40
// characters.
std::string printable(std::string_view bytes)
{
    std::string s = withInvalidUtf8Replaced(bytes.substr(0, 164));
    for (char& c : s)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    return msg::excerpt(s);
}

std::string why(Unfit unfit, const Column& c, std::string_view value, std::int64_t number, int memoCharacters)
{
    switch (unfit) {
    case Unfit::None:
    case Unfit::Binary: return msg::binaryValue(c.name);
    case Unfit::NumberInText: return msg::numberInText(c.name);
    case Unfit::Nul: return msg::nulInText(c.name);
    case Unfit::NotUtf8: return msg::notUtf8(c.name);
    case Unfit::TooLong: return msg::tooLong(c.name, c.type == ColumnType::Memo ? memoCharacters : c.size);
    case Unfit::NotInteger: return msg::notInteger(printable(value), c.name);
    case Unfit::OutOfRange:
        return msg::outOfRange(formatG(static_cast<double>(number)), c.name, formatG(-32768), formatG(32767));
    case Unfit::NotBoolean: return msg::notBoolean(printable(value), c.name);
    }
    return msg::binaryValue(c.name);
}

// What is wrong with the value of column `i` of a row read with the table's
// select list (the row number first). Characters are counted only when the
// bytes alone could be too many, since a character never takes less than a
// byte.
Unfit unfitValue(const sql::Statement& row, const Column& c, int at, int memoCharacters)
{
    using T = sql::Statement::Type;
    const T type = row.type(at);
    if (type == T::Null)
        return Unfit::None;
    switch (c.type) {
    case ColumnType::Text:
    case ColumnType::Memo: {
        if (type == T::Blob)
            return Unfit::Binary;
        if (type != T::Text)
            return Unfit::NumberInText;
        const std::string_view bytes = row.bytes(at);
        if (bytes.find('\0') != std::string_view::npos)
            return Unfit::Nul;
        const std::size_t most = static_cast<std::size_t>(c.type == ColumnType::Memo ? memoCharacters : c.size);
        const std::optional<std::size_t> characters = utf8Characters(bytes);
        if (!characters)
            return Unfit::NotUtf8;
        return bytes.size() > most && *characters > most ? Unfit::TooLong : Unfit::None;
    }
    case ColumnType::Short:
    case ColumnType::Logical: {
        const bool isShort = c.type == ColumnType::Short;
        if (type == T::Blob)
            return Unfit::Binary;
        if (type != T::Integer)
            return isShort ? Unfit::NotInteger : Unfit::NotBoolean;
        const std::int64_t v = row.int64(at);
        if (isShort)
            return v < -32768 || v > 32767 ? Unfit::OutOfRange : Unfit::None;
        return v != 0 && v != 1 ? Unfit::NotBoolean : Unfit::None;
    }
    case ColumnType::AutoInc:
        break;  // the row number: always a whole number
    }
    return Unfit::None;
}

// "Province 'c1' of character 'Cara' of game 'H'", from the row's labels.
std::string recordName(const sql::Statement& row, const TableLayout& layout)
{
    std::string which;
    for (auto it = layout.labels.rbegin(); it != layout.labels.rend(); ++it)
        which += (which.empty() ? "" : " of ") + it->noun + " '" + printable(row.bytes(it->column + 1)) + "'";
    which = which.empty() ? "A record" : which;
    which[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(which[0])));
    return which;
}

}  // namespace

void checkValues(sql::Connection& conn, const std::string& schema, const TableLayout& layout, int memoCharacters,
                 const std::function<bool()>& keepGoing)
{
    try {
        sql::Statement all(conn, TableSql(layout, schema).scan());
        for (std::int64_t rows = 1; all.step(); ++rows) {
            if (keepGoing && rows % rowsPerQuestion == 0 && !keepGoing())
                throw Stopped();
            for (std::size_t i = 0; i < layout.columns.size(); ++i) {
                const Column& c = layout.columns[i];
                const int at = static_cast<int>(i) + 1;
                const Unfit unfit = unfitValue(all, c, at, memoCharacters);
                if (unfit == Unfit::None)
                    continue;
                // The number first: reading the bytes of a number turns it into text.
                const std::int64_t number = all.int64(at);
                const std::string value(all.bytes(at).substr(0, 164));
                throw StoreError(msg::unfitValue(layout.displayName, recordName(all, layout),
                                                 why(unfit, c, value, number, memoCharacters)));
            }
        }
    } catch (const sql::SqlError& e) {
        throw StoreError(msg::cannotRead(layout.displayName, e.what()));
    }
}

void checkValues(std::initializer_list<Table*> tables, const std::function<bool()>& keepGoing)
{
    for (Table* table : tables) {
        Database& db = table->database();
        checkValues(db.connection(), db.schemaFor(table->layout()), table->layout(), memoLimit, keepGoing);
    }
}

}  // namespace store
