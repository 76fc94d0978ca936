// A command's writes to several tables, kept or undone together.
#pragma once
#include <initializer_list>

#include "store/database.h"
#include "store/table.h"

namespace store {

// Runs `work` as one transaction on the connection that holds both files, so
// that its writes to the tables of both files all stay or all go.
// After a rollback the table objects in `reread` are re-read: what they held
// may be rows that are gone. The error goes on to the caller.
template <class Work>
void allOrNothing(Table& any, std::initializer_list<Table*> reread, Work&& work)
{
    try {
        Database::Transaction tx(any.database());
        work();
        tx.commit();
    } catch (...) {
        for (Table* t : reread) {
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

}  // namespace store
