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

    // Whether it opened the address book in folder, which leaves the engine's working files
    // beside it, and still runs a moment later: no failure ended it.
    bool opensTheBookIn(const QString& folder);
    // Ends it; returns what it printed on both channels.
    QByteArray stop();

    QProcess process;

  private:
    QTemporaryDir runtime_;
};
