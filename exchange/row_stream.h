#pragma once

#include <QString>
#include <functional>
#include <optional>
#include <vector>

// What the process reading an old Access file hands the importing process, one frame at a time.
// A frame is its length (4 bytes), its kind (1 byte), a number (8 bytes), the count of its values
// (2 bytes) and the values, each a presence byte and, when present, a length (4 bytes) and that
// many bytes of UTF-8; numbers are little-endian. The reader of a stream trusts nothing in it.
namespace row_stream {

using Values = std::vector<std::optional<QString>>;

enum class Kind : quint8 {
    Note = 1,        // values[0]: something the user should know
    Table,           // number: the rows the old table declares
    Row,             // number: its page; values: our columns in order, NULL as nothing
    UnreadablePage,  // number: a page of the table that could not be read
    UnreadableValue, // number: the page; values[0]: the column whose value could not be read
    Damage,          // values[0]: any other fault of the file that loses data
    Failure,         // values[0]: why nothing can be imported
    End,             // number: the rows sent; the stream is complete
};

struct Frame {
    Kind kind = Kind::Note;
    qint64 number = 0;
    Values values;
};

// The largest frame either side accepts.
inline constexpr qint64 kMaxFrameBytes = qint64(256) << 20;

class FrameWriter {
  public:
    explicit FrameWriter(int fd) : fd_(fd) {}
    // Throws StoreError when the other side has gone.
    void write(const Frame& frame);

  private:
    int fd_;
};

class FrameReader {
  public:
    // Reads at most size bytes into data; 0 at the end of the stream.
    using Source = std::function<qint64(char* data, qint64 size)>;
    explicit FrameReader(Source source) : source_(std::move(source)) {}

    // The next frame, or nothing at the end of the stream. A stream that ends inside a frame or
    // holds a malformed one throws StoreError.
    std::optional<Frame> next();

  private:
    bool fill(QByteArray& buffer, qint64 size);
    Source source_;
};

} // namespace row_stream
