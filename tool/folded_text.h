#pragma once

#include <QByteArray>
#include <QString>

struct sqlite3;

// Text compared without regard to letter case or accents: "muller" finds "MÜLLER", "eclair"
// finds "Éclair".
namespace folded_text {

// Decomposes (NFD), drops the combining marks, case-folds, and writes ß as "ss".
QString folded(const QString& text);

// The part `needle` of a text, searched for in texts as they come out of SQLite (UTF-8).
class Needle {
  public:
    explicit Needle(const QString& text);
    bool isFoundIn(const unsigned char* utf8, int length) const;

  private:
    QString folded_;
    QByteArray foldedUtf8_;
    bool ascii_ = true;
};

// Registers contains_folded(value, part) on a connection: 1 when the folded value holds the
// folded part, 0 otherwise and for NULL.
inline constexpr const char* kContainsFolded = "contains_folded";
void registerContainsFolded(sqlite3* db);

} // namespace folded_text
