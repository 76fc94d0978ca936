// The transfer commands of the realm window: export, import, view and empty.
#include "realm/vddetails.h"

#include "app/modal.h"
#include "browser/vdsearch.h"
#include "campaign/catalogue.h"
#include "campaign/columns.h"
#include "dbaware/dialogs.h"
#include "store/all_or_nothing.h"
#include "store/backup.h"
#include "store/error.h"
#include "store/value_check.h"
#include "transfer/transfer.h"

#include <QApplication>

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

// Commands given from the browser run while the realm window is hidden; their
// boxes go over the window the user is looking at.
QWidget* boxParent(TfrmRealmDetails& window) { return window.isVisible() ? &window : QApplication::activeWindow(); }

}  // namespace

void TfrmRealmDetails::ExportCurrentCharacter1Click()
{
    // A pending change is saved (an untouched new record dropped) before the
    // names are read, so that the filter finds the record as stored.
    tblVDDB.checkBrowseMode();
    if (!tblVDDB.hasCurrentRecord())
        throw store::StoreError(store::msg::emptyDataset);
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
    try {
        switch (dbaware::confirm(boxParent(*this), exportQuestion, dbaware::Buttons::YesNoCancel)) {
        case dbaware::Answer::Yes:
            // Emptied and filled together: a failed copy leaves the transfer
            // tables as they were.
            store::allOrNothing(tblVDDB, {&tblTransfer, &tblXfrProv}, [this] {
                EmptyTransferTables();
                CopyCurrentCharacter();
            });
            StatusBar1->setText(QStringLiteral("Export/Overwrite Complete"));
            break;
        case dbaware::Answer::No:
            store::allOrNothing(tblVDDB, {&tblTransfer, &tblXfrProv}, [this] { CopyCurrentCharacter(); });
            StatusBar1->setText(QStringLiteral("Export/Append Complete"));
            break;
        default:
            StatusBar1->setText(QStringLiteral("Export Canceled"));
            break;
        }
    } catch (...) {
        try {
            restore();
        } catch (...) {
            // The copy's error is the one to report.
        }
        throw;
    }
    restore();
}

void TfrmRealmDetails::CopyCurrentCharacter()
{
    store::ControlsSuspended characters(tblTransfer), provinces(tblXfrProv), shownProvinces(tblProv);
    tblTransfer.appendFrom(tblVDDB);
    // Exactly the provinces of the character just copied, whatever the
    // province list was restricted to before.
    ApplyProvinceFilter();
    tblXfrProv.appendFrom(tblProv);
}

void TfrmRealmDetails::ImportCurrentCharacter1Click()
{
    QString failure;
    bool failed = false;
    bool cancelled = false;
    QString existing;  // the character already in the database, on a key violation
    {
        store::ControlsSuspended a(tblVDDB), b(tblProv), c(tblTransfer), d(tblXfrProv);
        store::Bookmark shown;
        // Thousands of characters take a while: the user sees how far the
        // import has got and may stop it, which takes all of it back.
        const std::unique_ptr<dbaware::Progress> progress =
            dbaware::dialogs().progress(boxParent(*this), QStringLiteral("Import Characters"));
        bool stopped = false;
        auto keepGoing = [&] {
            if (!stopped && !progress->keepGoing())
                stopped = true;
            return !stopped;
        };
        try {
            // Editing ends outside the transaction, so that a rollback never
            // takes a change the user saved with it.
            for (store::Table* t : {&tblVDDB, &tblProv, &tblTransfer, &tblXfrProv})
                t->checkBrowseMode();
            shown = tblVDDB.bookmark();
            // A value the tables cannot hold refuses the whole import before
            // anything is written.
            store::checkValues({&tblTransfer, &tblXfrProv});
            // A copy of the campaign file as it stood before the import;
            // without one, the user decides whether to go on.
            progress->stage(0, 4, QStringLiteral("Making a backup of the campaign file"));
            cancelled = !backupBeforeImport(keepGoing, stopped);
            // Both copies and the emptying in one transaction across the two
            // files: a character arrives whole with its provinces and leaves
            // the transfer tables, or nothing changes and a retry can succeed.
            if (!cancelled)
                store::allOrNothing(tblVDDB, {&tblProv, &tblTransfer, &tblXfrProv}, [&] {
                    store::Database::Watch watch(tblVDDB.database(), keepGoing);
                    progress->stage(1, 4, QStringLiteral("Copying the characters"));
                    tblVDDB.appendFrom(tblTransfer);
                    progress->stage(2, 4, QStringLiteral("Copying the provinces"));
                    tblProv.appendFrom(tblXfrProv);
                    progress->stage(3, 4, QStringLiteral("Emptying the transfer tables"));
                    EmptyTransferTables();
                });
        } catch (const std::exception& e) {
            cancelled = stopped;
            failed = !stopped;
            failure = QString::fromUtf8(e.what());
            if (failed && failure == QLatin1String(store::msg::keyViolation))
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
        StatusBar1->setText(QStringLiteral("Import Canceled"));
        return;
    }
    if (failed) {
        StatusBar1->setText(QStringLiteral("Error in Import"));
        dbaware::dialogs().ask(boxParent(*this), QStringLiteral("Error"), importErrorText(failure, existing),
                               dbaware::Icon::Error, dbaware::Buttons::Ok);
        return;
    }
    tblVDDB.refresh();
    tblTransfer.refresh();
    if (frmVDDBSearch)
        frmVDDBSearch->tblVDDB.refresh();
    ApplyProvinceFilter();
    StatusBar1->setText(QStringLiteral("Import Complete"));
}

bool TfrmRealmDetails::backupBeforeImport(const std::function<bool()>& keepGoing, const bool& stopped)
{
    QString why;
    try {
        store::Database::Watch watch(tblVDDB.database(), keepGoing);
        store::importBackup(tblVDDB.database());
        return true;
    } catch (const store::StoreError& e) {
        if (stopped)
            throw;
        why = QString::fromUtf8(e.what());
    }
    // A folder that cannot be made or a full disk need not block the
    // import, but going on without a copy is the user's choice.
    return dbaware::confirm(boxParent(*this),
                            QStringLiteral("Cannot make a backup before importing: ") + why +
                                QStringLiteral("\r\rImport without a backup?"),
                            dbaware::Buttons::YesNoDefaultNo) == dbaware::Answer::Yes;
}

QString TfrmRealmDetails::characterAlreadyThere()
{
    try {
        for (tblTransfer.first(); !tblTransfer.eof(); tblTransfer.next()) {
            const std::string game = tblTransfer.text(col::GameName), name = tblTransfer.text(col::CharacterName);
            if (tblVDDB.findKey({game, name})) {
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

void TfrmRealmDetails::ViewContentsofTransferTable1Click()
{
    // Records that an export has just added show too.
    tblTransfer.refresh();
    app::showModal(*frmTransfer);
}

void TfrmRealmDetails::Delete1Click()
{
    if (dbaware::confirm(boxParent(*this), QStringLiteral("Delete all Transfer Table records ?")) !=
        dbaware::Answer::Yes) {
        StatusBar1->setText(QStringLiteral("Empty operation canceled"));
        return;
    }
    EmptyTransferTables();
    StatusBar1->setText(QStringLiteral("Transfer Table Contents Deleted."));
}

void TfrmRealmDetails::EmptyTransferTables()
{
    // Never half emptied: provinces left without their character would come
    // along with a later import on their own.
    store::allOrNothing(tblXfrProv, {&tblXfrProv, &tblTransfer}, [this] {
        DeleteAllRecords(tblXfrProv);
        DeleteAllRecords(tblTransfer);
    });
}
