#include "store/staging_files.h"

#include "store/store_error.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#ifndef _WIN32
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <unistd.h>
#endif

namespace staging_files {

namespace {

const char* const kJournals[] = {"-journal", "-wal", "-shm"};

// Only the kernel can say that a process is gone: ESRCH. A process of another user answers
// EPERM and is alive.
bool processIsGone(qint64 pid) {
#ifndef _WIN32
    // A number past pid_t's range would name a process group.
    return pid > 0 && pid <= std::numeric_limits<pid_t>::max() && ::kill(pid_t(pid), 0) != 0 &&
           errno == ESRCH;
#else
    Q_UNUSED(pid);
    return false;
#endif
}

// A process that kill() cannot see (in another container sharing the folder) may still be writing
// the file: SQLite holds a lock on it while it does. Only ever asked of another process's file,
// since closing a handle drops this process's own locks on it.
bool isLocked(const QString& file) {
#ifndef _WIN32
    const int fd = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    const bool locked = ::fcntl(fd, F_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
    ::close(fd);
    return locked;
#else
    Q_UNUSED(file);
    return true;
#endif
}

} // namespace

QString stagingPath(const QString& path, const char* kind) {
    return QStringLiteral("%1.%2-%3")
        .arg(path, QLatin1String(kind))
        .arg(QCoreApplication::applicationPid());
}

void removeWithJournals(const QString& staging) {
    QFile::remove(staging);
    for (const char* journal : kJournals)
        QFile::remove(staging + QLatin1String(journal));
}

void requireWritableFolder(const QString& path) {
    const QFileInfo folder(QFileInfo(path).absolutePath());
    QString problem;
    if (!folder.exists())
        problem = QStringLiteral("does not exist");
    else if (!folder.isDir())
        problem = QStringLiteral("is not a folder");
#ifndef _WIN32
    else if (::access(QFile::encodeName(folder.filePath()).constData(), W_OK | X_OK) != 0)
        problem = QStringLiteral("cannot be written (%1)")
                      .arg(QString::fromLocal8Bit(std::strerror(errno)));
#endif
    if (!problem.isEmpty())
        throw StoreError(QStringLiteral("Cannot create \"%1\": the folder \"%2\" %3.")
                             .arg(path, QDir::toNativeSeparators(folder.filePath()), problem));
}

void removeAbandoned(const QString& path) {
    static const QRegularExpression staging(
        QStringLiteral("^(.+\\.(?:%1|%2)-([0-9]{1,10}))(?:-journal|-wal|-shm)?$")
            .arg(QLatin1String(kCreating), QLatin1String(kBackingUp)));
    const QDir folder = QFileInfo(path).absoluteDir();
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        const QRegularExpressionMatch match = staging.match(name);
        if (match.hasMatch() && processIsGone(match.captured(2).toLongLong()) &&
            !isLocked(folder.filePath(match.captured(1))))
            QFile::remove(folder.filePath(name));
    }
}

} // namespace staging_files
