#include "province/vdprovince.h"
#include "dbaware/accessible_names.h"
#include "dbaware/text.h"

#include "app/context.h"
#include "app/shell.h"
#include "campaign/catalogue.h"
#include "dbaware/binding.h"
#include "dbaware/dbedit.h"
#include "dbaware/dbnavigator.h"
#include "dbaware/dialogs.h"
#include "dbaware/guard.h"

#include <QCloseEvent>
#include <QShowEvent>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTabBar>
#include <QTabWidget>

#include <vector>



TfrmProvince::TfrmProvince(app::Context& context, QWidget* parent)
    : QWidget(parent, Qt::Window), tblProv(context.session), dsProv(tblProv, this)
{
    setupUi(this);
    app::scrollPages(*PageControl1);
    setAttribute(Qt::WA_QuitOnClose, false);
    dbaware::bindFields(*this, dsProv);

    // The tab bar is no widget of the form, so what concerns it is said here.
    PageControl1->tabBar()->setAttribute(Qt::WA_Hover);  // the tab under the mouse lights up
    // The tab bar takes the page control's place in the Tab order; the page
    // control itself would be a second stop on the tab bar after the last
    // box of the page, and the focus would never come back to the top panel.
    PageControl1->setFocusPolicy(Qt::NoFocus);  // passed on to the tab bar...
    PageControl1->tabBar()->setFocusPolicy(Qt::TabFocus);  // ...which keeps its own
    setReadingOrder();

    using dbaware::NavButton;
    DBNavigator1->setVisibleButtons({NavButton::First, NavButton::Prior, NavButton::Next, NavButton::Last,
                                     NavButton::Insert, NavButton::Delete, NavButton::Post, NavButton::Cancel});
    // One hint per kind of button, the two hidden ones included.
    DBNavigator1->setHints({QStringLiteral("First Record"), QStringLiteral("Previous Record"),
                            QStringLiteral("Next Record"), QStringLiteral("Last Record"),
                            QStringLiteral("Insert New Province"), QStringLiteral("Delete Current Province"),
                            QStringLiteral("Edit"), QStringLiteral("Save Changes to Database"),
                            QStringLiteral("Cancel Changes to this Record"), QStringLiteral("Refresh")});
    DBNavigator1->setDataSource(&dsProv);

    connect(btnClose, &QPushButton::clicked, this, [this] { dbaware::guarded(this, [this] { btnCloseClick(); }); });
    tblProv.afterInsert = [this](store::Table& t) { tblProvAfterInsert(t); };

    app::narrowToRoom(*Panel1, {dedtGameName, dedtCharName, dedtProvName, dedtTerrain});
    // As tall as the pages need, and wide enough for the holdings' rows.
    resize(sizeHint().expandedTo(QSize(640, 0)));
    app::openRemembered(*this, QStringLiteral("Province"));
    new app::KeyPreview(*this, [this](QKeyEvent& key) { return FormKeyUp(key); });
    new app::EscapeCloses(*this, [this] { FormEscape(); });
    app::turnPagesByKeys(*this, *PageControl1);
    dbaware::nameInputs(*this);  // for screen readers, once the form is whole
}

void TfrmProvince::setReadingOrder()
{
    // Left to right, then top to bottom, page after page; Tab skips the grey
    // name boxes and whatever is on the pages not shown. Said here rather
    // than in the form, because the tab bar has its place in it.
    const std::vector<QWidget*> order = {
        dedtGameName, dedtCharName, dedtProvName, dedtProvLevel, dedtMaxSrcPotential, dedtTerrain, btnClose,
        PageControl1->tabBar(),
        dedtProvOwner, dedtCastleLevel, dedtTaxationLevel, dedtLawClaimsLossSource, dedtArmies, dedtRealmSpellsInEffect,
        dmemTradeRoutes, DBEdit5, DBEdit6,
        dedtGuild1Level, dedtGuild1Owner, DBEdit7, dedtGuild1LawLossSource,
        dedtGuild2Level, dedtGuild2Owner, DBEdit8, dedtGuild2LawLossSource,
        dedtGuild3Level, dedtGuild3Owner, DBEdit9, dedtGuild3LawLossSource,
        dedtGuild4Level, dedtGuild4Owner, DBEdit10, dedtGuild4LawLossSource,
        dedtLaw1Level, dedtLaw1Owner, DBEdit11, DBEdit1,
        dedtLaw2Level, dedtLaw2Owner, DBEdit12, DBEdit2,
        dedtLaw3Level, dedtLaw3Owner, DBEdit13, DBEdit3,
        dedtLaw4Level, dedtLaw4Owner, DBEdit14, DBEdit4,
        dedtSource1Level, dedtSource1Owner, DBEdit15,
        dedtSource2Level, dedtSource2Owner, DBEdit16,
        dedtSource3Level, dedtSource3Owner, DBEdit17,
        dedtSource4Level, dedtSource4Owner, DBEdit18,
        dmemLeyLines, dmemLeyLinesProt,
        dedtTemple1Level, dedtTemple1Owner, DBEdit19, dedtTemple1LawLoss,
        dedtTemple2Level, dedtTemple2Owner, DBEdit20, dedtTemple2LawLoss,
        dedtTemple3Level, dedtTemple3Owner, DBEdit21, dedtTemple3LawLoss,
        dedtTemple4Level, dedtTemple4Owner, DBEdit22, dedtTemple4LawLoss,
    };
    for (std::size_t i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);
}

void TfrmProvince::FormCreate() { tblProv.open(campaign::alias, campaign::table::provinces); }

void TfrmProvince::btnCloseClick() { close(); }

bool TfrmProvince::FormCloseQuery()
{
    // With no record at all (the last province deleted, or the table could
    // not be opened) there are no names to ask for, and nothing to save: the
    // names could never be filled in, and the window could never close.
    if (!tblProv.isOpen() || (!tblProv.editing() && !tblProv.hasCurrentRecord()))
        return true;
    if (dbaware::isBlank(dedtCharName->text())) {
        dbaware::showMessage(this, QStringLiteral("Character Name Must Be Entered"));
        dedtCharName->setFocus();
        return false;
    }
    if (dbaware::isBlank(dedtGameName->text())) {
        dbaware::showMessage(this, QStringLiteral("Game Name Must Be Entered"));
        dedtGameName->setFocus();
        return false;
    }
    if (tblProv.editing() && escaping_) {
        const auto answer =
            dbaware::confirm(this, QStringLiteral("Save changes before closing?"), dbaware::Buttons::YesNoCancel);
        if (answer == dbaware::Answer::Cancel)
            return false;
        if (answer == dbaware::Answer::No)
            tblProv.cancel();
    }
    if (tblProv.editing())
        tblProv.post();
    return true;
}

void TfrmProvince::closeEvent(QCloseEvent* event)
{
    bool canClose = false;
    dbaware::guarded(this, [&] { canClose = FormCloseQuery(); });
    event->setAccepted(canClose);
}

bool TfrmProvince::FormKeyUp(QKeyEvent& key) { return app::helpOnF1(key); }

void TfrmProvince::FormEscape()
{
    const QScopedValueRollback<bool> escaping(escaping_, true);
    close();
}

void TfrmProvince::FormShow()
{
    // Not the grey name boxes, where the focus was left when closing was
    // refused for a missing name, or where a click put it.
    dedtProvName->setFocus();
}

void TfrmProvince::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Spontaneous shows come from the window system (a restore), not from
    // the program opening the window.
    if (!event->spontaneous())
        FormShow();
}

void TfrmProvince::tblProvAfterInsert(store::Table&)
{
    // The names as the window that opened this one shows them, whatever
    // province this window stood on before.
    if (!characterNames)
        return;
    const auto [game, character] = characterNames();
    dedtGameName->setText(game);
    dedtCharName->setText(character);
    // Written at once, so that a re-read of the controls cannot drop them.
    dedtGameName->updateRecord();
    dedtCharName->updateRecord();
}
