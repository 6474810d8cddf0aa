#include "db_tool.h"

#include "contact_table.h"
#include "store_error.h"

namespace {

const char* const kUsage =
    "Usage: tessaline-db create PATH\n"
    "  create PATH   make an empty address book at PATH (never overwrites)\n";

int usage(QTextStream& err) {
    err << kUsage;
    return 2;
}

int create(const QStringList& arguments, QTextStream& out) {
    contact_table::createAddressBook(arguments.at(0));
    out << "Created an empty address book at " << arguments.at(0) << "\n";
    return 0;
}

} // namespace

int runDbTool(const QStringList& arguments, QTextStream& out, QTextStream& err) {
    if (arguments.isEmpty())
        return usage(err);
    const QString command = arguments.first();
    const QStringList rest = arguments.mid(1);
    if (command == QLatin1String("--help") || command == QLatin1String("-h")) {
        out << kUsage;
        return 0;
    }
    try {
        if (command == QLatin1String("create") && rest.size() == 1)
            return create(rest, out);
    } catch (const StoreError& error) {
        err << "tessaline-db: " << error.description() << "\n";
        return 1;
    }
    return usage(err);
}
