#pragma once

#include "exchange/vcard_columns.h"
#include "exchange/vcard_line.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QVariant>

// Writing content lines: escaping, folding, the parameters a value of ours needs. Shared by the
// export, which writes whole cards, and the sync, which rewrites single lines of a server's card.
namespace vcard {

// Appends one content line folded after RFC 6350 3.2: no physical line longer than 75 octets,
// each continuation starting with a blank, never inside a character; lineEnd after each.
void appendFolded(QByteArray& card, QByteArrayView line, QByteArrayView lineEnd = "\r\n");

// A value being escaped (backslash, comma, semicolon, and every line break as \n), with the kind of
// each break it had. Works on UTF-8, where none of these octets occurs inside a character.
struct EscapedValue {
    QByteArray text;
    QByteArrayList breaks;

    void add(const QByteArray& plain);
    void add(QByteArrayView plain);
    // The parameter naming the breaks when they are not all LF: one kind for all, else each.
    QByteArray breaksParameter() const;
};

// Whether a value holds anything EscapedValue would escape.
bool needsEscaping(QByteArrayView plain);

// RFC 6868: a caret, a line break (of any kind) and a double quote inside a parameter value.
QByteArray parameterText(QByteArrayView plain);

// The property and its TYPE; a phone text that reads as a tel: URI is marked as text, so a
// reader keeps its "tel:".
QByteArray columnHead(const ColumnProperty& row, const QVariant& value);
// Whether a phone text would be taken for a tel: URI.
bool looksLikeTelUri(const QString& text);
bool looksLikeTelUri(QByteArrayView utf8);

// A value written in a card's own escaping: 3.0 and 4.0 escape and name the kinds of the breaks;
// 2.1 escapes only semicolons and writes breaks and other than ASCII as quoted-printable UTF-8.
class ValueText {
  public:
    explicit ValueText(Escapes escapes) : escapes_(escapes) {}

    // Text, escaped.
    void add(const QString& plain);
    // Text already escaped for the card, such as a separator or a component kept as it was.
    void addEscaped(QByteArrayView text) { escaped_.text += text; }
    // Appends "head[;parameters]:value" with the parameters the value needs, folded as the
    // version folds, lineEnd after each physical line.
    void appendLine(QByteArray& card, QByteArrayView head, QByteArrayView lineEnd) const;

  private:
    void appendQuotedPrintable(QByteArray& card, QByteArrayView head, QByteArrayView lineEnd) const;

    Escapes escapes_;
    EscapedValue escaped_;
};

} // namespace vcard
