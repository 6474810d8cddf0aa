#pragma once

#include "sync/http_session.h"

#include <QList>
#include <QUrl>

namespace carddav {

struct AddressBookInfo {
    QUrl url;
    QString displayName;
};

// The address books a user's address leads to: the address book itself when it is one, else
// every address book in the home set of the user's principal, found from the address or from
// the server's /.well-known/carddav. Empty when the server offers none.
QList<AddressBookInfo> discoverAddressBooks(HttpSession& http, const QUrl& start);

} // namespace carddav
