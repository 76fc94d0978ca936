#pragma once
#include <QMainWindow>

#include <string>

#include "dbaware/datasource.h"
#include "dbaware/statusbar.h"
#include "store/table.h"

class QKeyEvent;
class QTabWidget;

namespace app {
struct Context;
}
namespace dbaware {
class DBEdit;
class DBGrid;
}

// The realm details window; it owns the table objects on the province and
// both transfer tables, which the province and transfer windows use.
class TfrmRealmDetails final : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmRealmDetails(app::Context& context, QWidget* parent = nullptr);

    // Declared before their data sources, which must not outlive them.
    store::Table tblVDDB;
    store::Table tblProv;
    store::Table tblTransfer;
    store::Table tblXfrProv;
    dbaware::DataSource dsVDDB;
    dbaware::DataSource dsProv;
    dbaware::DataSource dsTransfer;
    dbaware::DataSource dsExpProv;

    // The two name boxes of the top panel; the province window reads them.
    dbaware::DBEdit* dedtGameName;
    dbaware::DBEdit* dedtCharName;

    QTabWidget* PageControl1;
    QWidget* tsGeneralInfo;
    QWidget* tsProvinces;
    dbaware::DBGrid* dbgProvinces;

    void FormCreate();
    bool FormKeyUp(QKeyEvent& key);
    // Runs before a character record is deleted, whoever deletes it.
    void tblVDDBBeforeDelete(store::Table& table);

    // Restricts tblProv to the current character record's provinces.
    void ApplyProvinceFilter();
    // A new record's eight class flags and Royal Facade become False, and the
    // province list is disabled until both names are there.
    void SetNewRecordDefaults();
    // Deletes every province record of the character record on which
    // `character` stands (this window's or the browser's table object).
    void DeleteProvincesOfCharacter(const store::Table& character);
    // Deletes every row the table object shows under its filter.
    static void DeleteAllRecords(store::Table& table);

    // Transfer commands (src/transfer/commands.cpp)
    dbaware::StatusBar* StatusBar1;  // export, import and empty report here
    void ExportCurrentCharacter1Click();
    void ImportCurrentCharacter1Click();
    void ViewContentsofTransferTable1Click();
    void Delete1Click();
    // Every transfer province record, then every transfer character record.
    void EmptyTransferTables();
    // The shown character (tblVDDB filtered to it) and its provinces, added
    // to the transfer tables.
    void CopyCurrentCharacter();

private:
    void applyProvinceFilter(const std::string& gameName, const std::string& characterName);
};

extern TfrmRealmDetails* frmRealmDetails;
