// The transfer commands of the realm window: export, import, view and empty.
#include "realm/vddetails.h"

#include "app/modal.h"
#include "browser/vdsearch.h"
#include "dbaware/dialogs.h"
#include "store/all_or_nothing.h"
#include "store/backup.h"
#include "store/error.h"
#include "store/filter.h"
#include "store/value_check.h"
#include "transfer/transfer.h"

#include <QApplication>

namespace {

// Line breaks of the program's boxes are single carriage returns.
const QString exportQuestion = QStringLiteral(
    "Overwrite contents of transfer Table ?\r\r"
    "Yes = Overwrite, No = Append\r"
    "Cancel = Cancel the Export");

QString importErrorText(const QString& storeMessage)
{
    return QStringLiteral("An error occurred during the Import Operation.\r\r"
                          "The Database Engine returned the following error:\r\r") +
           storeMessage +
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
    tblVDDB.setFilter(store::recordFilter(tblVDDB.text("Game_Name"), tblVDDB.text("Character_Name")));
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
    {
        store::ControlsSuspended a(tblVDDB), b(tblProv), c(tblTransfer), d(tblXfrProv);
        store::Bookmark shown;
        try {
            // Editing ends outside the transaction, so that a rollback never
            // takes a change the user saved with it.
            for (store::Table* t : {&tblVDDB, &tblProv, &tblTransfer, &tblXfrProv})
                t->checkBrowseMode();
            shown = tblVDDB.bookmark();
            // A value the tables cannot hold refuses the whole import before
            // anything is written.
            store::checkValues({&tblTransfer, &tblXfrProv});
            // A copy of the campaign file as it stood before the import; no
            // copy, no import.
            store::importBackup(tblVDDB.database());
            // Both copies and the emptying in one transaction across the two
            // files: a character arrives whole with its provinces and leaves
            // the transfer tables, or nothing changes and a retry can succeed.
            store::allOrNothing(tblVDDB, {&tblProv, &tblTransfer, &tblXfrProv}, [this] {
                tblVDDB.appendFrom(tblTransfer);
                tblProv.appendFrom(tblXfrProv);
                EmptyTransferTables();
            });
        } catch (const std::exception& e) {
            failed = true;
            failure = QString::fromUtf8(e.what());
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
    if (failed) {
        StatusBar1->setText(QStringLiteral("Error in Import"));
        dbaware::dialogs().ask(boxParent(*this), QStringLiteral("Error"), importErrorText(failure),
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
