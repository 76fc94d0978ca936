#pragma once
#include <QMainWindow>
#include <QPointer>

#include "browser/request_file.h"
#include "dbaware/datasource.h"
#include "store/table.h"

class QAction;
class QFrame;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;

namespace app {
struct Context;
}
namespace campaign {
class Tables;
}
class TfrmRealmDetails;
class TfrmTransfer;
namespace dbaware {
class DBGrid;
}

// The character browser, the main window: closing it ends the program.
class TfrmVDDBSearch final : public QMainWindow {
    Q_OBJECT
public:
    TfrmVDDBSearch(app::Context& context, campaign::Tables& tables, QWidget* parent = nullptr);

    // The windows this one opens, once they exist.
    void useWindows(TfrmRealmDetails& realm, TfrmTransfer& transfer);

    store::Table tblVDDB;
    dbaware::DataSource dsVDDB;

    QFrame* Panel1;
    QLabel* Label1;
    QLineEdit* edtSearch;
    QPushButton* btnName;
    QPushButton* btnGame;
    QPushButton* btnShowAll;
    dbaware::DBGrid* DBGrid1;
    QFrame* Panel2;
    QPushButton* Button4;
    QPushButton* btnDelete;
    QPushButton* btnExit;

    QAction* Exit1;
    QAction* ImportCharacters1;
    QAction* ViewTransferTableContents1;
    QAction* EmptyTransferTable1;
    QAction* Help2;
    QAction* About1;

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

    void Exit1Click();
    void ImportCharacters1Click();
    void ViewTransferTableContents1Click();
    void EmptyTransferTable1Click();
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
};
