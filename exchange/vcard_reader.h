#pragma once

#include "exchange/vcard_line.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QStringDecoder>
#include <optional>

namespace vcard {

// The physical lines of a device, read through a buffer of our own (QIODevice reads a line in
// small steps): LF, CRLF or CR line ends; a UTF-8 byte order mark at the very start dropped, and a
// file of UTF-16 with its byte order mark read as UTF-8.
class PhysicalLines {
  public:
    explicit PhysicalLines(QIODevice& device) : device_(device) {}

    // The next line without its end; false at the end of the device.
    bool read(QByteArray& line);
    // The octets of the device taken up by the lines read so far (for UTF-16, roughly).
    qint64 bytesRead() const;

  private:
    qsizetype lineEnd();
    QByteArray take(qsizetype stop, qsizetype next);
    qint64 nextBlockSize() const;
    void fill();

    QIODevice& device_;
    std::optional<QStringDecoder> utf16_;
    bool started_ = false;
    bool ended_ = false;
    QByteArray buffer_;
    qsizetype position_ = 0;
    qsizetype scanned_ = 0; // where the search for the next line end goes on
};

// Reads content lines from a device: folded lines, quoted-printable soft line breaks, 2.1 base64
// blocks and 2.1 cards inside AGENT; blank lines are skipped. Follows each card's VERSION, as 2.1
// folds and escapes differently.
class ContentLineReader {
  public:
    // Whether each line keeps its head as written (ContentLine::head), to be written back.
    enum class Heads { Kept, Dropped };

    // source names the input in error messages.
    ContentLineReader(QIODevice& device, const QString& source, Heads heads = Heads::Kept);

    // The next content line, or false at the end. Throws StoreError for a line with no colon.
    bool next(ContentLine& line);
    // Throws StoreError "source, line N: problem".
    [[noreturn]] void fail(int lineNumber, const QString& problem) const;
    // How far the device has been read, and its size.
    qint64 bytesRead() const { return lines_.bytesRead(); }
    qint64 size() const { return size_; }

  private:
    bool readPhysical(QByteArray& line);
    bool peekPhysical();
    qsizetype unfold(QByteArray& logical, ContentLine& line);
    void readHead(const QByteArray& logical, qsizetype colon, ContentLine& line) const;
    void readBase64Block(QByteArray& value);
    void readEmbeddedCard(ContentLine& line);

    PhysicalLines lines_;
    QString source_;
    qint64 size_;
    int lineNumber_ = 0;
    bool hasPending_ = false;
    QByteArray pending_;
    Escapes escapes_ = Escapes::Standard;
    Heads heads_;
};

// Whether the device's first line that is not blank, after an optional byte order mark, is
// BEGIN:VCARD.
bool looksLikeVCard(QIODevice& device);

} // namespace vcard
