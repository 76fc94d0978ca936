#pragma once
#include <QWidget>

class QFrame;
class QLabel;
class QPushButton;

namespace dbaware {
class DBGrid;
}

// The transfer window: the transfer character table as the realm window's
// table object shows it, with one transferred character at a time deleted
// together with its provinces.
class TfrmTransfer final : public QWidget {
    Q_OBJECT
public:
    explicit TfrmTransfer(QWidget* parent = nullptr);

    QFrame* Panel1;
    QLabel* Panel1Caption;
    QPushButton* btnDelete;
    QPushButton* btnClose;
    dbaware::DBGrid* DBGrid1;

    // Binds the grid to the realm window's transfer data source, which is
    // created before this window.
    void FormCreate();

    void btnDeleteClick();
    void btnCloseClick();
    // Deletes the transfer province records of the transfer character record
    // that the grid has selected.
    void DeleteTransferProvinces();
};

extern TfrmTransfer* frmTransfer;
