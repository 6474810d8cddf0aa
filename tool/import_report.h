#pragma once

#include "exchange/import_summary.h"

#include <QString>
#include <QTextStream>

namespace import_report {

// "1 contact", "3 contacts".
QString contactCount(qint64 count);

// What an import tells on standard output: its notes, then what a salvage lost, then what was
// imported into `target` or added to it; a salvage with losses says that something is missing.
void write(const ImportSummary& summary, const QString& source, const QString& target, bool added,
           QTextStream& out);

} // namespace import_report
