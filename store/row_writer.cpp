#include "store/row_writer.h"

#include "store/contact_table.h"
#include "store/store_error.h"

#include <algorithm>

namespace {

QByteArray quotedName(int column) {
    return contact_table::quotedColumn(contact_table::Column(column)).toUtf8();
}

QList<int> inColumnOrder(const RowWriter::Columns& columns) {
    QList<int> order = columns.keys();
    std::sort(order.begin(), order.end());
    return order;
}

} // namespace

void RowWriter::check(const Columns& columns) {
    for (auto it = columns.begin(); it != columns.end(); ++it) {
        if (it.key() < 0 || it.key() >= contact_table::kColumnCount)
            throw StoreError(
                QStringLiteral("There is no column %1 in the table \"address\".").arg(it.key()));
        if (!it.value().isNull())
            requireValidText(
                it.value().toString(),
                QStringLiteral("The text for \"%1\"")
                    .arg(QLatin1String(contact_table::kSchema[std::size_t(it.key())].storedName)));
    }
}

std::int64_t RowWriter::insert(const Columns& columns) {
    const QList<int> order = inColumnOrder(columns);
    if (order.isEmpty()) {
        run("INSERT INTO address DEFAULT VALUES", order, columns, nullptr);
        return connection_.database().lastInsertRowId();
    }
    QByteArrayList names, places;
    for (int i = 0; i < order.size(); ++i) {
        names << quotedName(order[i]);
        places << "?" + QByteArray::number(i + 1);
    }
    run("INSERT INTO address (" + names.join(", ") + ") VALUES (" + places.join(", ") + ")", order,
        columns, nullptr);
    return connection_.database().lastInsertRowId();
}

void RowWriter::update(std::int64_t rowid, const Columns& columns) {
    const QList<int> order = inColumnOrder(columns);
    if (order.isEmpty()) {
        if (!connection_.readRow(rowid).exists)
            rowGone(connection_.path());
        return;
    }
    QByteArrayList sets;
    for (int i = 0; i < order.size(); ++i)
        sets << quotedName(order[i]) + " = ?" + QByteArray::number(i + 1);
    run("UPDATE address SET " + sets.join(", ") + " WHERE rowid = ?" +
            QByteArray::number(order.size() + 1),
        order, columns, &rowid);
}

void RowWriter::run(const QByteArray& sql, const QList<int>& order, const Columns& columns,
                    const std::int64_t* rowid) {
    Database& db = connection_.database();
    WriteTransaction transaction(db);
    Statement statement(db, sql.constData());
    for (int i = 0; i < order.size(); ++i)
        statement.bind(i + 1, columns.value(order[i]));
    if (rowid)
        statement.bindInt(int(order.size()) + 1, *rowid);
    statement.run();
    if (rowid && db.changes() == 0)
        rowGone(connection_.path());
    transaction.commit();
}

void RowWriter::rowGone(const QString& path) {
    throw StoreError(QStringLiteral("The contact no longer exists in \"%1\": another program "
                                    "removed it. Nothing was stored.")
                         .arg(path));
}
