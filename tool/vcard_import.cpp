#include "tool/vcard_import.h"

#include "store/date_stamp.h"
#include "store/store_error.h"
#include "tool/vcard_card.h"
#include "tool/vcard_line.h"

#include <QFile>
#include <optional>

namespace vcard_import {

namespace {

bool isVCardMark(const QByteArray& value) {
    return value.trimmed().compare("VCARD", Qt::CaseInsensitive) == 0;
}

// What the user should know about the binary values no column keeps.
QStringList notesOn(int media, int binary) {
    QStringList notes;
    if (media > 0)
        notes << (media == 1
                      ? QStringLiteral("skipped 1 photo, logo, sound or key")
                      : QStringLiteral("skipped %1 photos, logos, sounds or keys").arg(media)) +
                     QStringLiteral(" (binary data tessaline-db does not keep)");
    if (binary > 0)
        notes << QStringLiteral("skipped %1 other value(s) in base64 encoding (binary data "
                                "tessaline-db does not keep)")
                     .arg(binary);
    return notes;
}

// Starts a card at BEGIN:VCARD; a BEGIN inside a card, or of anything else, is refused.
void beginCard(const vcard::ContentLineReader& reader, const vcard::ContentLine& line,
               std::optional<vcard::CardMapping>& card, int& begun) {
    if (card)
        reader.fail(line.lineNumber,
                    QStringLiteral("a BEGIN inside the card begun on line %1, which has no "
                                   "END:VCARD")
                        .arg(begun));
    if (!isVCardMark(line.value))
        reader.fail(line.lineNumber, QStringLiteral("BEGIN of something other than a vCard"));
    card.emplace();
    begun = line.lineNumber;
}

} // namespace

bool isVCardFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && vcard::looksLikeVCard(file);
}

ImportSummary readCards(QIODevice& device, const QString& source,
                        const contact_import::AddContact& add, const ImportProgress& progress,
                        const QString& createdOn) {
    vcard::ContentLineReader reader(device, source);
    vcard::ContentLine line;
    std::optional<vcard::CardMapping> card;
    int begun = 0, media = 0, binary = 0;
    qint64 read = 0;
    while (reader.next(line)) {
        if (line.name == "BEGIN") {
            beginCard(reader, line, card, begun);
        } else if (!card) {
            reader.fail(line.lineNumber, line.name == "END"
                                             ? QStringLiteral("END:VCARD without BEGIN:VCARD")
                                             : QStringLiteral("a property outside any card"));
        } else if (line.name == "END" && isVCardMark(line.value)) {
            add(card->contact(createdOn));
            media += card->skippedMedia();
            binary += card->skippedBinary();
            card.reset();
            if (progress)
                progress(++read, 0);
        } else {
            card->add(line);
        }
    }
    if (card)
        reader.fail(begun, QStringLiteral("the card that begins here has no END:VCARD"));
    ImportSummary summary;
    summary.notes = notesOn(media, binary);
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
