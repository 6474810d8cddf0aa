#include "support/address_book_files.h"

#include "exchange/access_import.h"
#include "store/contact_table.h"
#include "store/sqlite_db.h"
#include "tool/db_tool.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QTextStream>

QString fixturePath(const QString& name) {
    return qEnvironmentVariable("TESSALINE_FIXTURES") + QLatin1Char('/') + name;
}

namespace {

QString text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

} // namespace

QList<StoredRow> sampleContacts(int count) {
    const QVariant null;
    const QString day = QStringLiteral("01/01/2024");
    QList<StoredRow> rows{
        {text("Hans"), text("MÜLLER"), text("+49 30 123"), null,
         text("Hauptstraße 1\r\n10115 Berlin"), text("hans@example.com"),
         text("http://example.com/"), text("näive “quotes”, comma; and 'apostrophe'"),
         text("01/02/2024"), text("03/04/2024")},
        {text("Ann"), text("O'Brien"), text("555-0100"), text("555-0101"), text("1 Main St"),
         text("ann@example.org"), null, QString(QLatin1String("")), text("01/02/2024"), null},
        {text("Émile"), text("Zoë"), null, null, null, null, null, text("Ελληνικά 日本語"),
         text("05/06/2024"), text("05/06/2024")},
    };
    for (int i = 3; i < count; ++i)
        rows << StoredRow{QStringLiteral("First%1").arg(i),
                          QStringLiteral("Last%1").arg(i % 997),
                          QStringLiteral("555-%1").arg(1000 + i),
                          null,
                          QStringLiteral("%1 Some Street").arg(i),
                          QStringLiteral("p%1@example.net").arg(i),
                          null,
                          null,
                          day,
                          day};
    return rows.mid(0, count);
}

QList<access_writer::Column> accessContactColumns(const QStringList& memos) {
    QList<access_writer::Column> columns;
    for (const QString& name : contact_table::columnNames())
        columns << access_writer::Column{name, memos.contains(name)
                                                   ? access_writer::ColumnType::Memo
                                                   : access_writer::ColumnType::Text};
    return columns;
}

access_writer::Layout writeAccessBook(const QString& path, const QList<StoredRow>& rows,
                                      const access_writer::Options& options,
                                      const QList<access_writer::Column>& columns) {
    return access_writer::write(path, {QStringLiteral("address"), columns, rows}, options);
}

ToolRun runTool(const QStringList& arguments) {
    ToolRun run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    run.exitCode = runDbTool(arguments, out, err);
    out.flush();
    err.flush();
    return run;
}

ToolRun runExecutable(const QString& executable, const QStringList& arguments,
                      const ProcessSetup& setup) {
    QProcess process;
    if (!setup.outputFile.isEmpty())
        process.setStandardOutputFile(setup.outputFile);
    if (setup.inChild)
        process.setChildProcessModifier(setup.inChild);
    process.start(executable, arguments);
    ToolRun run;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

void damagePage(const QString& path, int page) {
    constexpr qint64 kPageSize = 4096;
    const QByteArray bytes(600, '\x5a');
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.size() > (page + 2) * kPageSize);
    QVERIFY(file.seek(page * kPageSize + 8));
    QCOMPARE(file.write(bytes), bytes.size());
}

QStringList entriesOf(const QString& directory) {
    return QDir(directory).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray contentOf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}
