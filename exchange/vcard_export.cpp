#include "exchange/vcard_export.h"

#include "exchange/vcard_columns.h"
#include "exchange/vcard_writing.h"
#include "store/contact_table.h"
#include "store/written_output.h"

#include <QByteArrayList>
#include <algorithm>
#include <initializer_list>

namespace vcard_export {

namespace {

using contact_table::Column;

constexpr qsizetype kMaxOctets = 75;
// Cards are written out in pieces of about this many bytes.
constexpr qsizetype kChunk = qsizetype(1) << 20;

// Appends the content line made of these pieces; a short one goes in as it is.
void appendLine(QByteArray& card, std::initializer_list<QByteArrayView> pieces) {
    qsizetype size = 0;
    for (const QByteArrayView piece : pieces)
        size += piece.size();
    QByteArray line;
    line.reserve(size <= kMaxOctets ? 0 : size);
    QByteArray& target = size <= kMaxOctets ? card : line;
    for (const QByteArrayView piece : pieces)
        target.append(piece);
    if (size <= kMaxOctets)
        card += "\r\n";
    else
        vcard::appendFolded(card, line);
}

QByteArray utf8(const QVariant& value) {
    return value.toString().toUtf8();
}

// NAME[;params]:value for a text column, nothing for NULL.
void appendText(QByteArray& card, const QByteArray& head, const QVariant& value) {
    if (value.isNull())
        return;
    vcard::EscapedValue escaped;
    escaped.add(utf8(value));
    appendLine(card, {head, escaped.breaksParameter(), ":", escaped.text});
}

// N (family;given) and FN always, as 4.0 wants FN; a NULL name part is listed in kNullColumns.
void appendNames(QByteArray& card, const RowValues& values) {
    const QString given = values[Column::Name].toString();
    const QString family = values[Column::Surname].toString();
    vcard::EscapedValue name;
    name.add(family.toUtf8());
    name.text += ';';
    name.add(given.toUtf8());
    appendLine(card, {"N", name.breaksParameter(), ":", name.text, ";;;"});
    vcard::EscapedValue full;
    full.add(vcard::fullName(given, family).toUtf8());
    appendLine(card, {"FN:", full.text});
}

void appendNullColumns(QByteArray& card, const RowValues& values) {
    QByteArrayList nulls;
    for (const Column column : {Column::Name, Column::Surname, Column::CreatedOn})
        if (values[column].isNull())
            nulls << contact_table::storedName(column);
    if (!nulls.isEmpty())
        appendLine(card, {vcard::kNullColumns, ":", nulls.join(',')});
}

// The free address text goes whole into the street component, and as LABEL for display.
void appendAddress(QByteArray& card, const QVariant& value) {
    if (value.isNull())
        return;
    const QByteArray address = utf8(value);
    vcard::EscapedValue street;
    street.add(address);
    appendLine(card, {vcard::propertyOf(Column::Address).property, ";LABEL=\"",
                      vcard::parameterText(address), "\"", street.breaksParameter(), ":;;",
                      street.text, ";;;;"});
}

void appendCard(QByteArray& card, const RowValues& values, QByteArrayView version = "4.0",
                const QString& uid = {}) {
    appendLine(card, {"BEGIN:VCARD\r\nVERSION:", version});
    if (!uid.isEmpty()) {
        vcard::EscapedValue escaped;
        escaped.add(uid.toUtf8());
        appendLine(card, {"UID:", escaped.text});
    }
    appendNullColumns(card, values);
    appendNames(card, values);
    for (const vcard::ColumnProperty& row : vcard::kColumnProperties) {
        const QVariant& value = values[row.column];
        if (row.column == Column::Address)
            appendAddress(card, value);
        else
            appendText(card, vcard::columnHead(row, value), value);
    }
    card += "END:VCARD\r\n";
}

} // namespace

QByteArray card(const RowValues& values) {
    QByteArray card;
    appendCard(card, values);
    return card;
}

QByteArray card(const RowValues& values, QByteArrayView version, const QString& uid) {
    QByteArray card;
    appendCard(card, values, version, uid);
    return card;
}

qint64 writeContacts(const Database& db, QTextStream& out) {
    QByteArray cards;
    cards.reserve(kChunk + kChunk / 8);
    const qint64 count = forEachContact(db, [&](const RowValues& values) {
        appendCard(cards, values);
        if (cards.size() >= kChunk) {
            written_output::writeBytes(out, cards);
            cards.resize(0);
        }
    });
    written_output::writeBytes(out, cards);
    return count;
}

} // namespace vcard_export
