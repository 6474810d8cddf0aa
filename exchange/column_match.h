#pragma once

#include "store/contact_columns.h"
#include "store/sqlite_db.h"

#include <QString>
#include <QStringList>
#include <array>
#include <optional>

// How the columns of a file in another format (a CSV header, an old Access table) find ours: by
// their stored names in kSchema, without regard to case. What has no match is worded alike for
// every format; `source` names the file ("file", "old table") and `column` its columns
// ("column", "old column").
namespace column_match {

using Filled = std::array<bool, contact_table::kColumnCount>;

// The contact's column a column of that name fills; nothing when we have no place for it.
inline std::optional<contact_table::Column> columnNamed(const QString& name) {
    for (const contact_table::ColumnDescription& description : contact_table::kSchema)
        if (name.compare(QLatin1String(description.storedName), Qt::CaseInsensitive) == 0)
            return description.column;
    return std::nullopt;
}

// The note for a column of the file that has no place in ours.
inline QString skippedNote(const char* column, const QString& name) {
    return QStringLiteral("The %1 %2 has no place in a Tessaline address book; it was skipped.")
        .arg(QLatin1String(column), quoted(name));
}

// The notes for each of our columns that no column of the file fills, in the table's order.
inline QStringList emptyNotes(const char* source, const Filled& filled) {
    QStringList notes;
    for (const contact_table::ColumnDescription& description : contact_table::kSchema)
        if (!filled[contact_table::position(description.column)])
            notes << QStringLiteral("The %1 has no column %2; it stays empty.")
                         .arg(QLatin1String(source), quoted(QLatin1String(description.storedName)));
    return notes;
}

} // namespace column_match
