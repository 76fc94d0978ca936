#include "app/backup_first.h"

#include "store/backup.h"
#include "store/database.h"
#include "store/error.h"

namespace app {

bool backupFirst(store::Database& db, StopCheck& stop, QWidget* parent, const QString& cannot,
                 const QString& question)
{
    return backupFirst(db, stop, parent, cannot, question, [&db] { store::importBackup(db); });
}

bool backupFirst(store::Database& db, StopCheck& stop, QWidget* parent, const QString& cannot,
                 const QString& question, const std::function<void()>& make)
{
    QString why;
    try {
        store::Database::Watch watch(db, [&stop] { return stop(); });
        make();
        return true;
    } catch (const store::StoreError& e) {
        if (stop.stopped)
            return false;
        why = QString::fromUtf8(e.what());
    }
    return dbaware::confirm(parent, cannot + why + QStringLiteral("\r\r") + question,
                            dbaware::Buttons::YesNoDefaultNo) == dbaware::Answer::Yes;
}

}  // namespace app
