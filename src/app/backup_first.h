#pragma once
#include <QString>

#include <functional>

#include "dbaware/dialogs.h"

class QWidget;
namespace store {
class Database;
}

namespace app {

// The Stop button of a progress window as a condition for long work: true
// until the user stops, and false from then on.
struct StopCheck {
    dbaware::Progress& progress;
    bool stopped = false;
    bool operator()()
    {
        if (!stopped && !progress.keepGoing())
            stopped = true;
        return !stopped;
    }
};

// A copy of the campaign file before work that writes many records, made
// while `stop` lets it. When it cannot be made, a full disk need not block
// the work, but going on without a copy is the user's choice: "<cannot> the
// reason", then `question`, No the default. False: the user stopped or said
// No, and the work must not start.
bool backupFirst(store::Database& db, StopCheck& stop, QWidget* parent, const QString& cannot,
                 const QString& question);
// The same with a safety net of the caller's own in place of the copy:
// `make` throws StoreError when it cannot be made.
bool backupFirst(store::Database& db, StopCheck& stop, QWidget* parent, const QString& cannot,
                 const QString& question, const std::function<void()>& make);

}  // namespace app
