#pragma once

#include <QByteArray>
#include <QString>

// The cards of other programs in tests/exchange/cards/, and the contacts they give.

// Today's date stamp, which a contact read from a card of another program is created on.
QString today();

// Text that starts with U+FEFF, which QString::fromUtf8 would take for a byte order mark.
QString feff(const char* utf8);

// A card file of tests/exchange/cards/, as another program wrote it.
QByteArray cardFile(const char* name);

// Adds a row for each card file to the current data-driven test, with the columns "cards"
// (QByteArray), "expected" (the stored rows) and "notes" (the report's notes).
void addCardFileRows();
