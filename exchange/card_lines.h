#pragma once

#include "exchange/vcard_line.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QList>
#include <QMap>
#include <utility>

namespace vcard {

// One card read whole, with the physical lines as written (each with its line end), so that a
// property can be swapped for another and every other line kept byte for byte.
struct CardLines {
    QByteArrayList physical;  // line ends included
    QList<ContentLine> lines; // BEGIN:VCARD to END:VCARD
    QByteArray lineEnd;       // that of the first line: a new line ends as the others do

    // As its VERSION has them (BEGIN is read before it).
    Escapes escapes() const { return lines.last().escapes; }
    // The content line that starts on that physical line; nullptr for -1.
    const ContentLine* at(int lineNumber) const;
    // Every line of that property.
    QList<const ContentLine*> named(const char* name) const;
};

// Throws StoreError for text that is not exactly one card (no BEGIN or END, a line without a
// colon...).
CardLines readCardLines(const QByteArray& card);

// A card with some of its properties replaced, dropped or added before END:VCARD; the rest as it
// was.
class CardPatch {
  public:
    explicit CardPatch(const CardLines& card) : card_(card) {}

    // The property's physical lines give way to these (none: it is dropped).
    void replace(const ContentLine& line, const QByteArray& lines) {
        replaced_.insert(line.lineNumber, {line.lastLineNumber, lines});
    }
    void insert(const QByteArray& lines) { inserted_ += lines; }
    bool isEmpty() const { return replaced_.isEmpty() && inserted_.isEmpty(); }
    QByteArray result() const;

  private:
    const CardLines& card_;
    QMap<int, std::pair<int, QByteArray>> replaced_; // first physical line: last one, new text
    QByteArray inserted_;
};

} // namespace vcard
