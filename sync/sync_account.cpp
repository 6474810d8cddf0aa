#include "sync/sync_account.h"

#include "store/store_error.h"

#include <QProcess>

namespace sync_account {

namespace {

constexpr int kPasswordTimeoutMs = 60000;

} // namespace

void createTables(Database& book) {
    book.exec("CREATE TABLE IF NOT EXISTS tessaline_sync_account (\n"
              "    id INTEGER PRIMARY KEY CHECK (id = 1),\n"
              "    url TEXT NOT NULL, user TEXT NOT NULL, password_command TEXT NOT NULL,\n"
              "    ca_file TEXT NOT NULL, insecure_http INTEGER NOT NULL, sync_token BLOB);\n"
              "CREATE TABLE IF NOT EXISTS tessaline_sync_card (\n"
              "    href TEXT PRIMARY KEY, contact INTEGER UNIQUE, uid TEXT NOT NULL,\n"
              "    etag BLOB, card BLOB, synced TEXT NOT NULL);");
}

std::optional<Account> load(const Database& book) {
    Statement exists(book, "SELECT 1 FROM sqlite_schema WHERE name = 'tessaline_sync_account'");
    if (!exists.step())
        return std::nullopt;
    Statement read(book, "SELECT url, user, password_command, ca_file, insecure_http, sync_token "
                         "FROM tessaline_sync_account WHERE id = 1");
    if (!read.step())
        return std::nullopt;
    Account account;
    account.addressBook = QUrl(read.text(0));
    account.user = read.text(1);
    account.passwordCommand = read.text(2);
    account.caFile = read.text(3);
    account.insecureHttp = read.integer(4) != 0;
    account.syncToken = read.blob(5);
    return account;
}

void save(Database& book, const Account& account) {
    WriteTransaction transaction(book);
    createTables(book);
    // The token stays while the address book does.
    Statement write(book, "INSERT INTO tessaline_sync_account "
                          "(id, url, user, password_command, ca_file, insecure_http) "
                          "VALUES (1, ?1, ?2, ?3, ?4, ?5) ON CONFLICT (id) DO UPDATE SET "
                          "sync_token = CASE WHEN url = excluded.url THEN sync_token END, "
                          "url = excluded.url, user = excluded.user, "
                          "password_command = excluded.password_command, "
                          "ca_file = excluded.ca_file, insecure_http = excluded.insecure_http");
    write.bindText(1, account.addressBook.toString());
    write.bindText(2, account.user);
    write.bindText(3, account.passwordCommand);
    write.bindText(4, account.caFile);
    write.bindInt(5, account.insecureHttp ? 1 : 0);
    write.run();
    transaction.commit();
}

void saveToken(Database& book, const QByteArray& token) {
    Statement write(book, "UPDATE tessaline_sync_account SET sync_token = ?1 WHERE id = 1");
    write.bindBlob(1, token);
    write.run();
}

bool forget(Database& book) {
    const bool had = load(book).has_value();
    WriteTransaction transaction(book);
    book.exec("DROP TABLE IF EXISTS tessaline_sync_card;\n"
              "DROP TABLE IF EXISTS tessaline_sync_account;");
    transaction.commit();
    return had;
}

QString runPasswordCommand(const QString& command) {
    QProcess shell;
    // What it says on standard error (a passphrase prompt's trouble) is the user's to read.
    shell.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    shell.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
    if (!shell.waitForStarted() || !shell.waitForFinished(kPasswordTimeoutMs)) {
        shell.kill();
        shell.waitForFinished();
        throw StoreError(QStringLiteral("The password command did not finish: %1").arg(command));
    }
    if (shell.exitStatus() != QProcess::NormalExit || shell.exitCode() != 0)
        throw StoreError(QStringLiteral("The password command failed (exit code %1): %2")
                             .arg(shell.exitCode())
                             .arg(command));
    const QByteArray output = shell.readAllStandardOutput();
    const qsizetype end = output.indexOf('\n');
    QByteArray line = end < 0 ? output : output.left(end);
    if (line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

} // namespace sync_account
