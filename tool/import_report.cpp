#include "tool/import_report.h"

namespace import_report {

QString contactCount(qint64 count) {
    return count == 1 ? QStringLiteral("1 contact") : QStringLiteral("%1 contacts").arg(count);
}

void write(const ImportSummary& summary, const QString& source, const QString& target, bool added,
           QTextStream& out) {
    for (const QString& note : summary.notes)
        out << "Note: " << note << "\n";
    for (const QString& loss : summary.losses)
        out << "Damage: " << loss << "\n";
    const QString contacts = contactCount(summary.contacts);
    if (summary.losses.isEmpty() && added)
        out << "Added " << contacts << " from " << source << " to " << target << "\n";
    else if (summary.losses.isEmpty())
        out << "Imported " << contacts << " from " << source << " into " << target << "\n";
    else
        out << "Salvaged " << contacts << " of the " << summary.declared
            << " the old table declares from " << source
            << (added ? " and added them to " : " into ") << target
            << (added ? ". What could not be read is missing"
                      : ". The new address book is incomplete")
            << ": see the damage listed above.\n";
}

} // namespace import_report
