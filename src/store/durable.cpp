// The one place where the store syncs files and folders; how differs by
// platform.
#include "store/durable.h"

#include <cerrno>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace store {

namespace fs = std::filesystem;

namespace {

std::error_code lastError() { return std::error_code(errno, std::generic_category()); }

}  // namespace

bool syncDescriptor(int fd, std::error_code& ec)
{
    if (fd < 0)
        return ec = std::make_error_code(std::errc::bad_file_descriptor), false;
#ifdef _WIN32
    const bool ok = _commit(fd) == 0;
#else
    int rc;
    do
        rc = ::fsync(fd);
    while (rc != 0 && errno == EINTR);
    const bool ok = rc == 0;
#endif
    if (!ok)
        ec = lastError();
    return ok;
}

bool syncFile(const fs::path& file, std::error_code& ec)
{
#ifdef _WIN32
    const int fd = _wopen(file.c_str(), _O_RDWR | _O_BINARY);
    if (fd < 0)
        return ec = lastError(), false;
    const bool ok = syncDescriptor(fd, ec);
    _close(fd);
#else
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return ec = lastError(), false;
    const bool ok = syncDescriptor(fd, ec);
    ::close(fd);
#endif
    return ok;
}

void startWritingOut(const fs::path& file, std::uint64_t offset, std::uint64_t length)
{
#ifdef __linux__
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::sync_file_range(fd, static_cast<off_t>(offset), static_cast<off_t>(length), SYNC_FILE_RANGE_WRITE);
    ::close(fd);
#else
    (void)file;
    (void)offset;
    (void)length;
#endif
}

bool syncFolder(const fs::path& folder, std::error_code& ec)
{
#ifdef _WIN32
    (void)folder;
    (void)ec;
    return true;
#else
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return ec = lastError(), false;
    const bool ok = syncDescriptor(fd, ec);
    ::close(fd);
    return ok;
#endif
}

bool renameDurably(const fs::path& from, const fs::path& to, std::error_code& ec)
{
    ec.clear();
    if (!syncFile(from, ec))
        return false;
#ifdef _WIN32
    if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ec = std::error_code(static_cast<int>(GetLastError()), std::system_category());
        return false;
    }
    return true;
#else
    fs::rename(from, to, ec);
    if (ec)
        return false;
    const fs::path target = to.parent_path();
    if (!syncFolder(target, ec))
        return false;
    const fs::path source = from.parent_path();
    return source == target || syncFolder(source, ec);
#endif
}

}  // namespace store
