#include "browser/vdsearch.h"
#include "dbaware/accessible_names.h"
#include "dbaware/text.h"

#include "app/about.h"
#include "app/context.h"
#include "app/help.h"
#include "app/modal.h"
#include "app/shell.h"
#include "app/splash.h"
#include "app/alias_check.h"
#include "app/bring_in.h"
#include "app/platform.h"
#include "campaign/catalogue.h"
#include "campaign/columns.h"
#include "campaign/csv.h"
#include "campaign/tables.h"
#include "dbaware/dbgrid.h"
#include "dbaware/guard.h"
#include "realm/record_sheet.h"
#include "realm/vddetails.h"
#include "sheet/sheet_print.h"
#include "app/platform.h"
#include "app/written_file.h"
#include "store/backup.h"
#include "store/carry.h"
#include "store/durable.h"
#include "store/error.h"
#include "store/filter.h"
#include "store/import_record.h"
#include "store/paths.h"
#include "transfer/commands.h"
#include "transfer/transfer.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <system_error>

namespace col = campaign::col;

namespace {

// What the list says while the database holds no character yet.
const QString howToBegin = QStringLiteral(
    "No characters yet. Press Insert on Detail Form (Alt+D) to add the first, or bring in an old data folder "
    "with File > Bring In Old Tables...");

}  // namespace

TfrmVDDBSearch::TfrmVDDBSearch(app::Context& context, campaign::Tables& tables, QWidget* parent)
    : QMainWindow(parent),
      tblVDDB(context.session),
      dsVDDB(tblVDDB, this),
      context_(context),
      tables_(tables),
      requestFile_(context.requestFile)
{
    setupUi(this);
    dsVDDB.setAutoEdit(false);

    DBGrid1->setDataSource(&dsVDDB);
    DBGrid1->setReadOnly(true);
    DBGrid1->setColumns({{QString::fromLatin1(col::GameName), QStringLiteral("Game Name"), 160},
                         {QString::fromLatin1(col::CharacterName), QStringLiteral("Character Name"), 160},
                         {QString::fromLatin1(col::TotalProvinces), QStringLiteral("Prov's"), 50},
                         {QString::fromLatin1(col::DomainName), QStringLiteral("Domain Name"), 200}});
    DBGrid1->setAccessibleName(QStringLiteral("Characters"));
    DBGrid1->setEmptyText(howToBegin);

    auto on = [this](auto* sender, auto signal, void (TfrmVDDBSearch::*handler)()) {
        connect(sender, signal, this, [this, handler] { dbaware::guarded(this, [this, handler] { (this->*handler)(); }); });
    };
    on(btnName, &QPushButton::clicked, &TfrmVDDBSearch::btnNameClick);
    on(btnGame, &QPushButton::clicked, &TfrmVDDBSearch::btnGameClick);
    on(btnShowAll, &QPushButton::clicked, &TfrmVDDBSearch::btnShowAllClick);
    on(DBGrid1, &dbaware::DBGrid::dblClick, &TfrmVDDBSearch::DBGrid1DblClick);
    // Enter on a row opens it as a double click does.
    on(DBGrid1, &dbaware::DBGrid::enterPressed, &TfrmVDDBSearch::DBGrid1DblClick);
    on(Button4, &QPushButton::clicked, &TfrmVDDBSearch::Button4Click);
    on(btnDelete, &QPushButton::clicked, &TfrmVDDBSearch::btnDeleteClick);
    on(btnExit, &QPushButton::clicked, &TfrmVDDBSearch::btnExitClick);
    on(ExportGameAsPDF1, &QAction::triggered, &TfrmVDDBSearch::ExportGameAsPDF1Click);
    on(ExportGameAsCSV1, &QAction::triggered, &TfrmVDDBSearch::ExportGameAsCSV1Click);
    on(Exit1, &QAction::triggered, &TfrmVDDBSearch::Exit1Click);
    on(BringInOldTables1, &QAction::triggered, &TfrmVDDBSearch::BringInOldTables1Click);
    on(ImportCharacters1, &QAction::triggered, &TfrmVDDBSearch::ImportCharacters1Click);
    on(ViewTransferTableContents1, &QAction::triggered, &TfrmVDDBSearch::ViewTransferTableContents1Click);
    on(EmptyTransferTable1, &QAction::triggered, &TfrmVDDBSearch::EmptyTransferTable1Click);
    on(SaveTransferFileAs1, &QAction::triggered, &TfrmVDDBSearch::SaveTransferFileAs1Click);
    on(OpenTransferFile1, &QAction::triggered, &TfrmVDDBSearch::OpenTransferFile1Click);
    on(RestoreBackup1, &QAction::triggered, &TfrmVDDBSearch::RestoreBackup1Click);
    on(TakeBackLastImport1, &QAction::triggered, &TfrmVDDBSearch::TakeBackLastImport1Click);
    on(Help2, &QAction::triggered, &TfrmVDDBSearch::Help2Click);
    on(About1, &QAction::triggered, &TfrmVDDBSearch::About1Click);
    tblVDDB.beforeDelete = [this](store::Table& t) { tblVDDBBeforeDelete(t); };
    // The grid shows imported characters at once, whichever window imported.
    connect(&tables_, &campaign::Tables::charactersImported, this,
            [this] { dbaware::guarded(this, [this] { tblVDDB.refresh(); }); });

    app::openRemembered(*this, QStringLiteral("Browser"));
    new app::KeyPreview(*this, [this](QKeyEvent& key) { return FormKeyUp(key); });
    new app::ActivationWatch(*this, [this] { FormActivate(); });
    dbaware::nameInputs(*this);  // for screen readers, once the form is whole
}

void TfrmVDDBSearch::useWindows(TfrmRealmDetails& realm, TfrmTransfer& transfer)
{
    realm_ = &realm;
    transfer_ = &transfer;
}

void TfrmVDDBSearch::FormCreate()
{
    if (!app::checkAlias(context_))
        return;  // the program is ending
    // Old Paradox tables come in before any table opens its file.
    app::bringInAtFirstOpen(context_, this);
    tblVDDB.open(campaign::alias, campaign::table::characters);
}

void TfrmVDDBSearch::FormActivate()
{
    if (frmSplash)
        frmSplash->close();
    edtSearch->setFocus();
    if (context_.requestFile.empty())
        return;
    RequestFile::Taken taken = requestFile_.take();
    if (!taken.error.empty())
        dbaware::showError(this, QString::fromStdString(taken.error));
    if (!taken.request)
        return;
    if (tblVDDB.findKey({taken.request->gameName, taken.request->characterName}))
        DBGrid1DblClick();
    else
        tblVDDB.first();
}

bool TfrmVDDBSearch::FormKeyUp(QKeyEvent& key) { return app::helpOnF1(key); }

void TfrmVDDBSearch::search(const char* column)
{
    const QString text = edtSearch->text();
    if (dbaware::isBlank(text)) {
        tblVDDB.setFiltered(false);
        DBGrid1->setEmptyText(howToBegin);
        return;
    }
    DBGrid1->setEmptyText({});  // a search that finds nothing is no first start
    tblVDDB.setFiltered(true);
    // The text as typed, blanks and quotes included; the helper quotes it.
    tblVDDB.setFilter(store::prefixFilter(column, text.toStdString()));
}

void TfrmVDDBSearch::btnNameClick() { search(col::CharacterName); }

void TfrmVDDBSearch::btnGameClick() { search(col::GameName); }

void TfrmVDDBSearch::btnShowAllClick()
{
    tblVDDB.setFiltered(false);
    tblVDDB.setFilter({});
    DBGrid1->setEmptyText(howToBegin);
    edtSearch->clear();
    edtSearch->setFocus();
}

void TfrmVDDBSearch::DBGrid1DblClick()
{
    tables_.tblVDDB.gotoCurrent(tblVDDB);
    showRealmWindow();
}

void TfrmVDDBSearch::Button4Click()
{
    tables_.tblVDDB.insert();
    if (realm_)
        realm_->SetNewRecordDefaults();
    showRealmWindow();
}

void TfrmVDDBSearch::showRealmWindow()
{
    if (!realm_)
        return;
    showMinimized();
    realm_->PageControl1->setCurrentWidget(realm_->tsGeneralInfo);
    app::showModal(*realm_);
    showNormal();
    activateWindow();  // restored, it takes the keys again, whatever the window system does
    tblVDDB.refresh();
}

void TfrmVDDBSearch::btnDeleteClick()
{
    if (dbaware::confirm(this, QStringLiteral("Confirm delete of this record")) != dbaware::Answer::Yes) {
        dbaware::showMessage(this, QStringLiteral("Delete operation canceled"));
        return;
    }
    store::ControlsSuspended suspended(tblVDDB);
    tblVDDB.refresh();
    tblVDDB.remove();
}

void TfrmVDDBSearch::tblVDDBBeforeDelete(store::Table& table) { tables_.DeleteProvincesOfCharacter(table); }

void TfrmVDDBSearch::btnExitClick() { close(); }

void TfrmVDDBSearch::ExportGameAsPDF1Click()
{
    if (tblVDDB.isEmpty()) {
        dbaware::showMessage(this, QStringLiteral("There is no game to export."));
        return;
    }
    const QString game = QString::fromStdString(tblVDDB.text(col::GameName));
    dbaware::SaveRequest request =
        sheet::pdfSaveRequest(app::platform::toQString(sheet::prepareSaveFolder(app::saveFolderParent(context_))), game);
    request.title = QStringLiteral("Export Game As PDF");
    const std::optional<QString> file = dbaware::dialogs().saveFileName(this, request);
    if (!file)
        return;
    // Every character of the game, whatever the search shows; the figures
    // are worked out from each record, no window is shown.
    sheet::writePdf(*file, realm::gameSheets(context_.session, game));
}

void TfrmVDDBSearch::ExportGameAsCSV1Click()
{
    if (!tblVDDB.hasCurrentRecord()) {
        dbaware::showMessage(this, QStringLiteral("There is no game to export."));
        return;
    }
    const std::string game = tblVDDB.text(col::GameName);
    if (exportFolder_.isEmpty())
        exportFolder_ = QDir::homePath();
    const std::optional<QString> folder =
        dbaware::dialogs().folderName(this, QStringLiteral("Export Game as CSV"), exportFolder_);
    if (!folder)
        return;
    exportFolder_ = *folder;

    // Both files are read before either is written, so they show the game
    // at one moment.
    const campaign::csv::Document characters =
        campaign::csv::gameRows(context_.session, campaign::table::characters, game);
    const campaign::csv::Document provinces =
        campaign::csv::gameRows(context_.session, campaign::table::provinces, game);
    const QDir dir(*folder);
    const QString charactersFile = dir.filePath(QStringLiteral("characters.csv"));
    const QString provincesFile = dir.filePath(QStringLiteral("provinces.csv"));

    QStringList existing;
    for (const QString& f : {charactersFile, provincesFile})
        if (QFileInfo::exists(f))
            existing << QFileInfo(f).fileName();
    if (!existing.isEmpty()) {
        const QString question = QStringLiteral("%1 already holds %2. Replace %3?")
                                     .arg(QDir::toNativeSeparators(*folder), existing.join(QStringLiteral(" and ")),
                                          existing.size() == 1 ? QStringLiteral("it") : QStringLiteral("them"));
        if (dbaware::confirm(this, question, dbaware::Buttons::YesNoDefaultNo) != dbaware::Answer::Yes)
            return;
    }
    // Both files are written whole and checked beside their targets before
    // either takes its place: a full disk replaces neither.
    QSaveFile first(charactersFile), second(provincesFile);
    auto failed = [](const QString& refused, const QString& outcome) {
        return std::runtime_error((refused + QStringLiteral(". ") + outcome).toStdString());
    };
    const QString neither = QStringLiteral("Neither file was replaced");
    for (auto [file, bytes] : {std::pair{&first, &characters.bytes}, std::pair{&second, &provinces.bytes}})
        if (const QString refused = app::writeAside(*file, *bytes); !refused.isEmpty())
            throw failed(refused, neither);
    // Only a rename can fail now. The old characters.csv stays reachable
    // under a second name (a hard link, which takes no room) until
    // provinces.csv is in place, so that it can come back.
    const std::filesystem::path target = app::platform::toPath(charactersFile);
    std::filesystem::path kept = target;
    kept += ".previous";
    std::error_code ec;
    const bool keeping = std::filesystem::is_regular_file(target, ec) && !std::filesystem::exists(kept, ec) &&
                         (std::filesystem::create_hard_link(target, kept, ec), !ec);
    auto dropKept = [&] {
        if (keeping)
            std::filesystem::remove(kept, ec);
    };
    if (const QString refused = app::putInPlace(first); !refused.isEmpty()) {
        dropKept();
        throw failed(refused, neither);
    }
    if (const QString refused = app::putInPlace(second); !refused.isEmpty()) {
        // Where the old file cannot come back it stays under its second name.
        if (!keeping || !store::renameDurably(kept, target, ec))
            throw failed(refused, QStringLiteral("characters.csv was written, provinces.csv was not"));
        throw failed(refused, neither);
    }
    dropKept();

    auto count = [](int n, const char* one, const char* many) {
        return QStringLiteral("%1 %2").arg(n).arg(QString::fromLatin1(n == 1 ? one : many));
    };
    dbaware::showMessage(this, QStringLiteral("Exported %1 and %2 of the game \"%3\" to %4.")
                                   .arg(count(characters.rows, "character", "characters"),
                                        count(provinces.rows, "province", "provinces"), QString::fromStdString(game),
                                        QDir::toNativeSeparators(*folder)));
}

void TfrmVDDBSearch::Exit1Click() { close(); }

void TfrmVDDBSearch::BringInOldTables1Click()
{
    const std::optional<QString> folder =
        dbaware::dialogs().folderName(this, QStringLiteral("Bring In Old Tables"), QString());
    if (!folder)
        return;
    // Editing ends first, so that a rollback never takes a saved change.
    for (store::Table* t : {&tblVDDB, &tables_.tblVDDB, &tables_.tblProv, &tables_.tblTransfer, &tables_.tblXfrProv})
        if (t->isOpen())
            t->checkBrowseMode();
    const bool brought = app::bringInOldTables(context_, this, app::platform::toPath(*folder));
    for (store::Table* t : {&tables_.tblVDDB, &tables_.tblTransfer, &tables_.tblXfrProv})
        if (t->isOpen())
            t->refresh();
    if (brought) {
        emit tables_.charactersImported();
        tables_.applyProvinceFilter();
    }
    if (tblVDDB.isOpen())
        tblVDDB.refresh();
}

void TfrmVDDBSearch::ImportCharacters1Click()
{
    if (realm_)
        realm_->ImportCurrentCharacter1Click();
}

void TfrmVDDBSearch::ViewTransferTableContents1Click()
{
    tables_.tblTransfer.refresh();
    if (transfer_)
        app::showModal(*transfer_);
}

void TfrmVDDBSearch::EmptyTransferTable1Click()
{
    if (realm_)
        realm_->Delete1Click();
}

void TfrmVDDBSearch::SaveTransferFileAs1Click()
{
    if (realm_)
        realm_->SaveTransferFileAs1Click();
}

void TfrmVDDBSearch::OpenTransferFile1Click()
{
    if (realm_)
        realm_->OpenTransferFile1Click();
}

void TfrmVDDBSearch::RestoreBackup1Click()
{
    store::Database& db = tables_.tblVDDB.database();
    const std::vector<store::BackupSummary> backups = store::listBackups(db);
    const QString title = QStringLiteral("Restore Backup");
    if (backups.empty()) {
        dbaware::showMessage(this, QStringLiteral("There is no backup in %1.")
                                       .arg(app::platform::toQString(db.folder() / store::backupFolderName)));
        return;
    }
    QStringList items;
    for (const store::BackupSummary& backup : backups) {
        const QDateTime written = QFileInfo(app::platform::toQString(backup.file)).lastModified();
        const QString counts = backup.rows.size() == 2 ? transfer::charactersAndProvinces(backup.rows[0], backup.rows[1])
                                                       : QStringLiteral("cannot be read");
        items << QStringLiteral("%1   %2   %3")
                     .arg(written.toString(QStringLiteral("yyyy-MM-dd HH:mm")),
                          app::platform::toQString(backup.file.filename()), counts);
    }
    const std::optional<int> row =
        dbaware::dialogs().chooseItem(this, title, QStringLiteral("The backup to restore:"), items);
    if (!row || *row < 0 || *row >= static_cast<int>(backups.size()))
        return;
    const store::BackupSummary& chosen = backups[static_cast<std::size_t>(*row)];
    if (!chosen.damage.empty())
        throw store::StoreError("Cannot restore " + store::utf8(chosen.file) + ": " + chosen.damage);
    const QString name = app::platform::toQString(chosen.file.filename());
    if (dbaware::dialogs().ask(this, title,
                               QStringLiteral("Replace every character and province with those of the backup %1 "
                                              "(%2)?\r\rThe campaign as it is now is kept in a file of its own.")
                                   .arg(name, transfer::charactersAndProvinces(chosen.rows[0], chosen.rows[1])),
                               dbaware::Icon::Question, dbaware::Buttons::YesNoDefaultNo) != dbaware::Answer::Yes)
        return;
    // Editing ends first, so that a rollback never takes a saved change.
    for (store::Table* t : {&tblVDDB, &tables_.tblVDDB, &tables_.tblProv})
        if (t->isOpen())
            t->checkBrowseMode();
    const std::filesystem::path kept = store::restoreBackup(db, chosen.file);
    for (store::Table* t : {&tblVDDB, &tables_.tblVDDB})
        if (t->isOpen())
            t->refresh();
    emit tables_.charactersImported();
    tables_.applyProvinceFilter();
    dbaware::showMessage(this, QStringLiteral("Restored the backup %1: %2. The campaign as it was is kept as %3.")
                                   .arg(name, transfer::charactersAndProvinces(chosen.rows[0], chosen.rows[1]),
                                        app::platform::toQString(kept)));
}

void TfrmVDDBSearch::TakeBackLastImport1Click()
{
    store::Database& db = tables_.tblVDDB.database();
    using campaign::findLayout;
    const std::vector<store::ImportPair> pairs = {
        {*findLayout(campaign::table::transferCharacters), *findLayout(campaign::table::characters)},
        {*findLayout(campaign::table::transferProvinces), *findLayout(campaign::table::provinces)}};
    const QString title = QStringLiteral("Take Back Last Import");
    // Editing ends first: the comparison sees what is stored, and a rollback
    // never takes a saved change.
    for (store::Table* t : {&tblVDDB, &tables_.tblVDDB, &tables_.tblProv})
        if (t->isOpen())
            t->checkBrowseMode();
    const std::optional<store::ImportRecord> record = store::lastImport(db, pairs);
    if (!record) {
        dbaware::showMessage(this, QStringLiteral("There is no import to take back in %1.")
                                       .arg(app::platform::toQString(db.folder() / store::backupFolderName)));
        return;
    }
    const QString when = QString::fromStdString(record->when);
    if (dbaware::dialogs().ask(this, title,
                               QStringLiteral("Take back the import of %1 (%2)?\r\rIts characters are deleted "
                                              "with their provinces; what is deleted is kept in a file of its own.")
                                   .arg(when, transfer::charactersAndProvinces(record->rows.at(0), record->rows.at(1))),
                               dbaware::Icon::Question, dbaware::Buttons::YesNoDefaultNo) != dbaware::Answer::Yes)
        return;
    // A character edited since the import holds work of the user's.
    std::vector<std::vector<std::string>> keep = store::changedSinceImport(db, *record, pairs);
    if (!keep.empty()) {
        QStringList names;
        for (const std::vector<std::string>& key : keep)
            if (names.size() < 20)
                names << QStringLiteral("the character \"%1\" of the game \"%2\"")
                             .arg(QString::fromStdString(key.at(1)), QString::fromStdString(key.at(0)));
        if (keep.size() > 20)
            names << QStringLiteral("and %1 more").arg(keep.size() - 20);
        switch (dbaware::dialogs().ask(this, title,
                                       QStringLiteral("Changed since the import:\r%1\r\rTake these back as well?\r\r"
                                                      "Yes = Take them back, No = Keep them, Cancel = Take back nothing")
                                           .arg(names.join(QStringLiteral("\r"))),
                                       dbaware::Icon::Question, dbaware::Buttons::YesNoCancel)) {
        case dbaware::Answer::Yes:
            keep.clear();
            break;
        case dbaware::Answer::No:
            break;
        default:
            return;
        }
    }
    // The windows show what is stored however the take-back ends: a failure
    // after its commit has still deleted the characters.
    auto refresh = [this] {
        for (store::Table* t : {&tblVDDB, &tables_.tblVDDB})
            if (t->isOpen())
                t->refresh();
        emit tables_.charactersImported();
        tables_.applyProvinceFilter();
    };
    const store::TakenBack taken =
        dbaware::thenAlways([&] { return store::takeBackImport(db, *record, pairs, keep); }, refresh);
    dbaware::showMessage(this, QStringLiteral("Took back the import of %1: %2 deleted. They are kept as %3, "
                                              "which Transfer > Open Transfer File... can open.")
                                   .arg(when, transfer::charactersAndProvinces(taken.deleted.at(0), taken.deleted.at(1)),
                                        app::platform::toQString(taken.kept)));
}

void TfrmVDDBSearch::Help2Click() { app::openHelp(); }

void TfrmVDDBSearch::About1Click() { showAboutBox(); }

void TfrmVDDBSearch::closeEvent(QCloseEvent* event)
{
    QMainWindow::closeEvent(event);
    if (event->isAccepted())
        QCoreApplication::quit();
}
