#include "sync/dav_href.h"

namespace carddav {

QString normalHref(const QString& href, const QUrl& base) {
    const QUrl resolved = base.resolved(QUrl(href.trimmed(), QUrl::TolerantMode));
    return resolved.path(QUrl::FullyDecoded);
}

QUrl hrefUrl(const QUrl& base, const QString& href) {
    QUrl url = base.adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::RemoveUserInfo);
    url.setPath(href, QUrl::DecodedMode);
    return url;
}

QString encodedHref(const QString& href) {
    QUrl url;
    url.setPath(href, QUrl::DecodedMode);
    return url.path(QUrl::FullyEncoded);
}

bool sameCollection(const QString& href, const QString& other) {
    auto trimmed = [](QString path) {
        while (path.endsWith('/'))
            path.chop(1);
        return path;
    };
    return trimmed(href) == trimmed(other);
}

} // namespace carddav
