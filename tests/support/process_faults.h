#pragma once

#include <QByteArray>
#include <QString>

// What other processes and the system do to tessaline-db's files: processes that ended or hold a
// lock, a user bound by permissions, a disk that fills up.

// The id of a process that has ended: nothing runs under it now.
qint64 endedProcess();

// Another process that holds a lock on a file, as SQLite does on a book it writes, until this is
// destroyed and kills it.
class LockHolder {
  public:
    explicit LockHolder(const QString& path);
    ~LockHolder();
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;

  private:
    qint64 pid_ = -1;
};

// For a child process before it starts the executable: the superuser may write into any folder,
// so it becomes "nobody", for whom permissions count. Anyone else stays who they are.
void asUnprivilegedUser();

// Runs the current test function and data row of this executable again in user and mount
// namespaces of its own, where a user may mount a file system as the superuser can; the copy
// finds kInNamespace set. The test fails when the copy fails, and is skipped when the system
// allows no such namespace.
inline constexpr char kInNamespace[] = "TESSALINE_TEST_IN_NAMESPACE";
void rerunInOwnNamespace();

// A folder on a file system of its own, 256 KiB large, where writes meet a full disk as they do
// on a real one. Only a process that may mount file systems gets one.
class SmallDisk {
  public:
    explicit SmallDisk(const QString& folder);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool mounted() const { return mounted_; }

  private:
    QByteArray folder_;
    bool mounted_ = false;
};
