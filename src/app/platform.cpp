#include "app/platform.h"

#include "store/alias_registry.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <cstdlib>

namespace app::platform {

namespace fs = std::filesystem;

fs::path toPath(const QString& text)
{
#ifdef _WIN32
    return fs::path(text.toStdWString());
#else
    return fs::path(QFile::encodeName(text).toStdString());
#endif
}

QString toQString(const fs::path& path)
{
#ifdef _WIN32
    return QString::fromStdWString(path.wstring());
#else
    return QFile::decodeName(QByteArray::fromStdString(path.string()));
#endif
}

fs::path programFolder()
{
    // Qt finds the program file itself (/proc/self/exe, GetModuleFileName,
    // the bundle's executable), so neither argv[0] nor the working folder matters.
    return toPath(QDir::toNativeSeparators(QCoreApplication::applicationDirPath()));
}

bool isWritableFolder(const fs::path& folder)
{
    // Trying is the only test that holds everywhere: permission bits say
    // nothing about read-only mounts, ACLs or a virtualised Program Files.
    std::error_code ec;
    if (!fs::is_directory(folder, ec))
        return false;
    QTemporaryFile probe(toQString(folder / ".vddb-write-test-XXXXXX"));
    return probe.open();
}

fs::path userDataFolder()
{
    fs::path base;
#if defined(_WIN32) || defined(__APPLE__)
    base = toPath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
#else
    // A relative $XDG_DATA_HOME is to be ignored, as the XDG rules say.
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg && fs::path(xdg).is_absolute())
        base = xdg;
    else
        base = toPath(QDir::homePath()) / ".local" / "share";
#endif
    return base / "vddb" / "Data";
}

fs::path aliasFile() { return store::AliasRegistry::defaultFile(); }

fs::path requestFile()
{
#ifdef _WIN32
    return fs::path(L"c:\\figjam.$#!");
#else
    // No drive letters here: the user's home folder stands in for c:\.
    return toPath(QDir::homePath()) / "figjam.$#!";
#endif
}

}  // namespace app::platform
