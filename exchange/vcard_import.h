#pragma once

#include "exchange/contact_import.h"

#include <QIODevice>
#include <QString>

// Contacts read from vCard files (2.1, 3.0 and 4.0, told apart by nothing but their lines), one
// card at a time.
namespace vcard_import {

// Whether the file at path holds vCards: its first line that is not blank is BEGIN:VCARD.
bool isVCardFile(const QString& path);

// Hands the contact of every card on device to add, in the file's order; createdOn is the stamp a
// card without a creation date of ours gets. source names the input in messages. A file that is
// not sound vCard (a card without END, an END without BEGIN, a line without a colon) throws
// StoreError naming the line.
ImportSummary readCards(QIODevice& device, const QString& source,
                        const contact_import::AddContact& add, const ImportProgress& progress,
                        const QString& createdOn);

// The vCard file at path, stamped with today's date; a contact_import::ContactReader.
ImportSummary readFile(const QString& path, const contact_import::AddContact& add,
                       const ImportProgress& progress);

} // namespace vcard_import
