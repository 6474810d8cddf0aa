#pragma once

// Which file a path names right now, to tell whether an open connection still reaches it.
struct FileIdentity {
    bool known = false;
    unsigned long long device = 0;
    unsigned long long inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

// When a file last changed: every write moves its status-change time, which no program can set.
struct FileChange {
    long long seconds = -1;
    long long nanoseconds = 0;
    long long size = 0;
    bool operator==(const FileChange&) const = default;
};

struct FileStatus {
    FileIdentity identity;
    FileChange change;
};

// The status of the regular file at `encodedPath` (as the file system names it); an unknown
// identity where there is none, or where the platform cannot tell.
FileStatus fileStatus(const char* encodedPath);
