// Files written for the user (sheets, PDFs, CSV): each goes to a temporary
// file beside its target (a QSaveFile), is checked whole on the disk, and only
// then takes the target's name, durably. A failure leaves the old file as it
// was; the reason names the target.
#pragma once
#include <QByteArray>
#include <QString>

class QSaveFile;

namespace app {

// The file written aside checked: every byte handed to the system, all of
// them on the disk, and the file `size` bytes long. Empty, or why not.
QString checkAside(QSaveFile& file, qint64 size);

// `bytes` written aside (the file is opened here) and checked.
QString writeAside(QSaveFile& file, const QByteArray& bytes);

// The checked file put in its target's place, and the folder synced after,
// so that a power cut undoes neither the contents nor the new name.
QString putInPlace(QSaveFile& file);

// The text of a failure to write `fileName`.
QString cannotWrite(const QString& fileName, const QString& why);

}  // namespace app
