#include "sync/sync_report.h"

#include "exchange/vcard_line.h"

namespace {

QString shown(const QVariant& value) {
    if (!value.isValid())
        return QStringLiteral("(nothing)");
    QString text = value.toString();
    text.replace(QLatin1String("\r\n"), QLatin1String("\\n")).replace(QLatin1Char('\n'), "\\n");
    return QLatin1Char('"') + text + QLatin1Char('"');
}

} // namespace

QString SyncReport::nameOf(const RowValues& values) {
    const QString name = vcard::fullName(values[contact_table::Column::Name].toString(),
                                         values[contact_table::Column::Surname].toString());
    return name.isEmpty() ? QStringLiteral("(a contact without a name)") : name;
}

QString SyncReport::columnValues(const RowValues& contact, contact_table::Column column,
                                 const QString& firstSide, const QVariant& first,
                                 const QString& secondSide, const QVariant& second) {
    return QStringLiteral("%1, %2: %3 %4, %5 %6")
        .arg(nameOf(contact), contact_table::columnTitle(column), firstSide, shown(first),
             secondSide, shown(second));
}
