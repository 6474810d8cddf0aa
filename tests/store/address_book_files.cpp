#include "address_book_files.h"

#include "store/access_import.h"
#include "store/contact_table.h"
#include "store/db_tool.h"
#include "store/sqlite_db.h"

#include <QDir>
#include <QFile>
#include <QTextStream>

QString fixturePath(const QString& name) {
    return qEnvironmentVariable("TESSALINE_FIXTURES") + QLatin1Char('/') + name;
}

QList<FileRow> rowsIn(const QString& path) {
    Database db(path, Database::Mode::ReadOnly);
    contact_table::registerCollation(db.handle());
    const QByteArray sql = QStringLiteral("SELECT %1 FROM address ORDER BY rowid")
                               .arg(contact_table::quotedColumnList())
                               .toUtf8();
    Statement select(db, sql.constData());
    QList<FileRow> rows;
    while (select.step()) {
        FileRow values;
        for (int i = 0; i < contact_table::kColumnCount; ++i)
            values << select.value(i);
        rows << values;
    }
    return rows;
}

ToolRun runTool(const QStringList& arguments) {
    ToolRun run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    run.exitCode = runDbTool(arguments, out, err, access_import::importAddressBook);
    out.flush();
    err.flush();
    return run;
}

QStringList entriesOf(const QString& directory) {
    return QDir(directory).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray contentOf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void execOn(const QString& path, const char* sql) {
    Database db(path, Database::Mode::ReadWrite);
    contact_table::registerCollation(db.handle());
    db.exec(sql);
}
