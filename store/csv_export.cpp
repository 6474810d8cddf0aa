#include "store/csv_export.h"

#include "store/contact_table.h"

#include <QStringList>

namespace csv_export {

namespace {

const QString kRecordEnd = QStringLiteral("\r\n");

void writeRecord(QTextStream& out, const QList<QVariant>& values) {
    QStringList fields;
    for (const QVariant& value : values)
        fields << field(value);
    out << fields.join(QLatin1Char(',')) << kRecordEnd;
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

    const QByteArray select = QStringLiteral("SELECT %1 FROM address ORDER BY rowid")
                                  .arg(contact_table::quotedColumnList())
                                  .toUtf8();
    Statement rows(db, select.constData());
    int written = 0;
    while (rows.step()) {
        QList<QVariant> values;
        for (int column = 0; column < contact_table::kColumnCount; ++column)
            values << rows.value(column);
        writeRecord(out, values);
        ++written;
    }
    return written;
}

} // namespace csv_export
