// The import's check of a transfer file's values. The input builds the two
// transfer tables of the program's own schema (their CHECKs ignored, as
// another program may write them) and the check must refuse exactly the files
// holding a value that the layouts do not allow, naming the table and the
// column of the first such value; a file it lets through must copy into the
// main tables with all their CHECKs on.
//
// Input: one byte, the memo limit (0-255 characters, so that long memos are
// cheap to make); then records, each a header byte (bit 0: province record;
// bits 1-4: how many values follow) and that many values, each a column byte
// (taken modulo the column count) and a kind byte (modulo 6): NULL; a signed
// byte; a signed 32-bit integer (4 bytes); a signed 16-bit number (2 bytes)
// divided by 4.0; text or a blob of a length byte's bytes.
#include "campaign/catalogue.h"
#include "fuzz/fuzz_check.h"
#include "store/error.h"
#include "store/layout.h"
#include "store/schema.h"
#include "store/sqlite.h"
#include "store/table_sql.h"
#include "store/utf8.h"
#include "store/value_check.h"

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace {

using store::ColumnType;
using store::TableLayout;
using store::sql::Connection;
using store::sql::SqlError;
using store::sql::Statement;

struct Input {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;
    bool more() const { return at < size; }
    std::uint8_t byte() { return at < size ? data[at++] : 0; }
    std::string bytes(std::size_t n)
    {
        n = std::min(n, size - std::min(at, size));
        std::string s(reinterpret_cast<const char*>(data + at), n);
        at += n;
        return s;
    }
};

// Whether a stored value fits its column, worked out apart from the check.
bool fits(const store::Column& c, const std::string& type, const std::string& bytes, std::int64_t number,
          int memoCharacters)
{
    if (type == "null")
        return true;
    switch (c.type) {
    case ColumnType::Text:
    case ColumnType::Memo: {
        const std::size_t limit = static_cast<std::size_t>(c.type == ColumnType::Memo ? memoCharacters : c.size);
        // Only valid UTF-8 has characters to count.
        const std::optional<std::size_t> characters = store::utf8Characters(bytes);
        return type == "text" && bytes.find('\0') == std::string::npos && characters && *characters <= limit;
    }
    case ColumnType::Short: return type == "integer" && number >= -32768 && number <= 32767;
    case ColumnType::Logical: return type == "integer" && (number == 0 || number == 1);
    case ColumnType::AutoInc: return true;
    }
    return false;
}

// The first column that holds a value it cannot hold, over the rows in order.
std::optional<std::string> firstUnfit(Connection& db, const TableLayout& layout, int memoCharacters)
{
    std::string select = "SELECT rowid";
    for (const store::Column& c : layout.columns) {
        const std::string q = store::sql::quoteIdentifier(c.name);
        select += ", typeof(" + q + "), CAST(" + q + " AS BLOB), " + q;
    }
    Statement rows(db, select + " FROM " + store::sql::quoteIdentifier(layout.name) + " ORDER BY rowid");
    while (rows.step())
        for (std::size_t i = 0; i < layout.columns.size(); ++i) {
            const int at = 1 + 3 * static_cast<int>(i);
            if (!fits(layout.columns[i], rows.text(at), rows.text(at + 1), rows.int64(at + 2), memoCharacters))
                return layout.columns[i].name;
        }
    return std::nullopt;
}

struct Value {
    enum Kind { Null, Integer, Quarter, Text, Blob } kind = Null;
    std::int64_t number = 0;
    std::string bytes;
};

void insertRecord(Connection& db, const TableLayout& layout, Input& in, int number, int count)
{
    // Names of their own unless the input sets them, so that records do not
    // collide on the key.
    std::vector<Value> values(layout.columns.size());
    values[static_cast<std::size_t>(layout.columnIndex("Game_Name"))] = {Value::Text, 0, "G"};
    values[static_cast<std::size_t>(layout.columnIndex("Character_Name"))] = {Value::Text, 0, "C" + std::to_string(number)};
    if (const int p = layout.columnIndex("Province_Name"); p >= 0)
        values[static_cast<std::size_t>(p)] = {Value::Text, 0, "P" + std::to_string(number)};

    for (int k = 0; k < count && in.more(); ++k) {
        Value& v = values[in.byte() % layout.columns.size()];
        v = Value{};
        switch (in.byte() % 6) {
        case 0: break;
        case 1: v = {Value::Integer, static_cast<std::int8_t>(in.byte()), {}}; break;
        case 2: {
            std::uint32_t u = 0;
            for (int b = 0; b < 4; ++b)
                u |= std::uint32_t(in.byte()) << (8 * b);
            v = {Value::Integer, static_cast<std::int32_t>(u), {}};
            break;
        }
        case 3: {
            const std::uint16_t u = static_cast<std::uint16_t>(in.byte() | (in.byte() << 8));
            v = {Value::Quarter, static_cast<std::int16_t>(u), {}};
            break;
        }
        case 4: v = {Value::Text, 0, in.bytes(in.byte())}; break;
        case 5: v = {Value::Blob, 0, in.bytes(in.byte())}; break;
        }
    }
    std::string names, exprs;
    for (std::size_t i = 0; i < layout.columns.size(); ++i) {
        const std::string param = "?" + std::to_string(i + 1);
        std::string e = "NULL";
        switch (values[i].kind) {
        case Value::Null: break;
        case Value::Integer:
        case Value::Text: e = param; break;
        case Value::Quarter: e = "(" + param + " / 4.0)"; break;
        case Value::Blob: e = "CAST(" + param + " AS BLOB)"; break;
        }
        names += (i ? ", " : "") + store::sql::quoteIdentifier(layout.columns[i].name);
        exprs += (i ? ", " : "") + e;
    }
    Statement insert(db, "INSERT INTO " + store::sql::quoteIdentifier(layout.name) + " (" + names + ") VALUES (" +
                             exprs + ")");
    for (std::size_t i = 0; i < values.size(); ++i) {
        const Value& v = values[i];
        if (v.kind == Value::Integer || v.kind == Value::Quarter)
            insert.bind(static_cast<int>(i + 1), v.number);
        else if (v.kind == Value::Text || v.kind == Value::Blob)
            insert.bind(static_cast<int>(i + 1), std::string_view(v.bytes));
    }
    try {
        insert.run();
    } catch (const SqlError&) {
        // A key clash or an empty name: the record is left out.
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Input in{data, size};
    const int memoCharacters = in.byte();
    const TableLayout& characterLayout = *campaign::findLayout("vdtrans");
    const TableLayout& provinceLayout = *campaign::findLayout("expprovs");

    Connection db = Connection::open(":memory:", true);
    db.exec(store::createTableSql(characterLayout, "") + store::createTableSql(provinceLayout, ""));
    db.exec("PRAGMA ignore_check_constraints = ON");
    for (int number = 0; in.more(); ++number) {
        const std::uint8_t header = in.byte();
        insertRecord(db, header & 1 ? provinceLayout : characterLayout, in, number, (header >> 1) & 0x0F);
    }
    db.exec("PRAGMA ignore_check_constraints = OFF");

    bool refused = false;
    for (const TableLayout* layout : {&characterLayout, &provinceLayout}) {
        const std::optional<std::string> unfit = firstUnfit(db, *layout, memoCharacters);
        try {
            store::checkValues(db, "main", *layout, memoCharacters);
            FUZZ_CHECK(!unfit, unfit->c_str());
        } catch (const store::StoreError& e) {
            const std::string message = e.what();
            FUZZ_CHECK(unfit, message.c_str());
            FUZZ_CHECK(message.find(" in table " + layout->displayName + ": ") != std::string::npos, message.c_str());
            FUZZ_CHECK(message.find("ield '" + *unfit + "'") != std::string::npos, message.c_str());
            refused = true;
            break;
        }
    }
    if (refused)
        return 0;
    // What the check let through fits the main tables as they check values.
    db.exec("ATTACH ':memory:' AS campaign");
    const TableLayout& characters = *campaign::findLayout("vddb");
    const TableLayout& provinces = *campaign::findLayout("vdprovs");
    db.exec(store::createTableSql(characters, "campaign") + store::createTableSql(provinces, "campaign"));
    try {
        Statement(db, store::TableSql(characters, "campaign").appendFrom(store::TableSql(characterLayout, "main"), "1"))
            .run();
        Statement(db, store::TableSql(provinces, "campaign").appendFrom(store::TableSql(provinceLayout, "main"), "1"))
            .run();
    } catch (const SqlError& e) {
        FUZZ_CHECK(false, e.what());
    }
    return 0;
}
