#include "transfer/transfer.h"

TfrmTransfer* frmTransfer = nullptr;

TfrmTransfer::TfrmTransfer(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setWindowTitle(QStringLiteral("Transfer Table Contents"));
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(640, 400);
}
