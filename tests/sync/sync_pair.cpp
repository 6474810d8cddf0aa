#include "sync_pair.h"

#include "support/event_loop_process.h"
#include "store/contact_table.h"

#include <QDir>
#include <QFile>
#include <QtTest>

SyncPair::SyncPair(DavServer::Kind kind, const QList<DavServer::Card>& cards, const QString& user)
    : book(dir.filePath(QStringLiteral("address.mdb"))),
      server(kind, cards, user, user.isEmpty() ? QString() : QStringLiteral("s3cret pw")) {
    contact_table::createAddressBook(book);
}

int SyncPair::sync(const QStringList& options, const QString& url) {
    QStringList arguments{QStringLiteral("sync"), book};
    if (!synced_ || !url.isEmpty())
        arguments << (url.isEmpty() ? server.addressBookUrl().toString() : url);
    if (!synced_ && !server.user().isEmpty())
        arguments << "--user" << server.user() << "--password-command"
                  << QStringLiteral("printf '%s\\nnot this line' '%1'").arg(server.password());
    synced_ = true;
    return runTool(arguments + options, &out, &err);
}

QList<StoredRow> SyncPair::rowsOnAnotherDevice() {
    const QString other = dir.filePath(QStringLiteral("other.mdb"));
    QFile::remove(other);
    contact_table::createAddressBook(other);
    QStringList arguments{"sync", other, server.addressBookUrl().toString()};
    if (!server.user().isEmpty())
        arguments << "--user" << server.user() << "--password-command"
                  << QStringLiteral("echo '%1'").arg(server.password());
    if (runTool(arguments, &out, &err) != 0)
        qWarning() << out << err;
    return rowsIn(other);
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
