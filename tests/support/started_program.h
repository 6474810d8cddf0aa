#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// The program's executable started as a user starts it: offscreen, in a desktop session of its
// own (so that nothing it prints comes from a missing one), from a folder of the test's choosing.
// It is killed when this goes.
class StartedProgram {
  public:
    StartedProgram(const QString& executable, const QString& workingDirectory);
    ~StartedProgram();
    StartedProgram(const StartedProgram&) = delete;
    StartedProgram& operator=(const StartedProgram&) = delete;

    // Puts the address book at path in write-ahead-log mode, as an older Tessaline left it; the
    // program switches it to the rollback journal as it opens it. Returns whether it is in it.
    static bool leaveInWriteAheadLogMode(const QString& book);
    // Whether it opened that book (which leaves it in rollback-journal mode with nothing beside
    // it) and still runs a moment later: no failure ended it.
    bool opensTheBook(const QString& book);
    // Ends it; returns what it printed on both channels.
    QByteArray stop();

    QProcess process;

  private:
    QTemporaryDir runtime_;
};
