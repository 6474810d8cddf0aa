#pragma once

#include "exchange/vcard_columns.h"
#include "exchange/vcard_line.h"
#include "store/contact_columns.h"
#include "store/table_row.h"

#include <QHash>
#include <QList>
#include <QString>
#include <initializer_list>

namespace vcard {

// Maps the properties of one card onto the columns of a contact, all but the names by the table
// kColumnProperties (vcard_columns.h). The first N gives Name and Surname (else FN, split at its
// last blank; one word is the Name); the preferred, else first, voice TEL (a cell phone when there
// is no other) the phone, a fax TEL the fax, the preferred EMAIL and ADR the e-mail and address,
// the first URL and NOTE the url and notes; an empty value takes a column only when no other
// fills it. Every other property that holds text is kept as a
// "Label: value" line after the note (unless told not to, for a card that is itself kept); only
// the structural ones and binary values are left out, and binary ones are counted.
class CardMapping {
  public:
    // What becomes of the text no column takes.
    enum class Unmapped { IntoNotes, Left };

    explicit CardMapping(Unmapped unmapped = Unmapped::IntoNotes) : unmapped_(unmapped) {}

    // Takes the properties in the card's order.
    void add(const ContentLine& line);
    // Forgets the card, to take the next one; the room its properties took is kept for them.
    void clear();

    // The contact; createdOn is the stamp it gets when the card carries no date of ours.
    RowValues contact(const QString& createdOn) const;

    // Binary values left out: photos, logos, sounds and keys; any other property in base64.
    int skippedMedia() const { return skippedMedia_; }
    int skippedBinary() const { return skippedBinary_; }
    // A group card (KIND:group) lists members; it is no contact.
    bool isGroup() const { return isGroup_; }

    // The line (ContentLine::lineNumber) a column is taken from, -1 when none is: for Name and
    // Surname the N, else the FN they are read from.
    int sourceLine(contact_table::Column column) const;
    // Whether the names come from N, and the FN that would give them without it.
    bool hasName() const { return hasName_; }
    int fullNameLine() const;

  private:
    // A property that a column takes (kColumnProperties), a phone of another kind, or other text.
    enum class Kind { Column, Cell, Phone, FullName, Other };
    struct Item {
        Kind kind;
        contact_table::Column column; // of a Column item
        QString value;
        QString label;
        QByteArray group;
        int rank;
        int lineNumber;
    };

    void addName(const ContentLine& line);
    void addTel(const ContentLine& line);
    void addAddress(const ContentLine& line);
    void addOther(const ContentLine& line);
    void addOurs(const ContentLine& line);
    void addItem(Kind kind, const ContentLine& line, const QString& value, const QString& label,
                 contact_table::Column column = contact_table::Column::Other);
    void addColumnItem(contact_table::Column column, const ContentLine& line, const QString& value,
                       std::initializer_list<const char*> silentTypes = {});
    bool isBlank(qsizetype item) const;
    qsizetype best(Kind kind, contact_table::Column column, bool byRank,
                   bool blankFirst = false) const;
    qsizetype itemOf(const ColumnProperty& row) const;
    void setNames(RowValues& values) const;
    QVariant other(const QList<qsizetype>& used) const;
    QString lineOf(const Item& item) const;

    Unmapped unmapped_;
    QList<Item> items_;
    QHash<QByteArray, QString> groupLabels_;
    bool hasName_ = false;
    QString given_, family_;              // as the card writes them, breaks as LF
    QVariant givenColumn_, familyColumn_; // as they go into the table
    struct Stamp {
        QVariant value;
        int line = -1;
    };
    Stamp createdOn_, modifiedOn_; // ours, when the card carries them
    int nameLine_ = -1;
    QStringList nullColumns_, blankColumns_;
    int skippedMedia_ = 0;
    int skippedBinary_ = 0;
    bool isGroup_ = false;
    QStringList types_; // of the line being added, read once for its rank, label and kind
};

} // namespace vcard
