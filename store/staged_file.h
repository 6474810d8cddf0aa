#pragma once

#include <QString>

// A new file made aside and then published under its path, so that nobody ever sees it half
// made and an existing file is never written over. Made beside the path as "PATH.KIND-PID" (see
// staging_files), after the folder has been checked and what killed runs left there removed.
// Unless published, the staged file and its journals are removed when this goes.
class StagedFile {
  public:
    // Throws StoreError when `path` exists or its folder cannot take a new file. `kind` is one of
    // staging_files' kinds.
    StagedFile(const QString& path, const char* kind);
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // Where the file is made.
    const QString& stagingPath() const { return staging_; }

    // Writes the staged file to the disk, links it into place (a file that appeared there
    // meanwhile is kept, and this fails) and writes the folder's new entry to the disk.
    void publish();

    // A file, or a link to one that is not there, stands at `path`.
    static bool pathExists(const QString& path);

  private:
    QString path_;
    QString staging_;
};
