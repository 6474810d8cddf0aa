#include "exchange/column_match.h"

#include "store/sqlite_db.h"

namespace column_match {

std::optional<contact_table::Column> columnNamed(const QString& name) {
    for (const contact_table::ColumnDescription& description : contact_table::kSchema)
        if (name.compare(QLatin1String(description.storedName), Qt::CaseInsensitive) == 0)
            return description.column;
    return std::nullopt;
}

QString skippedNote(const char* column, const QString& name) {
    return QStringLiteral("The %1 %2 has no place in a Tessaline address book; it was skipped.")
        .arg(QLatin1String(column), quoted(name));
}

QStringList emptyNotes(const char* source, const Filled& filled) {
    QStringList notes;
    for (const contact_table::ColumnDescription& description : contact_table::kSchema)
        if (!filled[contact_table::position(description.column)])
            notes << QStringLiteral("The %1 has no column %2; it stays empty.")
                         .arg(QLatin1String(source), quoted(QLatin1String(description.storedName)));
    return notes;
}

} // namespace column_match
