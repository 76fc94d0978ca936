#pragma once
#include <QWidget>

// The transfer window: the contents of the transfer character table, shown
// through the realm window's table object.
class TfrmTransfer final : public QWidget {
    Q_OBJECT
public:
    explicit TfrmTransfer(QWidget* parent = nullptr);
};

extern TfrmTransfer* frmTransfer;
