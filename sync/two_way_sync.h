#pragma once

#include "exchange/import_summary.h"
#include "store/sqlite_db.h"
#include "sync/column_merge.h"
#include "sync/dav_client.h"
#include "sync/sync_report.h"

#include <QUrl>

struct SyncOptions {
    column_merge::Prefer prefer = column_merge::Prefer::Neither;
    bool allowMassDelete = false;
    QString today;           // the created-on stamp of a contact the server brings
    ImportProgress progress; // counts the contacts settled
};

// One sync of the book with the address book at addressBook: the server's changes into the book,
// the book's to the server, each contact settled column by column against the state the last
// sync left (kept in the book). The account's tables must exist. A failure to reach the server
// throws; what was finished before it stays done, and the next sync goes on from there without
// doing anything twice.
SyncReport syncBook(Database& book, carddav::DavClient& dav, const QUrl& addressBook,
                    const SyncOptions& options);
