#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <vector>

// One field of a CSV record as it stood in the file: its bytes, and whether it was quoted (which
// tells an empty text from a missing value).
struct CsvField {
    QByteArray bytes;
    bool quoted = false;
};

// Splits an RFC 4180 file into records, reading it in chunks. Records end in CRLF (a lone LF or
// CR is taken too); a leading UTF-8 byte order mark is skipped. Throws StoreError naming the line
// of a quote that is never closed or of stray text around a quoted field.
class CsvRecords {
  public:
    explicit CsvRecords(QFile& file);

    // The fields of the next record; false at the end of the file.
    bool next(std::vector<CsvField>& fields);
    // The line (counted from 1) on which the record last read began.
    qint64 recordLine() const { return recordLine_; }
    [[noreturn]] void fail(qint64 line, const QString& what) const;
    // How many bytes of the file the records read so far take up.
    qint64 bytesRead() const { return file_.pos() - (buffer_.size() - pos_); }

  private:
    int peek();
    int get();
    void readQuoted(CsvField& field);
    void readPlain(CsvField& field);
    void endLine(int c);

    QFile& file_;
    QByteArray buffer_;
    qsizetype pos_ = 0;
    qint64 line_ = 1;
    qint64 recordLine_ = 1;
};
