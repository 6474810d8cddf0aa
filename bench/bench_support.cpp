#include "bench.h"

#include <QFile>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace bench {

qint64 intOption(const QStringList& arguments, const QString& option, qint64 fallback) {
    const qsizetype at = arguments.indexOf(option);
    if (at < 0)
        return fallback;
    bool ok = false;
    const qint64 value = arguments.value(at + 1).toLongLong(&ok);
    if (!ok || value <= 0) {
        std::fprintf(stderr, "%s needs a positive number\n", qPrintable(option));
        std::exit(2);
    }
    return value;
}

double median(std::vector<double> samples) {
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    const std::size_t middle = samples.size() / 2;
    return samples.size() % 2 ? samples[middle] : (samples[middle - 1] + samples[middle]) / 2;
}

namespace {

qint64 statusKib(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

} // namespace

qint64 residentKib() {
    return statusKib("VmRSS");
}
qint64 peakResidentKib() {
    return statusKib("VmHWM");
}

bool resetPeak() {
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

} // namespace bench
