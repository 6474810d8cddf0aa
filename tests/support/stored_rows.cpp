#include "support/stored_rows.h"

#include "store/contact_table.h"
#include "store/sqlite_db.h"

StoredRow row(std::initializer_list<QVariant> leading) {
    StoredRow values(leading);
    while (values.size() < contact_table::kColumnCount)
        values << QVariant();
    return values;
}

QStringList textsOf(const StoredRow& stored) {
    QStringList texts;
    for (const QVariant& value : stored)
        texts << value.toString();
    return texts;
}

QList<QStringList> textsOf(const QList<StoredRow>& rows) {
    QList<QStringList> texts;
    for (const StoredRow& stored : rows)
        texts << textsOf(stored);
    return texts;
}

QList<StoredRow> rowsIn(const QString& path) {
    Database db(path, Database::Mode::ReadOnly);
    contact_table::registerCollation(db.handle());
    const QByteArray sql = QStringLiteral("SELECT %1 FROM address ORDER BY rowid")
                               .arg(contact_table::quotedColumnList())
                               .toUtf8();
    Statement select(db, sql.constData());
    QList<StoredRow> rows;
    while (select.step()) {
        StoredRow values;
        for (int i = 0; i < contact_table::kColumnCount; ++i)
            values << select.value(i);
        rows << values;
    }
    return rows;
}

void insertRows(const QString& path, const QList<StoredRow>& rows) {
    Database db = contact_table::openAddressBook(path);
    WriteTransaction transaction(db);
    Statement insert(db, "INSERT INTO address VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    for (const StoredRow& values : rows) {
        for (int i = 0; i < contact_table::kColumnCount; ++i)
            insert.bind(i + 1, values.value(i));
        insert.run();
        insert.reset();
    }
    transaction.commit();
}

void execOn(const QString& path, const char* sql) {
    Database db(path, Database::Mode::ReadWrite);
    contact_table::registerCollation(db.handle());
    db.exec(sql);
}
