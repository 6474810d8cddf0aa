#include "tool/contact_query.h"

#include "store/contact_table.h"
#include "store/text_fold.h"
#include "store/utf8_text.h"

#include "store/written_output.h"

#include <algorithm>
#include <sqlite3.h>
#include <string_view>

namespace contact_query {

namespace {

using text_fold::Accents;

// The text searched for, folded once per statement, matched against values as SQLite hands them
// over (UTF-8).
class Needle {
  public:
    explicit Needle(const QString& text)
        : folded_(text_fold::folded(text, Accents::SetAside)), foldedUtf8_(folded_.toUtf8()) {
        for (const char c : foldedUtf8_)
            ascii_ = ascii_ && static_cast<unsigned char>(c) < 0x80;
    }

    bool isFoundIn(const unsigned char* utf8, int length) const {
        // Most contact data is ASCII, where folding is lowering the letters; other text is
        // folded whole.
        QVarLengthArray<char, 256> lowered(length);
        for (int i = 0; i < length; ++i) {
            if (utf8[i] >= 0x80) {
                text_fold::Folded text;
                text_fold::appendFolded(utf8, length, Accents::SetAside, text);
                return QStringView(text.constData(), text.size()).contains(folded_);
            }
            lowered[i] = char(text_fold::asciiFolded(utf8[i]));
        }
        if (!ascii_)
            return false;
        // The standard search looks for the first byte with memchr, quicker than memmem on
        // values this short.
        return std::string_view(lowered.constData(), std::size_t(length))
                   .find(std::string_view(foldedUtf8_.constData(),
                                          std::size_t(foldedUtf8_.size()))) !=
               std::string_view::npos;
    }

  private:
    QString folded_;
    QByteArray foldedUtf8_;
    bool ascii_ = true;
};

void deleteNeedle(void* needle) {
    delete static_cast<Needle*>(needle);
}

// contains_folded(value, part): 1 when the folded value holds the folded part, 0 otherwise and
// for NULL. SQLite keeps the folded part beside the bound parameter.
void containsFolded(sqlite3_context* context, int, sqlite3_value** arguments) {
    if (sqlite3_value_type(arguments[0]) == SQLITE_NULL) {
        sqlite3_result_int(context, 0);
        return;
    }
    auto* needle = static_cast<const Needle*>(sqlite3_get_auxdata(context, 1));
    if (!needle) {
        const auto* part = reinterpret_cast<const char*>(sqlite3_value_text(arguments[1]));
        const QString text = utf8Text(QByteArrayView(part, sqlite3_value_bytes(arguments[1])));
        sqlite3_set_auxdata(context, 1, new Needle(text), deleteNeedle);
        needle = static_cast<const Needle*>(sqlite3_get_auxdata(context, 1));
        if (!needle) {
            sqlite3_result_error_nomem(context);
            return;
        }
    }
    const unsigned char* value = sqlite3_value_text(arguments[0]);
    sqlite3_result_int(context, needle->isFoundIn(value, sqlite3_value_bytes(arguments[0])));
}

void registerContainsFolded(sqlite3* db) {
    sqlite3_create_function_v2(db, "contains_folded", 2,
                               SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                               containsFolded, nullptr, nullptr, nullptr);
}

// One scan of the table, with the folding done by a function of ours inside SQLite; the e-mail
// address is looked at only for the few rows that match. No index of
// the book helps: they keep whole values in case-blind order, but a part can stand anywhere in a
// value, and even a prefix would miss accented spellings, which that order keeps apart.
QByteArray matchesStatement() {
    using contact_table::Column;
    using contact_table::quotedColumn;
    return QStringLiteral(R"sql(
SELECT %1, %2, %3, %4 FROM address
WHERE (contains_folded(%2, ?1) OR contains_folded(%3, ?1)
       OR contains_folded(%1, ?1))
  AND trim(%1) <> ''
ORDER BY rowid
)sql")
        .arg(quotedColumn(Column::Email), quotedColumn(Column::Name), quotedColumn(Column::Surname),
             quotedColumn(Column::Phone))
        .toUtf8();
}

// A value on one line: tabs and line breaks would split the mail program's fields.
QString oneLine(QString text) {
    for (QChar& c : text)
        if (c == u'\t' || c == u'\r' || c == u'\n')
            c = u' ';
    return text;
}

// QChar::isSpace for ASCII: tab, line feed, vertical tab, form feed, carriage return, blank.
bool isAsciiSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

QByteArrayView trimmedAscii(QByteArrayView bytes) {
    while (!bytes.isEmpty() && isAsciiSpace(bytes.front()))
        bytes = bytes.sliced(1);
    while (!bytes.isEmpty() && isAsciiSpace(bytes.back()))
        bytes.chop(1);
    return bytes;
}

// Whether the bytes trim as QString trims their text: UTF-8 whose first and last bytes that are
// no ASCII blank are ASCII, as a blank of another script would stop these bytes but not QString.
bool trimsAsBytes(QByteArrayView bytes) {
    const QByteArrayView trimmed = trimmedAscii(bytes);
    return bytes.isValidUtf8() &&
           (trimmed.isEmpty() || (uchar(trimmed.front()) < 0x80 && uchar(trimmed.back()) < 0x80));
}

// oneLine() of the UTF-8 text from `start` on, in place: tabs and line breaks are never part of
// a longer character.
void flattenFrom(QByteArray& lines, qsizetype start) {
    for (char* c = lines.data() + start; c != lines.data() + lines.size(); ++c)
        if (*c == '\t' || *c == '\r' || *c == '\n')
            *c = ' ';
}

void appendOneLine(QByteArray& lines, QByteArrayView text) {
    const qsizetype start = lines.size();
    lines.append(text);
    flattenFrom(lines, start);
}

// The name, a blank and the surname, trimmed as one text: blanks at either end may reach past
// the blank between them.
void appendFullName(QByteArray& lines, QByteArrayView name, QByteArrayView surname) {
    const qsizetype start = lines.size();
    lines.append(name).append(' ').append(surname);
    const QByteArrayView full = trimmedAscii(QByteArrayView(lines).sliced(start));
    const qsizetype leading = full.constData() - (lines.constData() + start);
    lines.truncate(start + leading + full.size());
    lines.remove(start, leading);
    flattenFrom(lines, start);
}

// The match's line, "address TAB name TAB phone", appended to lines as UTF-8; false for a row
// whose address is only blanks. Values are cut and cleaned as bytes unless a blank of another
// script may stand at an end; those, and text that is not UTF-8, go through QString.
bool appendMatch(const Statement& match, QByteArray& lines) {
    const QByteArrayView address = match.utf8(0), name = match.utf8(1), surname = match.utf8(2),
                         phone = match.utf8(3);
    if (!trimsAsBytes(address) || !trimsAsBytes(name) || !trimsAsBytes(surname) ||
        !phone.isValidUtf8()) {
        const QString text = match.text(0).trimmed();
        if (text.isEmpty())
            return false;
        const QString full = match.text(1) + QLatin1Char(' ') + match.text(2);
        lines += (oneLine(text) + QLatin1Char('\t') + oneLine(full.trimmed()) + QLatin1Char('\t') +
                  oneLine(match.text(3)) + QLatin1Char('\n'))
                     .toUtf8();
        return true;
    }
    if (trimmedAscii(address).isEmpty())
        return false;
    appendOneLine(lines, trimmedAscii(address));
    lines += '\t';
    appendFullName(lines, name, surname);
    lines += '\t';
    appendOneLine(lines, phone);
    lines += '\n';
    return true;
}

QString matchCount(qsizetype count) {
    if (count == 0)
        return QStringLiteral("no matches");
    return count == 1 ? QStringLiteral("1 match") : QStringLiteral("%1 matches").arg(count);
}

} // namespace

int writeMatches(const QString& bookPath, const QString& text, QTextStream& out) {
    const Database db = contact_table::openAddressBook(bookPath);
    registerContainsFolded(db.handle());
    Statement matches(db, matchesStatement().constData());
    matches.bindText(1, text);
    QByteArray lines;
    qsizetype count = 0;
    while (matches.step())
        count += appendMatch(matches, lines) ? 1 : 0;
    out << "Searching " << bookPath << "... " << matchCount(count) << "\n";
    written_output::writeBytes(out, lines);
    return count == 0 ? 1 : 0;
}

} // namespace contact_query
