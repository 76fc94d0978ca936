#pragma once
#include <QWidget>

#include "ui_transfer.h"

// The transfer window: the transfer character table as the realm window's
// table object shows it, with one transferred character at a time deleted
// together with its provinces. Its controls come from transfer.ui.
class TfrmTransfer final : public QWidget, public Ui::TfrmTransfer {
    Q_OBJECT
public:
    explicit TfrmTransfer(QWidget* parent = nullptr);

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
