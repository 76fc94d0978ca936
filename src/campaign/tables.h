// The table objects that several windows work on together: the character
// table as the realm window shows it, the province table restricted to that
// character, and the two transfer tables, with their data sources and the
// operations that span them. Start-up creates one and hands it to the
// windows, which outlive none of it.
#pragma once
#include <QObject>

#include <string>

#include "dbaware/datasource.h"
#include "store/table.h"

namespace store {
class Session;
}

namespace campaign {

class Tables final : public QObject {
    Q_OBJECT
public:
    explicit Tables(store::Session& session);
    ~Tables() override;

    // Declared before their data sources, which must not outlive them.
    store::Table tblVDDB;
    store::Table tblProv;
    store::Table tblTransfer;
    store::Table tblXfrProv;
    dbaware::DataSource dsVDDB;
    dbaware::DataSource dsProv;
    dbaware::DataSource dsTransfer;
    dbaware::DataSource dsExpProv;

    // Opens the four tables in this order; a table that fails leaves the
    // ones after it closed.
    void open();

    // Restricts tblProv to the provinces of the character that tblVDDB
    // shows, or of the named one.
    void applyProvinceFilter();
    void applyProvinceFilter(const std::string& gameName, const std::string& characterName);

    // Deletes every province record of the character record on which
    // `character` stands (the realm window's table object or the browser's).
    void DeleteProvincesOfCharacter(const store::Table& character);
    // Deletes every row the table object shows under its filter, all or none.
    static void DeleteAllRecords(store::Table& table);
    // Every transfer province record, then every transfer character record.
    void EmptyTransferTables();
    // The shown character (tblVDDB filtered to it) and its provinces, added
    // to the transfer tables.
    void CopyCurrentCharacter();

signals:
    // An import brought characters into the character table: every other
    // view of it re-reads.
    void charactersImported();
};

}  // namespace campaign
