#include "exchange/import_losses.h"

#include <algorithm>

namespace {

constexpr qsizetype kMaxDamageLines = 8;

QString contacts(qint64 count) {
    return count == 1 ? QStringLiteral("1 contact") : QStringLiteral("%1 contacts").arg(count);
}

} // namespace

void ImportLosses::addValue(const QString& column, qint64 page) {
    ColumnLoss& loss = columns_[column];
    ++loss.values;
    loss.pages.insert(page);
}

void ImportLosses::addDamage(const QString& text) {
    if (damage_.size() < kMaxDamageLines && !damage_.contains(text))
        damage_ << text;
}

void ImportLosses::setReaderEnding(const QString& ending, qint64 rowsBefore) {
    ending_ =
        QStringLiteral("The Access reader stopped after %1: %2.").arg(contacts(rowsBefore), ending);
}

void ImportLosses::setRowCounts(qint64 declared, qint64 read) {
    declared_ = declared;
    read_ = read;
}

QStringList ImportLosses::lines() const {
    QStringList lines;
    if (!ending_.isEmpty())
        lines << ending_;
    if (read_ != declared_)
        lines << QStringLiteral("The old table declares %1, but %2 could be read.")
                     .arg(contacts(declared_))
                     .arg(read_);
    if (!pages_.isEmpty())
        lines << QStringLiteral("%1 %2 of the old table could not be read.")
                     .arg(pages_.size() == 1 ? QStringLiteral("Page") : QStringLiteral("Pages"),
                          pageList(pages_));
    for (auto column = columns_.cbegin(); column != columns_.cend(); ++column)
        lines << QStringLiteral("The column \"%1\" could not be read in %2 (%3 %4); it was left "
                                "empty there.")
                     .arg(column.key(), contacts(column->values),
                          column->pages.size() == 1 ? QStringLiteral("page")
                                                    : QStringLiteral("pages"),
                          pageList(column->pages));
    lines << damage_;
    if (!output_.isEmpty())
        lines << QStringLiteral("The Access reader reported: %1.")
                     .arg(output_.join(QStringLiteral("; ")));
    return lines;
}

QString ImportLosses::pageList(const QSet<qint64>& pages) {
    QList<qint64> sorted(pages.cbegin(), pages.cend());
    std::sort(sorted.begin(), sorted.end());
    QStringList runs;
    for (qsizetype i = 0; i < sorted.size();) {
        qsizetype last = i;
        while (last + 1 < sorted.size() && sorted[last + 1] == sorted[last] + 1)
            ++last;
        runs << (last == i ? QString::number(sorted[i])
                           : QStringLiteral("%1 to %2").arg(sorted[i]).arg(sorted[last]));
        i = last + 1;
    }
    if (runs.size() < 2)
        return runs.join(QString());
    const QString lastRun = runs.takeLast();
    return runs.join(QStringLiteral(", ")) + QStringLiteral(" and ") + lastRun;
}
