#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// vCard (2.1, 3.0, 4.0) content lines, "group.NAME;PARAM=value:value", and their values as text.
namespace vcard {

// The names of the properties and parameters that carry what the standard ones cannot.
inline constexpr const char* kCreatedOn = "X-TESSALINE-CREATED-ON";
inline constexpr const char* kModifiedOn = "X-TESSALINE-MODIFIED-ON";
// The columns that are NULL although the card has a property or default for them.
inline constexpr const char* kNullColumns = "X-TESSALINE-NULL";
// The kinds of the line breaks of a value ("crlf", "lf", "cr"), one per break in order, or one
// for all of them; a value without it has LF breaks.
inline constexpr const char* kBreaks = "X-TESSALINE-BREAKS";
// The columns that take a blank value although another property of theirs has text (a further
// e-mail, say, when the one the contact kept was emptied).
inline constexpr const char* kBlankColumns = "X-TESSALINE-BLANK";

// FN of a card: given name, a blank, family name, without blanks around.
inline QString fullName(const QString& given, const QString& family) {
    return (given + QLatin1Char(' ') + family).trimmed();
}

struct Parameter {
    QByteArray name;    // upper case; a bare 2.1 parameter is named TYPE or ENCODING
    QStringList values; // the comma-separated list, quotes and RFC 6868 carets undone
};

// How a card escapes its values: 2.1 knows only "\;"; 3.0 and 4.0 know \\ \n \, \; and take a
// backslash before anything else for that character alone.
enum class Escapes { Vcard21, Standard };

struct ContentLine {
    int lineNumber = 0;     // the first physical line of the property
    int lastLineNumber = 0; // and its last, folds and a 2.1 base64 block included
    QByteArray head;        // the group, name and parameters as written (unfolded); empty when the
                            // reader was told not to keep them
    QByteArray group;       // as written, empty when there is none
    QByteArray name;        // upper case
    QList<Parameter> parameters;
    QByteArray value; // unfolded, still escaped and encoded
    Escapes escapes = Escapes::Standard;
    // The card's text is not UTF-8 and names no charset: a value without CHARSET is Windows-1252.
    bool windows1252 = false;

    // Every value of the parameters of that name, lower case.
    QStringList parameter(const char* name) const;
    // The first parameter of that name as written (its values joined by commas), empty when there
    // is none.
    QString parameterText(const char* name) const;
    bool isBase64() const;
    bool isQuotedPrintable() const;
    // Whether the CHARSET it names, if any, is one that can be decoded.
    bool hasKnownCharset() const;
    // The value's octets: base64 or quoted-printable undone.
    QByteArray octets() const;
    // Whether it is text that names no charset and whose octets are not UTF-8.
    bool isUndeclaredNonUtf8() const;
    // The value as text, decoded from its CHARSET, else from UTF-8 (Windows-1252 when the card is
    // marked so); a leading U+FEFF is kept. Escapes are left in.
    QString text() const;
    // The value as text with its escapes undone.
    QString plainText() const;
    // The components of a structured value (N, ADR, ORG), split at unescaped semicolons and
    // unescaped.
    QStringList components() const;
    // The components as written: split at unescaped semicolons, escapes left in.
    QStringList escapedComponents() const;
};

// Marks every line of one card as Windows-1252 when a value that names no charset is not UTF-8
// (as older programs write cards, in the system's code page). Returns whether it did.
bool markWindows1252(QList<ContentLine>& card);

// Splits at separator where it stands outside double quotes.
QList<QByteArray> splitUnquoted(const QByteArray& text, char separator);

// The position of the colon that ends the name and parameters: the first one outside double
// quotes, -1 when there is none.
qsizetype valueStart(const QByteArray& logical);
// Reads the group, name and parameters before the value's colon into line.
void parseHead(QByteArrayView head, ContentLine& line);

// Backslash escapes undone as the card's version has them.
QString unescape(QString text, Escapes escapes);
// Whether a physical line is "BEGIN:VCARD" or "END:VCARD" (keyword), blanks and case aside.
bool isCardMark(QByteArrayView line, const char* keyword);

} // namespace vcard
