#pragma once
#include <QMainWindow>
#include <QPointer>

#include "browser/request_file.h"
#include "dbaware/datasource.h"
#include "store/table.h"
#include "ui_vdsearch.h"

class QKeyEvent;

namespace app {
struct Context;
}
namespace campaign {
class Tables;
}
class TfrmRealmDetails;
class TfrmTransfer;

// The character browser, the main window: closing it ends the program. Its
// controls and menu come from vdsearch.ui.
class TfrmVDDBSearch final : public QMainWindow, public Ui::TfrmVDDBSearch {
    Q_OBJECT
public:
    TfrmVDDBSearch(app::Context& context, campaign::Tables& tables, QWidget* parent = nullptr);

    // The windows this one opens, once they exist.
    void useWindows(TfrmRealmDetails& realm, TfrmTransfer& transfer);

    store::Table tblVDDB;
    dbaware::DataSource dsVDDB;

    void FormCreate();
    void FormActivate();
    bool FormKeyUp(QKeyEvent& key);

    void btnNameClick();
    void btnGameClick();
    void btnShowAllClick();
    void DBGrid1DblClick();
    void Button4Click();
    void btnDeleteClick();
    void btnExitClick();
    void tblVDDBBeforeDelete(store::Table& table);

    // The current row's game, its characters and their provinces, as two
    // files for spreadsheets in a folder the user chooses.
    void ExportGameAsCSV1Click();
    // The printed sheets of every character of the current row's game, in one PDF.
    void ExportGameAsPDF1Click();
    // A copy from the Backups folder, chosen from a list with its date and
    // counts, put in place of the campaign's tables; the tables as they
    // were are kept in a file of their own.
    void RestoreBackup1Click();
    // The characters of the newest import not yet taken back deleted with
    // their provinces, after the user has seen what and said yes; one
    // changed since is kept unless the user says otherwise.
    void TakeBackLastImport1Click();
    void BringInOldTables1Click();
    void Exit1Click();
    void ImportCharacters1Click();
    void ViewTransferTableContents1Click();
    void EmptyTransferTable1Click();
    void SaveTransferFileAs1Click();
    void OpenTransferFile1Click();
    void Help2Click();
    void About1Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void search(const char* column);
    // Steps 2 to 6 of opening a character: the realm window shown modally
    // over the minimised browser, then the list re-read.
    void showRealmWindow();

    app::Context& context_;
    campaign::Tables& tables_;
    TfrmRealmDetails* realm_ = nullptr;
    TfrmTransfer* transfer_ = nullptr;
    RequestFile requestFile_;
    // Where the folder chooser of the next export starts.
    QString exportFolder_;
};
