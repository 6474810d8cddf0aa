#include "exchange/vcard_line.h"

#include "store/utf8_text.h"

#include <QStringDecoder>
#include <QVarLengthArray>
#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

namespace vcard {

namespace {

// The parts of text between the separators outside double quotes, as views into it: a head is
// read without a copy of each of its parts. A separator and a quote are looked for with memchr,
// and a quote's closing one straight after it.
QVarLengthArray<QByteArrayView, 8> unquotedParts(QByteArrayView text, char separator) {
    QVarLengthArray<QByteArrayView, 8> parts;
    if (text.isEmpty()) {
        parts.append(text);
        return parts;
    }
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    const char* start = begin;
    for (const char* from = begin;;) {
        const auto rest = std::size_t(end - from);
        const auto* stop = static_cast<const char*>(std::memchr(from, separator, rest));
        const auto* quote = static_cast<const char*>(
            std::memchr(from, '"', stop ? std::size_t(stop - from) : rest));
        if (quote) {
            const auto* closing =
                static_cast<const char*>(std::memchr(quote + 1, '"', std::size_t(end - quote - 1)));
            if (!closing)
                break; // quoted to the end: no separator counts
            from = closing + 1;
            continue;
        }
        if (!stop)
            break;
        parts.append(QByteArrayView(start, stop - start));
        start = from = stop + 1;
    }
    parts.append(QByteArrayView(start, end - start));
    return parts;
}

// The names most cards use, upper case, by their length. Each refers to the text of the program
// itself: a line that takes one copies a pointer, with no count of references to keep.
const std::array<QList<QByteArray>, 24>& knownNames() {
    static const auto bySize = [] {
        std::array<QList<QByteArray>, 24> table;
        for (const char* name :
             {"BEGIN", "END",        "VERSION",  "N",         "FN",         "TEL",
              "EMAIL", "ADR",        "URL",      "NOTE",      "ORG",        "TITLE",
              "UID",   "REV",        "PRODID",   "KIND",      "BDAY",       "NICKNAME",
              "PHOTO", "CATEGORIES", kCreatedOn, kModifiedOn, kNullColumns, kBlankColumns,
              "TYPE",  "PREF",       "VALUE",    "CHARSET",   "ENCODING",   "LABEL",
              kBreaks})
            table.at(std::strlen(name)) // a longer name needs a longer table
                << QByteArray::fromRawData(name, qsizetype(std::strlen(name)));
        return table;
    }();
    return bySize;
}

// A name in upper case: most cards write theirs so already, and most are known ones.
QByteArray upperName(QByteArrayView name) {
    if (name.size() < qsizetype(knownNames().size())) {
        const QList<QByteArray>& sameSize = knownNames()[std::size_t(name.size())];
        for (const QByteArray& upper : sameSize)
            if (std::memcmp(upper.constData(), name.data(), std::size_t(name.size())) == 0)
                return upper;
        for (const QByteArray& upper : sameSize)
            if (name.compare(upper, Qt::CaseInsensitive) == 0)
                return upper;
    }
    return name.toByteArray().toUpper();
}

} // namespace

QList<QByteArray> splitUnquoted(const QByteArray& text, char separator) {
    QList<QByteArray> parts;
    for (const QByteArrayView part : unquotedParts(text, separator))
        parts << part.toByteArray();
    return parts;
}

namespace {

// One parameter value: surrounding quotes dropped and RFC 6868 carets (^n ^' ^^) undone.
QString parameterValue(QByteArrayView value) {
    value = value.trimmed();
    if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
        value = value.sliced(1, value.size() - 2);
    const QString text = utf8Text(value);
    if (!value.contains('^'))
        return text;
    // The text between carets goes over whole.
    QString decoded;
    decoded.reserve(text.size());
    qsizetype from = 0;
    for (qsizetype i = 0; (i = text.indexOf(QLatin1Char('^'), i)) >= 0;) {
        const QChar next = i + 1 < text.size() ? text[i + 1] : QChar();
        const QChar meant = next == u'n' || next == u'N' ? QChar(u'\n')
                            : next == u'\''              ? QChar(u'"')
                            : next == u'^'               ? QChar(u'^')
                                                         : QChar();
        if (meant.isNull()) {
            ++i;
            continue;
        }
        decoded += QStringView(text).sliced(from, i - from);
        decoded += meant;
        i += 2;
        from = i;
    }
    decoded += QStringView(text).sliced(from);
    return decoded;
}

// A 2.1 parameter written without a name: an encoding, else a type.
Parameter bareParameter(QByteArrayView word) {
    static const QList<QByteArray> encodings = {"QUOTED-PRINTABLE", "BASE64", "B", "8BIT", "7BIT"};
    const QByteArray upper = word.trimmed().toByteArray().toUpper();
    return {encodings.contains(upper) ? QByteArray("ENCODING") : QByteArray("TYPE"),
            {QString::fromUtf8(word.trimmed())}};
}

Parameter namedParameter(QByteArrayView name, QByteArrayView values) {
    Parameter parameter{upperName(name.trimmed()), {}};
    for (const QByteArrayView value : unquotedParts(values, ','))
        parameter.values << parameterValue(value);
    return parameter;
}

void parseName(QByteArrayView qualified, ContentLine& line) {
    const qsizetype dot = qualified.indexOf('.');
    line.group = dot < 0 ? QByteArray() : qualified.first(dot).toByteArray();
    line.name = upperName(dot < 0 ? qualified : qualified.sliced(dot + 1));
}

} // namespace

// The position of the colon that ends the name and parameters: the first one outside double
// quotes, -1 when there is none.
qsizetype valueStart(const QByteArray& logical) {
    // Most heads hold no quote: then the first colon is the one.
    const char* data = logical.constData();
    const auto* colon =
        static_cast<const char*>(std::memchr(data, ':', std::size_t(logical.size())));
    if (!colon)
        return -1;
    if (!std::memchr(data, '"', std::size_t(colon - data)))
        return colon - data;
    bool quoted = false;
    for (qsizetype i = 0; i < logical.size(); ++i) {
        if (logical[i] == '"')
            quoted = !quoted;
        else if (logical[i] == ':' && !quoted)
            return i;
    }
    return -1;
}

void parseHead(QByteArrayView head, ContentLine& line) {
    // Most properties have no parameters.
    if (!head.contains(';')) {
        parseName(head.trimmed(), line);
        return;
    }
    const QVarLengthArray<QByteArrayView, 8> parts = unquotedParts(head, ';');
    parseName(parts.first().trimmed(), line);
    line.parameters.reserve(parts.size() - 1);
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QByteArrayView part = parts[i];
        if (part.trimmed().isEmpty())
            continue;
        const qsizetype equals = part.indexOf('=');
        line.parameters << (equals < 0
                                ? bareParameter(part)
                                : namedParameter(part.first(equals), part.sliced(equals + 1)));
    }
}

namespace {

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
    if (parameters.isEmpty())
        return values;
    const QByteArrayView wanted(name);
    for (const Parameter& parameter : parameters)
        if (QByteArrayView(parameter.name) == wanted)
            for (const QString& value : parameter.values)
                values << value.toLower();
    return values;
}

QString ContentLine::parameterText(const char* name) const {
    for (const Parameter& parameter : parameters)
        if (parameter.name == name)
            return parameter.values.join(QLatin1Char(','));
    return {};
}

namespace {

// Whether the line has a parameter of that name: most have no ENCODING, and are asked often.
bool hasParameter(const ContentLine& line, QByteArrayView name) {
    return std::any_of(
        line.parameters.begin(), line.parameters.end(),
        [name](const Parameter& parameter) { return QByteArrayView(parameter.name) == name; });
}

} // namespace

bool ContentLine::isBase64() const {
    if (!hasParameter(*this, "ENCODING"))
        return false;
    const QStringList encoding = parameter("ENCODING");
    return encoding.contains(QLatin1String("b")) || encoding.contains(QLatin1String("base64"));
}

bool ContentLine::isQuotedPrintable() const {
    return hasParameter(*this, "ENCODING") &&
           parameter("ENCODING").contains(QLatin1String("quoted-printable"));
}

bool ContentLine::hasKnownCharset() const {
    const QStringList charset = parameter("CHARSET");
    return charset.isEmpty() || QStringDecoder(charset.first().toLatin1().constData()).isValid();
}

QByteArray ContentLine::octets() const {
    if (isBase64())
        return QByteArray::fromBase64(value);
    return isQuotedPrintable() ? fromQuotedPrintable(value) : value;
}

bool ContentLine::isUndeclaredNonUtf8() const {
    // Most lines name neither an encoding nor a charset: their value is their octets.
    if (parameters.isEmpty())
        return !QByteArrayView(value).isValidUtf8();
    return !isBase64() && parameter("CHARSET").isEmpty() && !QByteArrayView(octets()).isValidUtf8();
}

QString ContentLine::text() const {
    const QStringList charset = parameter("CHARSET");
    if (charset.isEmpty() && !windows1252)
        return utf8Text(octets());
    const QByteArray name = charset.isEmpty() ? QByteArray(windows1252 ? "windows-1252" : "utf-8")
                                              : charset.first().toLatin1();
    if (name == "utf-8")
        return utf8Text(octets());
    QStringDecoder decoder(name.constData());
    return decoder.isValid() ? decoder.decode(octets()) : utf8Text(octets());
}

QString ContentLine::plainText() const {
    return unescape(text(), escapes);
}

// Done in place: the text never grows, and a long one is not copied.
QString unescape(QString text, Escapes escapes) {
    if (!text.contains(QLatin1Char('\\')))
        return text;
    QChar* data = text.data();
    const qsizetype size = text.size();
    qsizetype out = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const QChar next = i + 1 < size ? data[i + 1] : QChar();
        const bool escaped = data[i] == QLatin1Char('\\') && !next.isNull() &&
                             (escapes == Escapes::Standard || next == QLatin1Char(';'));
        if (!escaped)
            data[out++] = data[i];
        else if (escapes == Escapes::Standard && (next == u'n' || next == u'N'))
            data[out++] = QLatin1Char('\n');
        else
            data[out++] = next;
        i += escaped ? 1 : 0;
    }
    text.truncate(out);
    return text;
}

QStringList ContentLine::escapedComponents() const {
    const QString whole = text();
    const QStringView view(whole);
    QStringList parts;
    parts.reserve(view.count(QLatin1Char(';')) + 1);
    qsizetype start = 0;
    for (qsizetype i = 0; i < view.size(); ++i) {
        const QChar next = i + 1 < view.size() ? view[i + 1] : QChar();
        if (view[i] == QLatin1Char('\\') && (escapes == Escapes::Standard || next == u';'))
            ++i;
        else if (view[i] == QLatin1Char(';')) {
            parts << view.mid(start, i - start).toString();
            start = i + 1;
        }
    }
    parts << view.mid(start).toString();
    return parts;
}

QStringList ContentLine::components() const {
    QStringList parts = escapedComponents();
    for (QString& part : parts)
        part = unescape(std::move(part), escapes);
    return parts;
}

bool markWindows1252(QList<ContentLine>& card) {
    const bool windows1252 = std::any_of(card.begin(), card.end(), [](const ContentLine& line) {
        return line.isUndeclaredNonUtf8();
    });
    for (ContentLine& line : card)
        line.windows1252 = windows1252;
    return windows1252;
}

bool isCardMark(QByteArrayView line, const char* keyword) {
    const qsizetype colon = line.indexOf(':');
    return colon >= 0 && line.first(colon).trimmed().compare(keyword, Qt::CaseInsensitive) == 0 &&
           line.sliced(colon + 1).trimmed().compare("VCARD", Qt::CaseInsensitive) == 0;
}

} // namespace vcard
