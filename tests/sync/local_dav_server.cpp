#include "local_dav_server.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QtTest>

namespace {

quint16 freePort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        qFatal("no free port on 127.0.0.1");
    return probe.serverPort();
}

void writeFile(const QString& path, const QByteArray& text) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        qFatal("cannot write %s", qPrintable(path));
}

} // namespace

LocalDavServer::LocalDavServer(Kind kind, bool tls) : kind_(kind), tls_(tls), port_(freePort()) {
    process_.setStandardOutputFile(QProcess::nullDevice());
    process_.setStandardErrorFile(QProcess::nullDevice());
    if (kind == Kind::Radicale)
        startRadicale();
    else
        startXandikos();
    waitUntilListening();
}

LocalDavServer::~LocalDavServer() {
    process_.kill();
    process_.waitForFinished();
}

QUrl LocalDavServer::root() const {
    return QUrl(QString("%1://127.0.0.1:%2/").arg(tls_ ? "https" : "http").arg(port_));
}

QString LocalDavServer::caFile() const {
    return folder_.filePath("cert.pem");
}

QUrl LocalDavServer::book() const {
    return root().resolved(
        QUrl(kind_ == Kind::Radicale ? "/tester/book/" : "/user/contacts/addressbook/"));
}

QString LocalDavServer::user() const {
    return kind_ == Kind::Radicale ? "tester" : QString();
}

QString LocalDavServer::password() const {
    return kind_ == Kind::Radicale ? "s3cret" : QString();
}

void LocalDavServer::startRadicale() {
    const QString storage = folder_.filePath("storage");
    writeFile(storage + "/collection-root/tester/book/.Radicale.props",
              R"({"tag": "VADDRESSBOOK", "D:displayname": "Book"})");
    writeFile(folder_.filePath("users"), "tester:s3cret\n");
    const QStringList options = {
        "--storage-filesystem-folder=" + storage, QString("--server-hosts=127.0.0.1:%1").arg(port_),
        "--auth-type=htpasswd", "--auth-htpasswd-filename=" + folder_.filePath("users"),
        "--auth-htpasswd-encryption=plain"};
    process_.start("radicale", options + certificateOptions());
}

// A self-signed certificate for 127.0.0.1, made afresh for each server.
QStringList LocalDavServer::certificateOptions() {
    if (!tls_)
        return {};
    const QString key = folder_.filePath("key.pem");
    QProcess openssl;
    openssl.setStandardOutputFile(QProcess::nullDevice());
    openssl.setStandardErrorFile(QProcess::nullDevice());
    openssl.start("openssl",
                  {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                   "-nodes", "-keyout", key, "-out", caFile(), "-days", "2", "-subj",
                   "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1"});
    if (!openssl.waitForFinished() || openssl.exitCode() != 0)
        qFatal("openssl could not make a certificate");
    return {"--server-ssl", "--server-certificate=" + caFile(), "--server-key=" + key};
}

void LocalDavServer::startXandikos() {
    process_.start("xandikos", {"-d", folder_.filePath("data"), "-l", "127.0.0.1", "-p",
                                QString::number(port_), "--defaults"});
}

void LocalDavServer::waitUntilListening() {
    for (int attempt = 0; attempt < 200; ++attempt) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port_);
        if (socket.waitForConnected(100))
            return;
        if (process_.state() == QProcess::NotRunning)
            break;
        QThread::msleep(50);
    }
    qFatal("the CardDAV server did not start on port %d", port_);
}
