#include "sheet/realm_sheet.h"

#include <QDir>
#include <QFileInfo>

#include "app/written_file.h"

namespace sheet {

SheetFile::SheetFile(const QString& fileName)
    : saved_(fileName), direct_(fileName), encoder_(QStringConverter::System)
{
    // Unbuffered: each line is one write, so that a failure is met (and
    // named) at the line that caused it rather than lost in a later flush.
    const QFileInfo target(fileName);
    if (target.exists() && !target.isFile() && !target.isDir()) {
        // A device: nothing can take its place.
        file_ = &direct_;
        if (!direct_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
            fail(direct_);
        return;
    }
    file_ = &saved_;
    if (!saved_.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        fail(saved_);
}

void SheetFile::writeLine(const QString& line)
{
    QByteArray bytes = encoder_.encode(line);
    bytes.append("\r\n");
    write(bytes);
}

void SheetFile::write(const QByteArray& bytes)
{
    // A disk that fills up takes part of a write without an error; writing
    // the rest then fails with the system's reason.
    for (qsizetype done = 0; done < bytes.size();) {
        const qint64 n = file_->write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0)
            fail(*file_);
        done += n;
        written_ += n;
    }
}

void SheetFile::close()
{
    if (file_ == &saved_) {
        // The sheet is whole on the disk before it takes the old one's place.
        QString refused = app::checkAside(saved_, written_);
        if (refused.isEmpty())
            refused = app::putInPlace(saved_);
        if (!refused.isEmpty())
            throw SheetError(refused);
        return;
    }
    direct_.close();
    if (direct_.error() != QFileDevice::NoError)
        fail(direct_);
}

void SheetFile::fail(const QFileDevice& device)
{
    // An uncommitted QSaveFile drops its temporary file when destroyed.
    QString reason = device.errorString();
    if (reason.isEmpty() || reason == QLatin1String("Unknown error"))
        reason = QStringLiteral("The file %1 could not be written").arg(QDir::toNativeSeparators(device.fileName()));
    else if (&device == &saved_)
        reason = app::cannotWrite(device.fileName(), reason);  // a device is its own name
    throw SheetError(reason);
}

}  // namespace sheet
