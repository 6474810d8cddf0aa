#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <vector>

// One subcommand of tessaline-bench: `tessaline-bench <name> [options]`. Each lives in its own
// <name>_bench.cpp and is listed in main.cpp.
struct BenchCommand {
    const char* name;
    const char* usage; // the options, for the help text
    int (*run)(const QStringList& arguments);
};

int runDataControlBench(const QStringList& arguments);
int runFindBench(const QStringList& arguments);
int runStartupBench(const QStringList& arguments);

namespace bench {

// The value of `--option N`, or fallback when it is absent. Exits with a message when the value
// is not a positive number.
qint64 intOption(const QStringList& arguments, const QString& option, qint64 fallback);

double median(std::vector<double> samples);

// The path of a cached address book of `rows` synthetic contacts, made on first use.
QString addressBookOf(qint64 rows);

// Resident memory of this process in KiB, as the kernel reports it (VmRSS), and its peak
// (VmHWM). resetPeak() makes the peak start again from the current size; it returns false
// where the kernel does not allow that.
qint64 residentKib();
qint64 peakResidentKib();
bool resetPeak();

} // namespace bench
