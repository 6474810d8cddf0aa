#pragma once

#include "store/sqlite_db.h"

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <optional>

// The server account a book syncs with, kept in the book itself in a table of our own beside
// "address", so that a book carried to another machine takes its account along. The password is
// never kept: the command that prints it is.
namespace sync_account {

struct Account {
    QUrl addressBook;        // the address book's own URL, found once by discovery
    QString user;            // empty: the server asks for none
    QString passwordCommand; // run through /bin/sh; the first line it prints is the password
    QString caFile;          // empty: the system's certificate authorities
    bool insecureHttp = false;
    QByteArray syncToken; // the server's token after the last sync; empty before the first

    bool operator==(const Account&) const = default;
};

// The tables of the sync beside "address"; made when missing.
void createTables(Database& book);

std::optional<Account> load(const Database& book);
// Stores the account; its token stays unless the address book is another one.
void save(Database& book, const Account& account);
void saveToken(Database& book, const QByteArray& token);

// Drops the account and everything the sync kept; the contacts stay. Returns whether there was
// an account.
bool forget(Database& book);

// Runs the password command through /bin/sh and returns the first line of its output; throws
// StoreError, without the output, when it fails.
QString runPasswordCommand(const QString& command);

} // namespace sync_account
