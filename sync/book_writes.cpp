#include "sync/book_writes.h"

#include "store/contact_table.h"
#include "sync/synced_cards.h"

namespace {

QByteArray sql(const char* pattern, const QString& argument = {}) {
    return QString::fromLatin1(pattern).arg(argument).toUtf8();
}

// "?1, ?2, ..." for every column, or `"Name" = ?1, ...`.
QString placeholders(bool assignments) {
    const QStringList names = contact_table::columnNames();
    QStringList parts;
    for (int i = 0; i < contact_table::kColumnCount; ++i) {
        const QString slot = QStringLiteral("?%1").arg(i + 1);
        parts << (assignments ? quoted(names.at(i)) + " = " + slot : slot);
    }
    return parts.join(QStringLiteral(", "));
}

// The statements are written once: a first sync inserts every contact of the server.
const QByteArray& selectOneSql() {
    static const QByteArray text =
        sql("SELECT %1 FROM address WHERE rowid = ?1", contact_table::quotedColumnList());
    return text;
}

const QByteArray& updateSql() {
    static const QByteArray text =
        sql("UPDATE address SET %1 WHERE rowid = ?11", placeholders(true));
    return text;
}

const QByteArray& insertSql() {
    static const QByteArray text = QStringLiteral("INSERT INTO address (%1) VALUES (%2)")
                                       .arg(contact_table::quotedColumnList(), placeholders(false))
                                       .toUtf8();
    return text;
}

void bindValues(Statement& statement, const RowValues& values) {
    for (int i = 0; i < contact_table::kColumnCount; ++i)
        statement.bind(i + 1, values[std::size_t(i)]);
}

} // namespace

QHash<std::int64_t, QByteArray> BookWrites::readContacts(const Database& book) {
    const QByteArray select =
        sql("SELECT rowid, %1 FROM address", contact_table::quotedColumnList());
    Statement rows(book, select.constData());
    QHash<std::int64_t, QByteArray> contacts;
    RowValues values;
    while (rows.step()) {
        readValues(rows, 1, values);
        contacts.insert(rows.integer(0), synced_cards::encode(values));
    }
    return contacts;
}

void BookWrites::begin() {
    if (!transaction_)
        transaction_.emplace(book_);
}

void BookWrites::commit() {
    if (transaction_)
        transaction_->commit();
    transaction_.reset();
    writes_ = 0;
}

void BookWrites::commitWhenDue() {
    if (++writes_ >= kWritesPerTransaction)
        commit();
}

bool BookWrites::replaceIfUnchanged(std::int64_t rowid, const RowValues& expected,
                                    const std::optional<RowValues>& values) {
    begin();
    Statement read(book_, selectOneSql().constData());
    read.bindInt(1, rowid);
    RowValues now;
    if (!read.step())
        return false;
    readValues(read, 0, now);
    if (now != expected)
        return false;
    Statement write(book_,
                    values ? updateSql().constData() : "DELETE FROM address WHERE rowid = ?11");
    if (values)
        bindValues(write, *values);
    write.bindInt(11, rowid);
    write.run();
    return true;
}

std::int64_t BookWrites::insert(const RowValues& values) {
    begin();
    Statement write(book_, insertSql().constData());
    bindValues(write, values);
    write.run();
    return book_.lastInsertRowId();
}
