#pragma once
#include <initializer_list>

#include "store/database.h"
#include "store/error.h"
#include "store/table.h"

namespace transfer {

// Runs `work` as one transaction on the connection that holds both files, so
// that its writes to the campaign and the transfer tables all stay or all go.
// After a rollback the table objects in `reread` are re-read: what they held
// may be rows that are gone. The error goes on to the caller.
template <class Work>
void allOrNothing(store::Table& any, std::initializer_list<store::Table*> reread, Work&& work)
{
    if (!any.isOpen())
        throw store::StoreError(store::msg::notOpen);
    try {
        store::Database::Transaction tx(any.database());
        work();
        tx.commit();
    } catch (...) {
        for (store::Table* t : reread) {
            try {
                if (t->isOpen())
                    t->refresh();
            } catch (...) {
                // The first error is the one to report.
            }
        }
        throw;
    }
}

}  // namespace transfer
