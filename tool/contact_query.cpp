#include "tool/contact_query.h"

#include "store/contact_table.h"
#include "tool/folded_text.h"

#include <QStringList>

namespace contact_query {

namespace {

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

QString matchCount(qsizetype count) {
    if (count == 0)
        return QStringLiteral("no matches");
    return count == 1 ? QStringLiteral("1 match") : QStringLiteral("%1 matches").arg(count);
}

} // namespace

int writeMatches(const QString& bookPath, const QString& text, QTextStream& out) {
    const Database db = contact_table::openAddressBook(bookPath);
    folded_text::registerContainsFolded(db.handle());
    Statement matches(db, matchesStatement().constData());
    matches.bindText(1, text);
    QStringList lines;
    while (matches.step()) {
        // SQLite's trim() knows only the space; an address of tabs or other blanks is none.
        const QString address = matches.text(0).trimmed();
        if (address.isEmpty())
            continue;
        const QString name = matches.text(1) + QLatin1Char(' ') + matches.text(2);
        lines << oneLine(address) + QLatin1Char('\t') + oneLine(name.trimmed()) +
                     QLatin1Char('\t') + oneLine(matches.text(3));
    }
    out << "Searching " << bookPath << "... " << matchCount(lines.size()) << "\n";
    for (const QString& line : lines)
        out << line << "\n";
    return lines.isEmpty() ? 1 : 0;
}

} // namespace contact_query
