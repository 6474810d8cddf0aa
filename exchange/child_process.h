#pragma once

#include <QStringList>
#include <QtGlobal>
#include <functional>
#include <sys/types.h>

// Runs a function in a forked copy of this process, so that whatever goes wrong inside it (a
// crash, an endless loop, memory without end) ends the copy and never the caller. The function
// writes its results to a pipe the caller reads; what it prints on standard output and standard
// error is kept in a scratch file the caller may read once it has finished.
class ChildProcess {
  public:
    struct Limits {
        int cpuSeconds = 600;                  // processor time before the child is stopped
        qint64 memoryBytes = qint64(1) << 30;  // address space it may add to what it inherits
        int silenceMs = 30000;                 // longest wait for the child to write
        qint64 outputBytes = qint64(16) << 20; // the most it may print
    };
    enum class ExitStatus { NormalExit, CrashExit, Timeout };

    // The function gets the descriptor to write to. The child ends with exit code 0 when the
    // function returns, 3 when it throws.
    using Body = std::function<void(int fd)>;

    ChildProcess(const Body& body, const Limits& limits);
    ~ChildProcess(); // a child still running is killed
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Reads what the child wrote, at most size bytes. Returns 0 at the end: the child closed the
    // pipe or died, or it was silent longer than allowed and has been killed.
    qint64 read(char* data, qint64 size);

    // Waits for the child to end and says how; only after read() returned 0.
    ExitStatus waitForFinished();
    int exitCode() const { return exitCode_; } // of a NormalExit
    int signal() const { return signal_; }     // that ended a CrashExit

    // Ends a child that is still running; waitForFinished() then reports a CrashExit.
    void kill();

    // How the child ended, in words: "signal 11 (Segmentation fault)", "exit code 3", ...
    QString endingText() const;

    // The distinct lines the child printed, at most a handful.
    QStringList output() const;

  private:
    [[noreturn]] static void runChild(const Body& body, const Limits& limits, int fd, int printed);

    Limits limits_;
    pid_t pid_ = -1;
    int readFd_ = -1;
    int printedFd_ = -1;
    bool timedOut_ = false;
    int exitCode_ = 0;
    int signal_ = 0;
};
