#pragma once

#include "sync/dav_xml.h"

#include <QList>
#include <QUrl>
#include <functional>
#include <utility>

class QIODevice;

namespace carddav {

// One property as found in an answer: its own text, the hrefs inside it and the names
// ("{namespace}local") of the elements inside it, such as a resourcetype's.
struct DavProperty {
    QString text;
    QStringList hrefs; // normal hrefs
    QStringList children;
};

struct DavResponse {
    QString href;   // normal href
    int status = 0; // of the response itself ("404" for a removed card), 0 when it has none
    // The properties under a 2xx propstat, with their XmlName::key(). A few per response, so a
    // list: a hash table would cost kilobytes for each of a report's thousands of responses.
    QList<std::pair<QString, DavProperty>> found;

    const DavProperty* property(const XmlName& name) const;
    bool isCollection() const;
};

struct Multistatus {
    QList<DavResponse> responses;
    QByteArray syncToken;
};

// Reads a 207 Multi-Status answer from source, handing each response to take as soon as it is
// read, so that a report of thousands of cards is never held whole; returns the sync token. hrefs
// are made normal against source. A document type declaration is refused outright, so no entity
// is ever expanded. Throws DavError.
QByteArray readMultistatus(QIODevice& body, const QUrl& source,
                           const std::function<void(DavResponse&&)>& take);
// The same, all responses at once, for the short answers of discovery.
Multistatus parseMultistatus(const QByteArray& body, const QUrl& source);

// Whether an error answer's body names the given precondition (a DAV:error element's child).
bool namesPrecondition(const QByteArray& body, const XmlName& precondition);

} // namespace carddav
