#include "tool/progress_bar.h"

#include <QLocale>

namespace {

QString contactsOf(qint64 done, qint64 total) {
    return QStringLiteral("%1%2 contacts")
        .arg(done)
        .arg(total > 0 ? QStringLiteral(" of %1").arg(total) : QString());
}

QString bytesOf(qint64 done, qint64 total) {
    const QLocale c = QLocale::c();
    return c.formattedDataSize(done, 1, QLocale::DataSizeSIFormat) + QStringLiteral(" of ") +
           c.formattedDataSize(total, 1, QLocale::DataSizeSIFormat);
}

} // namespace

ProgressBar::~ProgressBar() {
    if (shownPercent_ >= 0)
        err_ << "\n";
    err_.flush();
}

void ProgressBar::show(qint64 done, qint64 total, ProgressUnit unit) {
    const int percent = total > 0 ? int(qMin<qint64>(done, total) * 100 / total) : 100;
    if (percent == shownPercent_)
        return;
    shownPercent_ = percent;
    const int filled = percent * kWidth / 100;
    err_ << "\r" << action_ << " [" << QString(filled, QLatin1Char('#'))
         << QString(kWidth - filled, QLatin1Char('-')) << "] " << percent << "% ("
         << (unit == ProgressUnit::Bytes ? bytesOf(done, total) : contactsOf(done, total)) << ")";
    err_.flush();
}
