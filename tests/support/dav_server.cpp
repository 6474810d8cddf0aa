#include "support/dav_server.h"

#include "support/dav_request.h"
#include "support/event_loop_process.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <csignal>
#include <unistd.h>

namespace {

// Radicale serves each user's collections under their name, and only to them; without
// authentication any name and password will do, but one must be given.
const QString kAnonymousUser = QStringLiteral("test");
// Where `xandikos --defaults` puts its address book.
const QString kXandikosBook = QStringLiteral("user/contacts/addressbook");
constexpr int kStartAttempts = 100;    // of 200 ms each
constexpr int kToolTimeoutMs = 120000; // git, openssl

QString programOf(DavServer::Kind kind) {
    return QStandardPaths::findExecutable(kind == DavServer::Kind::Radicale ? "radicale"
                                                                            : "xandikos");
}

quint16 freePort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        qFatal("No free port on 127.0.0.1: %s", qPrintable(probe.errorString()));
    return probe.serverPort();
}

void writeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("Cannot write %s: %s", qPrintable(path), qPrintable(file.errorString()));
}

void writeCards(const QString& folder, const QList<DavServer::Card>& cards) {
    if (!QDir().mkpath(folder))
        qFatal("Cannot make %s", qPrintable(folder));
    for (const DavServer::Card& card : cards)
        writeFile(folder + u'/' + card.fileName, card.text);
}

void run(const QString& program, const QStringList& arguments, const QString& folder = {}) {
    QProcess process;
    process.setWorkingDirectory(folder);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!finishInEventLoop(process, kToolTimeoutMs) || process.exitCode() != 0)
        qFatal("%s %s failed: %s", qPrintable(program), qPrintable(arguments.join(u' ')),
               process.readAll().constData());
}

void git(const QString& folder, const QStringList& arguments) {
    run(QStringLiteral("git"),
        QStringList{"-c", "user.name=Tessaline tests", "-c", "user.email=tests@localhost"} +
            arguments,
        folder);
}

} // namespace

DavServer::DavServer(Kind kind, const QList<Card>& cards, const QString& user,
                     const QString& password, Transport transport)
    : kind_(kind),
      user_(kind == Kind::Radicale ? (user.isEmpty() ? kAnonymousUser : user) : QString()),
      password_(password.isEmpty() ? QStringLiteral("any") : password),
      authenticated_(kind == Kind::Radicale && !user.isEmpty()),
      tls_(transport == Transport::Https), port_(freePort()) {
    if (!dir_.isValid())
        qFatal("No temporary folder for the server");
    if (tls_ && kind != Kind::Radicale)
        qFatal("Only Radicale serves https here");
    const QString program = programOf(kind);
    if (program.isEmpty())
        qFatal("The CardDAV server's program is not installed");
    if (kind == Kind::Radicale) {
        layRadicaleStorage(cards);
        start(program, {"-C", dir_.filePath("config")});
    } else {
        layXandikosStorage(cards);
        start(program, {"-d", dir_.filePath("storage"), "-l", "127.0.0.1", "-p",
                        QString::number(port_), "--defaults"});
    }
}

DavServer::~DavServer() {
    if (process_.state() == QProcess::NotRunning)
        return;
    ::kill(-static_cast<pid_t>(process_.processId()), SIGKILL);
    process_.waitForFinished(5000);
}

bool DavServer::available(Kind kind) {
    return !programOf(kind).isEmpty();
}

QUrl DavServer::rootUrl() const {
    return QUrl(QStringLiteral("%1://127.0.0.1:%2/").arg(tls_ ? "https" : "http").arg(port_));
}

QString DavServer::caFile() const {
    return tls_ ? dir_.filePath("certificate.pem") : QString();
}

QUrl DavServer::addressBookUrl() const {
    if (kind_ == Kind::Xandikos)
        return rootUrl().resolved(QUrl(kXandikosBook + u'/'));
    return rootUrl().resolved(QUrl(user_ + "/contacts/"));
}

QString DavServer::bookFolder() const {
    if (kind_ == Kind::Xandikos)
        return dir_.filePath("storage/" + kXandikosBook);
    return dir_.filePath("storage/collection-root" + addressBookUrl().path());
}

void DavServer::layRadicaleStorage(const QList<Card>& cards) {
    writeCards(bookFolder(), cards);
    writeFile(bookFolder() + "/.Radicale.props",
              R"({"tag": "VADDRESSBOOK", "D:displayname": "Contacts"})");
    QByteArray auth = "type = none\n";
    if (authenticated_) {
        writeFile(dir_.filePath("users"), (user_ + u':' + password_ + u'\n').toUtf8());
        auth = "type = htpasswd\nhtpasswd_filename = " + dir_.filePath("users").toUtf8() +
               "\nhtpasswd_encryption = plain\n";
    }
    writeFile(dir_.filePath("config"),
              "[server]\nhosts = 127.0.0.1:" + QByteArray::number(port_) + "\n" +
                  radicaleTlsSettings() + "[auth]\n" + auth +
                  "[rights]\ntype = owner_only\n[storage]\nfilesystem_folder = " +
                  dir_.filePath("storage").toUtf8() + "\n[logging]\nlevel = warning\n");
}

// A self-signed certificate for 127.0.0.1, made afresh for each server, so none is kept around.
QByteArray DavServer::radicaleTlsSettings() {
    if (!tls_)
        return {};
    const QString key = dir_.filePath("key.pem");
    run(QStringLiteral("openssl"),
        {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
         "-keyout", key, "-out", caFile(), "-days", "2", "-subj", "/CN=127.0.0.1", "-addext",
         "subjectAltName=IP:127.0.0.1"});
    return "ssl = True\ncertificate = " + caFile().toUtf8() + "\nkey = " + key.toUtf8() + "\n";
}

// Xandikos serves each collection from the last commit of a git repository of its own, its
// kind told by a .xandikos file; one commit lays any number of cards.
void DavServer::layXandikosStorage(const QList<Card>& cards) {
    const QString folder = bookFolder();
    writeCards(folder, cards);
    writeFile(folder + "/.xandikos", "[DEFAULT]\ntype = addressbook\n");
    git(folder, {"init", "--quiet"});
    git(folder, {"add", "--all"});
    git(folder, {"commit", "--quiet", "--message", "Cards laid in by the tests"});
}

void DavServer::start(const QString& program, const QStringList& arguments) {
    // A group of its own, so that the destructor also ends whatever the server started.
    process_.setChildProcessModifier([] { ::setsid(); });
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.setStandardOutputFile(dir_.filePath("server.log"));
    process_.start(program, arguments);
    waitUntilAnswering();
}

void DavServer::waitUntilAnswering() {
    for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
        if (process_.state() == QProcess::NotRunning)
            break;
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port_);
        if (socket.waitForConnected(200))
            return;
        QThread::msleep(200);
    }
    qFatal("The CardDAV server did not answer on port %d:\n%s", port_, log().constData());
}

QByteArray DavServer::log() const {
    QFile file(dir_.filePath("server.log"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QUrl DavServer::cardUrl(const QString& fileName) const {
    return addressBookUrl().resolved(QUrl(QString::fromUtf8(QUrl::toPercentEncoding(fileName))));
}

int DavServer::put(const QString& fileName, const QByteArray& card, const QByteArray& ifMatch,
                   QByteArray* etag) {
    DavHeaders headers = basicAuth(user_, password_);
    headers.emplaceBack("Content-Type", "text/vcard; charset=utf-8");
    if (!ifMatch.isEmpty())
        headers.emplaceBack("If-Match", ifMatch);
    const DavReply reply = davRequest("PUT", cardUrl(fileName), headers, card);
    if (etag)
        *etag = reply.etag;
    return reply.status;
}

int DavServer::remove(const QString& fileName) {
    return davRequest("DELETE", cardUrl(fileName), basicAuth(user_, password_)).status;
}

QByteArray DavServer::get(const QString& fileName, int* status, QByteArray* etag) {
    const DavReply reply = davRequest("GET", cardUrl(fileName), basicAuth(user_, password_));
    if (status)
        *status = reply.status;
    if (etag)
        *etag = reply.etag;
    return reply.body;
}

QMap<QString, QByteArray> DavServer::cards() {
    DavHeaders headers = basicAuth(user_, password_);
    headers.emplaceBack("Depth", "1");
    headers.emplaceBack("Content-Type", "application/xml; charset=utf-8");
    const DavReply listing = davRequest(
        "PROPFIND", addressBookUrl(), headers,
        R"(<?xml version="1.0"?><propfind xmlns="DAV:"><prop><getetag/></prop></propfind>)");
    QMap<QString, QByteArray> texts;
    for (const QString& href : multistatusHrefs(listing.body)) {
        if (href.endsWith(u'/'))
            continue; // the address book itself
        const QString fileName = QUrl::fromPercentEncoding(href.section(u'/', -1).toUtf8());
        texts.insert(fileName, get(fileName));
    }
    return texts;
}
