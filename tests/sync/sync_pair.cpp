#include "sync_pair.h"

#include "store/contact_table.h"
#include "support/event_loop_process.h"

#include <QDir>
#include <QFile>
#include <QtTest>

namespace {

QList<StoredRow> byName(QList<StoredRow> rows) {
    std::sort(rows.begin(), rows.end(),
              [](const StoredRow& a, const StoredRow& b) { return textsOf(a) < textsOf(b); });
    return rows;
}

} // namespace

SyncPair::SyncPair(DavServer::Kind kind, const QList<DavServer::Card>& cards, const QString& user)
    : book(dir.filePath(QStringLiteral("address.mdb"))),
      server(kind, cards, user, user.isEmpty() ? QString() : QStringLiteral("s3cret pw")) {
    contact_table::createAddressBook(book);
    QFile password(dir.filePath(QStringLiteral("password")));
    if (!password.open(QIODevice::WriteOnly) ||
        password.write(server.password().toUtf8() + "\nnot this line\n") < 0)
        qFatal("cannot write the password file");
}

// The password is read from a file by a command, as from a keyring: the command names no secret.
QStringList SyncPair::arguments(const QString& url) const {
    QStringList words{QStringLiteral("sync"), book};
    if (synced_ && url.isEmpty())
        return words;
    words << (url.isEmpty() ? server.addressBookUrl().toString() : url);
    if (!server.user().isEmpty())
        words << "--user" << server.user() << "--password-command"
              << "cat '" + dir.filePath(QStringLiteral("password")) + "'";
    return words;
}

int SyncPair::sync(const QStringList& options, const QString& url) {
    const QStringList words = arguments(url) + options;
    synced_ = true;
    const int code = runTool(words, &out, &err);
    if (code != 0)
        qInfo().noquote() << "tessaline-db" << words.join(' ') << "exited" << code << "\n"
                          << out << err;
    return code;
}

QList<StoredRow> SyncPair::rowsOnAnotherDevice() {
    const QString other = dir.filePath(QStringLiteral("other.mdb"));
    QFile::remove(other);
    contact_table::createAddressBook(other);
    QStringList words = arguments(server.addressBookUrl().toString());
    words[1] = other;
    if (runTool(words, &out, &err) != 0)
        qWarning() << out << err;
    return byName(rowsIn(other));
}

QList<StoredRow> SyncPair::rows() const {
    return byName(rowsIn(book));
}

QList<QByteArray> SyncPair::cardTexts() {
    return server.cards().values();
}

QByteArray simpleCard(const QByteArray& uid, const QByteArray& given, const QByteArray& family,
                      const QByteArray& lines) {
    return "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:" + uid + "\r\nN:" + family + ";" + given +
           ";;;\r\nFN:" + given + " " + family + "\r\n" + lines + "END:VCARD\r\n";
}

DavServer::Card cardFile(const QString& name) {
    QFile file(QStringLiteral(TESSALINE_SYNC_CARDS "/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("no card file %s", qPrintable(name));
    return {name, file.readAll()};
}

QList<QByteArray> unfoldedLines(const QByteArray& card) {
    QByteArray text = card;
    text.replace("\r\n ", "").replace("\r\n\t", "").replace("\n ", "");
    QList<QByteArray> lines;
    for (QByteArray line : text.split('\n'))
        if (!line.trimmed().isEmpty())
            lines << line.trimmed();
    return lines;
}
