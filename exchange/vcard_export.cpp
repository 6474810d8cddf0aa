#include "exchange/vcard_export.h"

#include "exchange/vcard_columns.h"
#include "exchange/vcard_writing.h"
#include "store/contact_table.h"
#include "store/utf8_text.h"
#include "store/written_output.h"

#include <QByteArrayList>
#include <algorithm>
#include <initializer_list>
#include <optional>

namespace vcard_export {

namespace {

using contact_table::Column;
using contact_table::kColumnCount;

constexpr qsizetype kMaxOctets = 75;
// Cards are written out in pieces of about this many bytes.
constexpr qsizetype kChunk = qsizetype(1) << 20;

// A contact's values as a card takes them: UTF-8, NULL as nothing. The views point into a
// statement's row or into copies held by whoever made them.
using Utf8Row = std::array<std::optional<QByteArrayView>, kColumnCount>;

QByteArrayView textOf(const Utf8Row& row, Column column) {
    return row[contact_table::position(column)].value_or(QByteArrayView());
}

// Appends the content line made of these pieces; a short one goes in as it is.
void appendLine(QByteArray& card, std::initializer_list<QByteArrayView> pieces) {
    qsizetype size = 0;
    for (const QByteArrayView piece : pieces)
        size += piece.size();
    if (size <= kMaxOctets) {
        for (const QByteArrayView piece : pieces)
            card.append(piece);
        card += "\r\n";
        return;
    }
    QByteArray line;
    line.reserve(size);
    for (const QByteArrayView piece : pieces)
        line.append(piece);
    vcard::appendFolded(card, line);
}

// A value as a card writes it: the stored bytes themselves when nothing in them needs escaping,
// which is nearly always, so that most values are never copied on their way out.
class CardValue {
  public:
    explicit CardValue(QByteArrayView plain) : text_(plain) {
        if (vcard::needsEscaping(plain)) {
            escaped_.add(plain);
            text_ = escaped_.text;
        }
    }
    CardValue(const CardValue&) = delete;
    CardValue& operator=(const CardValue&) = delete;

    QByteArrayView text() const { return text_; }
    QByteArray breaksParameter() const { return escaped_.breaksParameter(); }

  private:
    vcard::EscapedValue escaped_;
    QByteArrayView text_;
};

// NAME[;TYPE=type][;VALUE=text][;breaks]:value for a text column, nothing for NULL. A phone
// text that reads as a tel: URI is marked as text, so that a reader keeps its "tel:".
void appendText(QByteArray& card, const vcard::ColumnProperty& row,
                const std::optional<QByteArrayView>& value) {
    if (!value)
        return;
    const CardValue escaped(*value);
    const bool telText =
        QByteArrayView(row.property) == "TEL" && row.type && vcard::looksLikeTelUri(*value);
    appendLine(card,
               {row.property, row.type ? ";TYPE=" : "", row.type ? row.type : "",
                telText ? ";VALUE=text" : "", escaped.breaksParameter(), ":", escaped.text()});
}

// Whether a byte can stand at either end of FN untrimmed: printable ASCII but the blank.
bool isPlainEnd(char c) {
    return c > ' ' && c < 0x7F;
}

// FN as vcard::fullName makes it. Only a name that may have blanks to trim at either end (or
// lacks a part) goes through QString, which knows every kind of blank.
void appendFullName(QByteArray& card, QByteArrayView given, QByteArrayView family) {
    const bool joined = !given.isEmpty() && !family.isEmpty() && isPlainEnd(given.front()) &&
                        isPlainEnd(family.back());
    if (joined && !vcard::needsEscaping(given) && !vcard::needsEscaping(family)) {
        appendLine(card, {"FN:", given, " ", family});
        return;
    }
    vcard::EscapedValue full;
    full.add(vcard::fullName(utf8Text(given), utf8Text(family)).toUtf8());
    appendLine(card, {"FN:", full.text});
}

// N (family;given) and FN always, as 4.0 wants FN; a NULL name part is listed in kNullColumns.
void appendNames(QByteArray& card, const Utf8Row& row) {
    const QByteArrayView given = textOf(row, Column::Name);
    const QByteArrayView family = textOf(row, Column::Surname);
    if (vcard::needsEscaping(given) || vcard::needsEscaping(family)) {
        vcard::EscapedValue name;
        name.add(family);
        name.text += ';';
        name.add(given);
        appendLine(card, {"N", name.breaksParameter(), ":", name.text, ";;;"});
    } else {
        appendLine(card, {"N:", family, ";", given, ";;;"});
    }
    appendFullName(card, given, family);
}

void appendNullColumns(QByteArray& card, const Utf8Row& row) {
    QByteArrayList nulls;
    for (const Column column : {Column::Name, Column::Surname, Column::CreatedOn})
        if (!row[contact_table::position(column)])
            nulls << contact_table::storedName(column);
    if (!nulls.isEmpty())
        appendLine(card, {vcard::kNullColumns, ":", nulls.join(',')});
}

// The free address text goes whole into the street component, and as LABEL for display.
void appendAddress(QByteArray& card, const std::optional<QByteArrayView>& value) {
    if (!value)
        return;
    const CardValue street(*value);
    appendLine(card, {vcard::propertyOf(Column::Address).property, ";LABEL=\"",
                      vcard::parameterText(*value), "\"", street.breaksParameter(), ":;;",
                      street.text(), ";;;;"});
}

void appendCard(QByteArray& card, const Utf8Row& row, QByteArrayView version = "4.0",
                const QString& uid = {}) {
    appendLine(card, {"BEGIN:VCARD\r\nVERSION:", version});
    if (!uid.isEmpty()) {
        vcard::EscapedValue escaped;
        escaped.add(uid.toUtf8());
        appendLine(card, {"UID:", escaped.text});
    }
    appendNullColumns(card, row);
    appendNames(card, row);
    for (const vcard::ColumnProperty& property : vcard::kColumnProperties) {
        const std::optional<QByteArrayView>& value = row[contact_table::position(property.column)];
        if (property.column == Column::Address)
            appendAddress(card, value);
        else
            appendText(card, property, value);
    }
    card += "END:VCARD\r\n";
}

// The values of the row a statement stands on, as a card takes them: SQLite's own bytes, or, for
// text that is not UTF-8, the bytes of the text every other reader makes of it.
class StoredRow {
  public:
    const Utf8Row& read(const Statement& rows) {
        for (int c = 0; c < kColumnCount; ++c) {
            std::optional<QByteArrayView>& value = row_[std::size_t(c)];
            if (rows.isNull(c)) {
                value.reset();
                continue;
            }
            value = rows.utf8(c);
            if (!value->isValidUtf8())
                value = converted_[std::size_t(c)] = utf8Text(*value).toUtf8();
        }
        return row_;
    }

  private:
    Utf8Row row_;
    std::array<QByteArray, kColumnCount> converted_;
};

QByteArray cardOf(const RowValues& values, QByteArrayView version, const QString& uid) {
    std::array<QByteArray, kColumnCount> utf8;
    Utf8Row row;
    for (std::size_t c = 0; c < std::size_t(kColumnCount); ++c)
        if (!values[c].isNull())
            row[c] = utf8[c] = values[c].toString().toUtf8();
    QByteArray card;
    appendCard(card, row, version, uid);
    return card;
}

} // namespace

QByteArray card(const RowValues& values) {
    return cardOf(values, "4.0", {});
}

QByteArray card(const RowValues& values, QByteArrayView version, const QString& uid) {
    return cardOf(values, version, uid);
}

qint64 writeContacts(const Database& db, QTextStream& out) {
    QByteArray cards;
    cards.reserve(kChunk + kChunk / 8);
    Statement rows(db, everyContactStatement().constData());
    StoredRow row;
    qint64 count = 0;
    while (rows.step()) {
        appendCard(cards, row.read(rows));
        ++count;
        if (cards.size() >= kChunk) {
            written_output::writeBytes(out, cards);
            cards.resize(0);
        }
    }
    written_output::writeBytes(out, cards);
    return count;
}

} // namespace vcard_export
