#include "sync/dav_xml.h"

#include "sync/dav_href.h"

#include <QXmlStreamWriter>
#include <functional>

namespace carddav {

namespace {

const QList<XmlName> kCardProperties = {dav::kGetEtag, dav::kAddressData};

// A document with the DAV and CardDAV prefixes declared on its root element.
QByteArray document(const XmlName& root, const std::function<void(QXmlStreamWriter&)>& content) {
    QByteArray body;
    QXmlStreamWriter xml(&body);
    xml.writeStartDocument();
    xml.writeNamespace(dav::kDav, "D");
    xml.writeNamespace(dav::kCardDav, "C");
    xml.writeStartElement(root.ns, root.local);
    content(xml);
    xml.writeEndDocument();
    return body;
}

void writeProp(QXmlStreamWriter& xml, const QList<XmlName>& properties) {
    xml.writeStartElement(dav::kDav, "prop");
    for (const XmlName& name : properties)
        xml.writeEmptyElement(name.ns, name.local);
    xml.writeEndElement();
}

} // namespace

QByteArray propfindBody(const QList<XmlName>& properties) {
    return document({dav::kDav, "propfind"},
                    [&](QXmlStreamWriter& xml) { writeProp(xml, properties); });
}

QByteArray syncCollectionBody(const QByteArray& token) {
    return document({dav::kDav, "sync-collection"}, [&](QXmlStreamWriter& xml) {
        xml.writeTextElement(dav::kDav, "sync-token", QString::fromUtf8(token));
        xml.writeTextElement(dav::kDav, "sync-level", "1");
        writeProp(xml, kCardProperties);
    });
}

QByteArray addressbookQueryBody() {
    return document({dav::kCardDav, "addressbook-query"},
                    [&](QXmlStreamWriter& xml) { writeProp(xml, kCardProperties); });
}

QByteArray multigetBody(const QStringList& hrefs) {
    return document({dav::kCardDav, "addressbook-multiget"}, [&](QXmlStreamWriter& xml) {
        writeProp(xml, kCardProperties);
        for (const QString& href : hrefs)
            xml.writeTextElement(dav::kDav, "href", encodedHref(href));
    });
}

} // namespace carddav
