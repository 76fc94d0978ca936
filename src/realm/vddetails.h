#pragma once
#include <QMainWindow>

#include "store/table.h"

class QKeyEvent;

namespace app {
struct Context;
}

// The realm details window; it owns the table objects on the province and
// both transfer tables, which the province and transfer windows use.
class TfrmRealmDetails final : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmRealmDetails(app::Context& context, QWidget* parent = nullptr);

    store::Table tblVDDB;
    store::Table tblProv;
    store::Table tblTransfer;
    store::Table tblXfrProv;

    void FormCreate();
    bool FormKeyUp(QKeyEvent& key);
};

extern TfrmRealmDetails* frmRealmDetails;
