#include "tool/vcard_line.h"

#include "store/store_error.h"

#include <QStringDecoder>
#include <utility>

namespace vcard {

namespace {

const QByteArray kBom = QByteArrayLiteral("\xEF\xBB\xBF");

// The position of the colon that ends the name and parameters: the first one outside double
// quotes, -1 when there is none.
qsizetype valueStart(const QByteArray& logical) {
    bool quoted = false;
    for (qsizetype i = 0; i < logical.size(); ++i) {
        if (logical[i] == '"')
            quoted = !quoted;
        else if (logical[i] == ':' && !quoted)
            return i;
    }
    return -1;
}

// Splits at separator where it stands outside double quotes.
QList<QByteArray> splitUnquoted(const QByteArray& text, char separator) {
    if (!text.contains('"'))
        return text.split(separator);
    QList<QByteArray> parts;
    bool quoted = false;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '"')
            quoted = !quoted;
        else if (text[i] == separator && !quoted) {
            parts << text.mid(start, i - start);
            start = i + 1;
        }
    }
    parts << text.mid(start);
    return parts;
}

// One parameter value: surrounding quotes dropped and RFC 6868 carets (^n ^' ^^) undone.
QString parameterValue(QByteArray value) {
    value = value.trimmed();
    if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
        value = value.mid(1, value.size() - 2);
    const QString text = QString::fromUtf8(value);
    if (!value.contains('^'))
        return text;
    QString decoded;
    decoded.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar next = i + 1 < text.size() ? text[i + 1] : QChar();
        if (text[i] == QLatin1Char('^') && (next == QLatin1Char('n') || next == QLatin1Char('N')))
            decoded += QLatin1Char('\n');
        else if (text[i] == QLatin1Char('^') && next == QLatin1Char('\''))
            decoded += QLatin1Char('"');
        else if (text[i] == QLatin1Char('^') && next == QLatin1Char('^'))
            decoded += QLatin1Char('^');
        else {
            decoded += text[i];
            continue;
        }
        ++i;
    }
    return decoded;
}

// A 2.1 parameter written without a name: an encoding, else a type.
Parameter bareParameter(const QByteArray& word) {
    static const QList<QByteArray> encodings = {"QUOTED-PRINTABLE", "BASE64", "B", "8BIT", "7BIT"};
    const QByteArray upper = word.trimmed().toUpper();
    return {encodings.contains(upper) ? QByteArray("ENCODING") : QByteArray("TYPE"),
            {QString::fromUtf8(word.trimmed())}};
}

Parameter namedParameter(const QByteArray& name, const QByteArray& values) {
    Parameter parameter{name.trimmed().toUpper(), {}};
    for (const QByteArray& value : splitUnquoted(values, ','))
        parameter.values << parameterValue(value);
    return parameter;
}

void parseName(const QByteArray& qualified, ContentLine& line) {
    const qsizetype dot = qualified.indexOf('.');
    line.group = dot < 0 ? QByteArray() : qualified.left(dot);
    line.name = (dot < 0 ? qualified : qualified.mid(dot + 1)).toUpper();
}

void parseHead(const QByteArray& head, ContentLine& line) {
    // Most properties have no parameters.
    if (!head.contains(';')) {
        parseName(head.trimmed(), line);
        return;
    }
    const QList<QByteArray> parts = splitUnquoted(head, ';');
    parseName(parts.first().trimmed(), line);
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const qsizetype equals = parts[i].indexOf('=');
        if (parts[i].trimmed().isEmpty())
            continue;
        line.parameters << (equals < 0
                                ? bareParameter(parts[i])
                                : namedParameter(parts[i].left(equals), parts[i].mid(equals + 1)));
    }
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// "=XX" becomes the byte XX; an "=" not followed by two hex digits stays as it is.
QByteArray fromQuotedPrintable(const QByteArray& encoded) {
    QByteArray bytes;
    bytes.reserve(encoded.size());
    for (qsizetype i = 0; i < encoded.size(); ++i) {
        const int high = i + 2 < encoded.size() ? hexDigit(encoded[i + 1]) : -1;
        const int low = high < 0 ? -1 : hexDigit(encoded[i + 2]);
        if (encoded[i] == '=' && low >= 0) {
            bytes += char(high * 16 + low);
            i += 2;
        } else {
            bytes += encoded[i];
        }
    }
    return bytes;
}

} // namespace

QStringList ContentLine::parameter(const char* name) const {
    QStringList values;
    for (const Parameter& parameter : parameters)
        if (parameter.name == name)
            for (const QString& value : parameter.values)
                values << value.toLower();
    return values;
}

bool ContentLine::isBase64() const {
    const QStringList encoding = parameter("ENCODING");
    return encoding.contains(QLatin1String("b")) || encoding.contains(QLatin1String("base64"));
}

bool ContentLine::isQuotedPrintable() const {
    return parameter("ENCODING").contains(QLatin1String("quoted-printable"));
}

QString ContentLine::text() const {
    const QByteArray bytes = isQuotedPrintable() ? fromQuotedPrintable(value) : value;
    const QStringList charset = parameter("CHARSET");
    if (charset.isEmpty() || charset.first() == QLatin1String("utf-8"))
        return QString::fromUtf8(bytes);
    QStringDecoder decoder(charset.first().toLatin1().constData());
    return decoder.isValid() ? decoder.decode(bytes) : QString::fromUtf8(bytes);
}

ContentLineReader::ContentLineReader(QIODevice& device, const QString& source)
    : device_(device), source_(source) {}

void ContentLineReader::fail(int lineNumber, const QString& problem) const {
    throw StoreError(QStringLiteral("%1, line %2: %3").arg(source_).arg(lineNumber).arg(problem));
}

// The next line of the device up to its LF, read through a buffer of our own: QIODevice reads a
// line in small steps.
bool ContentLineReader::readRaw(QByteArray& line) {
    constexpr qint64 kBlock = qint64(1) << 20;
    for (;;) {
        const qsizetype end = buffer_.indexOf('\n', position_);
        if (end >= 0) {
            line = buffer_.sliced(position_, end + 1 - position_);
            position_ = end + 1;
            return true;
        }
        buffer_.remove(0, position_);
        position_ = 0;
        const QByteArray block = device_.read(kBlock);
        if (block.isEmpty()) {
            line = std::exchange(buffer_, {});
            return !line.isEmpty();
        }
        buffer_ += block;
    }
}

bool ContentLineReader::readPhysical(QByteArray& line) {
    if (hasPending_) {
        line = pending_;
        hasPending_ = false;
    } else {
        if (!readRaw(line))
            return false;
        if (line.endsWith('\n'))
            line.chop(line.endsWith("\r\n") ? 2 : 1);
        if (!started_ && line.startsWith(kBom))
            line.remove(0, kBom.size());
        started_ = true;
    }
    ++lineNumber_;
    return true;
}

bool ContentLineReader::peekPhysical() {
    if (!hasPending_ && readPhysical(pending_)) {
        hasPending_ = true;
        --lineNumber_;
    }
    return hasPending_;
}

// Joins the physical lines of one property: folded ones (a leading blank or tab) and, in a
// quoted-printable value, the one after a soft line break ("=" at the end). Reads the name and
// parameters as soon as they are whole; returns where the value starts, -1 when no colon came.
qsizetype ContentLineReader::unfold(QByteArray& logical, ContentLine& line) {
    qsizetype colon = -1;
    bool quotedPrintable = false;
    QByteArray next;
    for (;;) {
        // Only a colon outside quotes ends the head: a quoted value may go on after a fold.
        if (colon < 0 && (colon = valueStart(logical)) >= 0) {
            parseHead(logical.left(colon), line);
            quotedPrintable = line.isQuotedPrintable();
        }
        const bool soft = quotedPrintable && logical.size() > colon + 1 && logical.endsWith('=');
        if (!peekPhysical() || !(soft || pending_.startsWith(' ') || pending_.startsWith('\t')))
            break;
        readPhysical(next);
        if (soft)
            logical.chop(1);
        logical += soft ? next : next.mid(1);
    }
    // A stray quote in a parameter: the first colon at all ends the head.
    if (colon < 0 && (colon = logical.indexOf(':')) >= 0)
        parseHead(logical.left(colon), line);
    return colon;
}

// A 2.1 base64 value goes on over lines of its own, up to a blank line; a line with a colon is the
// next property.
void ContentLineReader::skipBase64Block() {
    QByteArray line;
    while (peekPhysical() && !pending_.contains(':')) {
        const bool blank = pending_.trimmed().isEmpty();
        readPhysical(line);
        if (blank)
            return;
    }
}

bool ContentLineReader::next(ContentLine& line) {
    QByteArray logical;
    do {
        if (!readPhysical(logical))
            return false;
    } while (logical.trimmed().isEmpty());
    line = ContentLine{};
    line.lineNumber = lineNumber_;
    const qsizetype colon = unfold(logical, line);
    if (colon < 0)
        fail(line.lineNumber,
             QStringLiteral("the line has no colon, so it is not a vCard property"));
    line.value = logical.mid(colon + 1);
    if (line.isBase64())
        skipBase64Block();
    return true;
}

QString unescape(QStringView text) {
    if (!text.contains(QLatin1Char('\\')))
        return text.toString();
    QString plain;
    plain.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar next = i + 1 < text.size() ? text[i + 1] : QChar();
        if (text[i] != QLatin1Char('\\') || next.isNull()) {
            plain += text[i];
            continue;
        }
        if (next == QLatin1Char('n') || next == QLatin1Char('N'))
            plain += QLatin1Char('\n');
        else if (next == QLatin1Char('\\') || next == QLatin1Char(',') || next == QLatin1Char(';'))
            plain += next;
        else
            plain += QStringView(text).mid(i, 2);
        ++i;
    }
    return plain;
}

QStringList components(QStringView text) {
    QStringList parts;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('\\'))
            ++i;
        else if (text[i] == QLatin1Char(';')) {
            parts << unescape(text.mid(start, i - start));
            start = i + 1;
        }
    }
    parts << unescape(text.mid(start));
    return parts;
}

bool looksLikeVCard(QIODevice& device) {
    for (int i = 0; i < 1000 && !device.atEnd(); ++i) {
        QByteArray line = device.readLine(4096);
        if (i == 0 && line.startsWith(kBom))
            line.remove(0, kBom.size());
        line = line.trimmed();
        if (!line.isEmpty())
            return line.compare("BEGIN:VCARD", Qt::CaseInsensitive) == 0;
    }
    return false;
}

} // namespace vcard
