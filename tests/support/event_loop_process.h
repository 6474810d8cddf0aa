#pragma once

#include <QByteArray>
#include <QProcess>
#include <QStringList>

// Child processes run while the test's own event loop turns, so that servers living in it (a
// fault proxy) keep answering them; waitForFinished() would starve those.

// Waits in a local event loop until the started process ends, and kills it (SIGKILL) when it
// still runs after timeoutMs. Returns whether it ended by itself.
bool finishInEventLoop(QProcess& process, int timeoutMs);

// Runs tessaline-db with these arguments; returns its exit code, or -1 when it was killed after
// timeoutMs. Its standard output and error go into out and err when given.
int runTool(const QStringList& arguments, QByteArray* out = nullptr, QByteArray* err = nullptr,
            int timeoutMs = 120000);

// Starts tessaline-db, lets it run for ms and kills it with SIGKILL, as a crash or a pulled plug
// would end it. Returns whether it was still running then (it might have finished first).
bool killToolAfter(const QStringList& arguments, int ms, QByteArray* out = nullptr,
                   QByteArray* err = nullptr);
