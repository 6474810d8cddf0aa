#include "exchange/vcard_reader.h"

#include "store/store_error.h"

#include <QBuffer>
#include <cstring>
#include <utility>

namespace vcard {

namespace {

constexpr qint64 kBlock = qint64(1) << 20;

// Most lines start with a letter: only one that starts blank is looked at whole.
bool isBlank(QByteArrayView line) {
    const bool startsBlank = line.isEmpty() || line.front() == ' ' || line.front() == '\t' ||
                             (line.front() >= '\n' && line.front() <= '\r');
    return startsBlank && line.trimmed().isEmpty();
}

} // namespace

qint64 PhysicalLines::bytesRead() const {
    const qint64 unread = utf16_ ? 0 : buffer_.size() - position_;
    return qMax<qint64>(0, device_.pos() - unread);
}

// The next CR or LF from where the last search stopped, -1 when the buffer has none. Each window
// is searched for an LF, and for a CR only before it: memchr takes a line in a few steps, and a
// file of CR line ends is not searched to its end for an LF at every line.
qsizetype PhysicalLines::lineEnd() {
    constexpr qsizetype kWindow = 512;
    const char* data = buffer_.constData();
    while (scanned_ < buffer_.size()) {
        const char* from = data + scanned_;
        const auto window = std::size_t(qMin(kWindow, buffer_.size() - scanned_));
        const auto* lf = static_cast<const char*>(std::memchr(from, '\n', window));
        const auto* cr =
            static_cast<const char*>(std::memchr(from, '\r', lf ? std::size_t(lf - from) : window));
        if (const char* end = cr ? cr : lf)
            return scanned_ = end - data;
        scanned_ += qsizetype(window);
    }
    return -1;
}

// A block, or what is left of a file or a card in memory when that is less: one card read for a
// sync would otherwise take a megabyte, for each of thousands of cards.
qint64 PhysicalLines::nextBlockSize() const {
    if (device_.isSequential())
        return kBlock;
    return qBound<qint64>(1, device_.size() - device_.pos(), kBlock);
}

// The unread rest moves to the front and the next block is read in behind it, into the memory the
// buffer already has: a new block for every megabyte would be new pages for the kernel to map.
void PhysicalLines::fill() {
    const qsizetype rest = buffer_.size() - position_;
    if (position_ > 0 && rest > 0) {
        char* data = buffer_.data();
        std::memmove(data, data + position_, std::size_t(rest));
    }
    buffer_.resize(rest);
    scanned_ -= position_;
    position_ = 0;
    const qint64 block = nextBlockSize();
    if (started_ && !utf16_) {
        buffer_.resize(rest + block);
        const qint64 got = device_.read(buffer_.data() + rest, block);
        buffer_.resize(rest + qsizetype(qMax<qint64>(got, 0)));
        ended_ = got <= 0;
        return;
    }
    QByteArray bytes = device_.read(block);
    if (bytes.isEmpty()) {
        ended_ = true;
        return;
    }
    if (!started_) {
        started_ = true;
        if (bytes.startsWith("\xFF\xFE"))
            utf16_.emplace(QStringDecoder::Utf16LE);
        else if (bytes.startsWith("\xFE\xFF"))
            utf16_.emplace(QStringDecoder::Utf16BE);
        else if (bytes.startsWith("\xEF\xBB\xBF"))
            bytes.remove(0, 3);
    }
    if (utf16_)
        bytes = QString(utf16_->decode(bytes)).toUtf8();
    buffer_ += bytes;
}

// The buffer's text from the current position up to stop; the next line starts at next.
QByteArray PhysicalLines::take(qsizetype stop, qsizetype next) {
    QByteArray line;
    if (position_ == 0 && stop > kBlock) {
        // A long line, alone at the front of the buffer, is handed over rather than copied.
        QByteArray rest = buffer_.sliced(next);
        line = std::exchange(buffer_, std::move(rest));
        line.truncate(stop);
        position_ = scanned_ = 0;
    } else {
        line = buffer_.sliced(position_, stop - position_);
        position_ = scanned_ = next;
    }
    return line;
}

bool PhysicalLines::read(QByteArray& line) {
    for (;;) {
        const qsizetype end = lineEnd();
        if (end < 0 && ended_) {
            if (position_ >= buffer_.size())
                return false;
            line = take(buffer_.size(), buffer_.size());
            return true;
        }
        // A CR last in the buffer may be the first half of a CRLF.
        const bool mayPair =
            end >= 0 && end == buffer_.size() - 1 && buffer_[end] == '\r' && !ended_;
        if (end >= 0 && !mayPair) {
            const bool crlf =
                buffer_[end] == '\r' && end + 1 < buffer_.size() && buffer_[end + 1] == '\n';
            line = take(end, end + (crlf ? 2 : 1));
            return true;
        }
        fill();
    }
}

ContentLineReader::ContentLineReader(QIODevice& device, const QString& source, Heads heads)
    : lines_(device), source_(source), size_(device.size()), heads_(heads) {}

void ContentLineReader::fail(int lineNumber, const QString& problem) const {
    throw StoreError(QStringLiteral("%1, line %2: %3").arg(source_).arg(lineNumber).arg(problem));
}

bool ContentLineReader::readPhysical(QByteArray& line) {
    if (hasPending_) {
        line = std::move(pending_);
        hasPending_ = false;
    } else if (!lines_.read(line)) {
        return false;
    }
    ++lineNumber_;
    return true;
}

bool ContentLineReader::peekPhysical() {
    if (!hasPending_ && readPhysical(pending_)) {
        hasPending_ = true;
        --lineNumber_;
    }
    return hasPending_;
}

// Joins the physical lines of one property: folded ones (a leading blank or tab, which 2.1 keeps)
// and, in a quoted-printable value, the one after a soft line break ("=" at the end). Reads the
// name and parameters (into line.head) as soon as they are whole; returns where the value starts,
// -1 when no colon came.
qsizetype ContentLineReader::unfold(QByteArray& logical, ContentLine& line) {
    qsizetype colon = -1;
    bool quotedPrintable = false;
    QByteArray next;
    for (;;) {
        // Only a colon outside quotes ends the head: a quoted value may go on after a fold.
        if (colon < 0 && (colon = valueStart(logical)) >= 0) {
            readHead(logical, colon, line);
            quotedPrintable = line.isQuotedPrintable();
        }
        const bool soft = quotedPrintable && logical.size() > colon + 1 && logical.endsWith('=');
        if (!peekPhysical() || !(soft || pending_.startsWith(' ') || pending_.startsWith('\t')))
            break;
        readPhysical(next);
        if (soft)
            logical.chop(1);
        const bool keepBlank = soft || escapes_ == Escapes::Vcard21;
        logical.append(QByteArrayView(next).sliced(keepBlank ? 0 : 1));
    }
    // A stray quote in a parameter: the first colon at all ends the head.
    if (colon < 0 && (colon = logical.indexOf(':')) >= 0) {
        readHead(logical, colon, line);
    }
    return colon;
}

void ContentLineReader::readHead(const QByteArray& logical, qsizetype colon,
                                 ContentLine& line) const {
    if (heads_ == Heads::Kept)
        line.head = logical.left(colon);
    parseHead(QByteArrayView(logical).first(colon), line);
}

// A 2.1 base64 value goes on over lines of its own, up to a blank line; a line with a colon is the
// next property.
void ContentLineReader::readBase64Block(QByteArray& value) {
    QByteArray line;
    while (peekPhysical() && !pending_.contains(':')) {
        const bool blank = isBlank(pending_);
        readPhysical(line);
        if (blank)
            return;
        value += line.trimmed();
    }
}

// A 2.1 AGENT holds a whole card on the lines after it; they become its value, one per line.
void ContentLineReader::readEmbeddedCard(ContentLine& line) {
    if (!isBlank(line.value) || !peekPhysical() || !isCardMark(pending_, "BEGIN"))
        return;
    QByteArrayList lines;
    QByteArray next;
    int depth = 0;
    do {
        if (!readPhysical(next))
            fail(line.lineNumber, QStringLiteral("the card inside AGENT has no END:VCARD"));
        depth += isCardMark(next, "BEGIN") ? 1 : isCardMark(next, "END") ? -1 : 0;
        lines << next;
    } while (depth > 0);
    line.value = lines.join('\n');
}

bool ContentLineReader::next(ContentLine& line) {
    QByteArray logical;
    do {
        if (!readPhysical(logical))
            return false;
    } while (isBlank(logical));
    line = ContentLine{};
    line.lineNumber = lineNumber_;
    const qsizetype colon = unfold(logical, line);
    if (colon < 0)
        fail(line.lineNumber,
             QStringLiteral("the line has no colon, so it is not a vCard property"));
    logical.remove(0, colon + 1);
    line.value = std::move(logical);
    const QByteArrayView name = line.name; // compared by size first
    if (name == "BEGIN" || name == "VERSION")
        escapes_ = line.value.trimmed() == "2.1" ? Escapes::Vcard21 : Escapes::Standard;
    line.escapes = escapes_;
    if (line.isBase64())
        readBase64Block(line.value);
    if (name == "AGENT")
        readEmbeddedCard(line);
    line.lastLineNumber = lineNumber_;
    return true;
}

bool looksLikeVCard(QIODevice& device) {
    QBuffer head;
    head.setData(device.read(64 * 1024));
    head.open(QIODevice::ReadOnly);
    PhysicalLines lines(head);
    QByteArray line;
    while (lines.read(line))
        if (!isBlank(line))
            return isCardMark(line, "BEGIN");
    return false;
}

} // namespace vcard
