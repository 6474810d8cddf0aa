#include "exchange/vcard_writing.h"

#include <algorithm>

namespace vcard {

namespace {

constexpr qsizetype kMaxOctets = 75;

bool isSpecial(char c) {
    return c == '\r' || c == '\n' || c == '\\' || c == ',' || c == ';';
}

// What 2.1 carries unencoded: printable ASCII.
bool isPlain21(char c) {
    return c >= ' ' && c <= '~';
}

} // namespace

void appendFolded(QByteArray& card, QByteArrayView line, QByteArrayView lineEnd) {
    qsizetype start = 0;
    qsizetype room = kMaxOctets;
    while (line.size() - start > room) {
        qsizetype end = start + room;
        while ((uchar(line[end]) & 0xC0) == 0x80)
            --end;
        card.append(line.constData() + start, end - start);
        card += lineEnd;
        card += ' ';
        start = end;
        room = kMaxOctets - 1;
    }
    card.append(line.constData() + start, line.size() - start);
    card += lineEnd;
}

bool needsEscaping(QByteArrayView plain) {
    return std::any_of(plain.begin(), plain.end(), isSpecial);
}

// A value with nothing to escape, the first one added, is shared rather than copied.
void EscapedValue::add(const QByteArray& plain) {
    if (text.isEmpty() && !needsEscaping(plain))
        text = plain;
    else
        add(QByteArrayView(plain));
}

void EscapedValue::add(QByteArrayView plain) {
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

QByteArray EscapedValue::breaksParameter() const {
    if (breaks.isEmpty() || breaks.count("lf") == breaks.size())
        return {};
    const bool same = breaks.count(breaks.first()) == breaks.size();
    return ';' + QByteArray(kBreaks) + '=' + (same ? breaks.first() : breaks.join(','));
}

QByteArray parameterText(QByteArrayView plain) {
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

bool looksLikeTelUri(const QString& text) {
    return text.startsWith(QLatin1String("tel:"), Qt::CaseInsensitive);
}

// No character but the ASCII ones folds to "tel:", so the bytes tell as much as the text.
bool looksLikeTelUri(QByteArrayView utf8) {
    return utf8.size() >= 4 && utf8.first(4).compare("tel:", Qt::CaseInsensitive) == 0;
}

QByteArray columnHead(const ColumnProperty& row, const QVariant& value) {
    QByteArray head(row.property);
    if (row.type)
        head += ";TYPE=" + QByteArray(row.type);
    if (head.startsWith("TEL;") && looksLikeTelUri(value.toString()))
        head += ";VALUE=text";
    return head;
}

void ValueText::add(const QString& plain) {
    if (escapes_ == Escapes::Standard)
        escaped_.add(plain.toUtf8());
    else
        escaped_.text += plain.toUtf8().replace(";", "\\;");
}

// 2.1 lines are not folded: a folding blank would stay in the value, and soft line breaks in
// quoted-printable are more than some servers' parsers read.
void ValueText::appendLine(QByteArray& card, QByteArrayView head, QByteArrayView lineEnd) const {
    const QByteArray& text = escaped_.text;
    if (escapes_ == Escapes::Standard) {
        appendFolded(card, head.toByteArray() + escaped_.breaksParameter() + ':' + text, lineEnd);
        return;
    }
    card += head;
    if (std::all_of(text.begin(), text.end(), isPlain21)) {
        card += ':';
        card += text;
    } else {
        card += ";CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:";
        for (const char c : text)
            if (isPlain21(c) && c != '=')
                card += c;
            else
                card += '=' + QByteArray::number(uchar(c), 16).rightJustified(2, '0').toUpper();
    }
    card += lineEnd;
}

} // namespace vcard
