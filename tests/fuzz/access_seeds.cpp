// Writes the seeds of fuzz_access_import into a folder: small address books in each form of the
// old Access format that the tests' writer makes.
#include "store/contact_table.h"
#include "support/access_writer.h"

#include <QDate>
#include <QDir>
#include <cstdio>

using namespace access_writer;

namespace {

Table addressTable(int rows) {
    QList<Column> columns;
    for (const QString& name : contact_table::columnNames())
        columns << Column{name};
    columns[7].type = ColumnType::Memo;
    columns[8].type = ColumnType::DateTime;
    columns << Column{QStringLiteral("visits"), ColumnType::LongInteger};
    Table table{QStringLiteral("address"), columns, {}};
    for (int i = 0; i < rows; ++i) {
        Row row;
        for (int column = 0; column < 7; ++column)
            row << (i % 5 == column ? QVariant() : QVariant(QStringLiteral("v%1 é €").arg(i)));
        row << QVariant(QString(i == 1 ? 3000 : 20, QLatin1Char('m')))
            << QVariant(QDate(2000, 1, 1).addDays(i)) << QVariant() << QVariant(i);
        table.rows << row;
    }
    return table;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    const QList<std::pair<const char*, Options>> forms{{"jet3", {Version::Jet3}},
                                                       {"jet4", {Version::Jet4}},
                                                       {"jet4-compressed", {Version::Jet4, true}}};
    for (const auto& [name, options] : forms)
        for (const int rows : {1, 12, 40})
            write(folder.filePath(QStringLiteral("%1-%2.mdb").arg(QLatin1String(name)).arg(rows)),
                  addressTable(rows), options);
    return 0;
}
