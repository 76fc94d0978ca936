#include "browser/vdsearch.h"

#include "app/context.h"
#include "app/shell.h"
#include "app/splash.h"
#include "app/startup.h"
#include "dbaware/guard.h"

#include <QCloseEvent>
#include <QCoreApplication>

TfrmVDDBSearch* frmVDDBSearch = nullptr;

TfrmVDDBSearch::TfrmVDDBSearch(app::Context& context, QWidget* parent)
    : QMainWindow(parent), tblVDDB(context.session), context_(context)
{
    setWindowTitle(QStringLiteral("Valdane Campaign Database"));
    resize(640, 480);
    app::openCentred(*this);
    new app::KeyPreview(*this, [this](QKeyEvent& key) { return FormKeyUp(key); });
}

void TfrmVDDBSearch::FormCreate()
{
    if (!app::checkAlias(context_))
        return;  // the program is ending
    tblVDDB.open("VDDB", "vddb.DB");
}

void TfrmVDDBSearch::FormActivate()
{
    if (frmSplash)
        frmSplash->close();
}

bool TfrmVDDBSearch::FormKeyUp(QKeyEvent& key) { return app::helpOnF1(key); }

bool TfrmVDDBSearch::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate)
        dbaware::guarded(this, [this] { FormActivate(); });
    return QMainWindow::event(event);
}

void TfrmVDDBSearch::closeEvent(QCloseEvent* event)
{
    QMainWindow::closeEvent(event);
    if (event->isAccepted())
        QCoreApplication::quit();
}
