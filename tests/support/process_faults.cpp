#include "support/process_faults.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

qint64 endedProcess() {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

// The child tells through a pipe that it holds the lock; until then the test must not go on.
LockHolder::LockHolder(const QString& path) {
    int ready[2];
    QVERIFY(::pipe(ready) == 0);
    pid_ = ::fork();
    if (pid_ == 0) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR);
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        if (fd < 0 || ::fcntl(fd, F_SETLKW, &lock) != 0 || ::write(ready[1], "x", 1) != 1)
            ::_exit(1);
        ::pause();
    }
    char byte = 0;
    ::close(ready[1]);
    QCOMPARE(::read(ready[0], &byte, 1), ssize_t(1));
    ::close(ready[0]);
}

LockHolder::~LockHolder() {
    if (pid_ <= 0)
        return;
    ::kill(pid_t(pid_), SIGKILL);
    ::waitpid(pid_t(pid_), nullptr, 0);
}

void asUnprivilegedUser() {
    constexpr unsigned kNobody = 65534;
    if (::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
        ::_exit(125);
}

namespace {

constexpr int kNoNamespace = 77;

bool writeWhole(const char* path, const QByteArray& text) {
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    const bool written =
        fd >= 0 && ::write(fd, text.constData(), size_t(text.size())) == ssize_t(text.size());
    if (fd >= 0)
        ::close(fd);
    return written;
}

} // namespace

void rerunInOwnNamespace() {
    const QByteArray users = QByteArray("0 ") + QByteArray::number(::getuid()) + " 1";
    const QByteArray groups = QByteArray("0 ") + QByteArray::number(::getgid()) + " 1";
    QProcess copy;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QLatin1String(kInNamespace), QStringLiteral("1"));
    copy.setProcessEnvironment(environment);
    // Only system calls between fork and exec: the strings are made before.
    copy.setChildProcessModifier([users, groups] {
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0 ||
            !writeWhole("/proc/self/setgroups", "deny") ||
            !writeWhole("/proc/self/uid_map", users) || !writeWhole("/proc/self/gid_map", groups))
            ::_exit(kNoNamespace);
    });
    const QString test = QString::fromLatin1(QTest::currentTestFunction()) + QLatin1Char(':') +
                         QString::fromLatin1(QTest::currentDataTag());
    copy.start(QCoreApplication::applicationFilePath(), {test});
    QVERIFY(copy.waitForFinished(120000));
    const QByteArray output = copy.readAllStandardOutput() + copy.readAllStandardError();
    if (copy.exitCode() == kNoNamespace)
        QSKIP("Mounting a small file system needs the right to mount, or namespaces of one's own.");
    QVERIFY2(copy.exitStatus() == QProcess::NormalExit && copy.exitCode() == 0, output.constData());
    QVERIFY2(output.contains("PASS   : ") && !output.contains("SKIP   : "), output.constData());
}

SmallDisk::SmallDisk(const QString& folder) : folder_(QFile::encodeName(folder)) {
    QDir().mkpath(folder);
    mounted_ = ::mount("tessaline-test", folder_.constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                       "size=256k") == 0;
}

SmallDisk::~SmallDisk() {
    if (mounted_)
        ::umount2(folder_.constData(), MNT_DETACH);
}
