#pragma once
#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dbaware/datasource.h"
#include "store/query.h"
#include "store/table.h"

#include "ui_vddetails.h"

class QCloseEvent;
class QKeyEvent;

namespace app {
struct Context;
}
namespace campaign {
class Tables;
}
namespace transfer {
class Commands;
}
namespace sheet {
struct RealmTexts;
}
class TfrmProvince;
class TfrmTransfer;

// The realm details window: one character record on eleven pages, with its
// province list. Its table objects are the shared ones, which the browser,
// the province window and the transfer window use too. Its controls come
// from vddetails.ui under their member names.
class TfrmRealmDetails final : public QMainWindow, public Ui::TfrmRealmDetails {
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

    // Window events
    void FormCreate();
    void FormActivate();
    // Sets canClose to false to keep the window open.
    void FormCloseQuery(bool& canClose);
    void FormClose();
    bool FormKeyUp(QKeyEvent& key);
    // Escape, once no control took it: closes as Close does, but asks
    // before it saves what closing would save.
    void FormEscape();

    // Controls
    void dedtCharNameChange();
    void dedtGameNameExit();
    void btnCloseClick();
    void dbgProvincesDblClick();
    // A new row at the end of the province list, as Down on its last row
    // gives, with the cursor in its name.
    void btnAddProvinceClick();
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
    // Before a province row is stored, also by a move of the list or of the
    // character: a new row nothing was typed into is dropped, a row with no
    // name refused (dbaware::Refused) with the focus in its name.
    void tblProvBeforePost();
    void tblProvAfterPost(store::Table& table);
    void dsVDDBStateChange();

    // Menu commands
    // The realm sheet (vddetails_sheet.cpp).
    void SaveToFile1Click();
    // The same sheet as PDF, and printed (vddetails_sheet.cpp).
    void SaveAsPDF1Click();
    void Print1Click();
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
    void SaveTransferFileAs1Click();
    void OpenTransferFile1Click();
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
    // What the form cannot say: see the constructor.
    void finishForm();
    void connectHandlers();


    // The sheet's texts as the window shows them; the memos as the text
    // sheet wraps them, or (for paper) split at their line breaks only.
    enum class MemoLines { Wrapped, Unwrapped };
    sheet::RealmTexts sheetTexts(MemoLines memos) const;

    void setMoveItems(bool first, bool previous, bool next, bool last);
    // "Province Name Must Be Entered", then the focus in the row's name.
    void refuseProvinceRow();
    void focusProvinceName();
    bool namesFilledIn() const;
    // A new record with both names blank is no character: a move would
    // store it. Refused as closing refuses a missing name; true when refused.
    bool refuseNamelessNewRecord();
    // Closing by Escape saves only on the user's Yes; No drops what is
    // pending, Cancel keeps the window open. True when closing may go on.
    bool saveOnEscapeAnswered();
    bool escaping_ = false;

    // The program's folder (the sheet's save folder is beside it) and the
    // session of the tables.
    app::Context& context_;
    campaign::Tables& tables_;
    std::unique_ptr<transfer::Commands> transfer_;
    TfrmProvince* province_ = nullptr;
    // Asks tblProvBeforePost after the grid has written its open cell.
    class ProvinceRowCheck;
    std::unique_ptr<ProvinceRowCheck> provinceRowCheck_;
    // The province row saved last, so that re-filtering after it leaves the
    // list there.
    store::Bookmark postedProvince_;
    // A double click saves the row to open it.
    bool openingProvince_ = false;
    // Set once the figures have been worked out for the first record shown.
    bool figuresShown_ = false;
    // Set by the window's first activation and kept from then on: until then
    // the tables are still being opened, and the province list is left alone.
    bool activated_ = false;
    // Runs the figures that one change sets off; see vddetails_figures.cpp.
    void runFigures(const std::vector<void (TfrmRealmDetails::*)()>& handlers);
    int figureDepth_ = 0;
    QStringList figureErrors_;
};
