#include "sync/reply_stream.h"

#include <QEventLoop>
#include <QNetworkReply>

namespace carddav {

ReplyStream::ReplyStream(QNetworkReply& reply, qint64 maxBody) : reply_(reply), maxBody_(maxBody) {
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

bool endedShort(const QNetworkReply& reply, qint64 received) {
    const qint64 announced = reply.header(QNetworkRequest::ContentLengthHeader).toLongLong();
    return reply.isFinished() && !reply.hasRawHeader("Content-Encoding") && received < announced;
}

bool ReplyStream::cutOff() const {
    return endedShort(reply_, read_);
}

qint64 ReplyStream::readData(char* data, qint64 maxSize) {
    if (tooLarge_)
        return -1;
    // A wake-up may bring nothing; the reply's own timeout ends a wait for data that never comes.
    while (reply_.bytesAvailable() == 0 && !reply_.isFinished())
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
