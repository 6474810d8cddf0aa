#include "sync/synced_cards.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace synced_cards {

namespace {

std::optional<std::int64_t> contactOf(const Statement& read, int column) {
    if (read.isNull(column))
        return std::nullopt;
    return read.integer(column);
}

} // namespace

QHash<QString, KnownCard> loadKnown(const Database& book) {
    QHash<QString, KnownCard> cards;
    Statement read(book, "SELECT href, contact, etag, synced FROM tessaline_sync_card");
    while (read.step())
        cards.insert(read.text(0), {contactOf(read, 1), read.blob(2), read.blob(3)});
    return cards;
}

SyncedCard find(const Database& book, const QString& href) {
    Statement read(
        book, "SELECT contact, uid, etag, card, synced FROM tessaline_sync_card WHERE href = ?1");
    read.bindText(1, href);
    if (!read.step())
        return {href, std::nullopt, {}, {}, {}, {}};
    return {href,         contactOf(read, 0), read.text(1),
            read.blob(2), read.blob(3),       decode(read.blob(4))};
}

void store(Database& book, const SyncedCard& card) {
    Statement write(book,
                    "INSERT OR REPLACE INTO tessaline_sync_card "
                    "(href, contact, uid, etag, card, synced) VALUES (?1, ?2, ?3, ?4, ?5, ?6)");
    write.bindText(1, card.href);
    write.bind(2, card.contact ? QVariant(qint64(*card.contact)) : QVariant());
    write.bindText(3, card.uid);
    write.bindBlob(4, card.etag);
    write.bindBlob(5, card.card);
    write.bindText(6, QString::fromUtf8(encode(card.synced)));
    write.run();
}

void remove(Database& book, const QString& href) {
    Statement erase(book, "DELETE FROM tessaline_sync_card WHERE href = ?1");
    erase.bindText(1, href);
    erase.run();
}

QByteArray encode(const RowValues& values) {
    QJsonArray array;
    for (const QVariant& value : values)
        array.append(value.isValid() ? QJsonValue(value.toString()) : QJsonValue());
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

RowValues decode(const QByteArray& text) {
    const QJsonArray array = QJsonDocument::fromJson(text).array();
    RowValues values;
    for (qsizetype i = 0; i < qsizetype(values.size()) && i < array.size(); ++i)
        if (!array.at(i).isNull())
            values[std::size_t(i)] = array.at(i).toString();
    return values;
}

} // namespace synced_cards
