#include "exchange/card_lines.h"

#include "exchange/vcard_reader.h"
#include "store/store_error.h"

#include <QBuffer>

namespace vcard {

namespace {

// The physical lines as PhysicalLines counts them (LF, CRLF or CR), each with its end.
QByteArrayList physicalLines(const QByteArray& text) {
    QByteArrayList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '\n' && text[i] != '\r')
            continue;
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        lines << text.sliced(start, i + 1 - start);
        start = i + 1;
    }
    if (start < text.size())
        lines << text.sliced(start);
    return lines;
}

bool isMark(const ContentLine& line, const char* keyword) {
    return line.name == keyword && line.value.trimmed().compare("VCARD", Qt::CaseInsensitive) == 0;
}

QList<ContentLine> contentLines(const QByteArray& card) {
    QBuffer device;
    device.setData(card);
    device.open(QIODevice::ReadOnly);
    ContentLineReader reader(device, QStringLiteral("the card"));
    QList<ContentLine> lines;
    ContentLine line;
    while (reader.next(line)) {
        const bool begins = line.name == "BEGIN";
        if (lines.isEmpty() != begins || (begins && !isMark(line, "BEGIN")))
            reader.fail(line.lineNumber, QStringLiteral("a card starts with BEGIN:VCARD, once"));
        if (!lines.isEmpty() && isMark(lines.last(), "END"))
            reader.fail(line.lineNumber, QStringLiteral("a line after END:VCARD"));
        lines << std::move(line);
    }
    if (lines.isEmpty() || !isMark(lines.last(), "END"))
        reader.fail(lines.isEmpty() ? 1 : lines.last().lineNumber,
                    QStringLiteral("the card has no END:VCARD"));
    return lines;
}

} // namespace

const ContentLine* CardLines::at(int lineNumber) const {
    for (const ContentLine& line : lines)
        if (line.lineNumber == lineNumber)
            return &line;
    return nullptr;
}

QList<const ContentLine*> CardLines::named(const char* name) const {
    QList<const ContentLine*> found;
    for (const ContentLine& line : lines)
        if (line.name == name)
            found << &line;
    return found;
}

CardLines readCardLines(const QByteArray& card) {
    CardLines read{physicalLines(card), contentLines(card), {}};
    markWindows1252(read.lines);
    const QByteArray& first = read.physical.first();
    read.lineEnd = first.endsWith("\r\n") ? "\r\n" : first.endsWith('\r') ? "\r" : "\n";
    if (!first.endsWith('\n') && !first.endsWith('\r'))
        read.lineEnd = "\r\n";
    return read;
}

QByteArray CardPatch::result() const {
    QByteArray patched;
    patched.reserve(card_.physical.size() * 40 + inserted_.size());
    const int end = card_.lines.last().lineNumber;
    for (int number = 1; number <= card_.physical.size(); ++number) {
        if (number == end)
            patched += inserted_;
        if (const auto found = replaced_.constFind(number); found != replaced_.cend()) {
            patched += found->second;
            number = found->first;
        } else {
            patched += card_.physical[number - 1];
        }
    }
    return patched;
}

} // namespace vcard
