#pragma once

#include "store/sqlite_db.h"
#include "store/table_row.h"

#include <array>

// Inserts whole contacts into the table of an open book with one statement prepared once. The
// caller holds the transaction around them.
class ContactInserter {
  public:
    explicit ContactInserter(Database& db);

    // NULL for an invalid QVariant, else the text; throws StoreError. Each value is let go as soon
    // as it is bound, so that a long one is not held twice.
    void insert(RowValues values);
    qint64 inserted() const { return inserted_; }

  private:
    void bindColumn(int column, const QVariant& value);
    void releaseLongValues();

    // The UTF-8 of each column's value, bound in place and reused from contact to contact.
    std::array<QByteArray, contact_table::kColumnCount> utf8_;
    Statement insert_;
    qint64 inserted_ = 0;
};
