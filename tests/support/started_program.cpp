#include "started_program.h"

#include <QDir>
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

bool StartedProgram::opensTheBookIn(const QString& folder) {
    const QDir dir(folder);
    if (!QTest::qWaitFor([&] { return dir.exists(QStringLiteral("address.mdb-wal")); }, 10000))
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
