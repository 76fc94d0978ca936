#include "crash/powercut.h"

#ifdef __linux__

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace crash::powercut {

namespace {

struct Watched {
    bool on = false;
    std::string records;
    std::vector<std::string> folders;
};

Watched& watched()
{
    static Watched w;
    return w;
}

// A file's identity while it lives and after: its inode number with its
// time of birth, since a freed inode's number is soon given to another file.
std::string fileKey(int dir, const char* name, int flags)
{
    struct statx st {};
    if (::statx(dir, name, flags | AT_SYMLINK_NOFOLLOW, STATX_INO | STATX_BTIME, &st) != 0)
        return {};
    std::string key = std::to_string(st.stx_ino);
    if (st.stx_mask & STATX_BTIME)
        key += "." + std::to_string(st.stx_btime.tv_sec) + "." + std::to_string(st.stx_btime.tv_nsec);
    return key;
}

// Writes `bytes` as the record `name`: whole, or not at all.
void writeRecord(const std::string& records, const std::string& name, const std::string& bytes)
{
    const std::string tmp = records + "/tmp-" + std::to_string(getpid());
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (done == bytes.size())
        ::rename(tmp.c_str(), (records + "/" + name).c_str());
    else
        ::unlink(tmp.c_str());
}

// The file's bytes through a descriptor of its own, whatever mode the
// program opened it in.
bool readAll(const std::string& path, std::string& bytes)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char buf[65536];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0)
        bytes.append(buf, static_cast<std::size_t>(n));
    ::close(fd);
    return n == 0;
}

void recordFile(const std::string& records, const std::string& path, const std::string& key)
{
    std::string bytes;
    if (!key.empty() && readAll(path, bytes))
        writeRecord(records, "f-" + key, bytes);
}

// A folder's names: "<file key> <f|d> <name>" a line.
void recordFolder(const std::string& records, std::size_t index, const std::string& folder)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    std::string listing;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat st {};
        if (::fstatat(dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        const std::string key = fileKey(dirfd(dir), e->d_name, 0);
        if (!key.empty() && (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)))
            listing += key + (S_ISDIR(st.st_mode) ? " d " : " f ") + name + "\n";
    }
    ::closedir(dir);
    writeRecord(records, "d-" + std::to_string(index), listing);
}

struct Entry {
    std::string key;
    bool folder = false;
};

std::map<std::string, Entry> listing(const fs::path& records, std::size_t index)
{
    std::map<std::string, Entry> names;
    std::ifstream in(records / ("d-" + std::to_string(index)));
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        Entry e;
        char kind = 0;
        fields >> e.key >> kind;
        fields.get();
        std::string name;
        std::getline(fields, name);
        e.folder = kind == 'd';
        names[name] = e;
    }
    return names;
}

std::vector<std::string> absolute(const std::vector<fs::path>& folders)
{
    std::vector<std::string> out;
    for (const fs::path& f : folders)
        out.push_back(fs::weakly_canonical(f).string());
    return out;
}

// Called after every successful sync of `fd`.
void synced(int fd)
{
    const Watched& w = watched();
    if (!w.on)
        return;
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    char target[PATH_MAX];
    const ssize_t n = ::readlink(self.c_str(), target, sizeof target);
    struct stat st {};
    if (n <= 0 || ::fstat(fd, &st) != 0)
        return;
    std::string path(target, static_cast<std::size_t>(n));
    // A file synced after its name was removed, or before it was given one.
    const std::string deleted = " (deleted)";
    if (path.size() > deleted.size() && path.ends_with(deleted))
        path.resize(path.size() - deleted.size());
    if (S_ISDIR(st.st_mode)) {
        const auto it = std::find(w.folders.begin(), w.folders.end(), path);
        if (it != w.folders.end())
            recordFolder(w.records, static_cast<std::size_t>(it - w.folders.begin()), path);
    } else if (S_ISREG(st.st_mode)) {
        const std::string parent = path.substr(0, path.rfind('/'));
        if (std::find(w.folders.begin(), w.folders.end(), parent) != w.folders.end())
            recordFile(w.records, self, fileKey(fd, "", AT_EMPTY_PATH));
    }
}

}  // namespace

void baseline(const fs::path& records, const std::vector<fs::path>& folders)
{
    std::error_code ec;
    fs::remove_all(records, ec);
    fs::create_directories(records);
    const std::vector<std::string> list = absolute(folders);
    for (std::size_t i = 0; i < list.size(); ++i) {
        recordFolder(records.string(), i, list[i]);
        for (fs::directory_iterator it(list[i], ec), end; !ec && it != end; it.increment(ec)) {
            struct stat st {};
            if (::stat(it->path().c_str(), &st) == 0 && S_ISREG(st.st_mode))
                recordFile(records.string(), it->path().string(), fileKey(AT_FDCWD, it->path().c_str(), 0));
        }
    }
}

void watch(const fs::path& records, const std::vector<fs::path>& folders)
{
    Watched& w = watched();
    w.records = fs::weakly_canonical(records).string();
    w.folders = absolute(folders);
    w.on = true;
}

void restore(const fs::path& records, const std::vector<fs::path>& folders)
{
    const std::vector<std::string> list = absolute(folders);
    for (std::size_t i = 0; i < list.size(); ++i) {
        const fs::path folder = list[i];
        // A folder made inside a watched one lasts only if that one's
        // listing names it.
        const auto parent = std::find(list.begin(), list.begin() + static_cast<long>(i), folder.parent_path().string());
        std::error_code ec;
        if (parent != list.begin() + static_cast<long>(i)) {
            const auto names = listing(records, static_cast<std::size_t>(parent - list.begin()));
            const auto it = names.find(folder.filename().string());
            if (it == names.end() || !it->second.folder) {
                fs::remove_all(folder, ec);
                continue;
            }
        }
        fs::create_directories(folder, ec);
        std::vector<fs::path> present;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
            if (!it->is_directory())
                present.push_back(it->path());
        for (const fs::path& file : present)
            fs::remove(file, ec);
        for (const auto& [name, entry] : listing(records, i)) {
            if (entry.folder)
                continue;
            std::string bytes;
            readAll((records / ("f-" + entry.key)).string(), bytes);
            std::ofstream(folder / name, std::ios::binary) << bytes;
        }
    }
}

}  // namespace crash::powercut

// In place of the C library's: the same system calls, then the record.
extern "C" int fsync(int fd)
{
    const int rc = static_cast<int>(::syscall(SYS_fsync, fd));
    if (rc == 0)
        crash::powercut::synced(fd);
    return rc;
}

extern "C" int fdatasync(int fd)
{
    const int rc = static_cast<int>(::syscall(SYS_fdatasync, fd));
    if (rc == 0)
        crash::powercut::synced(fd);
    return rc;
}

#else

namespace crash::powercut {

void baseline(const std::filesystem::path&, const std::vector<std::filesystem::path>&) {}
void watch(const std::filesystem::path&, const std::vector<std::filesystem::path>&) {}
void restore(const std::filesystem::path&, const std::vector<std::filesystem::path>&) {}

}  // namespace crash::powercut

#endif
