// A command's writes to several tables, kept or undone together.
#pragma once
#include <initializer_list>
#include <string>
#include <vector>

#include "store/database.h"
#include "store/table.h"

namespace store {

// Runs `work` as one transaction on the connection that holds both files, so
// that its writes to the tables of both files all stay or all go.
// `written` names every table the work writes: the write lock is taken on
// their files only, and after a rollback they are re-read (what they held
// may be rows that are gone). The error goes on to the caller.
template <class Work>
void allOrNothing(Table& any, std::initializer_list<Table*> written, Work&& work)
{
    std::vector<std::string> locks;
    for (Table* t : written)
        if (t->isOpen())
            locks.push_back(t->lockForWrite());
    try {
        Database::Transaction tx(any.database(), locks);
        work();
        tx.commit();
    } catch (...) {
        for (Table* t : written) {
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
