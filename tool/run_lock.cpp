#include "tool/run_lock.h"

#include "store/store_error.h"

#ifdef _WIN32
#include <QLockFile>
#else
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

RunLock::RunLock(const QString& path) : path_(path) {}

#ifdef _WIN32

// Qt's lock file, which records its process, so that a lock whose process has gone is set aside.
RunLock::~RunLock() = default;

bool RunLock::tryLock() {
    file_ = std::make_unique<QLockFile>(path_);
    return file_->tryLock(0);
}

#else

namespace {

[[noreturn]] void throwSystemError(const QString& path, int error) {
    throw StoreError(QStringLiteral("Cannot lock %1: %2")
                         .arg(path, QString::fromLocal8Bit(std::strerror(error))));
}

// Whether fd is still the file at path: the last holder removes the file while it holds the
// lock, so a lock taken on a file already gone guards nothing.
bool stillAtPath(int fd, const QByteArray& path) {
    struct stat opened = {};
    struct stat named = {};
    if (::fstat(fd, &opened) != 0)
        return false;
    return ::stat(path.constData(), &named) == 0 && opened.st_dev == named.st_dev &&
           opened.st_ino == named.st_ino;
}

} // namespace

RunLock::~RunLock() {
    if (fd_ < 0)
        return;
    ::unlink(QFile::encodeName(path_).constData());
    ::close(fd_);
}

bool RunLock::tryLock() {
    const QByteArray path = QFile::encodeName(path_);
    // Each turn loses only to a holder that removed the file meanwhile; a few turns settle it.
    for (int turn = 0; turn < 100; ++turn) {
        const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0)
            throwSystemError(path_, errno);
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            if (error == EWOULDBLOCK)
                return false;
            throwSystemError(path_, error);
        }
        if (stillAtPath(fd, path)) {
            fd_ = fd;
            return true;
        }
        ::close(fd);
    }
    return false;
}

#endif
