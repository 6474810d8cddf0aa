#pragma once

#include "store/contact_columns.h"
#include "store/table_row.h"

#include <QList>
#include <QVariant>

// Settles one contact column by column against the last synced state: a column changed on one
// side only takes that side's value; changed on both to the same value, that value; changed on
// both to different values, it is a conflict that only a preference settles.
namespace column_merge {

enum class Prefer { Neither, Local, Remote };

struct Conflict {
    contact_table::Column column;
    QVariant local;
    QVariant remote;
};

struct Merged {
    RowValues values;        // the contact as both sides should now hold it
    bool pushNeeded = false; // the server's card lacks a change made here
    std::array<bool, contact_table::kColumnCount> pushed{}; // the columns it lacks
    bool pullNeeded = false;   // the book lacks a change made on the server
    QList<Conflict> conflicts; // when any, nothing is to be written on either side
};

// synced: both sides' common ground; local: the book now; remoteBefore and remoteNow: the
// columns of the server's card as last synced and as it is now.
Merged merge(const RowValues& synced, const RowValues& local, const RowValues& remoteBefore,
             const RowValues& remoteNow, Prefer prefer);

// The common ground of a contact and a card that were paired as one person without a sync
// between them: where they agree, or one side is empty, there is nothing to settle; two
// different values are a conflict. Our dates stay the book's when the card carries none.
struct Ground {
    RowValues synced;
    RowValues remoteBefore;
};
Ground pairingGround(const RowValues& local, const RowValues& remote);

// The value a column has on neither side, standing for a ground that is not known.
QVariant unknownGround();

} // namespace column_merge
