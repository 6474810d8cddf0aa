#include "support/event_loop_process.h"

#include <QEventLoop>
#include <QTimer>

namespace {

const QString kExecutable = QStringLiteral(TESSALINE_DB_EXECUTABLE);

// Runs the tool for at most ms; returns whether it ended by itself.
bool runToolFor(const QStringList& arguments, int ms, QByteArray* out, QByteArray* err,
                int* exitCode) {
    QProcess process;
    process.start(kExecutable, arguments);
    const bool ended = finishInEventLoop(process, ms);
    if (out)
        *out = process.readAllStandardOutput();
    if (err)
        *err = process.readAllStandardError();
    *exitCode = ended && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return ended;
}

} // namespace

bool finishInEventLoop(QProcess& process, int timeoutMs) {
    if (!process.waitForStarted())
        return false;
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    deadline.start(timeoutMs);
    if (process.state() != QProcess::NotRunning)
        loop.exec();
    if (process.state() == QProcess::NotRunning)
        return true;
    process.kill();
    process.waitForFinished();
    return false;
}

int runTool(const QStringList& arguments, QByteArray* out, QByteArray* err, int timeoutMs) {
    int exitCode = -1;
    runToolFor(arguments, timeoutMs, out, err, &exitCode);
    return exitCode;
}

bool killToolAfter(const QStringList& arguments, int ms, QByteArray* out, QByteArray* err) {
    int exitCode = -1;
    return !runToolFor(arguments, ms, out, err, &exitCode);
}
