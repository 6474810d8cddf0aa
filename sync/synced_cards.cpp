#include "sync/synced_cards.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace synced_cards {

QHash<QString, SyncedCard> load(const Database& book) {
    QHash<QString, SyncedCard> cards;
    Statement read(book, "SELECT href, contact, uid, etag, card, synced FROM tessaline_sync_card");
    while (read.step()) {
        SyncedCard card;
        card.href = read.text(0);
        if (!read.isNull(1))
            card.contact = read.integer(1);
        card.uid = read.text(2);
        card.etag = read.blob(3);
        card.card = read.blob(4);
        card.synced = decode(read.text(5).toUtf8());
        cards.insert(card.href, card);
    }
    return cards;
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
