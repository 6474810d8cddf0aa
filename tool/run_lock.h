#pragma once

#include <QString>

#ifdef _WIN32
#include <memory>

class QLockFile;
#endif

// One run at a time per book: an exclusive lock on a file beside it, held while this object
// lives. The kernel lets the lock go when the process ends, however it ends, so a run killed at
// any moment never leaves a lock that keeps the next one out.
class RunLock {
  public:
    explicit RunLock(const QString& path);
    ~RunLock();
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

    // False when another process holds it; throws StoreError when the file cannot be made.
    bool tryLock();

  private:
    QString path_;
#ifdef _WIN32
    std::unique_ptr<QLockFile> file_;
#else
    int fd_ = -1;
#endif
};
