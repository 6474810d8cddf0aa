#include "tool/db_tool.h"

#include "exchange/access_import.h"
#include "exchange/contact_import.h"
#include "exchange/csv_export.h"
#include "exchange/csv_import.h"
#include "exchange/vcard_export.h"
#include "exchange/vcard_import.h"
#include "store/address_book_check.h"
#include "store/contact_table.h"
#include "store/store_error.h"
#include "store/written_output.h"
#include "tool/book_backup.h"
#include "tool/command_line.h"
#include "tool/contact_query.h"
#include "tool/import_report.h"
#include "tool/progress_bar.h"
#include "tool/sync_command.h"

#include <functional>
#include <vector>

namespace {

struct Streams {
    QTextStream& out;
    QTextStream& err;
};

struct Command {
    CommandSyntax syntax;
    std::function<int(const CommandLine&, Streams)> run;
    // query's 1 means "no match" to mail programs, so its failures need a code of their own.
    int failureCode = 1;
};

const char* const kCreateUsage =
    "  create PATH                   make an empty address book at PATH (never overwrites)\n";
const char* const kImportUsage =
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
    "                                5 seconds for a book another program is storing into\n";
const char* const kExportUsage =
    "  export --csv PATH             write every contact of the address book PATH to standard\n"
    "                                output as CSV (RFC 4180, UTF-8, CRLF line ends, a header\n"
    "                                line of the column names); an empty field is a missing\n"
    "                                value (NULL), while \"\" is an empty text\n"
    "  export --vcard PATH           write every contact of PATH to standard output as vCard\n"
    "                                4.0 (RFC 6350, UTF-8, CRLF); importing the file gives\n"
    "                                every column back exactly\n";
const char* const kCheckUsage =
    "  check PATH                    check that PATH is a sound address book: the file, the\n"
    "                                table, its columns and indexes; prints \"ok\" or what is\n"
    "                                wrong\n";
const char* const kQueryUsage =
    "  query BOOK TEXT               for mail programs (mutt's query_command): a message line,\n"
    "                                then \"address<TAB>name<TAB>phone\" for every contact with\n"
    "                                an e-mail address whose name, surname or e-mail holds\n"
    "                                TEXT, without regard to case or accents; exit code 1 when\n"
    "                                none does\n";
const char* const kBackupUsage =
    "  backup BOOK COPY              a consistent copy of BOOK at COPY (never overwrites), safe\n"
    "                                while the program has BOOK open\n";

int usageError(QTextStream& err, const QString& problem, const QString& usage) {
    err << "tessaline-db: " << problem << "\n\n" << usage;
    return 2;
}

int create(const CommandLine& invocation, Streams streams) {
    const QString& path = invocation.operands.at(0);
    contact_table::createAddressBook(path);
    streams.out << "Created an empty address book at " << path << "\n";
    return 0;
}

// The reader of the source: CSV when --csv says so, else vCard when its first line says so, else
// an old Access file, whose reader refuses anything else. Being added, a file that is none of
// them is refused before the Access reader looks at it.
contact_import::ContactReader readerOf(const QString& source, const CommandLine& invocation,
                                       ImportMode mode) {
    if (invocation.has("csv"))
        return csv_import::readFile;
    if (vcard_import::isVCardFile(source))
        return vcard_import::readFile;
    if (invocation.has("add") && !contact_table::looksLikeAccessFile(source))
        throw StoreError(contact_table::unknownFormat(source));
    return access_import::reader(source, mode);
}

int importContacts(const CommandLine& invocation, Streams streams) {
    const QString& source = invocation.operands.at(0);
    const QString& target = invocation.operands.at(1);
    const ImportMode mode =
        invocation.has("salvage") ? ImportMode::Salvage : ImportMode::AllOrNothing;
    const bool add = invocation.has("add");
    // The book to add to is looked at before any source is read.
    if (add)
        contact_table::checkIsSqliteFile(target);
    const ImportSummary summary = withProgressBar(
        invocation.has("progress"), streams.err, [&](const ImportProgress& progress) {
            const contact_import::ContactReader read = readerOf(source, invocation, mode);
            return add ? contact_import::intoBook(read, source, target, progress)
                       : contact_import::intoNewBook(read, source, target, progress);
        });
    import_report::write(summary, source, target, add, streams.out);
    return 0;
}

// Exactly one of --csv and --vcard names the format.
int exportContacts(const CommandLine& invocation, Streams streams) {
    const bool csv = invocation.has("csv");
    if (csv == invocation.has("vcard"))
        throw UsageError{QStringLiteral("export needs one of --csv and --vcard")};
    const Database db = contact_table::openAddressBook(invocation.operands.at(0));
    if (csv)
        csv_export::writeContacts(db, streams.out);
    else
        vcard_export::writeContacts(db, streams.out);
    streams.out.flush();
    return 0;
}

int query(const CommandLine& invocation, Streams streams) {
    return contact_query::writeMatches(invocation.operands.at(0), invocation.operands.at(1),
                                       streams.out);
}

int backup(const CommandLine& invocation, Streams streams) {
    const QString& book = invocation.operands.at(0);
    const QString& copy = invocation.operands.at(1);
    const qint64 contacts = book_backup::copyBook(book, copy);
    streams.out << "Backed up " << import_report::contactCount(contacts) << " from " << book
                << " to " << copy << "\n";
    return 0;
}

int syncBook(const CommandLine& invocation, Streams streams) {
    return sync_command::run(invocation, streams.out, streams.err);
}

int check(const CommandLine& invocation, Streams streams) {
    const QStringList problems = address_book_check::findProblems(invocation.operands.at(0));
    if (problems.isEmpty()) {
        streams.out << "ok\n";
        return 0;
    }
    for (const QString& problem : problems)
        streams.out << problem << "\n";
    return 1;
}

std::vector<Command> commands() {
    return {
        {{"create", {}, 1, kCreateUsage}, create},
        {{"import",
          {QStringLiteral("progress"), QStringLiteral("salvage"), QStringLiteral("add"),
           QStringLiteral("csv")},
          2,
          kImportUsage},
         importContacts},
        {{"export", {QStringLiteral("csv"), QStringLiteral("vcard")}, 1, kExportUsage},
         exportContacts},
        {{"check", {}, 1, kCheckUsage}, check},
        {{"query", {}, 2, kQueryUsage}, query, 3},
        {{"backup", {}, 2, kBackupUsage}, backup},
        {{"sync", sync_command::kOptions, 1, sync_command::kUsage, 1}, syncBook},
    };
}

QString usageOfAll(const std::vector<Command>& all) {
    std::vector<CommandSyntax> syntaxes;
    for (const Command& command : all)
        syntaxes.push_back(command.syntax);
    return usageText(syntaxes);
}

// Runs the command; its failures are told on standard error.
int run(const Command& command, const QStringList& words, Streams streams, const QString& usage) {
    try {
        const CommandLine line = parseCommandLine(command.syntax, words);
        if (line.helpAsked) {
            streams.out << commandUsageText(command.syntax);
            return 0;
        }
        const int code = command.run(line, streams);
        written_output::finish(streams.out);
        return code;
    } catch (const UsageError& error) {
        return usageError(streams.err, error.problem, usage);
    } catch (const StoreError& error) {
        streams.out.flush();
        streams.err << "tessaline-db: " << error.description() << "\n";
        return command.failureCode;
    }
}

} // namespace

int runDbTool(const QStringList& arguments, QTextStream& out, QTextStream& err) {
    const std::vector<Command> all = commands();
    const QString usage = usageOfAll(all);
    if (arguments.isEmpty())
        return usageError(err, QStringLiteral("no command given"), usage);
    const QString& name = arguments.first();
    if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
        out << usage;
        return 0;
    }
    for (const Command& command : all)
        if (name == QLatin1String(command.syntax.name))
            return run(command, arguments.mid(1), Streams{out, err}, usage);
    return usageError(err, QStringLiteral("unknown command \"%1\"").arg(name), usage);
}
