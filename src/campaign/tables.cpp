#include "campaign/tables.h"

#include "campaign/catalogue.h"
#include "campaign/columns.h"
#include "store/all_or_nothing.h"

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

void Tables::DeleteProvincesOfCharacter(const store::Table& character)
{
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
