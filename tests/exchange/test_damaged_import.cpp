#include "exchange/child_process.h"
#include "support/access_writer.h"
#include "support/address_book_files.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
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

constexpr int kRows = 200;
constexpr int kSurname = 1;
constexpr int kNotes = 7; // "other", a memo

// The contacts of an old address book; the first one's notes need a page of their own.
QList<StoredRow> oldContacts() {
    QList<StoredRow> rows = sampleContacts(kRows);
    rows[0][kNotes] = QString(600, QLatin1Char('n'));
    return rows;
}

access_writer::File oldAddressBook() {
    return access_writer::build({QStringLiteral("address"),
                                 accessContactColumns({QStringLiteral("other")}), oldContacts()});
}

// The shapes of damage found in the field, made from a sound file.
enum class Shape {
    ZeroPageMap,
    ZeroCatalogPageMap,
    MoneyColumn,
    DateColumn,
    Cut,
    ZeroedPage,
    ZeroedMemoPage,
    Empty,
    Zeros
};

void putInt16(QByteArray& bytes, qint64 at, int value) {
    qToLittleEndian(quint16(value), bytes.data() + at);
}

// A row of a page becomes empty when it starts where the row before it does.
void empty(QByteArray& bytes, const access_writer::RowPlace& row) {
    putInt16(bytes, row.offsetEntry,
             qFromLittleEndian<quint16>(bytes.constData() + row.offsetEntry - 2));
}

int middleDataPage(const access_writer::Layout& layout) {
    return layout.tableDataPages[layout.tableDataPages.size() / 2];
}

QByteArray damaged(Shape shape) {
    const access_writer::File file = oldAddressBook();
    const access_writer::Layout& layout = file.layout;
    QByteArray bytes = file.bytes;
    const int page = middleDataPage(layout);
    switch (shape) {
    case Shape::ZeroPageMap:
        empty(bytes, layout.tableUsageMap);
        break;
    case Shape::ZeroCatalogPageMap: {
        // The catalog's map is the first row of its page, which cannot be empty; the row after
        // it is emptied and named as the catalog's map instead.
        access_writer::RowPlace next = layout.catalogUsageMap;
        next.offsetEntry += 2;
        empty(bytes, next);
        const qint64 mapPointer = qint64(layout.catalogDefinitionPage) * layout.pageSize + 55;
        bytes[mapPointer] = char(next.index + 1);
        break;
    }
    case Shape::MoneyColumn:
    case Shape::DateColumn:
        bytes[layout.columnDescriptors[kSurname]] = shape == Shape::MoneyColumn ? 0x05 : 0x08;
        break;
    case Shape::Cut:
        bytes.truncate(qint64(page) * layout.pageSize);
        break;
    case Shape::ZeroedPage:
        bytes.replace(qint64(page) * layout.pageSize, layout.pageSize,
                      QByteArray(layout.pageSize, '\0'));
        break;
    case Shape::ZeroedMemoPage:
        bytes.replace(qint64(layout.longValuePages.first()) * layout.pageSize, layout.pageSize,
                      QByteArray(layout.pageSize, '\0'));
        break;
    case Shape::Empty:
        return {};
    case Shape::Zeros:
        return QByteArray(2 * layout.pageSize, '\0');
    }
    return bytes;
}

// Whether each row of part is a row of whole, in the same order.
bool isPartOf(const QList<StoredRow>& part, const QList<StoredRow>& whole) {
    qsizetype at = 0;
    for (const StoredRow& row : part) {
        while (at < whole.size() && whole[at] != row)
            ++at;
        if (at++ == whole.size())
            return false;
    }
    return true;
}

} // namespace

Q_DECLARE_METATYPE(Shape)
Q_DECLARE_METATYPE(Behaviour)
Q_DECLARE_METATYPE(ChildProcess::ExitStatus)

class TestDamagedImport : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    // Imports the old file at oldPath, expecting a refusal that names what and leaves nothing.
    void verifyRefused(const QStringList& options, const QString& oldPath, const QString& what) {
        const QStringList before = entriesOf(dir.path());
        const ToolRun run = runTool(QStringList{"import"} + options +
                                    QStringList{oldPath, dir.filePath("new.mdb")});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(what), qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
        QCOMPARE(entriesOf(dir.path()), before);
    }

  private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    // Every shape of damage is refused whole by default, naming what is wrong and the way to
    // salvage what is left; a salvage takes what can be read and says it is incomplete.
    void refusesDamageAndSalvagesWhatIsLeft_data() {
        QTest::addColumn<Shape>("shape");
        QTest::addColumn<QString>("damage");
        QTest::addColumn<bool>("salvageable");
        QTest::addColumn<int>("emptied");     // the column left empty, or -1: rows are lost
        QTest::addColumn<int>("emptiedRows"); // in so many rows, from the first
        const QString surname = QStringLiteral("The column \"Surname\" could not be read in 200 "
                                               "contacts");
        const access_writer::Layout layout = oldAddressBook().layout;
        const QString notes = QStringLiteral("The column \"other\" could not be read in 1 contact "
                                             "(page %1)")
                                  .arg(layout.tableDataPages.first());
        const int middle = middleDataPage(layout);
        const QString pages = QStringLiteral("Pages %1 to %2 of the old table could not be read")
                                  .arg(middle)
                                  .arg(layout.tableDataPages.last());
        const QString page =
            QStringLiteral("Page %1 of the old table could not be read").arg(middle);
        QTest::newRow("zero-size page map")
            << Shape::ZeroPageMap << QStringLiteral("The table \"address\" has no page map")
            << false << -1 << 0;
        QTest::newRow("zero-size page map in the catalog")
            << Shape::ZeroCatalogPageMap << QStringLiteral("Its list of tables has no page map")
            << false << -1 << 0;
        QTest::newRow("text retyped as money")
            << Shape::MoneyColumn << surname << true << kSurname << kRows;
        QTest::newRow("text retyped as date")
            << Shape::DateColumn << surname << true << kSurname << kRows;
        QTest::newRow("cut") << Shape::Cut << pages << true << -1 << 0;
        QTest::newRow("zeroed page") << Shape::ZeroedPage << page << true << -1 << 0;
        QTest::newRow("zeroed memo page") << Shape::ZeroedMemoPage << notes << true << kNotes << 1;
        QTest::newRow("empty") << Shape::Empty << QStringLiteral("is empty") << false << -1 << 0;
        QTest::newRow("zeros") << Shape::Zeros << QStringLiteral("is neither a vCard file nor CSV")
                               << false << -1 << 0;
    }
    void refusesDamageAndSalvagesWhatIsLeft() {
        QFETCH(Shape, shape);
        QFETCH(QString, damage);
        QFETCH(bool, salvageable);
        QFETCH(int, emptied);
        QFETCH(int, emptiedRows);
        const QString old = dir.filePath(QStringLiteral("old-%1.mdb").arg(int(shape)));
        {
            QFile file(old);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(damaged(shape));
        }
        verifyRefused({}, old, damage);
        if (!salvageable) {
            verifyRefused({"--salvage"}, old, damage);
            return;
        }
        verifyRefused({}, old, QStringLiteral("Run the import again with --salvage"));
        const QString salvaged = dir.filePath(QStringLiteral("salvaged-%1.mdb").arg(int(shape)));
        const ToolRun run = runTool({"import", "--salvage", old, salvaged});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.contains("Damage: " + damage), qPrintable(run.out));
        QList<StoredRow> expected = oldContacts();
        for (int row = 0; row < emptiedRows; ++row)
            expected[row][emptied] = QVariant();
        const QList<StoredRow> rows = rowsIn(salvaged);
        QVERIFY2(run.out.contains(QStringLiteral("Salvaged %1 contacts of the 200 the old table "
                                                 "declares")
                                      .arg(rows.size())),
                 qPrintable(run.out));
        QVERIFY(run.out.contains("The new address book is incomplete"));
        if (emptied >= 0)
            QCOMPARE(rows, expected);
        QVERIFY(rows.size() > 0 && isPartOf(rows, expected));
        QVERIFY(QFile::remove(salvaged));
    }

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

    // Memory without end is cut off, whatever the child then makes of the failed allocation
    // (a build with AddressSanitizer may stall over it until the silence runs out).
    void stopsAChildThatHoardsMemory() {
        ChildProcess::Limits limits;
        limits.memoryBytes = qint64(64) << 20;
        limits.silenceMs = 5000;
        ChildProcess child([](int fd) { behave(Behaviour::Hoards, fd); }, limits);
        QCOMPARE(readAll(child), QByteArray());
        const ChildProcess::ExitStatus status = child.waitForFinished();
        QVERIFY2(status != ChildProcess::ExitStatus::NormalExit || child.exitCode() != 0,
                 qPrintable(child.endingText()));
    }
};

QTEST_GUILESS_MAIN(TestDamagedImport)
#include "test_damaged_import.moc"
