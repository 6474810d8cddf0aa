#include "tool/folded_text.h"

#include <QVarLengthArray>
#include <cstring>
#include <sqlite3.h>

namespace folded_text {

QString folded(const QString& text) {
    const QString decomposed = text.normalized(QString::NormalizationForm_D);
    QString bare;
    bare.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        const QChar::Category category = c.category();
        if (category != QChar::Mark_NonSpacing && category != QChar::Mark_SpacingCombining &&
            category != QChar::Mark_Enclosing)
            bare += c;
    }
    // Qt folds one character to one, which leaves ß (and ẞ folds to it) as it is.
    return bare.toCaseFolded().replace(QChar(0x00DF), QLatin1String("ss"));
}

Needle::Needle(const QString& text) : folded_(folded(text).toUtf8()) {
    for (const char c : folded_)
        ascii_ = ascii_ && static_cast<unsigned char>(c) < 0x80;
}

bool Needle::isFoundIn(const unsigned char* utf8, int length) const {
    // Most contact data is ASCII, where folding is lowering the letters; other text is decoded
    // and folded whole.
    QVarLengthArray<char, 256> lowered(length);
    for (int i = 0; i < length; ++i) {
        const unsigned char c = utf8[i];
        if (c >= 0x80) {
            const QString text =
                QString::fromUtf8(reinterpret_cast<const char*>(utf8), qsizetype(length));
            return folded(text).toUtf8().contains(folded_);
        }
        lowered[i] = char(c >= 'A' && c <= 'Z' ? c + 32 : c);
    }
    if (!ascii_)
        return false;
    return folded_.isEmpty() || memmem(lowered.constData(), size_t(length), folded_.constData(),
                                       size_t(folded_.size())) != nullptr;
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
        const QString text = QString::fromUtf8(part, sqlite3_value_bytes(arguments[1]));
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
