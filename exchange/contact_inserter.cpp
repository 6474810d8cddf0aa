#include "exchange/contact_inserter.h"

#include "store/contact_table.h"

namespace {

QByteArray insertSql() {
    return QStringLiteral("INSERT INTO address (%1) VALUES (%2)")
        .arg(contact_table::quotedColumnList(),
             QStringLiteral("?, ").repeated(contact_table::kColumnCount - 1) + QLatin1Char('?'))
        .toUtf8();
}

// A buffer that grew past this for a long value (a note, say) is let go rather than kept for the
// contacts after it.
constexpr qsizetype kKeptBytes = 64 * 1024;

} // namespace

ContactInserter::ContactInserter(Database& db) : insert_(db, insertSql().constData()) {}

void ContactInserter::bindColumn(int column, const QVariant& value) {
    if (value.isNull())
        insert_.bind(column + 1, value);
    else if (value.userType() == QMetaType::QString)
        insert_.bindTextVia(column + 1, *static_cast<const QString*>(value.constData()),
                            utf8_[std::size_t(column)]);
    else
        insert_.bindTextVia(column + 1, value.toString(), utf8_[std::size_t(column)]);
}

void ContactInserter::releaseLongValues() {
    for (QByteArray& utf8 : utf8_)
        if (utf8.capacity() > kKeptBytes)
            utf8 = QByteArray();
}

void ContactInserter::insert(RowValues values) {
    for (int column = 0; column < contact_table::kColumnCount; ++column) {
        bindColumn(column, values[std::size_t(column)]);
        values[std::size_t(column)] = QVariant();
    }
    insert_.run();
    insert_.reset();
    releaseLongValues();
    ++inserted_;
}
