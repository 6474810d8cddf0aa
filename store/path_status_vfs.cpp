#include "store/path_status_vfs.h"

#include <new>
#include <sqlite3.h>

#ifndef _WIN32

namespace path_status_vfs {

namespace {

// The engine's view of an open file, followed in the same memory by the platform VFS's own.
struct WatchedFile {
    sqlite3_file base{};
    const char* path = nullptr; // the engine keeps the name given to xOpen until xClose
    bool mainDatabase = false;
    Seen seen;

    sqlite3_file* platformFile() { return reinterpret_cast<sqlite3_file*>(this + 1); }
};

WatchedFile* watched(sqlite3_file* file) {
    return reinterpret_cast<WatchedFile*>(file);
}

sqlite3_vfs* platformVfs(sqlite3_vfs* vfs) {
    return static_cast<sqlite3_vfs*>(vfs->pAppData);
}

// Whatever the layer leaves alone goes to the platform's own method, with its own file or VFS.
template <auto Method> struct Forward;

template <typename R, typename... Args, R (*sqlite3_io_methods::*Method)(sqlite3_file*, Args...)>
struct Forward<Method> {
    static R call(sqlite3_file* file, Args... args) {
        sqlite3_file* platform = watched(file)->platformFile();
        return (platform->pMethods->*Method)(platform, args...);
    }
};

template <typename R, typename... Args, R (*sqlite3_vfs::*Method)(sqlite3_vfs*, Args...)>
struct Forward<Method> {
    static R call(sqlite3_vfs* vfs, Args... args) {
        sqlite3_vfs* platform = platformVfs(vfs);
        return (platform->*Method)(platform, args...);
    }
};

// The size of the file the path names, if it is still the open one; else the open file's own.
int fileSize(sqlite3_file* file, sqlite3_int64* size) {
    WatchedFile* self = watched(file);
    if (self->mainDatabase) {
        const FileStatus path = fileStatus(self->path);
        self->seen.queries += 1;
        self->seen.path = path;
        if (self->seen.opened.known && path.identity == self->seen.opened) {
            *size = path.change.size;
            return SQLITE_OK;
        }
    }
    return Forward<&sqlite3_io_methods::xFileSize>::call(file, size);
}

template <auto Method> constexpr auto forwarded = &Forward<Method>::call;

const sqlite3_io_methods kFileMethods = {
    3,
    forwarded<&sqlite3_io_methods::xClose>,
    forwarded<&sqlite3_io_methods::xRead>,
    forwarded<&sqlite3_io_methods::xWrite>,
    forwarded<&sqlite3_io_methods::xTruncate>,
    forwarded<&sqlite3_io_methods::xSync>,
    fileSize,
    forwarded<&sqlite3_io_methods::xLock>,
    forwarded<&sqlite3_io_methods::xUnlock>,
    forwarded<&sqlite3_io_methods::xCheckReservedLock>,
    forwarded<&sqlite3_io_methods::xFileControl>,
    forwarded<&sqlite3_io_methods::xSectorSize>,
    forwarded<&sqlite3_io_methods::xDeviceCharacteristics>,
    forwarded<&sqlite3_io_methods::xShmMap>,
    forwarded<&sqlite3_io_methods::xShmLock>,
    forwarded<&sqlite3_io_methods::xShmBarrier>,
    forwarded<&sqlite3_io_methods::xShmUnmap>,
    forwarded<&sqlite3_io_methods::xFetch>,
    forwarded<&sqlite3_io_methods::xUnfetch>,
};

// The path is looked at before and after the open, so that a file put in its place meanwhile is
// never taken for the one opened: its size would be answered for the wrong file.
int openFile(sqlite3_vfs* vfs, sqlite3_filename name, sqlite3_file* file, int flags,
             int* outFlags) {
    auto* self = new (file) WatchedFile;
    self->mainDatabase = name && (flags & SQLITE_OPEN_MAIN_DB);
    self->path = name;
    const FileIdentity before = self->mainDatabase ? fileStatus(name).identity : FileIdentity{};
    sqlite3_vfs* platform = platformVfs(vfs);
    const int rc = platform->xOpen(platform, name, self->platformFile(), flags, outFlags);
    // The engine closes a file whose methods are set, even when opening it failed.
    self->base.pMethods = self->platformFile()->pMethods ? &kFileMethods : nullptr;
    if (rc == SQLITE_OK && before.known && fileStatus(name).identity == before)
        self->seen.opened = before;
    return rc;
}

sqlite3_vfs* layer() {
    static sqlite3_vfs* registered = [] {
        sqlite3_vfs* platform = sqlite3_vfs_find(nullptr);
        static sqlite3_vfs vfs = {
            3,
            int(sizeof(WatchedFile)) + platform->szOsFile,
            platform->mxPathname,
            nullptr,
            "tessaline-path-status",
            platform,
            openFile,
            forwarded<&sqlite3_vfs::xDelete>,
            forwarded<&sqlite3_vfs::xAccess>,
            forwarded<&sqlite3_vfs::xFullPathname>,
            forwarded<&sqlite3_vfs::xDlOpen>,
            forwarded<&sqlite3_vfs::xDlError>,
            forwarded<&sqlite3_vfs::xDlSym>,
            forwarded<&sqlite3_vfs::xDlClose>,
            forwarded<&sqlite3_vfs::xRandomness>,
            forwarded<&sqlite3_vfs::xSleep>,
            forwarded<&sqlite3_vfs::xCurrentTime>,
            forwarded<&sqlite3_vfs::xGetLastError>,
            forwarded<&sqlite3_vfs::xCurrentTimeInt64>,
            forwarded<&sqlite3_vfs::xSetSystemCall>,
            forwarded<&sqlite3_vfs::xGetSystemCall>,
            forwarded<&sqlite3_vfs::xNextSystemCall>,
        };
        sqlite3_vfs_register(&vfs, 0);
        return &vfs;
    }();
    return registered;
}

} // namespace

const char* name() {
    return layer()->zName;
}

Seen lastSeen(sqlite3* db) {
    sqlite3_file* file = nullptr;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file ||
        file->pMethods != &kFileMethods)
        return {};
    return watched(file)->seen;
}

} // namespace path_status_vfs

#else

namespace path_status_vfs {

const char* name() {
    return nullptr;
}

Seen lastSeen(sqlite3*) {
    return {};
}

} // namespace path_status_vfs

#endif
