#pragma once

#include <QString>
#include <QUrl>

namespace carddav {

// Servers name a resource by an absolute path or a whole URL, percent-encoded or not. The
// decoded absolute path is the one form used everywhere, so that an href can serve as a key.
QString normalHref(const QString& href, const QUrl& base);

// The address of a normal href on the server of base.
QUrl hrefUrl(const QUrl& base, const QString& href);

// A normal href as a request body names it, percent-encoded.
QString encodedHref(const QString& href);

// Whether two normal hrefs name the same collection, with or without their last slash.
bool sameCollection(const QString& href, const QString& other);

} // namespace carddav
