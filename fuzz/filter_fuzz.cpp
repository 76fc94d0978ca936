// The filter language: parsing and compiling to SQL through the store's
// public functions. Whatever the text, nothing crashes and every refusal is a
// StoreError; a text that parses and names known columns compiles to SQL
// that prepares and runs on the real table. The input also serves as two raw
// names, whose record filter must select exactly that one character.
#include "campaign/catalogue.h"
#include "fuzz/fuzz_check.h"
#include "store/database.h"
#include "store/error.h"
#include "store/filter.h"
#include "store/layout.h"
#include "store/schema.h"
#include "store/sqlite.h"
#include "store/table.h"

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <variant>

namespace {

using store::sql::Connection;
using store::sql::Statement;

struct Fixture {
    Connection db;
    const store::TableLayout* layout;     // the character table
    const store::TableLayout* provinces;  // numbers of every kind, an AutoInc too
    Fixture()
        : db(Connection::open(":memory:", true)), layout(campaign::findLayout("vddb.DB")),
          provinces(campaign::findLayout("vdprovs.db"))
    {
        db.exec(store::createTableSql(*layout, ""));
        db.exec(store::createTableSql(*provinces, ""));
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void bindAll(Statement& st, const store::Table::Where& where)
{
    int i = 1;
    for (const store::Value& v : where.params) {
        if (std::holds_alternative<std::int64_t>(v))
            st.bind(i, std::get<std::int64_t>(v));
        else if (std::holds_alternative<std::string>(v))
            st.bind(i, std::string_view(std::get<std::string>(v)));
        else
            st.bindNull(i);
        ++i;
    }
}

// The character names of the rows the filter selects.
std::set<std::string> select(Fixture& f, const store::Filter& filter, const store::TableLayout* layout = nullptr)
{
    layout = layout ? layout : f.layout;
    const store::Table::Where where = store::Table::whereFor(*layout, filter, 1);
    Statement st(f.db, "SELECT Character_Name FROM " + layout->name + " WHERE (" + where.sql + ")");
    FUZZ_CHECK(static_cast<bool>(st), where.sql.c_str());
    bindAll(st, where);
    std::set<std::string> names;
    while (st.step())
        names.insert(st.text(0));
    return names;
}

bool insert(Fixture& f, const std::string& game, const std::string& name)
{
    try {
        Statement st(f.db, "INSERT INTO vddb (Game_Name, Character_Name) VALUES (?1, ?2)");
        st.bind(1, std::string_view(game));
        st.bind(2, std::string_view(name));
        st.run();
        return true;
    } catch (const store::sql::SqlError&) {
        return false;  // longer than the column holds
    }
}

// Whether SQLite keeps the text as it stands (a NUL ends it for length()).
bool plain(const std::string& s)
{
    return s.find('\0') == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    Fixture& f = fixture();

    // 1. Any text: parsed, or refused with the store's error.
    try {
        const store::Filter filter = store::parseFilter(text);
        for (const store::TableLayout* layout : {f.layout, f.provinces}) {
            try {
                select(f, filter, layout);
            } catch (const store::StoreError&) {
                // an unknown column, or a prefix on a number: refused, not a crash
            } catch (const store::sql::SqlError& e) {
                FUZZ_CHECK(false, e.what());  // compiled SQL that SQLite refuses
            }
        }
    } catch (const store::StoreError&) {
    }

    // 2. The text as two raw names, split at the first line break.
    const std::size_t cut = text.find('\n');
    const std::string game = text.substr(0, cut);
    const std::string name = cut == std::string::npos ? "" : text.substr(cut + 1);
    const std::string record = campaign::recordFilter(game, name);
    store::Filter parsed;
    try {
        parsed = store::parseFilter(record);
    } catch (const store::StoreError& e) {
        FUZZ_CHECK(false, e.what());  // the program's own filter refused
    }
    FUZZ_CHECK(parsed.conditions.size() == 2, record.c_str());
    FUZZ_CHECK(parsed.conditions[0].column == "Character_Name" && parsed.conditions[0].value == name &&
                   !parsed.conditions[0].prefix,
               record.c_str());
    FUZZ_CHECK(parsed.conditions[1].column == "Game_Name" && parsed.conditions[1].value == game &&
                   !parsed.conditions[1].prefix,
               record.c_str());

    const std::string prefix = store::prefixFilter("Character_Name", name);
    store::Filter byPrefix;
    try {
        byPrefix = store::parseFilter(prefix);
    } catch (const store::StoreError& e) {
        FUZZ_CHECK(false, e.what());
    }
    FUZZ_CHECK(byPrefix.conditions.size() == 1 && byPrefix.conditions[0].prefix &&
                   byPrefix.conditions[0].value == name,
               prefix.c_str());

    // 3. On rows: the record filter selects that character only, and the
    // prefix filter every name that begins with the text.
    if (plain(game) && plain(name)) {
        f.db.exec("DELETE FROM vddb");
        std::set<std::string> exact, beginning;
        for (const auto& [g, n] : {std::pair{game, name}, std::pair{game, name + "x"}, std::pair{game + "x", name},
                                   std::pair{game, name.substr(0, name.size() / 2)}}) {
            if (!insert(f, g, n))
                continue;  // longer than the column holds, or there already
            if (g == game && n == name)
                exact.insert(n);
            if (n.compare(0, name.size(), name) == 0)
                beginning.insert(n);
        }
        FUZZ_CHECK(select(f, parsed) == exact, record.c_str());
        FUZZ_CHECK(select(f, byPrefix) == beginning, prefix.c_str());
    }
    return 0;
}
