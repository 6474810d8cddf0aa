#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace carddav {

// An element name with its namespace; key() is the "{namespace}local" form answers are indexed by.
struct XmlName {
    QString ns;
    QString local;
    QString key() const { return '{' + ns + '}' + local; }
};

namespace dav {
inline const QString kDav = QStringLiteral("DAV:");
inline const QString kCardDav = QStringLiteral("urn:ietf:params:xml:ns:carddav");

inline const XmlName kGetEtag{kDav, "getetag"};
inline const XmlName kResourceType{kDav, "resourcetype"};
inline const XmlName kDisplayName{kDav, "displayname"};
inline const XmlName kCurrentUserPrincipal{kDav, "current-user-principal"};
inline const XmlName kCollection{kDav, "collection"};
inline const XmlName kHref{kDav, "href"};
inline const XmlName kValidSyncToken{kDav, "valid-sync-token"};
inline const XmlName kAddressData{kCardDav, "address-data"};
inline const XmlName kAddressBookHomeSet{kCardDav, "addressbook-home-set"};
inline const XmlName kAddressBook{kCardDav, "addressbook"};
} // namespace dav

// The request bodies, as UTF-8 XML.
QByteArray propfindBody(const QList<XmlName>& properties);
QByteArray syncCollectionBody(const QByteArray& token);
QByteArray multigetBody(const QStringList& hrefs); // normal hrefs
QByteArray addressbookQueryBody();                 // every card, no filter

} // namespace carddav
