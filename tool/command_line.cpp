#include "tool/command_line.h"

#include <QCommandLineParser>

namespace {

const char* const kHelpLine = "  -h, --help                    show this text\n";

const char* const kExitCodes =
    "\n"
    "Exit codes: 0 done (for check: ok), 1 failed (for check: something is wrong; for query:\n"
    "no match; for sync: something left undone), 2 wrong usage, 3 query failed (a missing,\n"
    "locked or damaged book, or output that cannot be written). After \"--\" every word is a\n"
    "path or a text, \"-h\" too.\n";

QString dashed(const QString& name) {
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

// What QCommandLineParser found wrong, in the words of the other usage errors.
QString parseProblem(const CommandSyntax& syntax, const QCommandLineParser& parser) {
    const QString name = QString::fromLatin1(syntax.name);
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty())
        return QStringLiteral("%1 has no option %2").arg(name, dashed(unknown.first()));
    return QStringLiteral("%1: %2").arg(name, parser.errorText());
}

} // namespace

CommandLine parseCommandLine(const CommandSyntax& syntax, const QStringList& words) {
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    parser.addOption(help);
    for (const QString& option : syntax.options)
        parser.addOption(option.endsWith(QLatin1Char('='))
                             ? QCommandLineOption(option.chopped(1), {}, QStringLiteral("value"))
                             : QCommandLineOption(option));
    // The parser skips the first word, a program's name.
    if (!parser.parse(QStringList{QStringLiteral("tessaline-db")} + words))
        throw UsageError{parseProblem(syntax, parser)};
    CommandLine line;
    line.helpAsked = parser.isSet(help);
    for (const QString& option : syntax.options) {
        const bool valued = option.endsWith(QLatin1Char('='));
        const QString name = valued ? option.chopped(1) : option;
        if (!parser.isSet(name))
            continue;
        line.options << name;
        if (valued)
            line.values.insert(name, parser.value(name));
    }
    line.operands = parser.positionalArguments();
    const qsizetype given = line.operands.size();
    if (!line.helpAsked &&
        (given < syntax.operandCount || given > syntax.operandCount + syntax.optionalOperands))
        throw UsageError{QStringLiteral("%1 takes %2 path(s), not %3")
                             .arg(QString::fromLatin1(syntax.name))
                             .arg(syntax.optionalOperands == 0
                                      ? QString::number(syntax.operandCount)
                                      : QStringLiteral("%1 or %2")
                                            .arg(syntax.operandCount)
                                            .arg(syntax.operandCount + syntax.optionalOperands))
                             .arg(given)};
    return line;
}

QString usageText(const std::vector<CommandSyntax>& commands) {
    QString text = QStringLiteral("Usage: tessaline-db COMMAND [OPTIONS] PATH...\n"
                                  "\n"
                                  "Commands:\n");
    for (const CommandSyntax& command : commands)
        text += QString::fromUtf8(command.usage);
    return text + QString::fromLatin1(kHelpLine) + QString::fromLatin1(kExitCodes);
}

QString commandUsageText(const CommandSyntax& command) {
    const QString usage = QString::fromUtf8(command.usage);
    // The first form of the command, as its entry in the usage text begins.
    const QString firstForm =
        usage.section(QLatin1Char('\n'), 0, 0).trimmed().section(QStringLiteral("  "), 0, 0);
    return QStringLiteral("Usage: tessaline-db %1\n\n").arg(firstForm) + usage +
           QString::fromLatin1(kHelpLine) + QString::fromLatin1(kExitCodes);
}
