#include "app/written_file.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <system_error>

#include "app/platform.h"
#include "store/durable.h"

namespace app {

QString cannotWrite(const QString& fileName, const QString& why)
{
    return QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(fileName), why);
}

QString checkAside(QSaveFile& file, qint64 size)
{
    // A buffered write that a full disk cuts short fails only here, at the
    // flush; QSaveFile::commit would rename the cut file all the same.
    if (!file.flush() || file.error() != QFileDevice::NoError)
        return cannotWrite(file.fileName(), file.errorString());
    if (const qint64 on = file.size(); on != size)
        return cannotWrite(file.fileName(), QStringLiteral("%1 of its %2 bytes were written").arg(on).arg(size));
    if (const QString refused = platform::syncToDisk(file.handle()); !refused.isEmpty())
        return cannotWrite(file.fileName(), refused);
    return {};
}

QString writeAside(QSaveFile& file, const QByteArray& bytes)
{
    if (!file.open(QIODevice::WriteOnly))
        return cannotWrite(file.fileName(), file.errorString());
    if (file.write(bytes) != bytes.size())
        return cannotWrite(file.fileName(), file.errorString());
    return checkAside(file, bytes.size());
}

QString putInPlace(QSaveFile& file)
{
    if (!file.commit())
        return cannotWrite(file.fileName(), file.errorString());
    std::error_code ec;
    if (!store::syncFolder(platform::toPath(QFileInfo(file.fileName()).absolutePath()), ec))
        return QStringLiteral("%1 was written, but its folder could not be synced: %2")
            .arg(QDir::toNativeSeparators(file.fileName()), QString::fromStdString(ec.message()));
    return {};
}

}  // namespace app
