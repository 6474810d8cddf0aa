#include "bench.h"

#include "app/program_windows.h"
#include "app/startup.h"
#include "screens/find_window.h"
#include "screens/results_grid.h"
#include "shell/window_model.h"
#include "store/contact_table.h"
#include "store/sqlite_db.h"
#include "store/store_error.h"
#include "widgets/data_control.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <cstdio>
#include <memory>

// tessaline-bench find: the find window over a file of N contacts. Opening it (its load fetch and
// the first screen of the grid), jumping to the last row with Ctrl+End, and a surname search with
// its repaint, each until the grid is painted.
namespace {

// A failure in a window is printed instead of waiting for someone to close a box.
class PrintedMessages final : public MessageBoxes {
  public:
    void inform(const QString& text, const QString&, Icon) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        ++shown;
    }
    int shown = 0;
};

double millisecondsSince(const QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1e6;
}

// Lets pending layout run and paints the whole window, as a first screen needs.
void paint(QWidget& window) {
    QCoreApplication::processEvents();
    window.grab();
}

void press(QWidget* target, Qt::Key key, Qt::KeyboardModifiers modifiers) {
    QKeyEvent down(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(target, &down);
    QKeyEvent up(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(target, &up);
}

// A surname stored in the middle of the file, so that the search has something to find.
QString surnameAt(const QString& path, qint64 rowid) {
    Database db = contact_table::openAddressBook(path);
    const QByteArray select = QStringLiteral("SELECT %1 FROM address WHERE rowid = ?1")
                                  .arg(contact_table::quotedColumn(contact_table::Column::Surname))
                                  .toUtf8();
    Statement read(db, select.constData());
    read.bindInt(1, rowid);
    if (!read.step())
        throw StoreError(QStringLiteral("row %1 is missing").arg(rowid));
    return read.text(0);
}

} // namespace

namespace {

struct FindTimes {
    std::vector<double> openMs, fetchMs, endMs, searchMs;
    qsizetype found = 0;
};

// One run: the find window opened from a fresh program, then Ctrl+End and a surname search.
void measureFindRun(const Services& services, qint64 rows, const QString& surname,
                    FindTimes& times) {
    ProgramWindows windows(services);
    QElapsedTimer timer;
    timer.start();
    FindWindow& find = windows.find();
    find.Show();
    paint(find);
    times.openMs.push_back(millisecondsSince(timer));
    QTableView* cells = find.resultsGrid()->cells();
    if (cells->model()->rowCount() != rows + 1)
        throw StoreError(QStringLiteral("the grid does not list every contact"));

    // The data control's own part of the opening: the whole-table fetch alone.
    timer.start();
    find.dataControl->refresh();
    times.fetchMs.push_back(millisecondsSince(timer));
    paint(find);

    // The keys go where the user's would: the open cell of the grid.
    cells->setFocus();
    QWidget* typing = cells->focusWidget() ? cells->focusWidget() : cells;
    timer.start();
    press(typing, Qt::Key_End, Qt::ControlModifier);
    paint(find);
    times.endMs.push_back(millisecondsSince(timer));
    if (cells->currentIndex().row() != rows)
        throw StoreError(QStringLiteral("Ctrl+End did not reach the last row"));

    find.surnameBox->setText(surname);
    timer.start();
    find.findBySurnameButton->click();
    paint(find);
    times.searchMs.push_back(millisecondsSince(timer));
    times.found = cells->model()->rowCount() - 1;
}

void printFindTimes(const FindTimes& times, qint64 rows) {
    const double open = bench::median(times.openMs);
    const double end = bench::median(times.endMs);
    const double search = bench::median(times.searchMs);
    const double peakMib = double(bench::peakResidentKib()) / 1024;
    const double fetch = bench::median(times.fetchMs);
    std::printf("open find window (load fetch + first screen): %.2f ms median (first run "
                "%.2f ms), of which the data control's fetch about %.2f ms\n",
                open, times.openMs.front(), fetch);
    std::printf("Ctrl+End to the last of %lld rows + repaint: %.2f ms median\n", rows, end);
    std::printf("surname search (%lld matches) + repaint: %.2f ms median\n", qint64(times.found),
                search);
    std::printf("peak resident memory of the whole program: %.1f MiB\n", peakMib);
    std::printf("summary rows=%lld open_ms=%.2f fetch_ms=%.2f end_ms=%.2f search_ms=%.2f "
                "peak_mib=%.1f\n",
                rows, open, fetch, end, search, peakMib);
}

} // namespace

int runFindBench(const QStringList& arguments) {
    const qint64 rows = bench::intOption(arguments, QStringLiteral("--rows"), 100000);
    const int runs = int(bench::intOption(arguments, QStringLiteral("--runs"), 5));
    const QString path = bench::addressBookOf(rows);
    const QString directory = QFileInfo(path).absolutePath();

    DesktopServices desktop;
    const Services real = desktop.services();
    PrintedMessages printed;
    Services services{printed, real.clock, real.programEnd, real.sysInfo, real.app};
    services.app.directory = [directory] { return directory; };
    try {
        const QString surname = surnameAt(path, rows / 2);
        FindTimes times;
        for (int run = 0; run < runs; ++run) {
            measureFindRun(services, rows, surname, times);
            if (times.found < 1 || printed.shown > 0)
                throw StoreError(QStringLiteral("the surname search found nothing"));
        }
        printFindTimes(times, rows);
    } catch (const StoreError& error) {
        std::fprintf(stderr, "failed: %s\n", qPrintable(error.description()));
        return 1;
    }
    return 0;
}
