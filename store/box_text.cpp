#include "store/box_text.h"

namespace box_text {

namespace {

constexpr char16_t kLineSeparator = 0x2028;
constexpr char16_t kParagraphSeparator = 0x2029;
constexpr char16_t kNextLine = 0x0085;
constexpr char16_t kNoBreakSpace = 0x00A0;
// Qt's text documents also end a line at the marks of a frame's beginning and end.
constexpr char16_t kFrameStart = 0xFDD0;
constexpr char16_t kFrameEnd = 0xFDD1;

bool isCrLf(const QString& text, qsizetype i) {
    return text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n';
}

// How many characters of `stored` a multi-line box shows as its character at `i`.
qsizetype unitLength(const QString& stored, qsizetype i) {
    return isCrLf(stored, i) ? 2 : 1;
}

QChar shownAs(QChar c) {
    switch (c.unicode()) {
    case u'\r':
    case kLineSeparator:
    case kParagraphSeparator:
    case kFrameStart:
    case kFrameEnd:
        return u'\n';
    case kNoBreakSpace:
        return u' ';
    default:
        return c;
    }
}

// The position in `stored` of the character a multi-line box shows at `shownIndex`.
qsizetype storedIndex(const QString& stored, qsizetype shownIndex) {
    qsizetype i = 0;
    for (qsizetype shown = 0; shown < shownIndex && i < stored.size(); ++shown)
        i += unitLength(stored, i);
    return i;
}

// The value's first line break, or LF when it has none.
QString lineBreakOf(const QString& stored) {
    for (qsizetype i = 0; i < stored.size(); ++i) {
        if (isCrLf(stored, i))
            return QStringLiteral("\r\n");
        const char16_t c = stored[i].unicode();
        if (c == u'\r' || c == u'\n' || c == kLineSeparator || c == kParagraphSeparator)
            return QString(stored[i]);
    }
    return QStringLiteral("\n");
}

bool isLineBreak(QChar c) {
    const char16_t u = c.unicode();
    return u == u'\r' || u == u'\n' || u == kNextLine || u == kLineSeparator ||
           u == kParagraphSeparator;
}

} // namespace

Change changeBetween(const QString& before, const QString& after) {
    const qsizetype shorter = std::min(before.size(), after.size());
    qsizetype prefix = 0;
    while (prefix < shorter && before[prefix] == after[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < shorter - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    return {prefix, before.size() - prefix - suffix, after.size() - prefix - suffix};
}

QString shownInLines(const QString& stored) {
    QString shown;
    shown.reserve(stored.size());
    for (qsizetype i = 0; i < stored.size(); i += unitLength(stored, i))
        shown += shownAs(stored[i]);
    return shown;
}

QString storedAfterEdit(const QString& stored, const QString& before, const QString& after) {
    if (shownInLines(stored) != before)
        return after;
    const Change change = changeBetween(before, after);
    const qsizetype from = storedIndex(stored, change.start);
    const qsizetype to = storedIndex(stored, change.start + change.removed);
    QString typed = after.mid(change.start, change.added);
    typed.replace(u'\n', lineBreakOf(stored));
    return stored.left(from) + typed + stored.mid(to);
}

QString newLineBreaksAsBlanks(const QString& before, const QString& after) {
    const Change change = changeBetween(before, after);
    const QString typed = after.mid(change.start, change.added);
    QString kept;
    kept.reserve(typed.size());
    for (qsizetype i = 0; i < typed.size(); i += unitLength(typed, i))
        kept += isLineBreak(typed[i]) ? QChar(u' ') : typed[i];
    if (kept == typed)
        return after;
    return after.left(change.start) + kept + after.mid(change.start + change.added);
}

} // namespace box_text
