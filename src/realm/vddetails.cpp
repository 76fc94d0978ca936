#include "realm/vddetails.h"

#include "app/context.h"
#include "app/shell.h"
#include "dbaware/dbedit.h"
#include "dbaware/dbgrid.h"
#include "store/filter.h"

#include <QTabWidget>
#include <QVBoxLayout>

TfrmRealmDetails* frmRealmDetails = nullptr;

TfrmRealmDetails::TfrmRealmDetails(app::Context& context, QWidget* parent)
    : QMainWindow(parent),
      tblVDDB(context.session),
      tblProv(context.session),
      tblTransfer(context.session),
      tblXfrProv(context.session),
      dsVDDB(tblVDDB, this),
      dsProv(tblProv, this),
      dsTransfer(tblTransfer, this),
      dsExpProv(tblXfrProv, this)
{
    setWindowTitle(QStringLiteral("Realm Details"));
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(640, 480);

    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    dedtGameName = new dbaware::DBEdit(central);
    dedtGameName->setDataSource(&dsVDDB);
    dedtGameName->setFieldName(QStringLiteral("Game_Name"));
    dedtCharName = new dbaware::DBEdit(central);
    dedtCharName->setDataSource(&dsVDDB);
    dedtCharName->setFieldName(QStringLiteral("Character_Name"));
    column->addWidget(dedtGameName);
    column->addWidget(dedtCharName);

    PageControl1 = new QTabWidget(central);
    column->addWidget(PageControl1);
    tsGeneralInfo = new QWidget(PageControl1);
    tsProvinces = new QWidget(PageControl1);
    PageControl1->addTab(tsGeneralInfo, QStringLiteral("General Info"));
    PageControl1->addTab(tsProvinces, QStringLiteral("Provinces"));
    dbgProvinces = new dbaware::DBGrid(tsProvinces);
    dbgProvinces->setDataSource(&dsProv);
    dbgProvinces->setColumns({{QStringLiteral("Province_Name"), QStringLiteral("Province Name"), 156},
                              {QStringLiteral("Province_Terrain"), QStringLiteral("Province Terrain"), 164},
                              {QStringLiteral("Fortification_Level"), QStringLiteral("Castle Lvl"), -1}});
    auto* provinces = new QVBoxLayout(tsProvinces);
    provinces->addWidget(dbgProvinces);
    setCentralWidget(central);
    setStatusBar(StatusBar1 = new dbaware::StatusBar(this));

    tblVDDB.beforeDelete = [this](store::Table& t) { tblVDDBBeforeDelete(t); };

    app::openCentred(*this);
    new app::KeyPreview(*this, [this](QKeyEvent& key) { return FormKeyUp(key); });
}

void TfrmRealmDetails::FormCreate()
{
    // A table that fails leaves the ones after it closed.
    tblVDDB.open("VDDB", "vddb.DB");
    tblProv.open("VDDB", "vdprovs.db");
    tblTransfer.open("VDDB", "vdtrans.DB");
    tblXfrProv.open("VDDB", "expprovs.DB");
}

bool TfrmRealmDetails::FormKeyUp(QKeyEvent& key) { return app::helpOnF1(key); }

void TfrmRealmDetails::tblVDDBBeforeDelete(store::Table& table) { DeleteProvincesOfCharacter(table); }

void TfrmRealmDetails::applyProvinceFilter(const std::string& gameName, const std::string& characterName)
{
    tblProv.setFiltered(false);
    // Built from the raw names, so that any name selects exactly its rows.
    tblProv.setFilter(store::recordFilter(gameName, characterName));
    tblProv.setFiltered(true);
}

void TfrmRealmDetails::ApplyProvinceFilter()
{
    applyProvinceFilter(tblVDDB.text("Game_Name"), tblVDDB.text("Character_Name"));
}

void TfrmRealmDetails::SetNewRecordDefaults()
{
    for (const char* field : {"Warrior", "Ranger", "Paladin", "Mage", "Priest", "Thief", "Bard", "Psionicist",
                              "Royal_Facade_Spell"})
        tblVDDB.setBool(field, false);
    dbgProvinces->setEnabled(false);
}

void TfrmRealmDetails::DeleteProvincesOfCharacter(const store::Table& character)
{
    applyProvinceFilter(character.text("Game_Name"), character.text("Character_Name"));
    DeleteAllRecords(tblProv);
}

void TfrmRealmDetails::DeleteAllRecords(store::Table& table)
{
    store::ControlsSuspended suspended(table);
    table.first();
    while (!table.eof())
        table.remove();
}
