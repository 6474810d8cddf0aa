#pragma once

#include "store/date_stamp.h"
#include "support/stored_rows.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QTemporaryDir>

class FixedClock final : public Clock {
  public:
    explicit FixedClock(QDate date) : date(date) {}
    QDate today() const override { return date; }
    QDate date;
};

// An application directory in a temporary folder holding a real, empty address book.
class TestBook {
  public:
    TestBook();
    QString applicationDirectory() const { return dir.path(); }
    QString databasePath() const;

    // Rows of the table in rowid order; of the address book, or of another book (a copy of it).
    QList<StoredRow> storedRows(const QString& book = {}) const;
    // Inserts a row directly (values in the table's column order, NULL for invalid QVariants).
    void insertRow(const StoredRow& values);

    QTemporaryDir dir;
};
