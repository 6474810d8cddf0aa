#pragma once

#include <QString>

// What the program's text boxes do to a value, and how an edit is carried back to the value as
// stored. A multi-line box shows every line break (CR LF, CR, LF, U+2028, U+2029) as LF and a
// non-breaking space as a blank; a one-line box shows whatever it is given and takes whatever is
// pasted into it. Only what the user changed may change in the stored value.
namespace box_text {

// Where `after` differs from `before`: from `start`, `removed` characters of `before` were
// replaced by `added` characters of `after`.
struct Change {
    qsizetype start = 0;
    qsizetype removed = 0;
    qsizetype added = 0;
};
Change changeBetween(const QString& before, const QString& after);

// The text a multi-line box shows for `stored`.
QString shownInLines(const QString& stored);

// The stored value after a multi-line box that showed `before` for `stored` came to show
// `after`. Characters outside the changed part keep their stored form; a line break typed into
// it is stored as the value's own line breaks are (LF when it has none). When `before` is not
// what the box shows for `stored`, `after` is all that is known.
QString storedAfterEdit(const QString& stored, const QString& before, const QString& after);

// `after` with each line break in the part that differs from `before` replaced by one blank; the
// line breaks `before` already held stay.
QString newLineBreaksAsBlanks(const QString& before, const QString& after);

} // namespace box_text
