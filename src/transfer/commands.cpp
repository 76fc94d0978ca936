#include "transfer/commands.h"

#include "app/backup_first.h"
#include "app/modal.h"
#include "app/platform.h"
#include "campaign/catalogue.h"
#include "campaign/columns.h"
#include "campaign/tables.h"
#include "dbaware/dialogs.h"
#include "dbaware/guard.h"
#include "store/all_or_nothing.h"
#include "store/backup.h"
#include "store/carry.h"
#include "store/database.h"
#include "store/error.h"
#include "store/import_record.h"
#include "store/paths.h"
#include "store/value_check.h"
#include "transfer/transfer.h"

#include <QApplication>

#include <filesystem>
#include <optional>
#include <stdexcept>

namespace col = campaign::col;

namespace {

// Line breaks of the program's boxes are single carriage returns.
const QString exportQuestion = QStringLiteral(
    "Overwrite contents of transfer Table ?\r\r"
    "Yes = Overwrite, No = Append\r"
    "Cancel = Cancel the Export");

// `existing` names the character that made a key violation, on a line of
// its own after the store's message; empty when unknown.
QString importErrorText(const QString& storeMessage, const QString& existing)
{
    return QStringLiteral("An error occurred during the Import Operation.\r\r"
                          "The Database Engine returned the following error:\r\r") +
           storeMessage + (existing.isEmpty() ? QString() : QStringLiteral("\r") + existing) +
           QStringLiteral("\r\r"
                          "This could be the result of importing a record into the \r"
                          "database that already exists.  Please correct the error \r"
                          "and try again\r\r"
                          "The import operation was not "
                          "successful.");
}

}  // namespace

namespace transfer {

QString charactersAndProvinces(std::int64_t characters, std::int64_t provinces)
{
    auto counted = [](std::int64_t n, const char* one, const char* many) {
        return QStringLiteral("%1 %2").arg(n).arg(QString::fromLatin1(n == 1 ? one : many));
    };
    return counted(characters, "character", "characters") + QStringLiteral(" and ") +
           counted(provinces, "province", "provinces");
}

Commands::Commands(campaign::Tables& tables, Status status, std::function<QWidget*()> boxParent)
    : tables_(tables), status_(std::move(status)), boxParent_(std::move(boxParent))
{
}

void Commands::exportCurrentCharacter()
{
    store::Table& tblVDDB = tables_.tblVDDB;
    // A pending change is saved (an untouched new record dropped) before the
    // names are read, so that the filter finds the record as stored.
    tblVDDB.checkBrowseMode();
    if (!tblVDDB.hasCurrentRecord())
        throw store::StoreError(store::msg::emptyDataset, store::StoreError::Code::EmptyDataset);
    tblVDDB.setFilter(campaign::recordFilter(tblVDDB.text(col::GameName), tblVDDB.text(col::CharacterName)));
    tblVDDB.setFiltered(true);
    store::ControlsSuspended suspended(tblVDDB);
    const store::Bookmark shown = tblVDDB.bookmark();
    // The character table is unfiltered and back on the shown record however
    // the export ends.
    auto restore = [&] {
        tblVDDB.setFiltered(false);
        tblVDDB.gotoBookmark(shown);
    };
    dbaware::thenAlways(
        [&] {
            switch (dbaware::confirm(boxParent_(), exportQuestion, dbaware::Buttons::YesNoCancel)) {
            case dbaware::Answer::Yes:
                // Emptied and filled together: a failed copy leaves the transfer
                // tables as they were.
                store::allOrNothing(tblVDDB, {&tables_.tblTransfer, &tables_.tblXfrProv}, [this] {
                    tables_.EmptyTransferTables();
                    tables_.CopyCurrentCharacter();
                });
                status_(QStringLiteral("Export/Overwrite Complete"));
                break;
            case dbaware::Answer::No:
                store::allOrNothing(tblVDDB, {&tables_.tblTransfer, &tables_.tblXfrProv},
                                    [this] { tables_.CopyCurrentCharacter(); });
                status_(QStringLiteral("Export/Append Complete"));
                break;
            default:
                status_(QStringLiteral("Export Canceled"));
                break;
            }
        },
        restore);
}

void Commands::importCharacters()
{
    store::Table& tblVDDB = tables_.tblVDDB;
    store::Table& tblProv = tables_.tblProv;
    store::Table& tblTransfer = tables_.tblTransfer;
    store::Table& tblXfrProv = tables_.tblXfrProv;
    QString failure;
    bool failed = false;
    bool cancelled = false;
    QString existing;  // the character already in the database, on a key violation
    // What the import adds, kept once it is stored so that it can be taken back.
    std::optional<store::ImportRecordDraft> record;
    {
        store::ControlsSuspended a(tblVDDB), b(tblProv), c(tblTransfer), d(tblXfrProv);
        store::Bookmark shown;
        // Thousands of characters take a while: the user sees how far the
        // import has got and may stop it, which takes all of it back.
        const std::unique_ptr<dbaware::Progress> progress =
            dbaware::dialogs().progress(boxParent_(), QStringLiteral("Import Characters"));
        app::StopCheck stop{*progress};
        auto keepGoing = [&stop] { return stop(); };
        try {
            // Editing ends outside the transaction, so that a rollback never
            // takes a change the user saved with it.
            for (store::Table* t : {&tblVDDB, &tblProv, &tblTransfer, &tblXfrProv})
                t->checkBrowseMode();
            shown = tblVDDB.bookmark();
            // A value the tables cannot hold refuses the whole import before
            // anything is written. A million rows take seconds: the progress
            // window shows and Cancel is heard meanwhile.
            progress->stage(0, 5, QStringLiteral("Checking the transfer tables"));
            store::checkValues({&tblTransfer, &tblXfrProv}, keepGoing);
            // What the import adds, as a file of its own: its size is the
            // import's, not the campaign's. Without it, the user decides
            // whether to go on.
            progress->stage(1, 5, QStringLiteral("Keeping a record of the import"));
            store::Database& db = tblVDDB.database();
            cancelled = !app::backupFirst(db, stop, boxParent_(), QStringLiteral("Cannot make a backup before importing: "),
                                          QStringLiteral("Import without a backup?"), [&] {
                                              record = store::ImportRecordDraft::write(db, campaign::transferFile);
                                          });
            // Both copies and the emptying in one transaction across the two
            // files: a character arrives whole with its provinces and leaves
            // the transfer tables, or nothing changes and a retry can succeed.
            if (!cancelled)
                store::allOrNothing(tblVDDB, {&tblVDDB, &tblProv, &tblTransfer, &tblXfrProv}, [&] {
                    store::Database::Watch watch(tblVDDB.database(), keepGoing);
                    progress->stage(2, 5, QStringLiteral("Copying the characters"));
                    tblVDDB.appendFrom(tblTransfer);
                    progress->stage(3, 5, QStringLiteral("Copying the provinces"));
                    tblProv.appendFrom(tblXfrProv);
                    progress->stage(4, 5, QStringLiteral("Emptying the transfer tables"));
                    tables_.EmptyTransferTables();
                    // Emptying whole tables is too quick to be watched: a
                    // stop asked for meanwhile still takes the import back.
                    if (!keepGoing())
                        throw std::runtime_error("stopped");
                });
        } catch (const std::exception& e) {
            cancelled = stop.stopped;
            failed = !stop.stopped;
            failure = QString::fromUtf8(e.what());
            const auto* storeError = dynamic_cast<const store::StoreError*>(&e);
            if (failed && storeError && storeError->code() == store::StoreError::Code::KeyViolation)
                existing = characterAlreadyThere();
            // Nothing was imported: the window goes on showing what it showed.
            try {
                if (shown.valid)
                    tblVDDB.gotoBookmark(shown);
                else if (tblVDDB.isOpen())
                    tblVDDB.refresh();
            } catch (...) {
            }
        }
    }
    if (cancelled) {
        status_(QStringLiteral("Import Canceled"));
        return;
    }
    if (failed) {
        status_(QStringLiteral("Error in Import"));
        dbaware::dialogs().ask(boxParent_(), QStringLiteral("Error"), importErrorText(failure, existing),
                               dbaware::Icon::Error, dbaware::Buttons::Ok);
        return;
    }
    // The import is stored: a read that fails now must not tell the user
    // otherwise, or a second import would be tried on an empty transfer area.
    status_(QStringLiteral("Import Complete"));
    try {
        if (record)
            record->keep();
    } catch (const std::exception& e) {
        dbaware::dialogs().ask(boxParent_(), QStringLiteral("Error"),
                               QStringLiteral("The characters are imported, but the record that File > "
                                              "\"Take Back Last Import...\" needs cannot be kept: %1")
                                   .arg(QString::fromUtf8(e.what())),
                               dbaware::Icon::Error, dbaware::Buttons::Ok);
    }
    try {
        tblVDDB.refresh();
        tblTransfer.refresh();
        emit tables_.charactersImported();
        tables_.applyProvinceFilter();
    } catch (const std::exception& e) {
        dbaware::dialogs().ask(boxParent_(), QStringLiteral("Error"),
                               QStringLiteral("The characters are imported, but they cannot be shown now: %1")
                                   .arg(QString::fromUtf8(e.what())),
                               dbaware::Icon::Error, dbaware::Buttons::Ok);
    }
}

QString Commands::characterAlreadyThere()
{
    store::Table& tblTransfer = tables_.tblTransfer;
    try {
        for (tblTransfer.first(); !tblTransfer.eof(); tblTransfer.next()) {
            const std::string game = tblTransfer.text(col::GameName), name = tblTransfer.text(col::CharacterName);
            if (tables_.tblVDDB.findKey({game, name})) {
                tblTransfer.first();
                return QStringLiteral("Already in the database: the character \"%1\" of the game \"%2\".")
                    .arg(QString::fromStdString(name), QString::fromStdString(game));
            }
        }
        tblTransfer.first();
    } catch (const std::exception&) {
        // The import's own error is told all the same.
    }
    return {};
}

void Commands::view()
{
    // Records that an export has just added show too.
    tables_.tblTransfer.refresh();
    if (window_)
        app::showModal(*window_);
}

void Commands::empty()
{
    if (dbaware::confirm(boxParent_(), QStringLiteral("Delete all Transfer Table records ?")) !=
        dbaware::Answer::Yes) {
        status_(QStringLiteral("Empty operation canceled"));
        return;
    }
    tables_.EmptyTransferTables();
    status_(QStringLiteral("Transfer Table Contents Deleted."));
}

namespace {

const QStringList transferFilters = {QStringLiteral("Transfer Files (*.sqlite)"), QStringLiteral("All Files (*)")};

}  // namespace

void Commands::saveTransferFileAs()
{
    store::Table& tblTransfer = tables_.tblTransfer;
    store::Table& tblXfrProv = tables_.tblXfrProv;
    tblTransfer.checkBrowseMode();
    tblXfrProv.checkBrowseMode();
    store::Database& db = tblTransfer.database();
    dbaware::SaveRequest request{QStringLiteral("Save Transfer File As"), transferFilters, QStringLiteral("sqlite"),
                                 QString(), QString::fromLatin1(campaign::transferFile), true, true};
    const std::optional<QString> chosen = dbaware::dialogs().saveFileName(boxParent_(), request);
    if (!chosen) {
        status_(QStringLiteral("Save Transfer File Canceled"));
        return;
    }
    const std::filesystem::path target = app::platform::toPath(*chosen);
    // Renamed over, a file of the open database would go on being written
    // where nobody can see it.
    for (const char* own : {campaign::campaignFile, campaign::transferFile}) {
        std::error_code ec;
        if (std::filesystem::equivalent(target, db.folder() / own, ec))
            throw store::StoreError("Cannot write " + store::utf8(target) +
                                    ": it is a file of the open database; choose another name or folder");
    }
    store::saveFileAs(db, campaign::transferFile, target);
    const QString counts = charactersAndProvinces(tblTransfer.recordCount(), tblXfrProv.recordCount());
    status_(QStringLiteral("Transfer File Saved"));
    dbaware::showMessage(boxParent_(), QStringLiteral("Saved the transfer tables (%1) to %2.")
                                           .arg(counts, app::platform::toQString(target)));
}

void Commands::openTransferFile()
{
    store::Table& tblTransfer = tables_.tblTransfer;
    store::Table& tblXfrProv = tables_.tblXfrProv;
    const std::optional<QString> chosen = dbaware::dialogs().openFileName(
        boxParent_(), dbaware::OpenRequest{QStringLiteral("Open Transfer File"), transferFilters, QString()});
    if (!chosen) {
        status_(QStringLiteral("Open Transfer File Canceled"));
        return;
    }
    // Editing ends outside the transaction, so that its rollback never takes
    // a change the user saved.
    tblTransfer.checkBrowseMode();
    tblXfrProv.checkBrowseMode();
    // Characters exported and not yet imported anywhere would be gone.
    if ((!tblTransfer.isEmpty() || !tblXfrProv.isEmpty()) &&
        dbaware::confirm(boxParent_(), QStringLiteral("Replace the records in the Transfer Tables with those of the file?")) !=
            dbaware::Answer::Yes) {
        status_(QStringLiteral("Open Transfer File Canceled"));
        return;
    }
    const std::filesystem::path source = app::platform::toPath(*chosen);
    std::vector<std::int64_t> rows;
    {
        store::ControlsSuspended a(tblTransfer), b(tblXfrProv);
        try {
            rows = store::takeTablesFrom(tblTransfer.database(), campaign::transferFile, source);
        } catch (...) {
            status_(QStringLiteral("Error in Open Transfer File"));
            throw;
        }
        tblTransfer.refresh();
        tblXfrProv.refresh();
    }
    status_(QStringLiteral("Transfer File Opened"));
    dbaware::showMessage(boxParent_(), QStringLiteral("Opened the transfer file %1: %2 came in.")
                                           .arg(app::platform::toQString(source),
                                                charactersAndProvinces(rows.at(0), rows.at(1))));
}

}  // namespace transfer
