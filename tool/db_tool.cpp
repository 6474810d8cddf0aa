#include "tool/db_tool.h"

#include "store/address_book_check.h"
#include "store/contact_table.h"
#include "store/csv_export.h"
#include "store/store_error.h"
#include "store/written_output.h"
#include "tool/book_backup.h"
#include "tool/contact_import.h"
#include "tool/contact_query.h"
#include "tool/csv_import.h"
#include "tool/staged_access_reader.h"
#include "tool/vcard_export.h"
#include "tool/vcard_import.h"

#include <QLocale>
#include <functional>
#include <optional>
#include <vector>

namespace {

const char* const kUsage =
    "Usage: tessaline-db COMMAND [OPTIONS] PATH...\n"
    "\n"
    "Commands:\n"
    "  create PATH                   make an empty address book at PATH (never overwrites)\n"
    "  import [--progress] [--salvage] OLD NEW\n"
    "                                copy every contact of OLD, an address book in the old\n"
    "                                Access format (Jet 3 or Jet 4) or a vCard file (2.1, 3.0\n"
    "                                or 4.0), into a new address book at NEW (never\n"
    "                                overwrites); --progress draws a progress bar on standard\n"
    "                                error. A damaged OLD is refused whole unless --salvage is\n"
    "                                given: it takes every contact that can be read and\n"
    "                                reports what could not. Of a vCard, what has no column\n"
    "                                of its own goes into the notes as \"Label: value\" lines;\n"
    "                                photos, other binary data and group cards are skipped\n"
    "                                and counted\n"
    "  import --csv [--progress] CSV NEW\n"
    "                                the same from CSV as export --csv writes it; columns are\n"
    "                                matched by the names in its header line. A malformed\n"
    "                                file is refused whole, naming its line\n"
    "  import --add [--csv] [--salvage] [--progress] SOURCE BOOK\n"
    "                                add every contact of SOURCE (in any format import reads)\n"
    "                                to the existing address book BOOK, all or nothing; waits\n"
    "                                5 seconds for a book another program is storing into\n"
    "  export --csv PATH             write every contact of the address book PATH to standard\n"
    "                                output as CSV (RFC 4180, UTF-8, CRLF line ends, a header\n"
    "                                line of the column names); an empty field is a missing\n"
    "                                value (NULL), while \"\" is an empty text\n"
    "  export --vcard PATH           write every contact of PATH to standard output as vCard\n"
    "                                4.0 (RFC 6350, UTF-8, CRLF); importing the file gives\n"
    "                                every column back exactly\n"
    "  check PATH                    check that PATH is a sound address book: the file, the\n"
    "                                table, its columns and indexes; prints \"ok\" or what is\n"
    "                                wrong\n"
    "  query BOOK TEXT               for mail programs (mutt's query_command): a message line,\n"
    "                                then \"address<TAB>name<TAB>phone\" for every contact with\n"
    "                                an e-mail address whose name, surname or e-mail holds\n"
    "                                TEXT, without regard to case or accents; exit code 1 when\n"
    "                                none does\n"
    "  backup BOOK COPY              a consistent copy of BOOK at COPY (never overwrites), safe\n"
    "                                while the program has BOOK open\n"
    "  --help                        show this text\n"
    "\n"
    "Exit codes: 0 done (for check: ok), 1 failed (for check: something is wrong; for query:\n"
    "no match), 2 wrong usage, 3 query failed (a missing, locked or damaged book, or output\n"
    "that cannot be written). After \"--\" every word is a path or a text, \"-h\" too.\n";

// The words after the command: options (starting with "--") and paths; after "--" everything is
// a path.
struct Invocation {
    QStringList options;
    QStringList paths;
};

Invocation split(const QStringList& words) {
    Invocation invocation;
    bool onlyPaths = false;
    for (const QString& word : words) {
        if (!onlyPaths && word == QLatin1String("--"))
            onlyPaths = true;
        else if (!onlyPaths && word.startsWith(QLatin1String("--")))
            invocation.options << word;
        else
            invocation.paths << word;
    }
    return invocation;
}

struct Streams {
    QTextStream& out;
    QTextStream& err;
};

struct Command {
    const char* name;
    qsizetype pathCount;
    QStringList allowedOptions;
    QStringList requiredOptions;
    std::function<int(const Invocation&, Streams)> run;
    // query's 1 means "no match" to mail programs, so its failures need a code of their own.
    int failureCode = 1;
};

int usageError(QTextStream& err, const QString& problem) {
    err << "tessaline-db: " << problem << "\n\n" << kUsage;
    return 2;
}

// Why the words do not fit the command, or nothing when they do.
QString misuse(const Command& command, const Invocation& invocation) {
    const QString name = QString::fromLatin1(command.name);
    for (const QString& option : invocation.options)
        if (!command.allowedOptions.contains(option))
            return QStringLiteral("%1 has no option %2").arg(name, option);
    for (const QString& option : command.requiredOptions)
        if (!invocation.options.contains(option))
            return QStringLiteral("%1 needs the option %2").arg(name, option);
    if (invocation.paths.size() != command.pathCount)
        return QStringLiteral("%1 takes %2 path(s), not %3")
            .arg(name)
            .arg(command.pathCount)
            .arg(invocation.paths.size());
    return {};
}

int create(const Invocation& invocation, Streams streams) {
    const QString& path = invocation.paths.at(0);
    contact_table::createAddressBook(path);
    streams.out << "Created an empty address book at " << path << "\n";
    return 0;
}

// A bar that is redrawn in place whenever another whole percent is done.
class ProgressBar {
  public:
    explicit ProgressBar(QTextStream& err) : err_(err) {}
    ~ProgressBar() {
        if (shownPercent_ >= 0)
            err_ << "\n";
        err_.flush();
    }
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void show(qint64 done, qint64 total, ProgressUnit unit) {
        const int percent = total > 0 ? int(qMin<qint64>(done, total) * 100 / total) : 100;
        if (percent == shownPercent_)
            return;
        shownPercent_ = percent;
        const int filled = percent * kWidth / 100;
        err_ << "\rImporting [" << QString(filled, QLatin1Char('#'))
             << QString(kWidth - filled, QLatin1Char('-')) << "] " << percent << "% ("
             << (unit == ProgressUnit::Bytes ? bytesOf(done, total) : contactsOf(done, total))
             << ")";
        err_.flush();
    }

  private:
    static QString contactsOf(qint64 done, qint64 total) {
        return QStringLiteral("%1%2 contacts")
            .arg(done)
            .arg(total > 0 ? QStringLiteral(" of %1").arg(total) : QString());
    }
    static QString bytesOf(qint64 done, qint64 total) {
        const QLocale c = QLocale::c();
        return c.formattedDataSize(done, 1, QLocale::DataSizeSIFormat) + QStringLiteral(" of ") +
               c.formattedDataSize(total, 1, QLocale::DataSizeSIFormat);
    }

    static constexpr int kWidth = 40;
    QTextStream& err_;
    int shownPercent_ = -1;
};

QString contactCount(qint64 count) {
    return count == 1 ? QStringLiteral("1 contact") : QStringLiteral("%1 contacts").arg(count);
}

// Notes, then what a salvage lost, then what was imported or added; a salvage with losses says so.
void report(const ImportSummary& summary, const QString& oldPath, const QString& newPath,
            bool added, QTextStream& out) {
    for (const QString& note : summary.notes)
        out << "Note: " << note << "\n";
    for (const QString& loss : summary.losses)
        out << "Damage: " << loss << "\n";
    const QString contacts = contactCount(summary.contacts);
    if (summary.losses.isEmpty() && added)
        out << "Added " << contacts << " from " << oldPath << " to " << newPath << "\n";
    else if (summary.losses.isEmpty())
        out << "Imported " << contacts << " from " << oldPath << " into " << newPath << "\n";
    else
        out << "Salvaged " << contacts << " of the " << summary.declared
            << " the old table declares from " << oldPath
            << (added ? " and added them to " : " into ") << newPath
            << (added ? ". What could not be read is missing"
                      : ". The new address book is incomplete")
            << ": see the damage listed above.\n";
}

// Draws the progress bar on standard error while an import runs, when --progress asks for it.
template <typename Run>
ImportSummary withProgress(const Invocation& invocation, Streams streams, Run run) {
    std::optional<ProgressBar> bar;
    if (invocation.options.contains(QLatin1String("--progress")))
        bar.emplace(streams.err);
    return run([&bar](qint64 done, qint64 total, ProgressUnit unit) {
        if (bar)
            bar->show(done, total, unit);
    });
}

const AccessImporter& requireImporter(const AccessImporter& importer) {
    if (!importer)
        throw StoreError(QStringLiteral("This build of tessaline-db cannot read Access files."));
    return importer;
}

// The reader of a source in one of the formats other than Access's: CSV when --csv says so, else
// vCard when its first line says so; an old Access file being added goes through the Access
// import into a staging book first. Nothing for anything else, which the Access import then
// looks at.
std::optional<contact_import::ContactReader>
readerOf(const QString& source, const Invocation& invocation, const AccessImporter& importer,
         ImportMode mode, const ImportProgress& progress) {
    if (invocation.options.contains(QLatin1String("--csv")))
        return csv_import::reader();
    if (vcard_import::isVCardFile(source))
        return contact_import::ContactReader(vcard_import::readFile);
    if (invocation.options.contains(QLatin1String("--add")) &&
        contact_table::looksLikeAccessFile(source))
        return contact_import::stagedAccessReader(requireImporter(importer), source, mode,
                                                  progress);
    return std::nullopt;
}

int importContacts(const AccessImporter& importer, const Invocation& invocation, Streams streams) {
    const QString& source = invocation.paths.at(0);
    const QString& target = invocation.paths.at(1);
    const ImportMode mode = invocation.options.contains(QLatin1String("--salvage"))
                                ? ImportMode::Salvage
                                : ImportMode::AllOrNothing;
    const bool add = invocation.options.contains(QLatin1String("--add"));
    // The book to add to is looked at before any source is read.
    if (add)
        contact_table::checkIsSqliteFile(target);
    const ImportSummary summary =
        withProgress(invocation, streams, [&](const ImportProgress& progress) {
            if (const auto read = readerOf(source, invocation, importer, mode, progress))
                return add ? contact_import::intoBook(*read, source, target, progress)
                           : contact_import::intoNewBook(*read, source, target, progress);
            if (add)
                throw StoreError(contact_table::unknownFormat(source));
            // An old Access file goes through the Access reader's own import, which knows how
            // many rows the old table declares and what a salvage lost.
            return requireImporter(importer)(source, target, progress, mode);
        });
    report(summary, source, target, add, streams.out);
    return 0;
}

// Exactly one of --csv and --vcard names the format.
int exportContacts(const Invocation& invocation, Streams streams) {
    const bool csv = invocation.options.contains(QLatin1String("--csv"));
    if (csv == invocation.options.contains(QLatin1String("--vcard")))
        return usageError(streams.err, QStringLiteral("export needs one of --csv and --vcard"));
    const Database db = contact_table::openAddressBook(invocation.paths.at(0));
    if (csv)
        csv_export::writeContacts(db, streams.out);
    else
        vcard_export::writeContacts(db, streams.out);
    streams.out.flush();
    return 0;
}

int query(const Invocation& invocation, Streams streams) {
    return contact_query::writeMatches(invocation.paths.at(0), invocation.paths.at(1), streams.out);
}

int backup(const Invocation& invocation, Streams streams) {
    const QString& book = invocation.paths.at(0);
    const QString& copy = invocation.paths.at(1);
    const qint64 contacts = book_backup::copyBook(book, copy);
    streams.out << "Backed up " << contactCount(contacts) << " from " << book << " to " << copy
                << "\n";
    return 0;
}

int check(const Invocation& invocation, Streams streams) {
    const QStringList problems = address_book_check::findProblems(invocation.paths.at(0));
    if (problems.isEmpty()) {
        streams.out << "ok\n";
        return 0;
    }
    for (const QString& problem : problems)
        streams.out << problem << "\n";
    return 1;
}

std::vector<Command> commands(const AccessImporter& importer) {
    return {
        {"create", 1, {}, {}, create},
        {"import",
         2,
         {QStringLiteral("--progress"), QStringLiteral("--salvage"), QStringLiteral("--add"),
          QStringLiteral("--csv")},
         {},
         [&importer](const Invocation& invocation, Streams streams) {
             return importContacts(importer, invocation, streams);
         }},
        {"export", 1, {QStringLiteral("--csv"), QStringLiteral("--vcard")}, {}, exportContacts},
        {"check", 1, {}, {}, check},
        {"query", 2, {}, {}, query, 3},
        {"backup", 2, {}, {}, backup},
    };
}

bool asksForHelp(const QStringList& arguments) {
    const QStringList options = arguments.mid(0, arguments.indexOf(QLatin1String("--")));
    return options.contains(QLatin1String("--help")) || options.contains(QLatin1String("-h"));
}

} // namespace

int runDbTool(const QStringList& arguments, QTextStream& out, QTextStream& err,
              const AccessImporter& importAccess) {
    if (arguments.isEmpty())
        return usageError(err, QStringLiteral("no command given"));
    if (asksForHelp(arguments)) {
        out << kUsage;
        return 0;
    }
    const QString name = arguments.first();
    for (const Command& command : commands(importAccess)) {
        if (name != QLatin1String(command.name))
            continue;
        const Invocation invocation = split(arguments.mid(1));
        const QString problem = misuse(command, invocation);
        if (!problem.isEmpty())
            return usageError(err, problem);
        try {
            const int code = command.run(invocation, Streams{out, err});
            written_output::finish(out);
            return code;
        } catch (const StoreError& error) {
            out.flush();
            err << "tessaline-db: " << error.description() << "\n";
            return command.failureCode;
        }
    }
    return usageError(err, QStringLiteral("unknown command \"%1\"").arg(name));
}
