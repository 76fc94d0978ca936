// The disk failing under SQLite: while a FaultVfs lives it is the default VFS
// of the files opened, passing every call on and failing the ones it is told
// to, once each. Files are picked by a part of their name ("-journal", "-mj"
// for a super-journal).
#pragma once
#include <sqlite3.h>

#include <functional>
#include <string>
#include <utility>

namespace testing_support {

class FaultVfs {
public:
    FaultVfs() : vfs_(*real())
    {
        vfs_.zName = "fault";
        vfs_.pNext = nullptr;
        vfs_.xOpen = [](sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* out) {
            if (take(state().onOpen, name))
                std::exchange(state().action, {})();
            if ((flags & SQLITE_OPEN_MAIN_DB) && (flags & SQLITE_OPEN_READWRITE) && take(state().readOnly, name))
                flags = (flags & ~(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)) | SQLITE_OPEN_READONLY;
            return real()->xOpen(real(), name, f, flags, out);
        };
        vfs_.xDelete = [](sqlite3_vfs*, const char* name, int syncDir) {
            if (!take(state().remove, name))
                return real()->xDelete(real(), name, syncDir);
            if (state().removed)
                real()->xDelete(real(), name, syncDir);
            return SQLITE_IOERR_DELETE;
        };
        sqlite3_vfs_register(&vfs_, 1);
    }
    ~FaultVfs() { sqlite3_vfs_unregister(&vfs_); state() = {}; }
    FaultVfs(const FaultVfs&) = delete;
    FaultVfs& operator=(const FaultVfs&) = delete;

    // The next deletion fails; with `removed` the file is gone all the same
    // (the unlink took place, the folder's sync after it failed).
    void failDelete(std::string name, bool removed) { state().remove = std::move(name), state().removed = removed; }
    // The next read-write open falls back to read-only, as SQLite's own VFS
    // does when that open fails.
    void failOpenReadWrite(std::string name) { state().readOnly = std::move(name); }
    // `action` runs as the file is next opened.
    void onOpen(std::string name, std::function<void()> action) { state().onOpen = std::move(name), state().action = std::move(action); }

private:
    struct State {
        std::string remove, readOnly, onOpen;
        bool removed = false;
        std::function<void()> action;
    };
    static State& state() { static State s; return s; }
    static sqlite3_vfs* real() { static sqlite3_vfs* unix = sqlite3_vfs_find(nullptr); return unix; }
    static bool take(std::string& armed, const char* name)
    {
        if (armed.empty() || !name || std::string(name).find(armed) == std::string::npos)
            return false;
        armed.clear();
        return true;
    }
    sqlite3_vfs vfs_;
};

}  // namespace testing_support
