#pragma once

#include <QMap>
#include <QSet>
#include <QStringList>

// What an import could not carry over from an old table, gathered while its rows arrive and
// told in the words of the report: pages that could not be read, values left empty, a reader that
// crashed, fewer or more rows than the table declares, and what the reader printed.
class ImportLosses {
  public:
    void addPage(qint64 page) { pages_.insert(page); }
    void addValue(const QString& column, qint64 page);
    void addDamage(const QString& text);
    void setReaderEnding(const QString& ending, qint64 rowsBefore);
    void setRowCounts(qint64 declared, qint64 read);
    void setReaderOutput(const QStringList& lines) { output_ = lines; }

    bool isEmpty() const { return lines().isEmpty(); }
    QStringList lines() const;

    // "5", "5 and 7", "5, 7 and 58 to 120".
    static QString pageList(const QSet<qint64>& pages);

  private:
    struct ColumnLoss {
        qint64 values = 0;
        QSet<qint64> pages;
    };
    QSet<qint64> pages_;
    QMap<QString, ColumnLoss> columns_;
    QStringList damage_;
    QString ending_;
    qint64 declared_ = 0;
    qint64 read_ = 0;
    QStringList output_;
};
