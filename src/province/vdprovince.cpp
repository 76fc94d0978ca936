#include "province/vdprovince.h"

#include "app/context.h"
#include "app/shell.h"

#include <QTabWidget>
#include <QVBoxLayout>

TfrmProvince* frmProvince = nullptr;

TfrmProvince::TfrmProvince(app::Context& context, QWidget* parent)
    : QWidget(parent, Qt::Window), tblProv(context.session)
{
    setWindowTitle(QStringLiteral("Province Details"));
    setAttribute(Qt::WA_QuitOnClose, false);
    resize(600, 440);
    PageControl1 = new QTabWidget(this);
    tsGeneral = new QWidget(PageControl1);
    PageControl1->addTab(tsGeneral, QStringLiteral("General"));
    (new QVBoxLayout(this))->addWidget(PageControl1);
    app::openCentred(*this);
    new app::KeyPreview(*this, [this](QKeyEvent& key) { return FormKeyUp(key); });
}

void TfrmProvince::FormCreate() { tblProv.open("VDDB", "vdprovs.db"); }

bool TfrmProvince::FormKeyUp(QKeyEvent& key) { return app::helpOnF1(key); }
