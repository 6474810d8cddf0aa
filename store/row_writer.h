#pragma once

#include "store/book_connection.h"

#include <QHash>
#include <QVariant>
#include <cstdint>

// Writes one row of the address table: one INSERT or one UPDATE of the given columns (by index;
// the others are left alone), each in a transaction of its own.
class RowWriter {
  public:
    using Columns = QHash<int, QVariant>;

    explicit RowWriter(BookConnection& connection) : connection_(connection) {}

    // Refuses a column the table does not have, or text that cannot be stored unchanged.
    static void check(const Columns& columns);
    // Inserts a row with `columns` (the others stay NULL); returns its rowid.
    std::int64_t insert(const Columns& columns);
    // Stores `columns` over the row of `rowid`; fails when that row no longer exists.
    void update(std::int64_t rowid, const Columns& columns);

    [[noreturn]] static void rowGone(const QString& path);

  private:
    // Prepares `sql`, binds the values of `order` and then `rowid` (if any), and runs it.
    void run(const QByteArray& sql, const QList<int>& order, const Columns& columns,
             const std::int64_t* rowid);

    BookConnection& connection_;
};
