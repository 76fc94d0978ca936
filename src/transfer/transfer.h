#pragma once
#include <QWidget>

class QFrame;
class QLabel;
class QPushButton;

namespace campaign {
class Tables;
}
namespace dbaware {
class DBGrid;
}

// The transfer window: the transfer character table as the shared table
// object shows it, with one transferred character at a time deleted
// together with its provinces.
class TfrmTransfer final : public QWidget {
    Q_OBJECT
public:
    explicit TfrmTransfer(campaign::Tables& tables, QWidget* parent = nullptr);

    QFrame* Panel1;
    QLabel* Panel1Caption;
    QPushButton* btnDelete;
    QPushButton* btnClose;
    dbaware::DBGrid* DBGrid1;

    // Binds the grid to the shared transfer data source.
    void FormCreate();

    void btnDeleteClick();
    void btnCloseClick();
    // Deletes the transfer province records of the transfer character record
    // that the grid has selected.
    void DeleteTransferProvinces();

private:
    campaign::Tables& tables_;
};
