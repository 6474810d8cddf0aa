#include "exchange/row_stream.h"

#include "store/store_error.h"
#include "store/utf8_text.h"

#include <QByteArray>
#include <QtEndian>
#include <cerrno>
#include <unistd.h>

namespace row_stream {

namespace {

constexpr qint64 kHeadBytes = 1 + 8 + 2; // kind, number, count
constexpr qint64 kChunkBytes = 1 << 20;

template <typename Number> void append(QByteArray& out, Number value) {
    const auto little = qToLittleEndian(value);
    out.append(reinterpret_cast<const char*>(&little), sizeof little);
}

StoreError malformed(const char* what) {
    return StoreError(
        QStringLiteral("The reader process sent a malformed frame (%1).").arg(QLatin1String(what)));
}

// Reads the fixed-size numbers and the values of a frame's body, checking every length.
class BodyParser {
  public:
    explicit BodyParser(const QByteArray& body) : body_(body) {}

    template <typename Number> Number take() {
        if (left() < qint64(sizeof(Number)))
            throw malformed("too short");
        Number value = qFromLittleEndian<Number>(body_.constData() + at_);
        at_ += qsizetype(sizeof(Number));
        return value;
    }

    std::optional<QString> value() {
        const quint8 present = take<quint8>();
        if (present > 1)
            throw malformed("bad presence byte");
        if (!present)
            return std::nullopt;
        const quint32 size = take<quint32>();
        if (qint64(size) > left())
            throw malformed("value longer than its frame");
        const QString text = utf8Text(QByteArrayView(body_.constData() + at_, qsizetype(size)));
        at_ += qsizetype(size);
        return text;
    }

    qint64 left() const { return body_.size() - at_; }

  private:
    const QByteArray& body_;
    qsizetype at_ = 0;
};

} // namespace

void FrameWriter::write(const Frame& frame) {
    QByteArray body;
    append(body, quint8(frame.kind));
    append(body, frame.number);
    append(body, quint16(frame.values.size()));
    for (const std::optional<QString>& value : frame.values) {
        append(body, quint8(value ? 1 : 0));
        if (!value)
            continue;
        const QByteArray utf8 = value->toUtf8();
        append(body, quint32(utf8.size()));
        body.append(utf8);
    }
    if (body.size() > kMaxFrameBytes)
        throw StoreError(QStringLiteral("A row is too large to hand over."));
    QByteArray whole;
    append(whole, quint32(body.size()));
    whole.append(body);
    for (qsizetype sent = 0; sent < whole.size();) {
        const ssize_t wrote = ::write(fd_, whole.constData() + sent, size_t(whole.size() - sent));
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            throw StoreError(QStringLiteral("The importing process has gone."));
        sent += wrote;
    }
}

// Grows the buffer only as bytes arrive, so that a lying length costs nothing.
bool FrameReader::fill(QByteArray& buffer, qint64 size) {
    buffer.clear();
    while (buffer.size() < size) {
        const qint64 want = qMin(size - buffer.size(), kChunkBytes);
        const qsizetype at = buffer.size();
        buffer.resize(at + qsizetype(want));
        const qint64 got = source_(buffer.data() + at, want);
        buffer.resize(at + qsizetype(qMax<qint64>(got, 0)));
        if (got <= 0)
            return false;
    }
    return true;
}

std::optional<Frame> FrameReader::next() {
    QByteArray length;
    if (!fill(length, 4)) {
        if (length.isEmpty())
            return std::nullopt;
        throw malformed("cut inside its length");
    }
    const quint32 size = qFromLittleEndian<quint32>(length.constData());
    if (size < kHeadBytes || size > kMaxFrameBytes)
        throw malformed("impossible length");
    QByteArray body;
    if (!fill(body, size))
        throw malformed("cut short");
    BodyParser parser(body);
    Frame frame;
    const quint8 kind = parser.take<quint8>();
    if (kind < quint8(Kind::Note) || kind > quint8(Kind::End))
        throw malformed("unknown kind");
    frame.kind = Kind(kind);
    frame.number = parser.take<qint64>();
    const quint16 count = parser.take<quint16>();
    for (quint16 i = 0; i < count; ++i)
        frame.values.push_back(parser.value());
    if (parser.left() != 0)
        throw malformed("bytes after its values");
    return frame;
}

} // namespace row_stream
