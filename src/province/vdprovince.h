#pragma once
#include <QWidget>

#include "store/table.h"

class QKeyEvent;
class QTabWidget;

namespace app {
struct Context;
}

// The province details window, with its own cursor on the province table.
class TfrmProvince final : public QWidget {
    Q_OBJECT
public:
    explicit TfrmProvince(app::Context& context, QWidget* parent = nullptr);

    store::Table tblProv;

    QTabWidget* PageControl1;
    QWidget* tsGeneral;

    void FormCreate();
    bool FormKeyUp(QKeyEvent& key);
};

extern TfrmProvince* frmProvince;
