#include "campaign/tables.h"

#include "campaign/catalogue.h"
#include "campaign/columns.h"
#include "store/all_or_nothing.h"
#include "store/error.h"

namespace campaign {

Tables::Tables(store::Session& session)
    : tblVDDB(session),
      tblProv(session),
      tblTransfer(session),
      tblXfrProv(session),
      dsVDDB(tblVDDB),
      dsProv(tblProv),
      dsTransfer(tblTransfer),
      dsExpProv(tblXfrProv)
{
}

Tables::~Tables() = default;

void Tables::open()
{
    tblVDDB.open(alias, table::characters);
    tblProv.open(alias, table::provinces);
    tblTransfer.open(alias, table::transferCharacters);
    tblXfrProv.open(alias, table::transferProvinces);
}

void Tables::applyProvinceFilter(const std::string& gameName, const std::string& characterName)
{
    // Built from the raw names, so that any name selects exactly its rows.
    const std::string filter = recordFilter(gameName, characterName);
    if (tblProv.filtered()) {
        // One re-read from the first row, with no moment of the whole table
        // in between: showing it, even briefly, made every grid count it.
        tblProv.setFilter(filter);
        return;
    }
    tblProv.setFilter(filter);
    tblProv.setFiltered(true);
}

void Tables::applyProvinceFilter() { applyProvinceFilter(tblVDDB.text(col::GameName), tblVDDB.text(col::CharacterName)); }

namespace {

// Whether the transfer tables hold the character in another form than it is
// stored: its record or the set of its provinces (their numbers aside,
// which each file gives its own). False when they do not hold it.
bool changedSinceExport(store::Database& db, const std::string& game, const std::string& name)
{
    const auto qualified = [&db](const char* opened) {
        const store::TableLayout& layout = *findLayout(opened);
        return db.schemaFor(layout) + "." + store::sql::quoteIdentifier(layout.name);
    };
    std::string chars, provs;
    for (const store::Column& c : findLayout(table::characters)->columns)
        chars += (chars.empty() ? "" : ", ") + store::sql::quoteIdentifier(c.name);
    for (const store::Column& c : findLayout(table::provinces)->columns)
        if (c.type != store::ColumnType::AutoInc)
            provs += (provs.empty() ? "" : ", ") + store::sql::quoteIdentifier(c.name);
    const std::string of = " WHERE " + std::string(col::GameName) + " = ?1 AND " + col::CharacterName + " = ?2";
    const auto differ = [&of](const std::string& columns, const std::string& stored, const std::string& sent) {
        return "EXISTS (SELECT " + columns + " FROM " + stored + of + " EXCEPT SELECT " + columns + " FROM " + sent +
               of + ") OR (SELECT count(*) FROM " + stored + of + ") <> (SELECT count(*) FROM " + sent + of + ")";
    };
    const std::string sent = qualified(table::transferCharacters);
    store::sql::Statement st(db.connection(),
                             "SELECT EXISTS (SELECT 1 FROM " + sent + of + ") AND (" +
                                 differ(chars, qualified(table::characters), sent) + " OR " +
                                 differ(provs, qualified(table::provinces), qualified(table::transferProvinces)) + ")");
    st.bind(1, std::string_view(game));
    st.bind(2, std::string_view(name));
    return st.step() && st.int64(0) != 0;
}

}  // namespace

void Tables::DeleteProvincesOfCharacter(const store::Table& character)
{
    // A delete after an export completes a move: what another program (or
    // this one) saved since would be lost with it. Asked under the delete's
    // write lock, so that no change can come in between.
    const std::string game = character.text(col::GameName), name = character.text(col::CharacterName);
    bool changed = false;
    try {
        changed = changedSinceExport(character.database(), game, name);
    } catch (const store::StoreError&) {
        // No transfer file to compare with: nothing was exported from it.
    } catch (const store::sql::SqlError& e) {
        throw store::StoreError(store::msg::cannotRead(table::transferCharacters, e.what()));
    }
    if (changed)
        throw store::StoreError("The character \"" + name + "\" of the game \"" + game +
                                "\" was not deleted: it was changed since it was exported. Export it again to move "
                                "it as it is now.");
    applyProvinceFilter(character.text(col::GameName), character.text(col::CharacterName));
    DeleteAllRecords(tblProv);
}

void Tables::DeleteAllRecords(store::Table& table)
{
    store::ControlsSuspended suspended(table);
    // One transaction: a failure or a kill part way leaves every record.
    store::allOrNothing(table, {&table}, [&table] { table.removeAll(); });
}

void Tables::EmptyTransferTables()
{
    // Never half emptied: provinces left without their character would come
    // along with a later import on their own.
    store::allOrNothing(tblXfrProv, {&tblXfrProv, &tblTransfer}, [this] {
        DeleteAllRecords(tblXfrProv);
        DeleteAllRecords(tblTransfer);
    });
}

void Tables::CopyCurrentCharacter()
{
    store::ControlsSuspended characters(tblTransfer), provinces(tblXfrProv), shownProvinces(tblProv);
    tblTransfer.appendFrom(tblVDDB);
    // Exactly the provinces of the character just copied, whatever the
    // province list was restricted to before.
    applyProvinceFilter();
    tblXfrProv.appendFrom(tblProv);
}

}  // namespace campaign
