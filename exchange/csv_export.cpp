#include "exchange/csv_export.h"

#include "store/contact_table.h"
#include "store/table_row.h"
#include "store/written_output.h"

#include <QStringList>

namespace csv_export {

namespace {

const QString kRecordEnd = QStringLiteral("\r\n");

void writeRecord(QTextStream& out, const QList<QVariant>& values) {
    QStringList fields;
    for (const QVariant& value : values)
        fields << field(value);
    out << fields.join(QLatin1Char(',')) << kRecordEnd;
    // Stop at the first failure rather than go on writing into the void.
    written_output::requireWritten(out);
}

} // namespace

QString field(const QVariant& value) {
    if (value.isNull())
        return {};
    QString text = value.toString();
    const bool needsQuotes = text.isEmpty() || text.contains(QLatin1Char('"')) ||
                             text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('\r')) ||
                             text.contains(QLatin1Char('\n'));
    if (!needsQuotes)
        return text;
    text.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

int writeContacts(const Database& db, QTextStream& out) {
    QList<QVariant> header;
    for (const QString& name : contact_table::columnNames())
        header << name;
    writeRecord(out, header);

    return int(forEachContact(db, [&out](const RowValues& values) {
        writeRecord(out, QList<QVariant>(values.begin(), values.end()));
    }));
}

} // namespace csv_export
