#include "store/staged_file.h"

#include "store/staging_files.h"
#include "store/store_error.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

#ifndef _WIN32
// Writes a file's data or a folder's entries to the disk; messages name the file as shownPath.
void syncToDisk(const QString& path, int flags, const QString& shownPath) {
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC);
    const bool synced = fd >= 0 && ::fsync(fd) == 0;
    const int error = errno;
    if (fd >= 0)
        ::close(fd);
    if (!synced)
        throw StoreError(QStringLiteral("Cannot write \"%1\" to the disk: %2.")
                             .arg(shownPath, systemError(error)));
}
#endif

} // namespace

StagedFile::StagedFile(const QString& path, const char* kind) : path_(path) {
    if (pathExists(path))
        throw StoreError(QStringLiteral("\"%1\" already exists; it was left as it is.").arg(path));
    staging_files::requireWritableFolder(path);
    staging_files::removeAbandoned(path);
    staging_ = staging_files::stagingPath(path, kind);
    staging_files::removeWithJournals(staging_);
}

StagedFile::~StagedFile() {
    staging_files::removeWithJournals(staging_);
}

bool StagedFile::pathExists(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

void StagedFile::publish() {
#ifdef _WIN32
    const bool placed = QFile::rename(staging_, path_);
    const int error = EIO;
#else
    syncToDisk(staging_, O_RDONLY, path_);
    // link() never replaces an existing file.
    const bool placed =
        ::link(QFile::encodeName(staging_).constData(), QFile::encodeName(path_).constData()) == 0;
    const int error = errno;
#endif
    if (!placed)
        throw StoreError(QStringLiteral("Cannot create \"%1\": %2.")
                             .arg(path_, pathExists(path_) ? QStringLiteral("it already exists")
                                                           : systemError(error)));
#ifndef _WIN32
    const QString folder = QFileInfo(path_).absolutePath();
    syncToDisk(folder, O_RDONLY | O_DIRECTORY, folder);
#endif
}
