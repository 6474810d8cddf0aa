#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <vector>

// How one command of tessaline-db is called: its name, the options it takes (long names without
// the dashes; a name ending in '=' takes a value), how many operands it needs and how many more
// it may take, and its part of the usage text.
struct CommandSyntax {
    const char* name;
    QStringList options;
    qsizetype operandCount;
    const char* usage;
    qsizetype optionalOperands = 0;
};

// The words given to one command, once parsed.
struct CommandLine {
    QStringList options;            // the long names given, without the dashes (or the '=')
    QHash<QString, QString> values; // of the options given that take one
    QStringList operands;
    bool helpAsked = false;

    bool has(const char* option) const { return options.contains(QLatin1String(option)); }
    QString value(const char* option) const { return values.value(QLatin1String(option)); }
};

// Words that do not fit the command: what is wrong with them.
struct UsageError {
    QString problem;
};

// Parses the words after the command's name: options anywhere before "--", every word after it
// an operand, "-h" and "--help" too. Throws UsageError.
CommandLine parseCommandLine(const CommandSyntax& syntax, const QStringList& words);

// The usage of every command, and of one.
QString usageText(const std::vector<CommandSyntax>& commands);
QString commandUsageText(const CommandSyntax& command);
