#include "child_process.h"

#include <QElapsedTimer>
#include <QtTest>
#include <csignal>
#include <cstdio>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

// What the body of a child process does.
enum class Behaviour { Writes, Prints, Crashes, Hangs, Spins, Hoards };

void behave(Behaviour behaviour, int fd) {
    switch (behaviour) {
    case Behaviour::Writes:
        if (::write(fd, "rows", 4) != 4)
            std::abort();
        return;
    case Behaviour::Prints:
        std::fputs("warning: first\nerror: second\nwarning: first\n", stderr);
        std::fputs("on standard output\n", stdout);
        return;
    case Behaviour::Crashes:
        std::raise(SIGSEGV);
        return;
    case Behaviour::Hangs:
        for (;;)
            ::pause();
    case Behaviour::Spins: {
        volatile bool spinning = true;
        while (spinning) {
        }
        return;
    }
    case Behaviour::Hoards: {
        std::vector<std::unique_ptr<char[]>> hoard;
        for (;;) {
            hoard.emplace_back(new char[1 << 20]);
            std::fill_n(hoard.back().get(), 1 << 20, 'x');
        }
    }
    }
}

// Everything the child writes, until it closes its end or is stopped.
QByteArray readAll(ChildProcess& child) {
    QByteArray all;
    char chunk[256];
    while (const qint64 got = child.read(chunk, sizeof chunk))
        all.append(chunk, qsizetype(got));
    return all;
}

} // namespace

Q_DECLARE_METATYPE(Behaviour)
Q_DECLARE_METATYPE(ChildProcess::ExitStatus)

class TestDamagedImport : public QObject {
    Q_OBJECT

  private slots:
    // Whatever the reading child does, the parent learns how it ended, in bounded time.
    void containsWhatGoesWrongInTheChild_data() {
        QTest::addColumn<Behaviour>("behaviour");
        QTest::addColumn<ChildProcess::ExitStatus>("status");
        QTest::addColumn<QString>("ending");
        QTest::addColumn<QString>("read");
        QTest::addColumn<QStringList>("printed");
        using Status = ChildProcess::ExitStatus;
        QTest::newRow("writes") << Behaviour::Writes << Status::NormalExit
                                << QStringLiteral("exit code 0") << QStringLiteral("rows")
                                << QStringList();
        QTest::newRow("prints") << Behaviour::Prints << Status::NormalExit
                                << QStringLiteral("exit code 0") << QString()
                                << QStringList{"warning: first", "error: second",
                                               "on standard output"};
        QTest::newRow("crashes") << Behaviour::Crashes << Status::CrashExit
                                 << QStringLiteral("signal 11 (Segmentation fault)") << QString()
                                 << QStringList();
        QTest::newRow("hangs") << Behaviour::Hangs << Status::Timeout
                               << QStringLiteral("no answer for 0.5 seconds") << QString()
                               << QStringList();
        QTest::newRow("spins") << Behaviour::Spins << Status::CrashExit
                               << QStringLiteral("signal 24 (CPU time limit exceeded)") << QString()
                               << QStringList();
    }
    void containsWhatGoesWrongInTheChild() {
        QFETCH(Behaviour, behaviour);
        QFETCH(ChildProcess::ExitStatus, status);
        ChildProcess::Limits limits;
        limits.cpuSeconds = 1;
        limits.silenceMs = behaviour == Behaviour::Hangs ? 500 : 20000;
        QElapsedTimer timer;
        timer.start();
        ChildProcess child([behaviour](int fd) { behave(behaviour, fd); }, limits);
        const QByteArray read = readAll(child);
        QCOMPARE(child.waitForFinished(), status);
        QTEST(child.endingText(), "ending");
        QTEST(QString::fromLatin1(read), "read");
        QTEST(child.output(), "printed");
        QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));
    }

    // Memory without end is cut off, whatever the child then makes of the failed allocation.
    void stopsAChildThatHoardsMemory() {
        ChildProcess::Limits limits;
        limits.memoryBytes = qint64(64) << 20;
        ChildProcess child([](int fd) { behave(Behaviour::Hoards, fd); }, limits);
        QCOMPARE(readAll(child), QByteArray());
        const ChildProcess::ExitStatus status = child.waitForFinished();
        QVERIFY2(status == ChildProcess::ExitStatus::CrashExit || child.exitCode() != 0,
                 qPrintable(child.endingText()));
    }
};

QTEST_GUILESS_MAIN(TestDamagedImport)
#include "test_damaged_import.moc"
