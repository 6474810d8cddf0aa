#include "support/started_program.h"

#include "store/sqlite_db.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

StartedProgram::StartedProgram(const QString& executable, const QString& workingDirectory) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_.path());
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(workingDirectory);
    process.start(executable, {});
    process.waitForStarted();
}

StartedProgram::~StartedProgram() {
    stop();
}

namespace {

// Byte 18 of an SQLite file's header is 2 in write-ahead-log mode, 1 with the rollback journal.
bool inWriteAheadLogMode(const QString& book) {
    QFile file(book);
    return file.open(QIODevice::ReadOnly) && file.read(19).endsWith(char(2));
}

} // namespace

bool StartedProgram::leaveInWriteAheadLogMode(const QString& book) {
    Database(book, Database::Mode::ReadWrite).exec("PRAGMA journal_mode = WAL");
    return inWriteAheadLogMode(book);
}

bool StartedProgram::opensTheBook(const QString& book) {
    // SQLite removes the write-ahead log only after it has left that mode, so both are waited for.
    const QFileInfo info(book);
    const auto aloneInRollbackMode = [&] {
        return !inWriteAheadLogMode(book) &&
               info.dir().entryList({info.fileName() + QLatin1Char('*')}) ==
                   QStringList{info.fileName()};
    };
    if (!QTest::qWaitFor(aloneInRollbackMode, 10000))
        return false;
    QTest::qWait(500);
    return process.state() == QProcess::Running;
}

QByteArray StartedProgram::stop() {
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
    }
    return process.readAllStandardError() + process.readAllStandardOutput();
}
