#include "bench.h"

#include <QApplication>
#include <array>
#include <cstdio>

// tessaline-bench: speed and memory of the program's parts, measured outside the tests.
namespace {

constexpr std::array<BenchCommand, 3> kCommands = {{
    {"data-control", "[--rows N] [--runs R]", runDataControlBench},
    {"find", "[--rows N] [--runs R]", runFindBench},
    {"startup", "[--rows N] [--runs R]", runStartupBench},
}};

int usage() {
    std::fprintf(stderr, "usage: tessaline-bench <command> [options]\n");
    for (const BenchCommand& command : kCommands)
        std::fprintf(stderr, "  %s %s\n", command.name, command.usage);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    // Widgets are measured without a screen unless a platform is asked for.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments().mid(1);
    if (arguments.isEmpty())
        return usage();
    for (const BenchCommand& command : kCommands)
        if (arguments.first() == QLatin1String(command.name))
            return command.run(arguments.mid(1));
    return usage();
}
