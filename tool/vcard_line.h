#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstddef>

// vCard (2.1, 3.0, 4.0) content lines: "group.NAME;PARAM=value:value", read one at a time.
namespace vcard {

// The names of the properties and parameters that carry what the standard ones cannot.
inline constexpr const char* kCreatedOn = "X-TESSALINE-CREATED-ON";
inline constexpr const char* kModifiedOn = "X-TESSALINE-MODIFIED-ON";
// The columns that are NULL although the card has a property or default for them.
inline constexpr const char* kNullColumns = "X-TESSALINE-NULL";
// The kinds of the line breaks of a value ("crlf", "lf", "cr"), one per break in order, or one
// for all of them; a value without it has LF breaks.
inline constexpr const char* kBreaks = "X-TESSALINE-BREAKS";

// The contact table's columns by position in RowValues.
enum Column : std::size_t {
    Name,
    Surname,
    Phone,
    Fax,
    Address,
    Email,
    Url,
    Other,
    CreatedOn,
    ModifiedOn
};

// FN of a card: given name, a blank, family name, without blanks around.
inline QString fullName(const QString& given, const QString& family) {
    return (given + QLatin1Char(' ') + family).trimmed();
}

struct Parameter {
    QByteArray name;    // upper case; a bare 2.1 parameter is named TYPE or ENCODING
    QStringList values; // the comma-separated list, quotes and RFC 6868 carets undone
};

struct ContentLine {
    int lineNumber = 0; // the first physical line of the property
    QByteArray group;   // as written, empty when there is none
    QByteArray name;    // upper case
    QList<Parameter> parameters;
    QByteArray value; // unfolded, still escaped and encoded

    // Every value of the parameters of that name, lower case.
    QStringList parameter(const char* name) const;
    bool isBase64() const;
    bool isQuotedPrintable() const;
    // The value as text: quoted-printable undone, then decoded from its CHARSET (UTF-8 when it
    // names none or one Qt does not know). Escapes are left in.
    QString text() const;
};

// Reads content lines from a device line by line: CRLF or LF line ends, an optional UTF-8 BOM,
// folded lines, quoted-printable soft line breaks and 2.1 base64 blocks; blank lines are skipped.
class ContentLineReader {
  public:
    // source names the input in error messages.
    ContentLineReader(QIODevice& device, const QString& source);

    // The next content line, or false at the end. Throws StoreError for a line with no colon.
    bool next(ContentLine& line);
    // Throws StoreError "source, line N: problem".
    [[noreturn]] void fail(int lineNumber, const QString& problem) const;

  private:
    bool readRaw(QByteArray& line);
    bool readPhysical(QByteArray& line);
    bool peekPhysical();
    qsizetype unfold(QByteArray& logical, ContentLine& line);
    void skipBase64Block();

    QIODevice& device_;
    QString source_;
    int lineNumber_ = 0;
    bool started_ = false;
    bool hasPending_ = false;
    QByteArray pending_;
    QByteArray buffer_;
    qsizetype position_ = 0;
};

// Backslash escapes undone: \\ \n \N \, \; ; any other backslash stays as it is.
QString unescape(QStringView text);
// The components of a structured value (N, ADR, ORG), split at unescaped semicolons and
// unescaped.
QStringList components(QStringView text);

// Whether the file's first line that is not blank, after an optional UTF-8 BOM, is BEGIN:VCARD.
bool looksLikeVCard(QIODevice& device);

} // namespace vcard
