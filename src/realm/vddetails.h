#pragma once
#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dbaware/datasource.h"
#include "dbaware/statusbar.h"
#include "store/query.h"
#include "store/table.h"

class QAction;
class QCloseEvent;
class QFrame;
class QKeyEvent;
class QLabel;
class QMenu;
class QPushButton;
class QTabWidget;

namespace app {
struct Context;
}
namespace campaign {
class Tables;
}
namespace transfer {
class Commands;
}
class TfrmProvince;
class TfrmTransfer;
namespace dbaware {
class DBCheckBox;
class DBEdit;
class DBGrid;
class DBMemo;
class DBNavigator;
class StatusBar;
}

// The realm details window: one character record on eleven pages, with its
// province list. Its table objects are the shared ones, which the browser,
// the province window and the transfer window use too.
class TfrmRealmDetails final : public QMainWindow {
    Q_OBJECT
public:
    TfrmRealmDetails(app::Context& context, campaign::Tables& tables, QWidget* parent = nullptr);
    ~TfrmRealmDetails() override;

    // The windows this one opens, once they exist.
    void useWindows(TfrmProvince& province, TfrmTransfer& transfer);

    campaign::Tables& tables() const { return tables_; }
    store::Table& tblVDDB;
    store::Table& tblProv;
    store::Table& tblTransfer;
    store::Table& tblXfrProv;
    dbaware::DataSource& dsVDDB;
    dbaware::DataSource& dsProv;
    dbaware::DataSource& dsTransfer;
    dbaware::DataSource& dsExpProv;
    // The realm sheet's select of the shown character's provinces.
    store::Query Query1;

    // Top panel; the province window reads the two name boxes.
    QFrame* Panel1;
    dbaware::DBEdit* dedtGameName;
    dbaware::DBEdit* dedtCharName;
    QPushButton* btnClose;

    QTabWidget* PageControl1;
    QWidget* tsGeneralInfo;
    QWidget* tsDiplomacy;
    QWidget* tsProvinces;
    QWidget* tsMaintenance;
    QWidget* tsMagic;
    QWidget* tsTradeRoutes;
    QWidget* tsIncome;
    QWidget* tsCivicImprovements;
    QWidget* tsBuildingProjects;
    QWidget* tsVassals;
    QWidget* tsMisc;

    // General Info
    dbaware::DBEdit* dedtBloodlineDerivation;
    dbaware::DBEdit* dedtBloodlineStr;
    dbaware::DBEdit* dedtBloodlineScore;
    dbaware::DBCheckBox* cbWarrior;
    dbaware::DBCheckBox* cbRanger;
    dbaware::DBCheckBox* cbPaladin;
    dbaware::DBCheckBox* cbMage;
    dbaware::DBCheckBox* cbPriest;
    dbaware::DBCheckBox* cbThief;
    dbaware::DBCheckBox* cbBard;
    dbaware::DBCheckBox* cbPsionicist;
    dbaware::DBEdit* dedtClassAbbrev;
    dbaware::DBEdit* dedtDomainName;
    dbaware::DBEdit* dedtCurrRP;
    dbaware::DBEdit* dedtCurrGB;
    dbaware::DBEdit* dedtCurrGP;
    dbaware::DBEdit* dedtAdminCheck;
    dbaware::DBEdit* dedtDiplomacyCheck;
    dbaware::DBEdit* dedtLawCheck;
    dbaware::DBEdit* dedtLeadershipCheck;
    dbaware::DBEdit* dedtIntrigueCheck;
    dbaware::DBEdit* dedtResearchCheck;

    // Diplomacy
    dbaware::DBEdit* dedtPalaceLocation;
    dbaware::DBEdit* dedtPalaceValue;
    dbaware::DBEdit* edtContrib;
    dbaware::DBEdit* dedtCourtExpenditure;
    dbaware::DBEdit* edtCourtValue;
    dbaware::DBMemo* dmemGeneralAbility;
    dbaware::DBCheckBox* cbRoyalFacade;
    QLabel* Label58;
    QLabel* pnlDiploMod;
    QLabel* Label11;
    QLabel* Label68;
    dbaware::DBEdit* edtDipTotalMod;
    QLabel* Label10;
    QLabel* Label57;
    dbaware::DBEdit* dedtRODiplomacyCheck;

    // Provinces
    dbaware::DBGrid* dbgProvinces;

    // Maintenance
    dbaware::DBEdit* dedtROAdminCheck;
    dbaware::DBEdit* dedtTroopCapacity;
    dbaware::DBEdit* dedtTotalProvinces;
    dbaware::DBEdit* dedtTotalCastles;
    dbaware::DBEdit* dedtROCourtExpenditure;
    dbaware::DBEdit* dedtShipMaint;
    dbaware::DBEdit* dedtProvMaint;
    dbaware::DBEdit* dedtFortMaint;
    dbaware::DBEdit* edtPalaceMaint;
    dbaware::DBEdit* dedtArmyMaint;
    dbaware::DBEdit* dedtConstructionCosts;
    dbaware::DBEdit* edtMaintTotal;

    // Magic
    dbaware::DBEdit* dedtROResearchCheck;
    dbaware::DBEdit* dedtLeyLineMaint;
    dbaware::DBEdit* dedtStateReligion;
    dbaware::DBMemo* dmemLeyLines;
    dbaware::DBMemo* dmemPriestSpells;
    dbaware::DBMemo* dmemMageSpells;

    // Trade Routes
    dbaware::DBMemo* dmemLandTR;
    dbaware::DBEdit* edtLandRP;
    dbaware::DBEdit* dedtLandGB;
    dbaware::DBMemo* dmemSeaTR;
    dbaware::DBEdit* edtSeaRP;
    dbaware::DBEdit* dedtSeaGB;

    // Income
    dbaware::DBEdit* dedtPossibleRP;
    dbaware::DBEdit* dedtROBloodlineScore;
    dbaware::DBEdit* dedtROLeyLineMaint;
    dbaware::DBEdit* dedtVassalRP;
    dbaware::DBEdit* dedtProvinceGB;
    dbaware::DBEdit* dedtGuildGB;
    dbaware::DBEdit* dedtTempleGB;
    dbaware::DBEdit* edtTRIncome;
    dbaware::DBEdit* dedtLawIncome;
    dbaware::DBEdit* edtTotalRP;
    dbaware::DBEdit* edtTotalGB;

    // The four pages of one memo each (two controls on Building Projects)
    dbaware::DBMemo* dmemCivicImprovements;
    dbaware::DBEdit* dedtTotalConstructionCosts;
    dbaware::DBMemo* dmemBuildingProjects;
    dbaware::DBMemo* dmemVassals;
    dbaware::DBMemo* dmemMisc;

    dbaware::DBNavigator* DBNavigator1;
    dbaware::StatusBar* StatusBar1;

    QMenu* File1;
    QAction* SaveToFile1;
    QAction* N5;
    QAction* Close1;
    QMenu* Database1;
    QAction* First1;
    QAction* Previous1;
    QAction* Next1;
    QAction* Last1;
    QAction* N2;
    QAction* InsertRecord1;
    QAction* DeleteRecord1;
    QAction* N3;
    QAction* SaveChanges1;
    QAction* CancelChanges1;
    QMenu* Transfer1;
    QAction* ImportCurrentCharacter1;
    QAction* ExportCurrentCharacter1;
    QAction* N4;
    QAction* ViewContentsofTransferTable1;
    QAction* Delete1;
    QMenu* Help1;
    QAction* Help2;
    QAction* N1;
    QAction* About1;

    // Window events
    void FormCreate();
    void FormActivate();
    // Sets canClose to false to keep the window open.
    void FormCloseQuery(bool& canClose);
    void FormClose();
    bool FormKeyUp(QKeyEvent& key);

    // Controls
    void dedtCharNameChange();
    void dedtGameNameExit();
    void btnCloseClick();
    void dbgProvincesDblClick();
    void PageControl1Change();

    // Table and data source events
    void tblVDDBAfterCancel(store::Table& table);
    // Runs before a character record is deleted, whoever deletes it.
    void tblVDDBBeforeDelete(store::Table& table);
    void tblVDDBAfterDelete(store::Table& table);
    void tblVDDBAfterScroll(store::Table& table);
    // A post gave the character new names: its provinces take them too, in
    // the post's own transaction.
    void tblVDDBKeyChanged(store::Table& table, const std::vector<store::Value>& storedKey,
                           const std::vector<store::Value>& newKey);
    void tblVDDBAfterPost(store::Table& table);
    void tblProvAfterInsert(store::Table& table);
    void tblProvAfterPost(store::Table& table);
    void dsVDDBStateChange();

    // Menu commands
    // The realm sheet (vddetails_sheet.cpp).
    void SaveToFile1Click();
    void Close1Click();
    void First1Click();
    void Previous1Click();
    void Next1Click();
    void Last1Click();
    void InsertRecord1Click();
    void DeleteRecord1Click();
    void SaveChanges1Click();
    void CancelChanges1Click();
    // The transfer commands, given to the shared tables.
    void ImportCurrentCharacter1Click();
    void ExportCurrentCharacter1Click();
    void ViewContentsofTransferTable1Click();
    void Delete1Click();
    void Help2Click();
    void About1Click();

    // The derived figures, worked out as values are shown or typed
    // (vddetails_figures.cpp).
    void dedtPalaceValueChange();
    void edtContribChange();
    void edtCourtValueChange();
    void dedtShipMaintChange();
    void dedtSeaGBChange();
    void dedtProvinceGBChange();
    void dedtBloodlineScoreChange();
    // Every figure worked out from what the controls show: once, when they
    // first show a record. Each runs on its own; a bad text is told once.
    void RefreshFigures();

    // Restricts tblProv to the current character record's provinces.
    void ApplyProvinceFilter();
    // A new record's eight class flags and Royal Facade become False, and the
    // province list is disabled until both names are there.
    void SetNewRecordDefaults();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildTopPanel(QWidget* parent);
    void buildMenu();
    QWidget* buildGeneralInfo();
    QWidget* buildDiplomacy();
    QWidget* buildProvinces();
    QWidget* buildMaintenance();
    QWidget* buildMagic();
    QWidget* buildTradeRoutes();
    QWidget* buildIncome();
    QWidget* buildOneMemoPage(dbaware::DBMemo*& memo, const char* field, const char* label);
    QWidget* buildBuildingProjects();
    void connectHandlers();

    dbaware::DBEdit* edit(QWidget* parent, const char* field, int width);
    dbaware::DBEdit* mirror(QWidget* parent, const char* field, bool readOnly, int width);
    dbaware::DBEdit* computed(QWidget* parent, int width);
    dbaware::DBMemo* memo(QWidget* parent, const char* field, bool scrollBar);
    dbaware::DBCheckBox* check(QWidget* parent, const char* caption, const char* field);

    void setMoveItems(bool first, bool previous, bool next, bool last);
    bool namesFilledIn() const;

    // The program's folder (the sheet's save folder is beside it) and the
    // session of the tables.
    app::Context& context_;
    campaign::Tables& tables_;
    std::unique_ptr<transfer::Commands> transfer_;
    TfrmProvince* province_ = nullptr;
    // The province row saved last, so that a double click opens the row it
    // was given on even though saving moves the list to its first row.
    store::Bookmark postedProvince_;
    // Set once the figures have been worked out for the first record shown.
    bool figuresShown_ = false;
    // Runs the figures that one change sets off; see vddetails_figures.cpp.
    void runFigures(const std::vector<void (TfrmRealmDetails::*)()>& handlers);
    int figureDepth_ = 0;
    QStringList figureErrors_;
};
