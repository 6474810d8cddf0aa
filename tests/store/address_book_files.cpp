#include "address_book_files.h"

#include "access_import.h"
#include "db_tool.h"

#include <QDir>
#include <QFile>
#include <QTextStream>

QString fixturePath(const QString& name) {
    return qEnvironmentVariable("TESSALINE_FIXTURES") + QLatin1Char('/') + name;
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
