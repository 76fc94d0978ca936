#pragma once
#include <QWidget>

#include "ui_transfer.h"

namespace campaign {
class Tables;
}

// The transfer window: the transfer character table as the shared table
// object shows it, with one transferred character at a time deleted
// together with its provinces. Its controls come from transfer.ui.
class TfrmTransfer final : public QWidget, public Ui::TfrmTransfer {
    Q_OBJECT
public:
    explicit TfrmTransfer(campaign::Tables& tables, QWidget* parent = nullptr);

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
