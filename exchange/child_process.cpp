#include "exchange/child_process.h"

#include "store/store_error.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QThread>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kThrewExitCode = 3;
constexpr qsizetype kMaxOutputLines = 8;
constexpr qint64 kOutputReadBytes = 64 * 1024;

// The address space this process already holds, or 0 when the system does not say.
rlim_t addressSpaceInUse() {
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (!statm)
        return 0;
    unsigned long pages = 0;
    const bool read = std::fscanf(statm, "%lu", &pages) == 1;
    std::fclose(statm);
    return read ? rlim_t(pages) * rlim_t(::sysconf(_SC_PAGESIZE)) : 0;
}

void limit(int resource, rlim_t soft, rlim_t hard) {
    const rlimit value{soft, hard};
    ::setrlimit(resource, &value);
}

// Memory is counted on top of what the child inherits: a build with AddressSanitizer starts
// with terabytes of reserved address space.
void applyLimits(const ChildProcess::Limits& limits) {
    limit(RLIMIT_CPU, rlim_t(limits.cpuSeconds), rlim_t(limits.cpuSeconds) + 5);
    if (const rlim_t inUse = addressSpaceInUse()) {
        const rlim_t cap = inUse + rlim_t(limits.memoryBytes);
        limit(RLIMIT_AS, cap, cap);
    }
    limit(RLIMIT_FSIZE, rlim_t(limits.outputBytes), rlim_t(limits.outputBytes));
    limit(RLIMIT_CORE, 0, 0);
}

// A crash must end the child by its signal, whoever installed a handler before the fork; output
// beyond the limit is dropped rather than ending it.
void resetSignals() {
    for (const int fatal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGPIPE, SIGXCPU})
        std::signal(fatal, SIG_DFL);
    std::signal(SIGXFSZ, SIG_IGN);
}

void closeQuietly(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

ChildProcess::ChildProcess(const Body& body, const Limits& limits) : limits_(limits) {
    std::FILE* printed = std::tmpfile();
    int fds[2];
    if (!printed || ::pipe2(fds, O_CLOEXEC) != 0) {
        if (printed)
            std::fclose(printed);
        throw StoreError(QStringLiteral("Cannot start a reader process: %1.")
                             .arg(QString::fromLocal8Bit(std::strerror(errno))));
    }
    printedFd_ = ::dup(::fileno(printed));
    std::fclose(printed);
    std::fflush(nullptr); // nothing buffered may be written twice
    pid_ = ::fork();
    if (pid_ == 0) {
        ::close(fds[0]);
        runChild(body, limits, fds[1], printedFd_);
    }
    ::close(fds[1]);
    readFd_ = fds[0];
    if (pid_ < 0) {
        closeQuietly(readFd_);
        closeQuietly(printedFd_);
        throw StoreError(QStringLiteral("Cannot start a reader process: %1.")
                             .arg(QString::fromLocal8Bit(std::strerror(errno))));
    }
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        kill();
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
    }
    closeQuietly(readFd_);
    closeQuietly(printedFd_);
}

void ChildProcess::runChild(const Body& body, const Limits& limits, int fd, int printed) {
    applyLimits(limits);
    resetSignals();
    ::dup2(printed, STDOUT_FILENO);
    ::dup2(printed, STDERR_FILENO);
    int code = 0;
    try {
        body(fd);
    } catch (...) {
        code = kThrewExitCode;
    }
    std::fflush(nullptr);
    ::_exit(code); // no destructors or exit handlers of the parent's objects
}

void ChildProcess::kill() {
    if (pid_ > 0)
        ::kill(pid_, SIGKILL);
}

qint64 ChildProcess::read(char* data, qint64 size) {
    if (readFd_ < 0)
        return 0;
    for (;;) {
        pollfd ready{readFd_, POLLIN, 0};
        const int polled = ::poll(&ready, 1, limits_.silenceMs);
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled == 0) {
            timedOut_ = true;
            kill();
            closeQuietly(readFd_);
            return 0;
        }
        const ssize_t got = ::read(readFd_, data, size_t(size));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            closeQuietly(readFd_);
        return qMax<qint64>(got, 0);
    }
}

ChildProcess::ExitStatus ChildProcess::waitForFinished() {
    if (pid_ <= 0)
        throw StoreError(QStringLiteral("The reader process has already been waited for."));
    QElapsedTimer waited;
    waited.start();
    int status = 0;
    // A child that closed its pipe ends at once; one that lingers is treated as hanging.
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
        if (waited.elapsed() > limits_.silenceMs) {
            timedOut_ = true;
            kill();
        }
        QThread::msleep(waited.elapsed() < 100 ? 1 : 20);
    }
    pid_ = -1;
    closeQuietly(readFd_);
    if (WIFSIGNALED(status))
        signal_ = WTERMSIG(status);
    else
        exitCode_ = WEXITSTATUS(status);
    if (timedOut_)
        return ExitStatus::Timeout;
    return WIFSIGNALED(status) ? ExitStatus::CrashExit : ExitStatus::NormalExit;
}

QString ChildProcess::endingText() const {
    if (timedOut_)
        return QStringLiteral("no answer for %1 seconds").arg(limits_.silenceMs / 1000.0);
    if (signal_ != 0)
        return QStringLiteral("signal %1 (%2)")
            .arg(signal_)
            .arg(QString::fromLocal8Bit(::strsignal(signal_)));
    if (exitCode_ == kThrewExitCode)
        return QStringLiteral("an unexpected error");
    return QStringLiteral("exit code %1").arg(exitCode_);
}

QStringList ChildProcess::output() const {
    QByteArray text(kOutputReadBytes, Qt::Uninitialized);
    const ssize_t got =
        printedFd_ >= 0 ? ::pread(printedFd_, text.data(), size_t(text.size()), 0) : -1;
    text.truncate(qMax<ssize_t>(got, 0));
    QStringList distinct;
    for (const QByteArray& line : text.split('\n')) {
        const QString trimmed = QString::fromUtf8(line).trimmed();
        if (!trimmed.isEmpty() && !distinct.contains(trimmed) && distinct.size() < kMaxOutputLines)
            distinct << trimmed;
    }
    return distinct;
}
