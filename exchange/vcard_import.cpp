#include "exchange/vcard_import.h"

#include "exchange/vcard_card.h"
#include "exchange/vcard_reader.h"
#include "store/date_stamp.h"
#include "store/store_error.h"

#include <QFile>
#include <optional>
#include <utility>

namespace vcard_import {

namespace {

bool isVCardMark(const QByteArray& value) {
    return value.trimmed().compare("VCARD", Qt::CaseInsensitive) == 0;
}

QString counted(int count, const char* one, const char* many) {
    return count == 1 ? QString::fromLatin1(one) : QString::fromLatin1(many).arg(count);
}

// What the user should know about the cards and values no contact keeps.
QStringList notesOn(int media, int binary, int groups) {
    QStringList notes;
    if (media > 0)
        notes << counted(media, "skipped 1 photo, logo, sound or key",
                         "skipped %1 photos, logos, sounds or keys") +
                     QStringLiteral(" (binary data tessaline-db does not keep)");
    if (binary > 0)
        notes << QStringLiteral("skipped %1 other value(s) in base64 encoding (binary data "
                                "tessaline-db does not keep)")
                     .arg(binary);
    if (groups > 0)
        notes << counted(groups, "skipped 1 group card", "skipped %1 group cards") +
                     QStringLiteral(" (a list of members, not a contact)");
    return notes;
}

// Room for the lines of a usual card, so that its list is not grown line by line.
constexpr qsizetype kUsualLines = 16;

// One card's content lines, kept until its END: whether its text is UTF-8 is known only then.
// The list keeps its room from card to card.
struct PendingCard {
    int begun = 0; // the line of its BEGIN; 0 between cards
    QList<vcard::ContentLine> lines;

    bool isOpen() const { return begun > 0; }
};

// The properties of a whole card in order, read as Windows-1252 when a value that names no
// charset is not UTF-8 (as older programs write cards, in the system's code page).
class CardReading {
  public:
    CardReading(const contact_import::AddContact& add, const QString& createdOn)
        : add_(add), createdOn_(createdOn) {}

    void finish(PendingCard& card) {
        const bool windows1252 = vcard::markWindows1252(card.lines);
        std::optional<RowValues> contact = contactOf(card);
        if (!contact)
            return;
        if (windows1252)
            notes_ << QStringLiteral("the card on line %1 (%2) is not UTF-8 and names no "
                                     "character set; it was read as Windows-1252")
                          .arg(card.begun)
                          .arg(vcard::fullName(
                              (*contact)[contact_table::Column::Name].toString(),
                              (*contact)[contact_table::Column::Surname].toString()));
        add_(std::move(*contact));
    }

    QStringList notes() const { return notes_ + notesOn(media_, binary_, groups_); }

  private:
    // The contact of the card, nothing for a group. Each line is let go once it is taken, and the
    // mapping before the contact is stored: a value may be most of the file. The list of lines
    // and the mapping keep their room for the next card.
    std::optional<RowValues> contactOf(PendingCard& card) {
        for (vcard::ContentLine& line : card.lines) {
            mapping_.add(line);
            line.value.clear();
        }
        card.lines.clear();
        media_ += mapping_.skippedMedia();
        binary_ += mapping_.skippedBinary();
        groups_ += mapping_.isGroup() ? 1 : 0;
        std::optional<RowValues> contact;
        if (!mapping_.isGroup())
            contact = mapping_.contact(createdOn_);
        mapping_.clear();
        return contact;
    }

    const contact_import::AddContact& add_;
    QString createdOn_;
    vcard::CardMapping mapping_;
    QStringList notes_;
    int media_ = 0, binary_ = 0, groups_ = 0;
};

// Starts a card at BEGIN:VCARD; a BEGIN inside a card, or of anything else, is refused.
void beginCard(const vcard::ContentLineReader& reader, const vcard::ContentLine& line,
               PendingCard& card) {
    if (card.isOpen())
        reader.fail(line.lineNumber,
                    QStringLiteral("a BEGIN inside the card begun on line %1, which has no "
                                   "END:VCARD")
                        .arg(card.begun));
    if (!isVCardMark(line.value))
        reader.fail(line.lineNumber, QStringLiteral("BEGIN of something other than a vCard"));
    card.begun = line.lineNumber;
    card.lines.reserve(kUsualLines);
}

// A property of the open card; one outside any card, or in a charset we cannot read, is refused.
void addProperty(const vcard::ContentLineReader& reader, vcard::ContentLine& line,
                 PendingCard& card) {
    if (!card.isOpen())
        reader.fail(line.lineNumber, line.name == "END"
                                         ? QStringLiteral("END:VCARD without BEGIN:VCARD")
                                         : QStringLiteral("a property outside any card"));
    if (!line.hasKnownCharset())
        reader.fail(line.lineNumber,
                    QStringLiteral("the character set \"%1\" is not one tessaline-db knows")
                        .arg(line.parameterText("CHARSET")));
    card.lines << std::move(line);
}

} // namespace

bool isVCardFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && vcard::looksLikeVCard(file);
}

ImportSummary readCards(QIODevice& device, const QString& source,
                        const contact_import::AddContact& add, const ImportProgress& progress,
                        const QString& createdOn) {
    // No line is written back: the heads as written are not kept.
    vcard::ContentLineReader reader(device, source, vcard::ContentLineReader::Heads::Dropped);
    vcard::ContentLine line;
    PendingCard card;
    CardReading reading(add, createdOn);
    ReadProgress told{progress, reader.size(), ProgressUnit::Bytes};
    while (reader.next(line)) {
        const QByteArrayView name = line.name; // compared by size first
        if (name == "BEGIN") {
            beginCard(reader, line, card);
        } else if (card.isOpen() && name == "END" && isVCardMark(line.value)) {
            reading.finish(card);
            card.begun = 0;
            told.reached(reader.bytesRead());
        } else {
            addProperty(reader, line, card);
        }
    }
    if (card.isOpen())
        reader.fail(card.begun, QStringLiteral("the card that begins here has no END:VCARD"));
    told.reached(reader.size(), true);
    ImportSummary summary;
    summary.notes = reading.notes();
    return summary;
}

ImportSummary readFile(const QString& path, const contact_import::AddContact& add,
                       const ImportProgress& progress) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw StoreError(QStringLiteral("Cannot read \"%1\": %2").arg(path, file.errorString()));
    return readCards(file, path, add, progress, dateStamp(SystemClock()));
}

} // namespace vcard_import
