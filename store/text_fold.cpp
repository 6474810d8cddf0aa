#include "store/text_fold.h"

#include <QChar>
#include <QList>
#include <cstdint>
#include <cstring>

namespace text_fold {

char32_t nextCodePoint(const unsigned char* s, int length, int& i) {
    const unsigned char lead = s[i];
    int extra = 0;
    char32_t cp = lead;
    if (lead >= 0xC0 && lead < 0xE0) {
        extra = 1;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead < 0xF0) {
        extra = 2;
        cp = lead & 0x0F;
    } else if (lead >= 0xF0 && lead < 0xF8) {
        extra = 3;
        cp = lead & 0x07;
    } else if (lead >= 0x80) {
        ++i;
        return 0xDC00 + lead;
    }
    if (i + extra >= length && extra > 0) {
        ++i;
        return 0xDC00 + lead;
    }
    for (int k = 1; k <= extra; ++k) {
        const unsigned char c = s[i + k];
        if ((c & 0xC0) != 0x80) {
            ++i;
            return 0xDC00 + lead;
        }
        cp = (cp << 6) | (c & 0x3F);
    }
    i += extra + 1;
    return cp;
}

char32_t caseFolded(char32_t c) {
    return c < 0x80 ? asciiFolded(c) : QChar::toCaseFolded(c);
}

namespace {

bool continuesCharacter(const unsigned char* s, int length, int i) {
    return i < length && (s[i] & 0xC0) == 0x80;
}

// How many leading bytes a and b share, eight at a time, taken back to the start of the character
// they end in: a character starts at every byte that does not continue one, so the shared bytes
// are whole characters of both texts, and fold alike.
int sharedCharacters(const unsigned char* a, int lengthA, const unsigned char* b, int lengthB) {
    const int length = qMin(lengthA, lengthB);
    int i = 0;
    for (std::uint64_t x = 0, y = 0; i + 8 <= length; i += 8) {
        std::memcpy(&x, a + i, 8);
        std::memcpy(&y, b + i, 8);
        if (x != y)
            break;
    }
    while (i < length && a[i] == b[i])
        ++i;
    while (i > 0 && (continuesCharacter(a, lengthA, i) || continuesCharacter(b, lengthB, i)))
        --i;
    return i;
}

} // namespace

int compare(const char* a, int lengthA, const char* b, int lengthB) {
    const auto* sa = reinterpret_cast<const unsigned char*>(a);
    const auto* sb = reinterpret_cast<const unsigned char*>(b);
    // Index keys that sort next to each other share long prefixes.
    int i = sharedCharacters(sa, lengthA, sb, lengthB);
    int j = i;
    // Most contact data is ASCII: compare it without decoding.
    while (i < lengthA && j < lengthB && sa[i] < 0x80 && sb[j] < 0x80) {
        if (sa[i] == sb[j]) { // names share long prefixes; equal bytes need no fold
            ++i;
            ++j;
            continue;
        }
        const char32_t ca = asciiFolded(sa[i++]);
        const char32_t cb = asciiFolded(sb[j++]);
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    while (i < lengthA && j < lengthB) {
        const char32_t ca = caseFolded(nextCodePoint(sa, lengthA, i));
        const char32_t cb = caseFolded(nextCodePoint(sb, lengthB, j));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    if (i < lengthA)
        return 1;
    if (j < lengthB)
        return -1;
    return 0;
}

namespace {

bool isMark(char32_t c) {
    const QChar::Category category = QChar::category(c);
    return category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining ||
           category == QChar::Mark_Enclosing;
}

void appendUtf16(char32_t c, Folded& out) {
    if (QChar::requiresSurrogates(c)) {
        out.append(QChar::highSurrogate(c));
        out.append(QChar::lowSurrogate(c));
    } else {
        out.append(char16_t(c));
    }
}

// Done a character at a time rather than with QString::normalized, which costs several times
// more; the order of the marks that NFD would fix does not matter once they are dropped. The
// simple fold leaves ß as it is (and folds ẞ to it), so that is written "ss" here.
void appendWithoutAccents(char32_t c, Folded& out) {
    if (c >= 0x80 && QChar::decompositionTag(c) == QChar::Canonical) {
        for (const char32_t part : QChar::decomposition(c).toUcs4())
            appendWithoutAccents(part, out);
        return;
    }
    if (c >= 0x80 && isMark(c))
        return;
    const char32_t folded = caseFolded(c);
    if (folded == 0x00DF) {
        out.append(u's');
        out.append(u's');
    } else {
        appendUtf16(folded, out);
    }
}

} // namespace

void appendFolded(const unsigned char* utf8, int length, Accents accents, Folded& out) {
    for (int i = 0; i < length;) {
        const char32_t c = nextCodePoint(utf8, length, i);
        if (accents == Accents::SetAside)
            appendWithoutAccents(c, out);
        else
            appendUtf16(caseFolded(c), out);
    }
}

QString folded(QStringView text, Accents accents) {
    const QByteArray utf8 = text.toUtf8();
    Folded out;
    appendFolded(reinterpret_cast<const unsigned char*>(utf8.constData()), int(utf8.size()),
                 accents, out);
    return QString(reinterpret_cast<const QChar*>(out.constData()), out.size());
}

} // namespace text_fold
