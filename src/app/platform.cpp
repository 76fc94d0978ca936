#include "app/platform.h"

#include "store/alias_registry.h"
#include "store/durable.h"

#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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

fs::path userDocumentsFolder()
{
    return toPath(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)) / "vddb";
}

bool isSystemProgramFolder(const fs::path& folder)
{
#if defined(_WIN32) || defined(__APPLE__)
    // Program Files and /Applications refuse the user's writes: the write
    // test finds them.
    (void)folder;
    return false;
#else
    const fs::path normal = folder.lexically_normal();
    auto part = normal.begin();
    if (!normal.is_absolute() || ++part == normal.end())
        return false;
    return *part == "usr" || *part == "opt" || *part == "bin" || *part == "sbin" || *part == "snap";
#endif
}

fs::path aliasFile()
{
    fs::path base;
    // A relative $XDG_CONFIG_HOME is to be ignored, as the XDG rules say.
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg && fs::path(xdg).is_absolute())
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = fs::path(home) / ".config";
#ifdef _WIN32
    else if (const char* appdata = std::getenv("APPDATA"); appdata && *appdata)
        base = appdata;
#endif
    else
        base = fs::temp_directory_path();
    return base / "vddb" / "aliases.conf";
}

namespace {

std::string tooLarge(std::size_t limit) { return "it is larger than " + std::to_string(limit) + " bytes"; }

}  // namespace

ForeignFile readForeignFile(const fs::path& file, std::size_t limit)
{
    ForeignFile out;
    out.status = ForeignFile::Status::Refused;
#ifdef _WIN32
    // No FIFOs in the file name space here; links and folders are told apart
    // by their status, and reading stops at the limit.
    std::error_code ec;
    const fs::file_status st = fs::symlink_status(file, ec);
    if (!fs::exists(st)) {
        out.status = ForeignFile::Status::Missing;
        return out;
    }
    if (fs::is_symlink(st) || !fs::is_regular_file(st)) {
        out.reason = fs::is_symlink(st) ? "it is a link" : "it is not a regular file";
        return out;
    }
    out.size = fs::file_size(file, ec);
    out.modified = static_cast<std::int64_t>(fs::last_write_time(file, ec).time_since_epoch().count());
    if (out.size > limit) {
        out.reason = tooLarge(limit);
        return out;
    }
    std::ifstream in(file, std::ios::binary);
    std::string buf(limit + 1, '\0');
    in.read(buf.data(), static_cast<std::streamsize>(buf.size()));
    if (in.bad() || (!in && !in.eof())) {
        out.reason = "it cannot be read";
        return out;
    }
    buf.resize(static_cast<std::size_t>(in.gcount()));
#else
    // Looked at first without opening it: opening a device can have effects
    // of its own, and a FIFO would wait for a writer.
    struct stat before {};
    if (::lstat(file.c_str(), &before) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            out.status = ForeignFile::Status::Missing;
        else
            out.reason = std::strerror(errno);
        return out;
    }
    if (S_ISLNK(before.st_mode) || !S_ISREG(before.st_mode)) {
        out.reason = S_ISLNK(before.st_mode) ? "it is a link" : "it is not a regular file";
        return out;
    }
    // Swapped for something else since: O_NOFOLLOW refuses a link, O_NONBLOCK
    // keeps a FIFO from waiting, and fstat says what was really opened.
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        out.reason = std::strerror(errno);
        return out;
    }
    struct stat st {};
    std::string buf;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_ino != before.st_ino || st.st_dev != before.st_dev) {
        out.reason = "it is not a regular file";
    } else if (static_cast<std::uintmax_t>(st.st_size) > limit) {
        out.reason = tooLarge(limit);
    } else {
        buf.resize(limit + 1);
        std::size_t got = 0;
        while (got < buf.size()) {
            const ssize_t n = ::read(fd, buf.data() + got, buf.size() - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                out.reason = std::strerror(errno);
                break;
            }
            if (n == 0)
                break;
            got += static_cast<std::size_t>(n);
        }
        buf.resize(got);
    }
    ::close(fd);
    out.size = static_cast<std::uintmax_t>(st.st_size);
#ifdef __APPLE__
    const timespec& mtime = st.st_mtimespec;
#else
    const timespec& mtime = st.st_mtim;
#endif
    out.modified = static_cast<std::int64_t>(mtime.tv_sec) * 1000000000 + mtime.tv_nsec;
    if (!out.reason.empty())
        return out;
#endif
    // It grew while being read.
    if (buf.size() > limit) {
        out.reason = tooLarge(limit);
        return out;
    }
    out.contents = std::move(buf);
    out.status = ForeignFile::Status::Read;
    return out;
}

QString syncToDisk(int handle)
{
    std::error_code ec;
    return store::syncDescriptor(handle, ec) ? QString() : QString::fromStdString(ec.message());
}

QString safeFileName(const QString& name)
{
    // Refused everywhere: either platform's separator, and control characters.
    // Windows refuses more, and names that end in a dot or a blank.
#ifdef _WIN32
    static const QString refused = QStringLiteral("/\\<>:\"|?*");
#else
    static const QString refused = QStringLiteral("/\\");
#endif
    QString out;
    for (const QChar c : name)
        out += refused.contains(c) || c.unicode() < 0x20 || c.unicode() == 0x7f ? QChar(u'_') : c;
    // No ".." that a dialog could take for the folder above.
    while (out.contains(QStringLiteral("..")))
        out.replace(QStringLiteral(".."), QStringLiteral("."));
    while (out.startsWith(u'.'))
        out.remove(0, 1);
    // The dialog reads a leading tilde as the home folder.
    if (out.startsWith(u'~'))
        out[0] = u'_';
#ifdef _WIN32
    while (out.endsWith(u'.') || out.endsWith(u' '))
        out.chop(1);
    static const QRegularExpression device(QStringLiteral("^(CON|PRN|AUX|NUL|COM[1-9]|LPT[1-9])(\\..*)?$"),
                                           QRegularExpression::CaseInsensitiveOption);
    if (device.match(out).hasMatch())
        out.prepend(u'_');
#endif
    return out;
}

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
