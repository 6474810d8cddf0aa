#pragma once

#include "exchange/import_summary.h"

#include <QTextStream>
#include <optional>

// A bar on standard error that is redrawn in place whenever another whole percent is done:
// "Importing [####----] 50% (3 of 6 contacts)", or by bytes where the count is not known.
class ProgressBar {
  public:
    explicit ProgressBar(QTextStream& err, const char* action = "Importing")
        : err_(err), action_(action) {}
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void show(qint64 done, qint64 total, ProgressUnit unit);

  private:
    static constexpr int kWidth = 40;
    QTextStream& err_;
    const char* action_;
    int shownPercent_ = -1;
};

// Runs `run` with a progress report that draws a bar on `err` when `drawn`, or nothing.
template <typename Run>
auto withProgressBar(bool drawn, QTextStream& err, Run run, const char* action = "Importing") {
    std::optional<ProgressBar> bar;
    if (drawn)
        bar.emplace(err, action);
    return run([&bar](qint64 done, qint64 total, ProgressUnit unit) {
        if (bar)
            bar->show(done, total, unit);
    });
}
