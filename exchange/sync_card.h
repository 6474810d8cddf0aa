#pragma once

#include "store/table_row.h"

#include <QByteArray>
#include <QString>

// The cards of a two-way sync with a CardDAV server. A server's card keeps everything the book has
// no column for (photos, further numbers and addresses, groups, its version); a change in the book
// rewrites only the lines its columns came from and leaves every other line exactly as it was.
namespace sync_card {

// The contact a server card gives, for sync: the columns only. Unlike an import, nothing that has
// no column is appended to the notes as "Label: value" lines: the card itself is kept whole.
// createdOn: the created-on stamp when the card carries none of ours. Throws StoreError for a
// card that cannot be read (no BEGIN/END, a line without a colon...).
RowValues columnsOf(const QByteArray& card, const QString& createdOn);

// The card's UID ("" when it has none).
QString uidOf(const QByteArray& card);

// Whether the card is a group (KIND:group), which lists members rather than describes a contact.
bool isGroup(const QByteArray& card);

// A new card for a contact: vCard 3.0 (every server takes it), CRLF, folded at 75 octets, with the
// given UID and the lines an export writes, so that columnsOf(newCard(v)) == v for every v.
QByteArray newCard(const RowValues& values, const QString& uid);

// The card with only what changed between `before` and `after` (the contact's columns when the
// card was last in step, and now) rewritten: each changed column's line, as columnsOf picks it, is
// replaced in the card's own version and escaping, keeping its group and parameters (but those
// about the old value's encoding); a column with no line gets one before END:VCARD; a NULL one
// loses its line. X-TESSALINE-NULL / -BLANK name the columns that other lines would otherwise
// fill. N keeps its components past the given name; FN follows the names only when it was what
// they made (else it is the card's own display name, and stays). columnsOf(patched) == after.
QByteArray patchCard(const QByteArray& card, const RowValues& before, const RowValues& after);

} // namespace sync_card
