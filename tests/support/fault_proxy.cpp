#include "support/fault_proxy.h"

#include <QTcpSocket>

#include <functional>

namespace {

using Fault = FaultProxy::Fault;

// The length of the first whole request in buffer, or -1 while it is still arriving. Bodies come
// with a Content-Length or chunked.
qsizetype wholeRequestLength(const QByteArray& buffer) {
    const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return -1;
    const qsizetype bodyStart = headEnd + 4;
    qsizetype bodyLength = 0;
    for (const QByteArray& line : buffer.left(headEnd).split('\n')) {
        const qsizetype colon = line.indexOf(':');
        const QByteArray name = line.left(colon).trimmed().toLower();
        const QByteArray value = line.mid(colon + 1).trimmed().toLower();
        if (name == "content-length")
            bodyLength = value.toLongLong();
        if (name == "transfer-encoding" && value.contains("chunked")) {
            const qsizetype last = buffer.indexOf("\r\n0\r\n\r\n", headEnd);
            return last < 0 ? -1 : last + 7;
        }
    }
    return buffer.size() < bodyStart + bodyLength ? -1 : bodyStart + bodyLength;
}

// What a socket has received; nothing once it is closed (a closed one warns when read).
QByteArray drain(QTcpSocket& socket) {
    return socket.isOpen() ? socket.readAll() : QByteArray();
}

QByteArray failureAnswer(Fault fault) {
    const QByteArray status = fault == Fault::Status500   ? "500 Internal Server Error"
                              : fault == Fault::Status503 ? "503 Service Unavailable"
                                                          : "507 Insufficient Storage";
    const QByteArray body = "The proxy answers " + status + "\n";
    return "HTTP/1.1 " + status +
           "\r\nContent-Type: text/plain\r\nContent-Length: " + QByteArray::number(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

// One client's connection: its requests go, one by one, to a connection of its own to the
// server, unless one meets a fault.
class Relay : public QObject {
  public:
    using RequestNote = std::function<std::optional<Fault>(const QByteArray&)>;

    Relay(QTcpSocket* client, quint16 serverPort, RequestNote note, QObject* parent)
        : QObject(parent), client_(client), note_(std::move(note)) {
        client_->setParent(this);
        connect(client_, &QTcpSocket::readyRead, this, &Relay::readClient);
        connect(client_, &QTcpSocket::disconnected, this, &QObject::deleteLater);
        connect(&server_, &QTcpSocket::readyRead, this, [this] { client_->write(drain(server_)); });
        // The server closed (as HTTP/1.0 servers do after each answer): so does the client's.
        connect(&server_, &QTcpSocket::disconnected, this, [this] {
            client_->write(drain(server_));
            client_->disconnectFromHost();
        });
        server_.connectToHost(QHostAddress::LocalHost, serverPort);
        readClient();
    }

  private:
    void readClient() {
        if (stalled_) {
            drain(*client_);
            return;
        }
        pending_ += drain(*client_);
        for (qsizetype length; (length = wholeRequestLength(pending_)) >= 0;) {
            const QByteArray request = pending_.left(length);
            pending_.remove(0, length);
            const std::optional<Fault> fault = note_(request.left(request.indexOf("\r\n")));
            if (fault) {
                fail(*fault);
                return;
            }
            server_.write(request); // kept while the connection is still being made
        }
    }

    void fail(Fault fault) {
        server_.disconnect(); // its closing must not close the client's before the answer
        server_.abort();
        if (fault == Fault::Stall) {
            stalled_ = true;
        } else if (fault == Fault::DropConnection) {
            client_->abort();
            deleteLater();
        } else {
            client_->write(failureAnswer(fault));
            client_->disconnectFromHost();
        }
    }

    QTcpSocket* client_;
    QTcpSocket server_;
    RequestNote note_;
    QByteArray pending_;
    bool stalled_ = false;
};

} // namespace

FaultProxy::FaultProxy(quint16 serverPort, QObject* parent)
    : QObject(parent), serverPort_(serverPort) {
    if (!listener_.listen(QHostAddress::LocalHost, 0))
        qFatal("The fault proxy cannot listen: %s", qPrintable(listener_.errorString()));
    connect(&listener_, &QTcpServer::newConnection, this, &FaultProxy::accept);
}

QUrl FaultProxy::proxied(const QUrl& serverUrl) const {
    QUrl url = serverUrl;
    url.setPort(port());
    return url;
}

void FaultProxy::failNext(Fault fault, int count, int passing) {
    for (int i = 0; i < passing; ++i)
        pending_ += std::nullopt;
    for (int i = 0; i < count; ++i)
        pending_ += fault;
}

void FaultProxy::accept() {
    while (QTcpSocket* client = listener_.nextPendingConnection())
        new Relay(
            client, serverPort_, [this](const QByteArray& line) { return noteRequest(line); },
            this);
}

std::optional<FaultProxy::Fault> FaultProxy::noteRequest(const QByteArray& requestLine) {
    requestLines_ += requestLine.left(requestLine.lastIndexOf(' ')); // without "HTTP/1.1"
    if (hook_)
        hook_(requestLines_.last());
    if (pending_.isEmpty())
        return std::nullopt;
    return pending_.takeFirst();
}
