#include "tool/vcard_export.h"

#include "store/contact_table.h"
#include "tool/vcard_line.h"

#include <QStringList>

namespace vcard_export {

namespace {

using vcard::Column;

const QString kLineEnd = QStringLiteral("\r\n");
constexpr int kMaxOctets = 75;

// The UTF-8 length of one UTF-16 unit; a surrogate pair counts 4 on its first half.
int octetsAt(const QString& line, qsizetype i) {
    const char16_t unit = line[i].unicode();
    if (unit < 0x80)
        return 1;
    if (unit < 0x800)
        return 2;
    if (QChar::isHighSurrogate(unit))
        return 4;
    if (QChar::isLowSurrogate(unit) && i > 0 && line[i - 1].isHighSurrogate())
        return 0;
    return 3;
}

// Appends one content line folded after RFC 6350 3.2: no physical line longer than 75 octets,
// each continuation starting with a blank, never inside a character.
void appendLine(QString& card, const QString& line) {
    if (line.size() * 3 <= kMaxOctets) {
        card += line;
        card += kLineEnd;
        return;
    }
    int used = 0;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const int octets = octetsAt(line, i);
        if (used + octets > kMaxOctets) {
            card += QStringLiteral("\r\n ");
            used = 1;
        }
        card += line[i];
        used += octets;
    }
    card += kLineEnd;
}

// A value being escaped (backslash, comma, semicolon, and every line break as \n), with the kind of
// each break it had.
struct EscapedValue {
    QString text;
    QStringList breaks;

    void add(const QString& plain) {
        for (qsizetype i = 0; i < plain.size(); ++i) {
            const QChar c = plain[i];
            if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
                const bool pair = c == QLatin1Char('\r') && i + 1 < plain.size() &&
                                  plain[i + 1] == QLatin1Char('\n');
                breaks << (pair                     ? QStringLiteral("crlf")
                           : c == QLatin1Char('\r') ? QStringLiteral("cr")
                                                    : QStringLiteral("lf"));
                text += QStringLiteral("\\n");
                i += pair ? 1 : 0;
            } else if (c == QLatin1Char('\\') || c == QLatin1Char(',') || c == QLatin1Char(';')) {
                text += QLatin1Char('\\');
                text += c;
            } else {
                text += c;
            }
        }
    }

    // The parameter naming the breaks when they are not all LF: one kind for all, else each.
    QString breaksParameter() const {
        if (breaks.count(QStringLiteral("lf")) == breaks.size())
            return {};
        const bool same = breaks.count(breaks.first()) == breaks.size();
        return QStringLiteral(";%1=%2").arg(QLatin1String(vcard::kBreaks),
                                            same ? breaks.first() : breaks.join(QLatin1Char(',')));
    }
};

// RFC 6868: a caret, a line break (of any kind) and a double quote inside a parameter value.
QString parameterText(const QString& plain) {
    QString text;
    for (qsizetype i = 0; i < plain.size(); ++i) {
        const QChar c = plain[i];
        if (c == QLatin1Char('^'))
            text += QStringLiteral("^^");
        else if (c == QLatin1Char('"'))
            text += QStringLiteral("^'");
        else if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            text += QStringLiteral("^n");
            if (c == QLatin1Char('\r') && i + 1 < plain.size() && plain[i + 1] == QLatin1Char('\n'))
                ++i;
        } else
            text += c;
    }
    return text;
}

// NAME[;params]:value for a text column, nothing for NULL.
void appendText(QString& card, const QString& head, const QVariant& value) {
    if (value.isNull())
        return;
    EscapedValue escaped;
    escaped.add(value.toString());
    appendLine(card, head + escaped.breaksParameter() + QLatin1Char(':') + escaped.text);
}

// N (family;given) and FN always, as 4.0 wants FN; a NULL name part is listed in kNullColumns.
void appendNames(QString& card, const RowValues& values) {
    const QString given = values[Column::Name].toString();
    const QString family = values[Column::Surname].toString();
    EscapedValue name;
    name.add(family);
    name.text += QLatin1Char(';');
    name.add(given);
    appendLine(card, QStringLiteral("N") + name.breaksParameter() + QLatin1Char(':') + name.text +
                         QStringLiteral(";;;"));
    EscapedValue full;
    full.add(vcard::fullName(given, family));
    appendLine(card, QStringLiteral("FN:") + full.text);
}

void appendNullColumns(QString& card, const RowValues& values) {
    QStringList nulls;
    for (const Column column : {Column::Name, Column::Surname, Column::CreatedOn})
        if (values[column].isNull())
            nulls << QLatin1String(contact_table::kColumns[column]);
    if (!nulls.isEmpty())
        appendLine(card, QLatin1String(vcard::kNullColumns) + QLatin1Char(':') +
                             nulls.join(QLatin1Char(',')));
}

// The free address text goes whole into the street component, and as LABEL for display.
void appendAddress(QString& card, const QVariant& value) {
    if (value.isNull())
        return;
    const QString address = value.toString();
    EscapedValue street;
    street.add(address);
    appendLine(card, QStringLiteral("ADR;LABEL=\"%1\"%2:;;%3;;;;")
                         .arg(parameterText(address), street.breaksParameter(), street.text));
}

// A phone text that reads as a tel: URI is marked as text, so an import keeps its "tel:".
QString telHead(const char* type, const QVariant& value) {
    const bool uriLike = value.toString().startsWith(QLatin1String("tel:"), Qt::CaseInsensitive);
    return QStringLiteral("TEL;TYPE=%1%2")
        .arg(QLatin1String(type), uriLike ? QStringLiteral(";VALUE=text") : QString());
}

} // namespace

QString card(const RowValues& values) {
    QString card = QStringLiteral("BEGIN:VCARD\r\nVERSION:4.0\r\n");
    appendNullColumns(card, values);
    appendNames(card, values);
    appendText(card, telHead("voice", values[Column::Phone]), values[Column::Phone]);
    appendText(card, telHead("fax", values[Column::Fax]), values[Column::Fax]);
    appendAddress(card, values[Column::Address]);
    appendText(card, QStringLiteral("EMAIL"), values[Column::Email]);
    appendText(card, QStringLiteral("URL"), values[Column::Url]);
    appendText(card, QStringLiteral("NOTE"), values[Column::Other]);
    appendText(card, QLatin1String(vcard::kCreatedOn), values[Column::CreatedOn]);
    appendText(card, QLatin1String(vcard::kModifiedOn), values[Column::ModifiedOn]);
    card += QStringLiteral("END:VCARD\r\n");
    return card;
}

qint64 writeContacts(const Database& db, QTextStream& out) {
    return forEachContact(db, [&out](const RowValues& values) { out << card(values); });
}

} // namespace vcard_export
