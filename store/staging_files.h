#pragma once

#include <QString>

// The files a new book or a copy is made in, beside the path it will get, before it gets it:
// "PATH.creating-PID" and "PATH.backing-up-PID" with their journals. A process that was killed
// while it wrote one leaves it behind; the next one in that folder removes it.
namespace staging_files {

inline constexpr const char* kCreating = "creating";
inline constexpr const char* kBackingUp = "backing-up";

// The staging file of this process for path: "PATH.KIND-PID".
QString stagingPath(const QString& path, const char* kind);

// Removes a staging file and the files SQLite keeps beside it.
void removeWithJournals(const QString& staging);

// Throws a StoreError naming path unless its folder exists and this process may make files in it.
void requireWritableFolder(const QString& path);

// Removes the staging files in path's folder whose process is gone. A file of a running process,
// or of a process this one may not ask about, is kept.
void removeAbandoned(const QString& path);

} // namespace staging_files
