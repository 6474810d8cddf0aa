#pragma once

#include <QString>
#include <QStringView>
#include <QVarLengthArray>

// Text compared without regard to letter case, the one way the book and tessaline-db both do it:
// one decoder of the stored UTF-8 and one case fold. The book's order folds case only, so "MÜLLER"
// and "müller" are one name to the windows; tessaline-db's query also sets accents aside, so
// "muller" and "eclair" find "MÜLLER" and "Éclair" there.
namespace text_fold {

// Decodes the UTF-8 sequence at s[i] and moves i past it. A malformed byte stands for itself in
// the surrogate range, so that the order stays total and repeatable.
char32_t nextCodePoint(const unsigned char* s, int length, int& i);

// The simple case fold of an ASCII character; inline, as most contact data is ASCII.
constexpr char32_t asciiFolded(char32_t c) {
    return c >= 'A' && c <= 'Z' ? c + 32 : c;
}

// The character's simple case fold, as Unicode's CaseFolding.txt gives it.
char32_t caseFolded(char32_t c);

// The order of the book's collation: code points compared after the case fold.
int compare(const char* a, int lengthA, const char* b, int lengthB);

enum class Accents { Kept, SetAside };
using Folded = QVarLengthArray<char16_t, 256>;

// The case-folded text of utf8, as UTF-16. With the accents set aside, each character is first
// decomposed (NFD) and its combining marks dropped, and ß is written "ss".
void appendFolded(const unsigned char* utf8, int length, Accents accents, Folded& out);
QString folded(QStringView text, Accents accents);

} // namespace text_fold
