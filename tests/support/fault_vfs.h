// The disk failing under SQLite: while a FaultVfs lives it is the default VFS,
// passing every call on and failing each armed one once. Files are picked by a
// part of their name ("-journal"; "-mj" for a super-journal).
#pragma once
#include <sqlite3.h>

#include <functional>
#include <string>
#include <utility>

namespace testing_support {

struct FaultVfs {
    std::string failDelete;  // an I/O error; with `removed` the file is gone all the same (the folder's sync failed)
    bool removed = false;
    std::string readOnly;  // a read-write open falls back to read-only, as SQLite does when that open fails
    std::string onOpen;    // runs `action` as the file is opened
    std::function<void()> action;

    FaultVfs() : vfs_(*real())
    {
        vfs_.zName = "fault";
        vfs_.xOpen = [](sqlite3_vfs*, const char* name, sqlite3_file* f, int flags, int* out) {
            if (take(me()->onOpen, name))
                std::exchange(me()->action, {})();
            if ((flags & SQLITE_OPEN_MAIN_DB) && (flags & SQLITE_OPEN_READWRITE) && take(me()->readOnly, name))
                flags = (flags & ~(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE)) | SQLITE_OPEN_READONLY;
            return real()->xOpen(real(), name, f, flags, out);
        };
        vfs_.xDelete = [](sqlite3_vfs*, const char* name, int syncDir) {
            const bool fail = take(me()->failDelete, name);
            const int rc = !fail || me()->removed ? real()->xDelete(real(), name, syncDir) : SQLITE_OK;
            return fail ? SQLITE_IOERR_DELETE : rc;
        };
        me() = this;
        sqlite3_vfs_register(&vfs_, 1);
    }
    ~FaultVfs() { sqlite3_vfs_unregister(&vfs_); }
    FaultVfs(const FaultVfs&) = delete;
    FaultVfs& operator=(const FaultVfs&) = delete;

private:
    static FaultVfs*& me() { static FaultVfs* current = nullptr; return current; }
    static sqlite3_vfs* real() { static sqlite3_vfs* const base = sqlite3_vfs_find(nullptr); return base; }
    static bool take(std::string& armed, const char* name)
    {
        const bool hit = !armed.empty() && name && std::string(name).find(armed) != std::string::npos;
        return hit && (armed.clear(), true);
    }
    sqlite3_vfs vfs_;
};

}  // namespace testing_support
