#include "bench.h"

#include "store/contact_table.h"

#include "app/main_menu.h"
#include "app/program_windows.h"
#include "app/startup.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QWindow>
#include <algorithm>
#include <cstdio>

// tessaline-bench startup: the program's start-up until the main menu is on screen, against a
// bare Qt window with four buttons, each in a fresh process so libraries, fonts and the address
// book are loaded the way a user's start loads them.
namespace {

void waitUntilDrawn(QWidget& window) {
    window.show();
    while (!window.windowHandle() || !window.windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    window.repaint();
    QCoreApplication::processEvents();
}

void reportShown() {
    std::printf("shown %lld\n", static_cast<long long>(bench::peakResidentKib()));
    std::fflush(stdout);
}

int runProgram(const QString& directory) {
    // As the program starts: its font is the application's before the first window is built.
    configureApplication(*qApp);
    DesktopServices desktop;
    Services services = desktop.services();
    services.app.directory = [directory] { return directory; };
    ProgramWindows windows(services);
    MainMenu& menu = windows.menu();
    menu.Show();
    waitUntilDrawn(menu);
    reportShown();
    return 0;
}

int runBareWindow() {
    QWidget window;
    window.setFixedSize(289, 246);
    const char* captions[] = {"Add New", "View/Edit", "Exit", "About"};
    int top = 40;
    for (const char* caption : captions) {
        auto* button = new QPushButton(QString::fromLatin1(caption), &window);
        button->setGeometry(16, top, 249, 33);
        top += 48;
    }
    waitUntilDrawn(window);
    reportShown();
    return 0;
}

struct Sample {
    double milliseconds = 0;
    qint64 peakKib = 0;
};

Sample measureChild(const QString& mode, const QString& directory) {
    QProcess child;
    QElapsedTimer timer;
    timer.start();
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("startup"), QStringLiteral("--child"), mode, directory});
    Sample sample;
    while (child.waitForReadyRead(30000)) {
        const QByteArray line = child.readLine().trimmed();
        if (line.startsWith("shown ")) {
            sample.milliseconds = double(timer.nsecsElapsed()) / 1e6;
            sample.peakKib = line.mid(6).toLongLong();
            break;
        }
    }
    child.waitForFinished(30000);
    if (sample.peakKib == 0) {
        std::fprintf(stderr, "the %s start-up did not come up: %s\n", qPrintable(mode),
                     child.readAllStandardError().constData());
        std::exit(1);
    }
    return sample;
}

} // namespace

int runStartupBench(const QStringList& arguments) {
    if (arguments.value(0) == QLatin1String("--child")) {
        const QString mode = arguments.value(1);
        return mode == QLatin1String("program") ? runProgram(arguments.value(2)) : runBareWindow();
    }
    const qint64 rows = bench::intOption(arguments, QStringLiteral("--rows"), 0);
    // A process start on a shared machine now and then takes tens of milliseconds longer, in
    // either mode; enough runs keep such starts from deciding the medians.
    const qint64 runs = bench::intOption(arguments, QStringLiteral("--runs"), 21);
    QTemporaryDir directory;
    const QString book = QDir(directory.path()).filePath(QStringLiteral("address.mdb"));
    if (rows > 0)
        QFile::link(bench::addressBookOf(rows), book);
    else
        QProcess::execute(
            QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("tessaline-db")),
            {QStringLiteral("create"), book});

    std::vector<double> program;
    std::vector<double> bare;
    std::vector<double> programPeak;
    std::vector<double> barePeak;
    measureChild(QStringLiteral("program"), directory.path()); // warms the file cache
    for (qint64 run = 0; run < runs; ++run) {
        const Sample a = measureChild(QStringLiteral("bare"), directory.path());
        const Sample b = measureChild(QStringLiteral("program"), directory.path());
        bare.push_back(a.milliseconds);
        barePeak.push_back(double(a.peakKib) / 1024.0);
        program.push_back(b.milliseconds);
        programPeak.push_back(double(b.peakKib) / 1024.0);
    }
    const double programMs = bench::median(program);
    const double bareMs = bench::median(bare);
    const double extraMib = bench::median(programPeak) - bench::median(barePeak);
    std::printf("program start-up to the shown main menu: %.1f ms median, %.1f fastest (peak %.1f "
                "MiB)\n",
                programMs, *std::min_element(program.begin(), program.end()),
                bench::median(programPeak));
    std::printf("bare window with four buttons:          %.1f ms median, %.1f fastest (peak %.1f "
                "MiB)\n",
                bareMs, *std::min_element(bare.begin(), bare.end()), bench::median(barePeak));
    std::printf("summary rows=%lld startup_ms=%.1f bare_ms=%.1f ratio=%.2f extra_peak_mib=%.1f\n",
                static_cast<long long>(rows), programMs, bareMs, programMs / bareMs, extraMib);
    return 0;
}
