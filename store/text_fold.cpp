#include "store/text_fold.h"

#include <QChar>
#include <QList>
#include <QtEndian>
#include <bit>
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

constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

// Eight ASCII bytes at once, each of A to Z folded as asciiFolded folds it: a byte's high bit is
// set past 'A' - 1 by one sum and past 'Z' by another, and no sum carries into the next byte.
std::uint64_t foldedAsciiWord(std::uint64_t word) {
    const std::uint64_t fromA = word + 0x3F3F3F3F3F3F3F3FULL;
    const std::uint64_t pastZ = word + 0x2525252525252525ULL;
    return word | ((fromA & ~pastZ & kHighBits) >> 2);
}

// Compares the leading bytes of a and b eight at a time while both are ASCII; i ends where that
// stops, past bytes that fold alike. Returns the order when they differ there, else 0.
int compareAsciiWords(const unsigned char* a, const unsigned char* b, int length, int& i) {
    for (; i + 8 <= length; i += 8) {
        const auto x = qFromLittleEndian<std::uint64_t>(a + i);
        const auto y = qFromLittleEndian<std::uint64_t>(b + i);
        if ((x | y) & kHighBits)
            return 0;
        const std::uint64_t foldedX = foldedAsciiWord(x);
        const std::uint64_t foldedY = foldedAsciiWord(y);
        if (foldedX != foldedY) {
            // The first byte that differs is the lowest one, the text being read little-endian.
            const int shift = std::countr_zero(foldedX ^ foldedY) & ~7;
            return ((foldedX >> shift) & 0xFF) < ((foldedY >> shift) & 0xFF) ? -1 : 1;
        }
    }
    return 0;
}

// How many leading bytes a and b share from i on, taken back to the start of the character they
// end in: a character starts at every byte that does not continue one, so the shared bytes are
// whole characters of both texts, and fold alike.
int sharedCharacters(const unsigned char* a, int lengthA, const unsigned char* b, int lengthB,
                     int i) {
    const int length = qMin(lengthA, lengthB);
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
    // Most contact data is ASCII, and index keys that sort next to each other share long
    // prefixes: whole words of it first.
    int i = 0;
    if (const int order = compareAsciiWords(sa, sb, qMin(lengthA, lengthB), i))
        return order;
    i = sharedCharacters(sa, lengthA, sb, lengthB, i);
    int j = i;
    while (i < lengthA && j < lengthB && sa[i] < 0x80 && sb[j] < 0x80) {
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
