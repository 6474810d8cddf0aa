#include "sync/card_pairing.h"

#include "store/text_fold.h"

using contact_table::Column;

namespace {

QString foldedColumn(const RowValues& values, Column column) {
    return text_fold::folded(values[column].toString().trimmed(), text_fold::Accents::SetAside);
}

bool sameNonEmpty(const RowValues& a, const RowValues& b, Column column) {
    const QString first = foldedColumn(a, column);
    return !first.isEmpty() && first == foldedColumn(b, column);
}

} // namespace

QString CardPairing::key(const RowValues& values) {
    return foldedColumn(values, Column::Name) + QChar(0x1f) + foldedColumn(values, Column::Surname);
}

bool CardPairing::sameReach(const RowValues& a, const RowValues& b) {
    return sameNonEmpty(a, b, Column::Email) || sameNonEmpty(a, b, Column::Phone);
}

void CardPairing::addContact(std::int64_t rowid, const RowValues& values) {
    byName_.insert(key(values), rowid);
    contacts_.insert(rowid, values);
}

std::optional<std::int64_t> CardPairing::takeMatch(const RowValues& card) {
    const QString name = key(card);
    for (auto it = byName_.find(name); it != byName_.end() && it.key() == name; ++it) {
        const std::int64_t rowid = it.value();
        if (sameReach(contacts_.value(rowid), card)) {
            byName_.erase(it);
            contacts_.remove(rowid);
            return rowid;
        }
    }
    return std::nullopt;
}
