#pragma once

#include "store/table_row.h"

#include <QHash>
#include <QString>
#include <cstdint>
#include <optional>

// Finds, among the book's contacts that the server has not seen, the one that is plainly the
// person of a card the book has not seen: the same name and surname, and the same e-mail or
// phone, without regard to case or accents. Two full sides synced for the first time are paired
// so rather than doubled.
class CardPairing {
  public:
    void addContact(std::int64_t rowid, const RowValues& values);
    // The contact paired with a card of these columns, taken out of the candidates.
    std::optional<std::int64_t> takeMatch(const RowValues& card);

  private:
    static QString key(const RowValues& values);
    static bool sameReach(const RowValues& a, const RowValues& b);

    QMultiHash<QString, std::int64_t> byName_;
    QHash<std::int64_t, RowValues> contacts_;
};
