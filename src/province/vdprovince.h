#pragma once
#include <QWidget>

#include "store/table.h"

class QKeyEvent;

namespace app {
struct Context;
}

// The province details window, with its own cursor on the province table.
class TfrmProvince final : public QWidget {
    Q_OBJECT
public:
    explicit TfrmProvince(app::Context& context, QWidget* parent = nullptr);

    store::Table tblProv;

    void FormCreate();
    bool FormKeyUp(QKeyEvent& key);
};

extern TfrmProvince* frmProvince;
