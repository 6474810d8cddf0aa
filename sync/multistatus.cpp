#include "sync/multistatus.h"

#include "sync/dav_error.h"
#include "sync/dav_href.h"
#include "sync/http_session.h"

#include <QBuffer>
#include <QXmlStreamReader>

namespace carddav {

namespace {

int statusOfLine(const QString& line) {
    return line.simplified().section(' ', 1, 1).toInt();
}

class MultistatusReader {
  public:
    // Read through a device, the reader decodes the body a few kilobytes at a time; given the
    // bytes themselves it would hold all of them decoded at once, twice their size.
    MultistatusReader(QIODevice& body, const QUrl& source) : xml_(&body), source_(source) {}

    QByteArray read(const std::function<void(DavResponse&&)>& take) {
        QByteArray syncToken;
        enterRoot();
        if (key() != XmlName{dav::kDav, "multistatus"}.key())
            fail("the answer is not a WebDAV multistatus");
        while (xml_.readNextStartElement()) {
            if (is("response"))
                take(readResponse());
            else if (is("sync-token"))
                syncToken = xml_.readElementText().trimmed().toUtf8();
            else
                xml_.skipCurrentElement();
        }
        if (xml_.hasError())
            fail(xml_.errorString());
        return syncToken;
    }

    // Moves to the root element; only a document type declaration is out of place before it.
    void enterRoot() {
        while (!xml_.atEnd() && xml_.readNext() != QXmlStreamReader::StartElement) {
            if (xml_.tokenType() == QXmlStreamReader::DTD)
                fail("the answer declares a document type; refused");
        }
        if (xml_.hasError() || !xml_.isStartElement())
            fail(xml_.hasError() ? xml_.errorString() : "the answer is empty");
    }

    QString key() const {
        return XmlName{xml_.namespaceUri().toString(), xml_.name().toString()}.key();
    }

  private:
    bool is(const char* davName) const {
        return xml_.namespaceUri() == dav::kDav && xml_.name() == QLatin1String(davName);
    }

    DavResponse readResponse() {
        DavResponse response;
        while (xml_.readNextStartElement()) {
            if (is("href"))
                response.href = normalHref(xml_.readElementText(), source_);
            else if (is("status"))
                response.status = statusOfLine(xml_.readElementText());
            else if (is("propstat"))
                readPropstat(response);
            else
                xml_.skipCurrentElement();
        }
        return response;
    }

    void readPropstat(DavResponse& response) {
        QList<std::pair<QString, DavProperty>> properties;
        int status = 0;
        while (xml_.readNextStartElement()) {
            if (is("prop")) {
                while (xml_.readNextStartElement()) {
                    QString name = key(); // before the reader moves past the element
                    properties.emplaceBack(std::move(name), readProperty());
                }
            } else if (is("status")) {
                status = statusOfLine(xml_.readElementText());
            } else {
                xml_.skipCurrentElement();
            }
        }
        if (status >= 200 && status < 300)
            response.found += std::move(properties);
    }

    DavProperty readProperty() {
        DavProperty property;
        while (!xml_.atEnd() && xml_.readNext() != QXmlStreamReader::EndElement) {
            if (xml_.isCharacters()) {
                property.text += xml_.text();
            } else if (xml_.isStartElement()) {
                property.children << key();
                if (is("href"))
                    property.hrefs << normalHref(xml_.readElementText(), source_);
                else
                    xml_.skipCurrentElement();
            }
        }
        return property;
    }

    [[noreturn]] void fail(const QString& cause) const {
        throw DavError(QString("%1: malformed answer: %2").arg(shownUrl(source_), cause));
    }

    QXmlStreamReader xml_;
    QUrl source_;
};

} // namespace

const DavProperty* DavResponse::property(const XmlName& name) const {
    const QString wanted = name.key();
    for (const auto& [key, property] : found)
        if (key == wanted)
            return &property;
    return nullptr;
}

bool DavResponse::isCollection() const {
    const DavProperty* type = property(dav::kResourceType);
    return type && type->children.contains(dav::kCollection.key());
}

QByteArray readMultistatus(QIODevice& body, const QUrl& source,
                           const std::function<void(DavResponse&&)>& take) {
    return MultistatusReader(body, source).read(take);
}

Multistatus parseMultistatus(const QByteArray& body, const QUrl& source) {
    QBuffer device;
    device.setData(body); // shared, not copied
    device.open(QIODevice::ReadOnly);
    Multistatus answer;
    answer.syncToken = readMultistatus(
        device, source, [&](DavResponse&& response) { answer.responses << std::move(response); });
    return answer;
}

bool namesPrecondition(const QByteArray& body, const XmlName& precondition) {
    QXmlStreamReader xml(body);
    while (!xml.atEnd() && xml.readNext() != QXmlStreamReader::DTD) {
        if (xml.isStartElement() && xml.namespaceUri() == precondition.ns &&
            xml.name() == precondition.local)
            return true;
    }
    return false;
}

} // namespace carddav
