#include "realm/vddetails.h"

#include "app/context.h"
#include "app/shell.h"

TfrmRealmDetails* frmRealmDetails = nullptr;

TfrmRealmDetails::TfrmRealmDetails(app::Context& context, QWidget* parent)
    : QMainWindow(parent),
      tblVDDB(context.session),
      tblProv(context.session),
      tblTransfer(context.session),
      tblXfrProv(context.session)
{
    setWindowTitle(QStringLiteral("Realm Details"));
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(640, 480);
    app::openCentred(*this);
    new app::KeyPreview(*this, [this](QKeyEvent& key) { return FormKeyUp(key); });
}

void TfrmRealmDetails::FormCreate()
{
    // A table that fails leaves the ones after it closed.
    tblVDDB.open("VDDB", "vddb.DB");
    tblProv.open("VDDB", "vdprovs.db");
    tblTransfer.open("VDDB", "vdtrans.DB");
    tblXfrProv.open("VDDB", "expprovs.DB");
}

bool TfrmRealmDetails::FormKeyUp(QKeyEvent& key) { return app::helpOnF1(key); }
