#pragma once

#include "support/dav_server.h"
#include "support/stored_rows.h"

#include <QByteArray>
#include <QStringList>
#include <QTemporaryDir>

// An address book and a real server synced by tessaline-db sync, as the tests drive them.
class SyncPair {
  public:
    explicit SyncPair(DavServer::Kind kind, const QList<DavServer::Card>& cards = {},
                      const QString& user = {});

    // Runs tessaline-db sync on the book (with the server's URL the first time, or `url` when
    // given) and these options; out and err keep what it printed.
    int sync(const QStringList& options = {}, const QString& url = {});
    // The words of that command.
    QStringList arguments(const QString& url = {}) const;
    // A second book synced from the same server, as another device would hold it; by name.
    QList<StoredRow> rowsOnAnotherDevice();

    // The book's contacts, by name and surname.
    QList<StoredRow> rows() const;
    QList<QByteArray> cardTexts();

    QTemporaryDir dir;
    QString book;
    DavServer server;
    QByteArray out;
    QByteArray err;

  private:
    bool synced_ = false;
};

// A card of ours: N, FN, UID and the given further lines.
QByteArray simpleCard(const QByteArray& uid, const QByteArray& given, const QByteArray& family,
                      const QByteArray& lines = {});
// A card from tests/sync/cards/.
DavServer::Card cardFile(const QString& name);
// The lines of a card, unfolded and without line ends.
QList<QByteArray> unfoldedLines(const QByteArray& card);
