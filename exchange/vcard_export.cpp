#include "exchange/vcard_export.h"

#include "exchange/vcard_columns.h"
#include "store/contact_table.h"
#include "store/written_output.h"

#include <QByteArrayList>
#include <algorithm>
#include <initializer_list>

namespace vcard_export {

namespace {

using contact_table::Column;

constexpr int kMaxOctets = 75;
// Cards are written out in pieces of about this many bytes.
constexpr qsizetype kChunk = qsizetype(1) << 20;

// Appends one content line folded after RFC 6350 3.2: no physical line longer than 75 octets,
// each continuation starting with a blank, never inside a character.
void appendFolded(QByteArray& card, const QByteArray& line) {
    qsizetype start = 0;
    qsizetype room = kMaxOctets;
    while (line.size() - start > room) {
        qsizetype end = start + room;
        while ((uchar(line[end]) & 0xC0) == 0x80)
            --end;
        card.append(line.constData() + start, end - start);
        card += "\r\n ";
        start = end;
        room = kMaxOctets - 1;
    }
    card.append(line.constData() + start, line.size() - start);
    card += "\r\n";
}

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
        appendFolded(card, line);
}

QByteArray utf8(const QVariant& value) {
    return value.toString().toUtf8();
}

// A value being escaped (backslash, comma, semicolon, and every line break as \n), with the kind of
// each break it had. Works on UTF-8, where none of these octets occurs inside a character.
struct EscapedValue {
    QByteArray text;
    QByteArrayList breaks;

    static bool isSpecial(char c) {
        return c == '\r' || c == '\n' || c == '\\' || c == ',' || c == ';';
    }

    void add(const QByteArray& plain) {
        if (text.isEmpty() && std::none_of(plain.begin(), plain.end(), isSpecial)) {
            text = plain;
            return;
        }
        const char* s = plain.constData();
        const qsizetype size = plain.size();
        text.reserve(text.size() + size + 16);
        qsizetype run = 0;
        for (qsizetype i = 0; i < size; ++i) {
            const char c = s[i];
            if (!isSpecial(c))
                continue;
            text.append(s + run, i - run);
            if (c == '\r' || c == '\n') {
                const bool pair = c == '\r' && i + 1 < size && s[i + 1] == '\n';
                breaks << (pair ? "crlf" : c == '\r' ? "cr" : "lf");
                text += "\\n";
                i += pair ? 1 : 0;
            } else {
                text += '\\';
                text += c;
            }
            run = i + 1;
        }
        text.append(s + run, size - run);
    }

    // The parameter naming the breaks when they are not all LF: one kind for all, else each.
    QByteArray breaksParameter() const {
        if (breaks.count("lf") == breaks.size())
            return {};
        const bool same = breaks.count(breaks.first()) == breaks.size();
        return ';' + QByteArray(vcard::kBreaks) + '=' + (same ? breaks.first() : breaks.join(','));
    }
};

// RFC 6868: a caret, a line break (of any kind) and a double quote inside a parameter value.
QByteArray parameterText(const QByteArray& plain) {
    QByteArray text;
    text.reserve(plain.size() + 16);
    for (qsizetype i = 0; i < plain.size(); ++i) {
        const char c = plain[i];
        if (c == '^')
            text += "^^";
        else if (c == '"')
            text += "^'";
        else if (c == '\n' || c == '\r') {
            text += "^n";
            if (c == '\r' && i + 1 < plain.size() && plain[i + 1] == '\n')
                ++i;
        } else
            text += c;
    }
    return text;
}

// NAME[;params]:value for a text column, nothing for NULL.
void appendText(QByteArray& card, const QByteArray& head, const QVariant& value) {
    if (value.isNull())
        return;
    EscapedValue escaped;
    escaped.add(utf8(value));
    appendLine(card, {head, escaped.breaksParameter(), ":", escaped.text});
}

// N (family;given) and FN always, as 4.0 wants FN; a NULL name part is listed in kNullColumns.
void appendNames(QByteArray& card, const RowValues& values) {
    const QString given = values[Column::Name].toString();
    const QString family = values[Column::Surname].toString();
    EscapedValue name;
    name.add(family.toUtf8());
    name.text += ';';
    name.add(given.toUtf8());
    appendLine(card, {"N", name.breaksParameter(), ":", name.text, ";;;"});
    EscapedValue full;
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
    EscapedValue street;
    street.add(address);
    appendLine(card,
               {vcard::propertyOf(Column::Address).property, ";LABEL=\"", parameterText(address),
                "\"", street.breaksParameter(), ":;;", street.text, ";;;;"});
}

// The property and its TYPE; a phone text that reads as a tel: URI is marked as text, so an
// import keeps its "tel:".
QByteArray headOf(const vcard::ColumnProperty& row, const QVariant& value) {
    QByteArray head(row.property);
    if (row.type)
        head += ";TYPE=" + QByteArray(row.type);
    if (head.startsWith("TEL;") &&
        value.toString().startsWith(QLatin1String("tel:"), Qt::CaseInsensitive))
        head += ";VALUE=text";
    return head;
}

void appendCard(QByteArray& card, const RowValues& values) {
    card += "BEGIN:VCARD\r\nVERSION:4.0\r\n";
    appendNullColumns(card, values);
    appendNames(card, values);
    for (const vcard::ColumnProperty& row : vcard::kColumnProperties) {
        const QVariant& value = values[row.column];
        if (row.column == Column::Address)
            appendAddress(card, value);
        else
            appendText(card, headOf(row, value), value);
    }
    card += "END:VCARD\r\n";
}

} // namespace

QByteArray card(const RowValues& values) {
    QByteArray card;
    appendCard(card, values);
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
