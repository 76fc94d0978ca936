#pragma once
#include <QWidget>

#include "dbaware/datasource.h"
#include "store/table.h"

namespace dbaware {
class DBMemo;
}
namespace store {
class Session;
}

// The hidden helper window of the realm sheet: its memo shows one province
// record's armies at the width the sheet wraps them at. It is created for one
// save, never shown, and freed when the armies are written.
class TfrmTemp final : public QWidget {
    Q_OBJECT
public:
    // The owner (the realm details window) holds it while it exists; its font
    // carries over, so the armies wrap like the owner's memos.
    TfrmTemp(QWidget* owner, store::Session& session);
    ~TfrmTemp() override;

    // Closed until the sheet opens it. Declared before its data source.
    store::Table tblProv;
    dbaware::DataSource dsProv;
    dbaware::DBMemo* dmemArmies;
};

// Set while the window exists, empty otherwise.
extern TfrmTemp* frmTemp;
