#include "tool/folded_text.h"

#include "store/utf8_text.h"

#include <QList>
#include <QVarLengthArray>
#include <cstring>
#include <sqlite3.h>

namespace folded_text {

namespace {

using Folded = QVarLengthArray<char16_t, 256>;

bool isMark(char32_t c) {
    const QChar::Category category = QChar::category(c);
    return category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining ||
           category == QChar::Mark_Enclosing;
}

// One character decomposed (NFD) without its combining marks, then case-folded. Done a character
// at a time rather than with QString::normalized, which costs several times more; the order of
// the marks that NFD would fix does not matter once they are dropped. Qt folds one character to
// one, which leaves ß (and ẞ folds to it) as it is, so that is written "ss" here.
void appendFolded(char32_t c, Folded& out) {
    if (QChar::decompositionTag(c) == QChar::Canonical) {
        for (const char32_t part : QChar::decomposition(c).toUcs4())
            appendFolded(part, out);
        return;
    }
    if (isMark(c))
        return;
    const char32_t folded = QChar::toCaseFolded(c);
    if (folded == 0x00DF) {
        out.append(u's');
        out.append(u's');
    } else if (QChar::requiresSurrogates(folded)) {
        out.append(QChar::highSurrogate(folded));
        out.append(QChar::lowSurrogate(folded));
    } else {
        out.append(char16_t(folded));
    }
}

void fold(QStringView text, Folded& out) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text.at(i).unicode();
        if (c < 0x80) {
            out.append(char16_t(c >= 'A' && c <= 'Z' ? c + 32 : c));
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            c = QChar::surrogateToUcs4(char16_t(c), text.at(++i).unicode());
        appendFolded(c, out);
    }
}

} // namespace

QString folded(const QString& text) {
    Folded out;
    fold(text, out);
    return QString(reinterpret_cast<const QChar*>(out.constData()), out.size());
}

Needle::Needle(const QString& text) : folded_(folded(text)), foldedUtf8_(folded_.toUtf8()) {
    for (const char c : foldedUtf8_)
        ascii_ = ascii_ && static_cast<unsigned char>(c) < 0x80;
}

bool Needle::isFoundIn(const unsigned char* utf8, int length) const {
    // Most contact data is ASCII, where folding is lowering the letters; other text is decoded
    // and folded whole.
    QVarLengthArray<char, 256> lowered(length);
    for (int i = 0; i < length; ++i) {
        const unsigned char c = utf8[i];
        if (c >= 0x80) {
            Folded text;
            fold(utf8Text(QByteArrayView(utf8, qsizetype(length))), text);
            return QStringView(text.constData(), text.size()).contains(folded_);
        }
        lowered[i] = char(c >= 'A' && c <= 'Z' ? c + 32 : c);
    }
    if (!ascii_)
        return false;
    return foldedUtf8_.isEmpty() ||
           memmem(lowered.constData(), size_t(length), foldedUtf8_.constData(),
                  size_t(foldedUtf8_.size())) != nullptr;
}

namespace {

void deleteNeedle(void* needle) {
    delete static_cast<Needle*>(needle);
}

// The part is folded once per statement: SQLite keeps it beside the bound parameter.
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

} // namespace

void registerContainsFolded(sqlite3* db) {
    sqlite3_create_function_v2(db, kContainsFolded, 2,
                               SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                               containsFolded, nullptr, nullptr, nullptr);
}

} // namespace folded_text
