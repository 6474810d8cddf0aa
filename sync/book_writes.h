#pragma once

#include "store/sqlite_db.h"
#include "store/table_row.h"

#include <QHash>
#include <cstdint>
#include <optional>

// The sync's writes to the book. They are gathered into short transactions of a few hundred
// contacts (a transaction per contact would cost a disk flush each), and every transaction ends
// before the sync waits on the network, so that the program can store in between. A contact is
// written only if it still holds what the sync read of it.
class BookWrites {
  public:
    explicit BookWrites(Database& book) : book_(book) {}
    ~BookWrites() = default;
    BookWrites(const BookWrites&) = delete;
    BookWrites& operator=(const BookWrites&) = delete;

    // Every contact by rowid, its columns encoded as synced_cards::encode does.
    static QHash<std::int64_t, QByteArray> readContacts(const Database& book);

    // Opens a transaction unless one is open; the writes that follow, and the sync's own records
    // with them, join it.
    void begin();
    // Commits what was written; call before waiting on the server, and at the end.
    void commit();
    // Commits when enough is gathered.
    void commitWhenDue();

    // Stores values over the contact, or deletes it when values is none, if it still holds
    // `expected`; false (nothing written) when it changed or left meanwhile.
    bool replaceIfUnchanged(std::int64_t rowid, const RowValues& expected,
                            const std::optional<RowValues>& values);
    std::int64_t insert(const RowValues& values);

    Database& book() { return book_; }

  private:
    static constexpr int kWritesPerTransaction = 500;

    Database& book_;
    std::optional<WriteTransaction> transaction_;
    int writes_ = 0;
};
