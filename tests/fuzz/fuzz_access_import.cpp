// Feeds arbitrary bytes to the import as an old Access file, to be taken whole and, when that is
// refused for what it would lose, to be salvaged. Each import ends in one of two ways: a new book
// holding the contacts its summary counts (all the old table declares, unless a salvage lists what
// it lost), or a StoreError that leaves nothing behind.
//
// The reading runs in a child process, as it does for users. A sanitizer report from the child is
// written to a file of its own and judged here: a fault inside libmdb stays contained and is
// counted (the counts are printed at the end), a fault in our code fails the run. When the child
// came through, the reading runs once more in this process, so that its coverage guides the
// fuzzer. The importing side's reader of frames also gets the bytes as a stream: it may refuse
// them, never crash on them.
#include "exchange/access_import.h"
#include "exchange/access_table_reader.h"
#include "exchange/row_stream.h"
#include "store/contact_table.h"
#include "store/sqlite_db.h"
#include "store/store_error.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pthread.h>
#include <sanitizer/common_interface_defs.h>
#include <unistd.h>

namespace {

[[noreturn]] void fail(const QString& why) {
    std::fprintf(stderr, "fuzz_access_import: %s\n", qPrintable(why));
    std::abort();
}

// A folder in memory when there is one: every input makes a new book.
const QDir& scratch() {
    static const QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                       ? QStringLiteral("/dev/shm/tessaline-fuzz-XXXXXX")
                                       : QDir::temp().filePath(QStringLiteral("fuzz-XXXXXX")));
    static const QDir folder(dir.path());
    return folder;
}

// libmdb's faults that the child contained, by kind.
QMap<QString, int>& contained() {
    static QMap<QString, int> counts;
    return counts;
}

void printContained() {
    for (auto kind = contained().cbegin(); kind != contained().cend(); ++kind)
        std::fprintf(stderr, "contained in the reader: %s (%d inputs)\n", qPrintable(kind.key()),
                     kind.value());
}

// The folder where the reader's child processes write their sanitizer reports.
const QByteArray& reportPrefix() {
    static const QTemporaryDir dir;
    static const QByteArray prefix = QFile::encodeName(dir.filePath(QStringLiteral("report")));
    return prefix;
}

// In a child: its reports go to a file, and it ends without libFuzzer's handling of a death,
// which would take the child's input for a crash of the fuzzer.
void reportToFile() {
    __sanitizer_set_report_path(reportPrefix().constData());
    __sanitizer_set_death_callback([] { ::_exit(1); });
}

// The first frame of a report outside the sanitizers' own, or a runtime error's place.
QString blamed(const QString& report) {
    static const QRegularExpression frame(
        QStringLiteral(R"(^\s*#\d+ 0x[0-9a-f]+ (?:in (\S+))?(.*)$)"),
        QRegularExpression::MultilineOption);
    for (auto match = frame.globalMatch(report); match.hasNext();) {
        const QRegularExpressionMatch next = match.next();
        const QString function = next.captured(1);
        if (!function.startsWith(QLatin1String("__")))
            return function + next.captured(2);
    }
    return report.section(QLatin1Char('\n'), 0, 2);
}

// Fails the run for a report that blames our code; counts those that blame libmdb.
void judgeReports() {
    const QFileInfo prefix(QFile::decodeName(reportPrefix()));
    for (const QFileInfo& file : prefix.dir().entryInfoList(QDir::Files)) {
        QFile reportFile(file.filePath());
        reportFile.open(QIODevice::ReadOnly);
        const QString report = QString::fromUtf8(reportFile.readAll());
        reportFile.remove();
        const QString where = blamed(report);
        if (!where.contains(QLatin1String("libmdb.so")))
            fail(QStringLiteral("a fault of ours in the reader's child process:\n") + report);
        ++contained()[report.section(QLatin1String("SUMMARY: "), 1)
                          .section(QLatin1Char('\n'), 0, 0)];
    }
}

// Whether an import's message says the reader did not come through; counts how it ended.
bool readerStopped(const QString& text) {
    static const QRegularExpression stopped(
        QStringLiteral("The Access reader stopped [^:]*: (signal \\d+ \\([^)]*\\)|no answer)"));
    const QRegularExpressionMatch match = stopped.match(text);
    if (match.hasMatch())
        ++contained()[match.captured(1)];
    return text.contains(QLatin1String("The Access reader stopped"));
}

qint64 storedContacts(const QString& path) {
    Database db(path, Database::Mode::ReadOnly);
    contact_table::registerCollation(db.handle());
    Statement count(db, "SELECT count(*) FROM address");
    count.step();
    return count.integer(0);
}

void removeBook(const QString& path) {
    for (const char* suffix : {"", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));
}

struct Outcome {
    bool readerCameThrough = true;
    bool salvageable = false; // refused whole for what a salvage would leave out
};

// Imports old into a new book and checks how that ended.
Outcome importOnce(const QString& old, ImportMode mode) {
    const QString book = scratch().filePath(QStringLiteral("new.mdb"));
    try {
        const ImportSummary summary = access_import::importAddressBook(old, book, {}, mode);
        if (storedContacts(book) != summary.contacts)
            fail(QStringLiteral("the new book holds other than its summary counts"));
        const bool whole = summary.losses.isEmpty();
        if (whole && summary.contacts != summary.declared)
            fail(QStringLiteral("rows went missing without a word"));
        if (!whole && mode == ImportMode::AllOrNothing)
            fail(QStringLiteral("an incomplete import was let through"));
        removeBook(book);
        return {!readerStopped(summary.losses.join(QLatin1Char('\n'))), false};
    } catch (const StoreError& error) {
        const QStringList left = scratch().entryList(QDir::AllEntries | QDir::Hidden |
                                                     QDir::System | QDir::NoDotAndDotDot);
        if (left != QStringList{QStringLiteral("old.mdb")})
            fail(QStringLiteral("a failed import left %1").arg(left.join(QLatin1Char(' '))));
        return {!readerStopped(error.description()),
                error.description().contains(QLatin1String("--salvage"))};
    }
}

// Our side of the reading, in this process: it must write a well-formed stream with an end.
void readInProcess(const QString& old) {
    std::FILE* frames = std::tmpfile();
    const int fd = ::fileno(frames);
    row_stream::FrameWriter out(fd);
    access_import::readAddressTable(old, out);
    ::lseek(fd, 0, SEEK_SET);
    row_stream::FrameReader in(
        [fd](char* data, qint64 size) { return qint64(::read(fd, data, size_t(size))); });
    bool ended = false;
    try {
        while (const std::optional<row_stream::Frame> frame = in.next())
            ended =
                frame->kind == row_stream::Kind::End || frame->kind == row_stream::Kind::Failure;
    } catch (const StoreError& error) {
        fail(QStringLiteral("our reader wrote a malformed stream: ") + error.description());
    }
    std::fclose(frames);
    if (!ended)
        fail(QStringLiteral("our reader's stream has no end"));
}

void parseAsFrames(const std::uint8_t* data, std::size_t size) {
    std::size_t at = 0;
    row_stream::FrameReader in([&](char* out, qint64 want) {
        const std::size_t piece = qMin(std::size_t(want), size - at);
        std::memcpy(out, data + at, piece);
        at += piece;
        return qint64(piece);
    });
    try {
        while (in.next()) {
        }
    } catch (const StoreError&) {
    }
}

} // namespace

// What libmdb leaves allocated is its own affair; the fuzzer looks for leaks of ours.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libmdb.so\n";
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    reportPrefix();
    ::pthread_atfork(nullptr, nullptr, reportToFile);
    std::atexit(printContained);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    parseAsFrames(data, size);
    const QString old = scratch().filePath(QStringLiteral("old.mdb"));
    {
        QFile file(old);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size))
            fail(QStringLiteral("cannot write %1").arg(old));
    }
    const Outcome whole = importOnce(old, ImportMode::AllOrNothing);
    const Outcome salvaged = whole.salvageable ? importOnce(old, ImportMode::Salvage) : Outcome{};
    judgeReports();
    if (whole.readerCameThrough && salvaged.readerCameThrough &&
        contact_table::looksLikeAccessFile(old))
        readInProcess(old);
    return 0;
}
