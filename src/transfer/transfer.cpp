#include "transfer/transfer.h"

#include "app/shell.h"
#include "campaign/catalogue.h"
#include "campaign/columns.h"
#include "dbaware/accessible_names.h"
#include "dbaware/dbgrid.h"
#include "dbaware/dialogs.h"
#include "dbaware/guard.h"
#include "campaign/tables.h"
#include "store/all_or_nothing.h"
#include "store/error.h"

#include <QPushButton>

namespace col = campaign::col;

TfrmTransfer::TfrmTransfer(campaign::Tables& tables, QWidget* parent) : QWidget(parent, Qt::Window), tables_(tables)
{
    setupUi(this);
    setAttribute(Qt::WA_QuitOnClose, false);
    // Bold and 1.4 times the usual size, which a form can only round to
    // whole points.
    QFont big = Panel1Caption->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.4);
    Panel1Caption->setFont(big);

    auto on = [this](QPushButton* sender, void (TfrmTransfer::*handler)()) {
        connect(sender, &QPushButton::clicked, this,
                [this, handler] { dbaware::guarded(this, [this, handler] { (this->*handler)(); }); });
    };
    on(btnDelete, &TfrmTransfer::btnDeleteClick);
    on(btnClose, &TfrmTransfer::btnCloseClick);

    app::openRemembered(*this, QStringLiteral("Transfer"));
    new app::EscapeCloses(*this);
    dbaware::nameInputs(*this);  // for screen readers, once the form is whole
}

void TfrmTransfer::FormCreate()
{
    DBGrid1->setDataSource(&tables_.dsTransfer);
    DBGrid1->setColumns({});  // every column, titled by its name
}

void TfrmTransfer::btnDeleteClick()
{
    store::Table& transfer = tables_.tblTransfer;
    // The question is about a stored row: what was typed into the grid and
    // not saved is dropped first, so that a No leaves nothing of it behind
    // and a Yes deletes by the names that are stored. A new row that was
    // never saved is gone with that; asking on would be about the row the
    // grid falls back to, which the user did not point at.
    const bool newRow = transfer.state() == store::State::Insert;
    DBGrid1->cancelEdit();
    if (newRow)
        return;
    if (dbaware::confirm(this, QStringLiteral("Confirm delete of this record")) != dbaware::Answer::Yes) {
        dbaware::showMessage(this, QStringLiteral("Delete operation canceled"));
        return;
    }
    store::ControlsSuspended suspended(transfer);
    // The character goes with its provinces or not at all: with no row to
    // delete, the provinces deleted first are restored.
    store::allOrNothing(transfer, {&transfer, &tables_.tblXfrProv}, [&] {
        DeleteTransferProvinces();
        transfer.remove();
    });
}

void TfrmTransfer::btnCloseClick() { close(); }

void TfrmTransfer::DeleteTransferProvinces()
{
    store::Table& transfer = tables_.tblTransfer;
    store::Table& provinces = tables_.tblXfrProv;
    const std::string filter = campaign::recordFilter(transfer.text(col::GameName), transfer.text(col::CharacterName));
    provinces.setFiltered(false);
    provinces.setFilter(filter);
    provinces.setFiltered(true);
    // Unfiltered again however this ends, so that the next import, export or
    // emptying sees every transfer province record.
    try {
        campaign::Tables::DeleteAllRecords(provinces);
    } catch (...) {
        try {
            provinces.setFiltered(false);
        } catch (...) {
        }
        throw;
    }
    provinces.setFiltered(false);
}
