#include "exchange/contact_inserter.h"

#include "store/contact_table.h"

namespace {

QByteArray insertSql() {
    return QStringLiteral("INSERT INTO address (%1) VALUES (%2)")
        .arg(contact_table::quotedColumnList(),
             QStringLiteral("?, ").repeated(contact_table::kColumnCount - 1) + QLatin1Char('?'))
        .toUtf8();
}

} // namespace

ContactInserter::ContactInserter(Database& db) : insert_(db, insertSql().constData()) {}

void ContactInserter::insert(RowValues values) {
    for (int column = 0; column < contact_table::kColumnCount; ++column) {
        insert_.bind(column + 1, values[std::size_t(column)]);
        values[std::size_t(column)] = QVariant();
    }
    insert_.run();
    insert_.reset();
    ++inserted_;
}
