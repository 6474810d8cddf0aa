#pragma once

#include "store/import_summary.h"

#include <QStringList>
#include <QTextStream>

// The commands of tessaline-db. Returns the process exit code: 0 done, 1 failed, 2 usage.
// Without an importer the import command reports that it is not available.
int runDbTool(const QStringList& arguments, QTextStream& out, QTextStream& err,
              const AccessImporter& importAccess = {});
