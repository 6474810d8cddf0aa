#include "exchange/csv_records.h"

#include "store/store_error.h"

namespace {

constexpr qint64 kChunkBytes = 64 * 1024;
constexpr int kEnd = -1;

bool endsField(int c) {
    return c == ',' || c == '\r' || c == '\n' || c == kEnd;
}

} // namespace

CsvRecords::CsvRecords(QFile& file) : file_(file) {
    if (peek() != kEnd && buffer_.startsWith("\xEF\xBB\xBF"))
        pos_ = 3;
}

void CsvRecords::fail(qint64 line, const QString& what) const {
    throw StoreError(QStringLiteral("\"%1\" is not CSV that tessaline-db can read: line %2: %3; "
                                    "nothing was imported.")
                         .arg(file_.fileName())
                         .arg(line)
                         .arg(what));
}

int CsvRecords::peek() {
    if (pos_ >= buffer_.size()) {
        buffer_ = file_.read(kChunkBytes);
        pos_ = 0;
        if (buffer_.isEmpty() && !file_.atEnd())
            throw StoreError(QStringLiteral("Cannot read \"%1\": %2.")
                                 .arg(file_.fileName(), file_.errorString()));
        if (buffer_.isEmpty())
            return kEnd;
    }
    return static_cast<unsigned char>(buffer_.at(pos_));
}

int CsvRecords::get() {
    const int c = peek();
    if (c != kEnd)
        ++pos_;
    return c;
}

// Counts a line end that was just read: CRLF is one, and so is a lone CR or LF.
void CsvRecords::endLine(int c) {
    if (c == '\r' && peek() == '\n')
        return;
    if (c == '\r' || c == '\n')
        ++line_;
}

void CsvRecords::readQuoted(CsvField& field) {
    field.quoted = true;
    const qint64 opened = line_;
    get();
    for (;;) {
        const int c = get();
        if (c == kEnd)
            fail(opened, QStringLiteral("a quoted field is never closed"));
        if (c == '"') {
            if (peek() != '"')
                break;
            get();
        }
        endLine(c);
        field.bytes.append(char(c));
    }
    if (!endsField(peek()))
        fail(line_, QStringLiteral("text follows the closing quote of a field"));
}

void CsvRecords::readPlain(CsvField& field) {
    while (!endsField(peek())) {
        if (peek() == '"')
            fail(line_, QStringLiteral("a quote inside a field that does not begin with one"));
        field.bytes.append(char(get()));
    }
}

bool CsvRecords::next(std::vector<CsvField>& fields) {
    fields.clear();
    if (peek() == kEnd)
        return false;
    recordLine_ = line_;
    for (;;) {
        CsvField field;
        if (peek() == '"')
            readQuoted(field);
        else
            readPlain(field);
        fields.push_back(std::move(field));
        const int c = get();
        if (c == ',')
            continue;
        if (c == '\r' && peek() == '\n')
            get();
        if (c != kEnd)
            ++line_;
        return true;
    }
}
