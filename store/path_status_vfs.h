#pragma once

#include "store/file_status.h"

#include <cstdint>

struct sqlite3;

// A thin layer over the platform's own VFS for the book's connections. The engine asks for the
// database file's size as every read transaction begins; this layer answers from the status of
// the file's path rather than of the open file, which costs the same system call, and keeps what
// it saw. So a book replaced at its path is noticed by every lookup without a call of our own.
namespace path_status_vfs {

// The VFS name to open a connection with, registered on first use; null where the layer is not
// used (the connection then opens through the default VFS).
const char* name();

// Which file a connection's main file is, and what the engine's size queries on it have seen of
// its path.
struct Seen {
    FileIdentity opened;       // what the path named as it was opened; unknown unless sure
    std::uint64_t queries = 0; // how many queries have been answered since
    FileStatus path;           // the path's status at the last of them
};

// Nothing known for a connection not opened through the layer.
Seen lastSeen(sqlite3* db);

} // namespace path_status_vfs
