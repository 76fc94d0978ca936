#include "realm/vddetails.h"
#include "dbaware/text.h"
#include "campaign/catalogue.h"
#include "campaign/columns.h"
#include "store/all_or_nothing.h"

#include "app/about.h"
#include "app/context.h"
#include "app/help.h"
#include "app/modal.h"
#include "app/shell.h"
#include "dbaware/binding.h"
#include "dbaware/dbcheckbox.h"
#include "dbaware/dbedit.h"
#include "dbaware/dbgrid.h"
#include "dbaware/dbmemo.h"
#include "dbaware/dbnavigator.h"
#include "dbaware/dialogs.h"
#include "dbaware/guard.h"
#include "dbaware/statusbar.h"
#include "province/vdprovince.h"
#include "store/database.h"
#include "store/error.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>

#include <algorithm>

namespace col = campaign::col;

TfrmRealmDetails* frmRealmDetails = nullptr;

namespace {

// Set by the window's first activation and kept for the rest of the run:
// until then the tables are still being opened, and the province list is
// left alone.
bool activated = false;

bool blankField(const store::Table& table, const char* field)
{
    return dbaware::isBlank(QString::fromStdString(table.text(field)));
}

}  // namespace

TfrmRealmDetails::TfrmRealmDetails(app::Context& context, QWidget* parent)
    : QMainWindow(parent),
      tblVDDB(context.session),
      tblProv(context.session),
      tblTransfer(context.session),
      tblXfrProv(context.session),
      dsVDDB(tblVDDB, this),
      dsProv(tblProv, this),
      dsTransfer(tblTransfer, this),
      dsExpProv(tblXfrProv, this),
      Query1(context.session),
      context_(context)
{
    // The window is created once per run: this is the start of the run.
    activated = false;
    setAttribute(Qt::WA_QuitOnClose, false);
    setupUi(this);
    finishForm();

    // In the form's order, which is also the order in which the boxes write
    // typed text before a post.
    dbaware::bindFields(*this, dsVDDB);
    dbgProvinces->setDataSource(&dsProv);
    dbgProvinces->setColumns({{QString::fromLatin1(col::ProvinceName), QStringLiteral("Province Name"), 156},
                              {QString::fromLatin1(col::ProvinceTerrain), QStringLiteral("Province Terrain"), 164},
                              {QString::fromLatin1(col::FortificationLevel), QStringLiteral("Castle Lvl"), -1}});
    DBNavigator1->setDataSource(&dsVDDB);
    using dbaware::NavButton;
    DBNavigator1->setVisibleButtons({NavButton::First, NavButton::Prior, NavButton::Next, NavButton::Last,
                                     NavButton::Insert, NavButton::Delete, NavButton::Post, NavButton::Cancel});
    DBNavigator1->setHint(NavButton::First, QStringLiteral("First record"));
    DBNavigator1->setHint(NavButton::Prior, QStringLiteral("Prior record"));
    DBNavigator1->setHint(NavButton::Next, QStringLiteral("Next record"));
    DBNavigator1->setHint(NavButton::Last, QStringLiteral("Last record"));
    DBNavigator1->setHint(NavButton::Insert, QStringLiteral("Insert record"));
    DBNavigator1->setHint(NavButton::Delete, QStringLiteral("Delete record"));
    DBNavigator1->setHint(NavButton::Post, QStringLiteral("Post edit"));
    DBNavigator1->setHint(NavButton::Cancel, QStringLiteral("Cancel edit"));

    connectHandlers();

    app::openCentred(*this);
    new app::KeyPreview(*this, [this](QKeyEvent& key) { return FormKeyUp(key); });
    new app::ActivationWatch(*this, [this] { FormActivate(); });
}

TfrmRealmDetails::~TfrmRealmDetails()
{
    // The tables close after the window's own members are gone: nothing they
    // do then may reach the window's handlers.
    tblVDDB.beforeDelete = nullptr;
    tblVDDB.afterDelete = nullptr;
    tblVDDB.afterScroll = nullptr;
    tblVDDB.afterCancel = nullptr;
    tblProv.afterInsert = nullptr;
    tblProv.afterPost = nullptr;
}

// ---- The form ----------------------------------------------------------------

void TfrmRealmDetails::finishForm()
{
    // The tab bar belongs to the tab widget, out of the form's reach.
    // Eleven tabs in one row (Qt has no rows of tabs): narrower tabs keep
    // every caption whole within a window that fits a 1024 by 768 screen,
    // and scroll buttons take over only when the window is made narrower.
    PageControl1->tabBar()->setAttribute(Qt::WA_Hover);
    PageControl1->tabBar()->setStyleSheet(QStringLiteral(
        "QTabBar::tab { padding: 3px 5px; border: 1px solid palette(mid);"
        " border-bottom: none; border-top-left-radius: 3px; border-top-right-radius: 3px;"
        " background: palette(button); }"
        "QTabBar::tab:!selected { margin-top: 2px; }"
        "QTabBar::tab:selected { background: palette(base); }"
        "QTabBar::tab:hover:!selected { background: palette(highlight); color: palette(highlighted-text); }"));

    // A hint is set a tenth smaller than the window's type; a form can only
    // give whole points.
    for (QLabel* note : {Label68, Label57, lblTotalProvincesNote, lblResearchNote}) {
        QFont f = note->font();
        f.setPointSizeF(f.pointSizeF() * 0.9);
        note->setFont(f);
    }

    // The boxes of the form under a group line up with those inside it: the
    // same label column, the same left edge. Both follow the type and the
    // style, so they are measured here.
    auto lineUp = [](QFormLayout* inGroup, QGroupBox* group, QFormLayout* below) {
        int widest = 0;
        for (QFormLayout* form : {inGroup, below})
            for (int r = 0; r < form->rowCount(); ++r)
                if (QLayoutItem* item = form->itemAt(r, QFormLayout::LabelRole); item && item->widget())
                    widest = std::max(widest, item->widget()->sizeHint().width());
        for (QFormLayout* form : {inGroup, below})
            for (int r = 0; r < form->rowCount(); ++r)
                if (QLayoutItem* item = form->itemAt(r, QFormLayout::LabelRole); item && item->widget())
                    item->widget()->setMinimumWidth(widest);
        QMargins m = below->contentsMargins();
        m.setLeft(inGroup->contentsMargins().left() + group->contentsMargins().left());
        below->setContentsMargins(m);
    };
    lineUp(formBloodline, gbBloodline, formDomain);
    lineUp(formPalace, gbPalace, formCourt);

    // Room for one line of the type in use, inside the frame and margin.
    pnlDiploMod->setMinimumHeight(pnlDiploMod->fontMetrics().height() + 12);
    // Hidden while no diplomacy is possible; the page keeps its layout then
    // (a form's size policy cannot say so).
    for (QWidget* w : std::initializer_list<QWidget*>{Label68, Label10, Label11, Label57, dedtRODiplomacyCheck,
                                                      edtDipTotalMod}) {
        QSizePolicy policy = w->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        w->setSizePolicy(policy);
    }
}

void TfrmRealmDetails::connectHandlers()
{
    using dbaware::DBCheckBox;
    using dbaware::DBEdit;
    auto on = [this](auto* sender, auto signal, void (TfrmRealmDetails::*handler)()) {
        connect(sender, signal, this, [this, handler] { dbaware::guarded(this, [this, handler] { (this->*handler)(); }); });
    };
    using W = TfrmRealmDetails;

    on(dedtGameName, &DBEdit::changed, &W::dedtCharNameChange);
    on(dedtCharName, &DBEdit::changed, &W::dedtCharNameChange);
    on(dedtGameName, &DBEdit::exited, &W::dedtGameNameExit);
    on(dedtCharName, &DBEdit::exited, &W::dedtGameNameExit);
    on(btnClose, &QPushButton::clicked, &W::btnCloseClick);
    on(dbgProvinces, &dbaware::DBGrid::dblClick, &W::dbgProvincesDblClick);
    on(&dsVDDB, &dbaware::DataSource::stateChanged, &W::dsVDDBStateChange);
    connect(PageControl1, &QTabWidget::currentChanged, this, [this] {
        // Pages that the program selects itself (the browser does so while
        // the window is hidden) are not the user's choice.
        if (isVisible())
            dbaware::guarded(this, [this] { PageControl1Change(); });
    });

    // A mirror on another page shows what is being typed in its box, so
    // that no page disagrees with another, nor with a figure beside it.
    const std::pair<DBEdit*, DBEdit*> mirrors[] = {
        {dedtRODiplomacyCheck, dedtDiplomacyCheck}, {dedtROAdminCheck, dedtAdminCheck},
        {dedtROCourtExpenditure, dedtCourtExpenditure}, {dedtROResearchCheck, dedtResearchCheck},
        {dedtROBloodlineScore, dedtBloodlineScore}, {dedtROLeyLineMaint, dedtLeyLineMaint}};
    for (auto [mirror, source] : mirrors)
        mirror->mirror(source);

    // The derived figures: each follows every value it reads, on whatever
    // page, so that it always agrees with what the window shows. One change
    // runs the figures that read it, in this order.
    using Figure = void (W::*)();
    auto figures = [this](auto* sender, auto signal, std::initializer_list<Figure> list) {
        connect(sender, signal, this, [this, handlers = std::vector<Figure>(list)] { runFigures(handlers); });
    };
    figures(dedtPalaceValue, &DBEdit::changed, {&W::dedtPalaceValueChange});
    figures(edtContrib, &DBEdit::changed, {&W::edtContribChange});
    figures(dedtCourtExpenditure, &DBEdit::changed, {&W::edtContribChange, &W::dedtShipMaintChange});
    figures(edtCourtValue, &DBEdit::changed, {&W::edtCourtValueChange});
    figures(cbRoyalFacade, &DBCheckBox::stateClick, {&W::edtCourtValueChange});
    for (DBEdit* e : {dedtTotalCastles, dedtShipMaint, dedtProvMaint, dedtFortMaint, edtPalaceMaint, dedtArmyMaint,
                      dedtConstructionCosts})
        figures(e, &DBEdit::changed, {&W::dedtShipMaintChange});
    figures(cbThief, &DBCheckBox::stateClick, {&W::dedtSeaGBChange});
    figures(dedtLandGB, &DBEdit::changed, {&W::dedtSeaGBChange});
    figures(dedtSeaGB, &DBEdit::changed, {&W::dedtSeaGBChange});
    for (DBEdit* e : {dedtProvinceGB, dedtGuildGB, dedtTempleGB, edtTRIncome, dedtLawIncome})
        figures(e, &DBEdit::changed, {&W::dedtProvinceGBChange});
    for (DBEdit* e : {dedtBloodlineScore, dedtPossibleRP, dedtLeyLineMaint, dedtVassalRP})
        figures(e, &DBEdit::changed, {&W::dedtBloodlineScoreChange});
    // Figures whose inputs all stay blank on the first record shown have not
    // run; once every control shows that record (this is connected after
    // them all), every figure is worked out once. From then on each follows
    // its inputs alone.
    connect(&dsVDDB, &dbaware::DataSource::recordChanged, this, [this] {
        if (figuresShown_)
            return;
        figuresShown_ = true;
        RefreshFigures();
    });

    on(SaveToFile1, &QAction::triggered, &W::SaveToFile1Click);
    on(Close1, &QAction::triggered, &W::Close1Click);
    on(First1, &QAction::triggered, &W::First1Click);
    on(Previous1, &QAction::triggered, &W::Previous1Click);
    on(Next1, &QAction::triggered, &W::Next1Click);
    on(Last1, &QAction::triggered, &W::Last1Click);
    on(InsertRecord1, &QAction::triggered, &W::InsertRecord1Click);
    on(DeleteRecord1, &QAction::triggered, &W::DeleteRecord1Click);
    on(SaveChanges1, &QAction::triggered, &W::SaveChanges1Click);
    on(CancelChanges1, &QAction::triggered, &W::CancelChanges1Click);
    on(ImportCurrentCharacter1, &QAction::triggered, &W::ImportCurrentCharacter1Click);
    on(ExportCurrentCharacter1, &QAction::triggered, &W::ExportCurrentCharacter1Click);
    on(ViewContentsofTransferTable1, &QAction::triggered, &W::ViewContentsofTransferTable1Click);
    on(Delete1, &QAction::triggered, &W::Delete1Click);
    on(Help2, &QAction::triggered, &W::Help2Click);
    on(About1, &QAction::triggered, &W::About1Click);

    tblVDDB.beforeDelete = [this](store::Table& t) { tblVDDBBeforeDelete(t); };
    tblVDDB.afterDelete = [this](store::Table& t) { tblVDDBAfterDelete(t); };
    tblVDDB.afterScroll = [this](store::Table& t) { tblVDDBAfterScroll(t); };
    tblVDDB.afterCancel = [this](store::Table& t) { tblVDDBAfterCancel(t); };
    tblVDDB.afterPost = [this](store::Table& t) { tblVDDBAfterPost(t); };
    tblVDDB.keyChanged = [this](store::Table& t, const std::vector<store::Value>& was,
                                const std::vector<store::Value>& now) { tblVDDBKeyChanged(t, was, now); };
    tblProv.afterInsert = [this](store::Table& t) { tblProvAfterInsert(t); };
    tblProv.afterPost = [this](store::Table& t) { tblProvAfterPost(t); };
}

// ---- Window events -------------------------------------------------------

void TfrmRealmDetails::FormCreate()
{
    // A table that fails leaves the ones after it closed.
    tblVDDB.open("VDDB", "vddb.DB");
    tblProv.open("VDDB", "vdprovs.db");
    tblTransfer.open("VDDB", "vdtrans.DB");
    tblXfrProv.open("VDDB", "expprovs.DB");
}

void TfrmRealmDetails::FormActivate()
{
    activated = true;
    ApplyProvinceFilter();
    dedtGameName->setFocus();
    dbgProvinces->setEnabled(namesFilledIn());
}

void TfrmRealmDetails::FormCloseQuery(bool& canClose)
{
    if (tblVDDB.isEmpty()) {
        canClose = true;
        return;
    }
    const bool noCharacter = dbaware::isBlank(dedtCharName->text());
    const bool noGame = dbaware::isBlank(dedtGameName->text());
    if (noCharacter && noGame) {
        tblVDDB.cancel();
        canClose = true;
        return;
    }
    if (noCharacter) {
        canClose = false;
        dbaware::showMessage(this, QStringLiteral("Character Name Must Be Entered"));
        dedtCharName->setFocus();
        return;
    }
    if (noGame) {
        canClose = false;
        dbaware::showMessage(this, QStringLiteral("Game Name Must Be Entered"));
        dedtGameName->setFocus();
        return;
    }
    if (tblProv.editing())
        tblProv.post();
    if (tblVDDB.editing())
        tblVDDB.post();
    canClose = true;
}

void TfrmRealmDetails::FormClose()
{
    if (tblVDDB.editing()) {
        // The name boxes decide, with what was typed in them and not yet
        // written (closing by the menu or the title bar leaves the focus
        // where it is). A record to be discarded is discarded whatever its
        // other boxes hold; only one to be kept has them written.
        if (dbaware::isBlank(dedtCharName->text()) && dbaware::isBlank(dedtGameName->text())) {
            tblVDDB.cancel();
        } else {
            dsVDDB.updateRecord();
            tblVDDB.post();
        }
        return;
    }
    const bool noNames = blankField(tblVDDB, col::CharacterName) && blankField(tblVDDB, col::GameName);
    if (tblVDDB.state() == store::State::Browse && noNames && !tblVDDB.isEmpty()) {
        // A stored record without names can never be found again.
        tblVDDB.remove();
    }
}

bool TfrmRealmDetails::FormKeyUp(QKeyEvent& key) { return app::helpOnF1(key); }

void TfrmRealmDetails::closeEvent(QCloseEvent* event)
{
    bool canClose = true;
    // A failing step keeps the window open with its record pending.
    if (!dbaware::guarded(this, [&] { FormCloseQuery(canClose); }) || !canClose ||
        !dbaware::guarded(this, [this] { FormClose(); })) {
        event->ignore();
        return;
    }
    event->accept();
}

// ---- Controls --------------------------------------------------------------

bool TfrmRealmDetails::namesFilledIn() const
{
    return !dbaware::isBlank(dedtGameName->text()) && !dbaware::isBlank(dedtCharName->text());
}

void TfrmRealmDetails::dedtCharNameChange()
{
    if (activated)
        ApplyProvinceFilter();
}

void TfrmRealmDetails::dedtGameNameExit()
{
    if (!namesFilledIn()) {
        dbgProvinces->setEnabled(false);
        return;
    }
    dbgProvinces->setEnabled(true);
    if (tblVDDB.editing())
        tblVDDB.post();
}

void TfrmRealmDetails::btnCloseClick() { close(); }

void TfrmRealmDetails::dbgProvincesDblClick()
{
    if (tblVDDB.editing())
        tblVDDB.post();
    if (tblProv.editing()) {
        postedProvince_ = {};
        tblProv.post();  // its handler moves the list to the first row
        // The row that was double-clicked is the one to open.
        if (postedProvince_.valid)
            tblProv.gotoBookmark(postedProvince_);
    }
    if (tblProv.isEmpty())
        return;  // no province to open
    frmProvince->tblProv.gotoCurrent(tblProv);
    showMinimized();
    frmProvince->PageControl1->setCurrentWidget(frmProvince->tsGeneral);
    ApplyProvinceFilter();
    // Showing the province window brings it, and with it the program, to the front.
    app::showModal(*frmProvince);
    showNormal();
    tblProv.refresh();
}

void TfrmRealmDetails::PageControl1Change() { StatusBar1->setText({}); }

// ---- Table and data source events ------------------------------------------

void TfrmRealmDetails::tblVDDBAfterCancel(store::Table&) { ApplyProvinceFilter(); }

void TfrmRealmDetails::tblVDDBBeforeDelete(store::Table& table) { DeleteProvincesOfCharacter(table); }

void TfrmRealmDetails::tblVDDBAfterDelete(store::Table& table)
{
    if (table.isEmpty())
        close();
}

void TfrmRealmDetails::tblVDDBAfterScroll(store::Table&)
{
    if (activated)
        ApplyProvinceFilter();
}

void TfrmRealmDetails::tblVDDBKeyChanged(store::Table& table, const std::vector<store::Value>& storedKey,
                                         const std::vector<store::Value>& newKey)
{
    // Provinces left under the old names would belong to no character that
    // any window shows.
    std::vector<std::string> columns;
    for (int k : table.layout().keyColumns)
        columns.push_back(table.layout().columns[static_cast<std::size_t>(k)].name);
    tblProv.replaceValues(columns, storedKey, newKey);
}

void TfrmRealmDetails::tblVDDBAfterPost(store::Table& table)
{
    // After a rename the list follows the provinces to the new names.
    if (activated && tblProv.filter() != campaign::recordFilter(table.text(col::GameName), table.text(col::CharacterName)))
        ApplyProvinceFilter();
}

void TfrmRealmDetails::tblProvAfterInsert(store::Table& table)
{
    // The names as shown, even when they are not saved yet.
    table.setText(col::GameName, dedtGameName->text().toStdString());
    table.setText(col::CharacterName, dedtCharName->text().toStdString());
    dbgProvinces->setFocus();
}

void TfrmRealmDetails::tblProvAfterPost(store::Table& table)
{
    postedProvince_ = table.bookmark();
    dbgProvinces->setEnabled(true);
    ApplyProvinceFilter();
}

void TfrmRealmDetails::dsVDDBStateChange()
{
    const bool editing = dsVDDB.state() == store::State::Edit || dsVDDB.state() == store::State::Insert;
    SaveChanges1->setEnabled(editing);
    CancelChanges1->setEnabled(editing);
    DeleteRecord1->setEnabled(!editing);
    InsertRecord1->setEnabled(!editing);
    SaveToFile1->setEnabled(!editing);
}

// ---- Menu commands ---------------------------------------------------------

void TfrmRealmDetails::Close1Click() { close(); }

void TfrmRealmDetails::setMoveItems(bool first, bool previous, bool next, bool last)
{
    First1->setEnabled(first);
    Previous1->setEnabled(previous);
    Next1->setEnabled(next);
    Last1->setEnabled(last);
}

void TfrmRealmDetails::First1Click()
{
    tblVDDB.first();
    setMoveItems(false, false, true, true);
}

void TfrmRealmDetails::Previous1Click()
{
    tblVDDB.prior();
    const bool atStart = tblVDDB.bof();
    setMoveItems(!atStart, !atStart, true, true);
}

void TfrmRealmDetails::Next1Click()
{
    tblVDDB.next();
    const bool atEnd = tblVDDB.eof();
    setMoveItems(true, true, !atEnd, !atEnd);
}

void TfrmRealmDetails::Last1Click()
{
    tblVDDB.last();
    setMoveItems(true, true, false, false);
}

void TfrmRealmDetails::InsertRecord1Click()
{
    tblVDDB.insert();
    PageControl1->setCurrentWidget(tsGeneralInfo);
    SetNewRecordDefaults();
}

void TfrmRealmDetails::DeleteRecord1Click()
{
    if (dbaware::confirm(this, QStringLiteral("Confirm delete of this record")) != dbaware::Answer::Yes) {
        StatusBar1->setText(QStringLiteral("Delete operation canceled"));
        return;
    }
    tblVDDB.remove();
}

void TfrmRealmDetails::SaveChanges1Click()
{
    if (dbaware::isBlank(dedtCharName->text())) {
        dbaware::showMessage(this, QStringLiteral("Character Name must be entered"));
        dedtCharName->setFocus();
        return;
    }
    tblVDDB.post();
    ApplyProvinceFilter();
}

void TfrmRealmDetails::CancelChanges1Click() { tblVDDB.cancel(); }

void TfrmRealmDetails::Help2Click() { app::openHelp(); }

void TfrmRealmDetails::About1Click() { showAboutBox(); }

// ---- Operations that other windows use ---------------------------------------

void TfrmRealmDetails::applyProvinceFilter(const std::string& gameName, const std::string& characterName)
{
    tblProv.setFiltered(false);
    // Built from the raw names, so that any name selects exactly its rows.
    tblProv.setFilter(campaign::recordFilter(gameName, characterName));
    tblProv.setFiltered(true);
}

void TfrmRealmDetails::ApplyProvinceFilter()
{
    applyProvinceFilter(tblVDDB.text(col::GameName), tblVDDB.text(col::CharacterName));
}

void TfrmRealmDetails::SetNewRecordDefaults()
{
    for (const char* field : {col::Warrior, col::Ranger, col::Paladin, col::Mage, col::Priest, col::Thief, col::Bard, col::Psionicist,
                              col::RoyalFacadeSpell})
        tblVDDB.setBool(field, false);
    dbgProvinces->setEnabled(false);
}

void TfrmRealmDetails::DeleteProvincesOfCharacter(const store::Table& character)
{
    applyProvinceFilter(character.text(col::GameName), character.text(col::CharacterName));
    DeleteAllRecords(tblProv);
}

void TfrmRealmDetails::DeleteAllRecords(store::Table& table)
{
    store::ControlsSuspended suspended(table);
    // One transaction: a failure or a kill part way leaves every record.
    store::allOrNothing(table, {&table}, [&table] {
        table.first();
        while (!table.eof())
            table.remove();
    });
}
