#pragma once

#include "store/contact_columns.h"

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
std::optional<contact_table::Column> columnNamed(const QString& name);

// The note for a column of the file that has no place in ours.
QString skippedNote(const char* column, const QString& name);

// The notes for each of our columns that no column of the file fills, in the table's order.
QStringList emptyNotes(const char* source, const Filled& filled);

} // namespace column_match
