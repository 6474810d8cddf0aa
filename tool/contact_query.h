#pragma once

#include <QString>
#include <QTextStream>

// Looks contacts up for mail programs, in the form mutt's query_command reads: a first line
// that the mail program shows as a message, then one "address<TAB>name<TAB>other" line per
// contact that has an e-mail address. The text is matched as a part of the given name, surname
// or e-mail address, without regard to case or accents.
namespace contact_query {

// Writes the lines for the book at bookPath; returns the exit code, 0 with matches and 1 without
// (as other address books for mail programs do). An address of blanks only is no address. Throws
// StoreError when the book cannot be read.
int writeMatches(const QString& bookPath, const QString& text, QTextStream& out);

} // namespace contact_query
