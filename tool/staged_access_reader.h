#pragma once

#include "store/import_summary.h"
#include "tool/contact_import.h"

namespace contact_import {

// Reads an old Access-format file with the Access reader's own import (its checks, its notes and,
// in Salvage mode, what it could not read) into a new book in a temporary folder, at once, so the
// book the contacts go to is not held while that runs. The reader returned then hands the staged
// contacts on, with the import's summary.
ContactReader stagedAccessReader(const AccessImporter& importer, const QString& source,
                                 ImportMode mode, const ImportProgress& progress);

} // namespace contact_import
