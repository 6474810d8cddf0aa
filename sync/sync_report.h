#pragma once

#include "store/contact_columns.h"
#include "store/table_row.h"

#include <QString>
#include <QStringList>

// What a sync did on each side, and what it left undone.
struct SyncReport {
    struct Side {
        int added = 0;
        int changed = 0;
        int deleted = 0;
    };
    Side here;  // the book
    Side there; // the server
    // Worth knowing, nothing left undone: an edit kept against a deletion on the other side.
    QStringList notes;
    // Left undone, each named: conflicts, refusals, values the server damaged, contacts that
    // changed during the sync. Any of them makes the sync end with exit code 1.
    QStringList problems;
    int requests = 0;

    // "Anna Berg", or a stand-in for a contact without a name.
    static QString nameOf(const RowValues& values);
    // "Anna Berg, Phone: here "1", on the server "2"".
    static QString columnValues(const RowValues& contact, contact_table::Column column,
                                const QString& firstSide, const QVariant& first,
                                const QString& secondSide, const QVariant& second);
};
