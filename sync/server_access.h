#pragma once

#include <QString>
#include <QUrl>

namespace carddav {

struct ServerAccess {
    QUrl url;         // as the user gave it: the address book, the server's root, or a host
    QString user;     // empty: no authentication offered
    QString password; // never logged, printed or put in an error message
    QString caFile;   // PEM file of CAs to trust instead of the system's; empty: system CAs
    bool insecureHttp = false;  // allow http:// to a host that is not a loopback address
    int timeoutMs = 300 * 1000; // a request that moves nothing for this long fails
};

} // namespace carddav
