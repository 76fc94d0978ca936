#include "realm/vddetails.h"
#include "dbaware/accessible_names.h"
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
#include "campaign/tables.h"
#include "transfer/commands.h"
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
#include <QScopedValueRollback>
#include <QTabBar>
#include <QTabWidget>

#include <algorithm>

namespace col = campaign::col;

namespace {

bool blankField(const store::Table& table, const char* field)
{
    return dbaware::isBlank(QString::fromStdString(table.text(field)));
}

}  // namespace

class TfrmRealmDetails::ProvinceRowCheck final : public dbaware::RecordWriter {
public:
    explicit ProvinceRowCheck(TfrmRealmDetails& window) : window_(window) {}
    void updateRecord() override { window_.tblProvBeforePost(); }

private:
    TfrmRealmDetails& window_;
};

TfrmRealmDetails::TfrmRealmDetails(app::Context& context, campaign::Tables& tables, QWidget* parent)
    : QMainWindow(parent),
      tblVDDB(tables.tblVDDB),
      tblProv(tables.tblProv),
      tblTransfer(tables.tblTransfer),
      tblXfrProv(tables.tblXfrProv),
      dsVDDB(tables.dsVDDB),
      dsProv(tables.dsProv),
      dsTransfer(tables.dsTransfer),
      dsExpProv(tables.dsExpProv),
      Query1(context.session),
      context_(context),
      tables_(tables),
      transfer_(std::make_unique<transfer::Commands>(
          tables, [this](const QString& text) { StatusBar1->setText(text); },
          // Commands given from the browser run while this window is hidden;
          // their boxes go over the window the user is looking at.
          [this]() -> QWidget* { return isVisible() ? this : QApplication::activeWindow(); }))
{
    setAttribute(Qt::WA_QuitOnClose, false);
    setupUi(this);
    finishForm();
    app::scrollPages(*PageControl1);

    // In the form's order, which is also the order in which the boxes write
    // typed text before a post.
    dbaware::bindFields(*this, dsVDDB);
    dbgProvinces->setDataSource(&dsProv);
    dbgProvinces->setColumns({{QString::fromLatin1(col::ProvinceName), QStringLiteral("Province Name"), 156},
                              {QString::fromLatin1(col::ProvinceTerrain), QStringLiteral("Province Terrain"), 164},
                              {QString::fromLatin1(col::FortificationLevel), QStringLiteral("Castle Lvl"), -1}});
    // After the grid's own writer, so that the name being typed counts.
    provinceRowCheck_ = std::make_unique<ProvinceRowCheck>(*this);
    dsProv.addWriter(provinceRowCheck_.get());
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

    app::openRemembered(*this, QStringLiteral("RealmDetails"));
    new app::KeyPreview(*this, [this](QKeyEvent& key) { return FormKeyUp(key); });
    new app::ActivationWatch(*this, [this] { FormActivate(); });
    new app::EscapeCloses(*this, [this] { FormEscape(); });
    app::turnPagesByKeys(*this, *PageControl1);
    dbaware::nameInputs(*this);  // for screen readers, once the form is whole
}

TfrmRealmDetails::~TfrmRealmDetails()
{
    // The shared tables outlive the window: nothing they do then may reach
    // its handlers.
    tblVDDB.beforeDelete = nullptr;
    tblVDDB.afterDelete = nullptr;
    tblVDDB.afterScroll = nullptr;
    tblVDDB.afterCancel = nullptr;
    tblVDDB.afterPost = nullptr;
    tblVDDB.keyChanged = nullptr;
    tblProv.afterInsert = nullptr;
    tblProv.afterPost = nullptr;
    dsProv.removeWriter(provinceRowCheck_.get());
}

void TfrmRealmDetails::useWindows(TfrmProvince& province, TfrmTransfer& transfer)
{
    province_ = &province;
    transfer_->setWindow(transfer);
    // A province added there belongs to the character shown here, by the
    // names as they are shown, saved or not.
    province.characterNames = [this] { return std::pair{dedtGameName->text(), dedtCharName->text()}; };
}

// ---- Window events -------------------------------------------------------

void TfrmRealmDetails::FormCreate() { tables_.open(); }

void TfrmRealmDetails::FormActivate()
{
    activated_ = true;
    // Back from a box over the same character: the list is read again where
    // it stands, and a row being typed stays as it is, neither saved nor left.
    if (tblProv.filtered() &&
        tblProv.filter() == campaign::recordFilter(tblVDDB.text(col::GameName), tblVDDB.text(col::CharacterName))) {
        if (!tblProv.editing())
            tblProv.refresh();
    } else {
        ApplyProvinceFilter();
    }
    dedtGameName->setFocus();
    dbgProvinces->setEnabled(namesFilledIn());
}

void TfrmRealmDetails::FormCloseQuery(bool& canClose)
{
    if (tblVDDB.isEmpty()) {
        canClose = saveOnEscapeAnswered();
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
    if (!saveOnEscapeAnswered()) {
        canClose = false;
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

void TfrmRealmDetails::FormEscape()
{
    const QScopedValueRollback<bool> escaping(escaping_, true);
    close();
}

bool TfrmRealmDetails::saveOnEscapeAnswered()
{
    // A record whose names are both blank is dropped by closing, not saved.
    const bool closingSaves =
        tblProv.editing() || (tblVDDB.editing() && !(dbaware::isBlank(dedtCharName->text()) &&
                                                     dbaware::isBlank(dedtGameName->text())));
    if (!escaping_ || !closingSaves)
        return true;
    switch (dbaware::confirm(this, QStringLiteral("Save changes before closing?"), dbaware::Buttons::YesNoCancel)) {
    case dbaware::Answer::Yes:
        return true;
    case dbaware::Answer::No:
        dbgProvinces->cancelEdit();
        if (tblVDDB.editing())
            tblVDDB.cancel();
        return true;
    default:
        return false;
    }
}

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
    if (activated_)
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

void TfrmRealmDetails::btnAddProvinceClick() { dbgProvinces->appendRecord(); }

void TfrmRealmDetails::dbgProvincesDblClick()
{
    if (tblVDDB.editing())
        tblVDDB.post();
    if (tblProv.editing()) {
        // The row is the one to open: with no name it is refused, even one
        // nothing was typed into.
        openingProvince_ = true;
        const bool ok = dbaware::guarded(this, [this] { tblProv.post(); });
        openingProvince_ = false;
        if (!ok)
            return;  // the list stays on the row (tblProvAfterPost)
    }
    if (tblProv.isEmpty() || !province_)
        return;  // no province to open
    province_->tblProv.gotoCurrent(tblProv);
    showMinimized();
    province_->PageControl1->setCurrentWidget(province_->tsGeneral);
    ApplyProvinceFilter();
    // Showing the province window brings it, and with it the program, to the front.
    app::showModal(*province_);
    showNormal();
    activateWindow();  // restored, it takes the keys again, whatever the window system does
    tblProv.refresh();
}

void TfrmRealmDetails::PageControl1Change() { StatusBar1->setText({}); }

// ---- Table and data source events ------------------------------------------

void TfrmRealmDetails::tblVDDBAfterCancel(store::Table&) { ApplyProvinceFilter(); }

void TfrmRealmDetails::tblVDDBBeforeDelete(store::Table& table) { tables_.DeleteProvincesOfCharacter(table); }

void TfrmRealmDetails::tblVDDBAfterDelete(store::Table& table)
{
    if (table.isEmpty())
        close();
}

void TfrmRealmDetails::tblVDDBAfterScroll(store::Table&)
{
    if (activated_)
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
    if (activated_ && tblProv.filter() != campaign::recordFilter(table.text(col::GameName), table.text(col::CharacterName)))
        ApplyProvinceFilter();
}

void TfrmRealmDetails::tblProvAfterInsert(store::Table& table)
{
    // The names as shown, even when they are not saved yet.
    table.setText(col::GameName, dedtGameName->text().toStdString());
    table.setText(col::CharacterName, dedtCharName->text().toStdString());
    dbgProvinces->setFocus();
}

void TfrmRealmDetails::tblProvBeforePost()
{
    if (!tblProv.editing() || !tblProv.modified() || !blankField(tblProv, col::ProvinceName))
        return;
    if (!openingProvince_ && dbgProvinces->gridModel()->insertUntouched()) {
        tblProv.cancel();  // only the names given by tblProvAfterInsert
        return;
    }
    refuseProvinceRow();
    throw dbaware::Refused();
}

void TfrmRealmDetails::refuseProvinceRow()
{
    dbaware::showMessage(this, QStringLiteral("Province Name Must Be Entered"));
    // Once the grid is done with the move it refused.
    QMetaObject::invokeMethod(this, &TfrmRealmDetails::focusProvinceName, Qt::QueuedConnection);
}

void TfrmRealmDetails::focusProvinceName()
{
    const int row = dbgProvinces->gridModel()->currentRow();
    if (row < 0 || !tblProv.editing())
        return;
    PageControl1->setCurrentWidget(tsProvinces);
    dbgProvinces->setFocus(Qt::OtherFocusReason);
    dbgProvinces->setCurrentIndex(dbgProvinces->model()->index(row, 0));
}

void TfrmRealmDetails::tblProvAfterPost(store::Table& table)
{
    dbgProvinces->setEnabled(true);
    // Re-filtering stands the list on its first row; the user goes on from
    // the row just saved.
    postedProvince_ = table.bookmark();
    const std::string rowFilter = campaign::recordFilter(table.text(col::GameName), table.text(col::CharacterName));
    ApplyProvinceFilter();
    if (tblProv.filter() == rowFilter)
        tblProv.gotoBookmark(postedProvince_);
}

void TfrmRealmDetails::dsVDDBStateChange()
{
    const bool editing = dsVDDB.state() == store::State::Edit || dsVDDB.state() == store::State::Insert;
    SaveChanges1->setEnabled(editing);
    CancelChanges1->setEnabled(editing);
    DeleteRecord1->setEnabled(!editing);
    InsertRecord1->setEnabled(!editing);
    SaveToFile1->setEnabled(!editing);
    SaveAsPDF1->setEnabled(!editing);
    Print1->setEnabled(!editing);
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
    if (refuseNamelessNewRecord())
        return;
    tblVDDB.first();
    setMoveItems(false, false, true, true);
}

void TfrmRealmDetails::Previous1Click()
{
    if (refuseNamelessNewRecord())
        return;
    tblVDDB.prior();
    const bool atStart = tblVDDB.bof();
    setMoveItems(!atStart, !atStart, true, true);
}

void TfrmRealmDetails::Next1Click()
{
    if (refuseNamelessNewRecord())
        return;
    tblVDDB.next();
    const bool atEnd = tblVDDB.eof();
    setMoveItems(true, true, !atEnd, !atEnd);
}

void TfrmRealmDetails::Last1Click()
{
    if (refuseNamelessNewRecord())
        return;
    tblVDDB.last();
    setMoveItems(true, true, false, false);
}

bool TfrmRealmDetails::refuseNamelessNewRecord()
{
    // The class flags' defaults count as changes, so a move would post it.
    if (tblVDDB.state() != store::State::Insert || !dbaware::isBlank(dedtCharName->text()) ||
        !dbaware::isBlank(dedtGameName->text()))
        return false;
    dbaware::showMessage(this, QStringLiteral("Character Name Must Be Entered"));
    dedtCharName->setFocus();
    return true;
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

void TfrmRealmDetails::ApplyProvinceFilter()
{
    // A pending province row is saved first, as re-filtering would save it;
    // saved so, the list stays on it (tblProvAfterPost) rather than on its
    // first row.
    if (tblProv.editing()) {
        postedProvince_ = {};
        tblProv.checkBrowseMode();
        if (postedProvince_.valid)
            return;  // re-filtered by tblProvAfterPost
    }
    tables_.applyProvinceFilter();
}

void TfrmRealmDetails::SetNewRecordDefaults()
{
    for (const char* field : {col::Warrior, col::Ranger, col::Paladin, col::Mage, col::Priest, col::Thief, col::Bard, col::Psionicist,
                              col::RoyalFacadeSpell})
        tblVDDB.setBool(field, false);
    dbgProvinces->setEnabled(false);
}

// ---- Transfer commands ---------------------------------------------------------

void TfrmRealmDetails::ImportCurrentCharacter1Click() { transfer_->importCharacters(); }

void TfrmRealmDetails::ExportCurrentCharacter1Click() { transfer_->exportCurrentCharacter(); }

void TfrmRealmDetails::ViewContentsofTransferTable1Click() { transfer_->view(); }

void TfrmRealmDetails::Delete1Click() { transfer_->empty(); }

void TfrmRealmDetails::SaveTransferFileAs1Click() { transfer_->saveTransferFileAs(); }

void TfrmRealmDetails::OpenTransferFile1Click() { transfer_->openTransferFile(); }
