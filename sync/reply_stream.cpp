#include "sync/reply_stream.h"

#include <QEventLoop>
#include <QNetworkReply>

namespace carddav {

ReplyStream::ReplyStream(QNetworkReply& reply, qint64 maxBody) : reply_(reply), maxBody_(maxBody) {
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

qint64 ReplyStream::readData(char* data, qint64 maxSize) {
    if (tooLarge_)
        return -1;
    if (reply_.bytesAvailable() == 0 && !reply_.isFinished())
        waitForData();
    const qint64 got = reply_.read(data, maxSize);
    if (got <= 0)
        return -1; // finished, or failed: the caller asks the reply which
    read_ += got;
    if (read_ > maxBody_) {
        tooLarge_ = true;
        reply_.abort();
        return -1;
    }
    return got;
}

// The reply hears from Qt's network thread only while an event loop runs, so nothing arrives
// between the check above and this loop.
void ReplyStream::waitForData() {
    QEventLoop loop;
    connect(&reply_, &QNetworkReply::readyRead, &loop, &QEventLoop::quit);
    connect(&reply_, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace carddav
