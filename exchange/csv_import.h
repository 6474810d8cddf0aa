#pragma once

#include "exchange/contact_import.h"

// Contacts from CSV as `tessaline-db export --csv` writes it: RFC 4180, UTF-8, a header line of
// column names, then one record per contact. An empty unquoted field is a missing value (NULL),
// "" an empty text; quoted fields may hold line breaks, commas and doubled quotes.
namespace csv_import {

// Reads the file as it streams past. Columns are matched to ours by their header names without
// regard to case; a column we have no place for is skipped and named in a note, and a column of
// ours the file lacks stays NULL. A malformed file (a quote never closed, a record with another
// number of fields than the header, text that is not UTF-8) throws StoreError naming the line.
ImportSummary readFile(const QString& path, const contact_import::AddContact& add,
                       const ImportProgress& progress);

} // namespace csv_import
