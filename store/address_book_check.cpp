#include "store/address_book_check.h"

#include "store/contact_table.h"
#include "store/sqlite_db.h"
#include "store/store_error.h"

#include <sqlite3.h>

namespace address_book_check {

// A handful of the findings: one damaged page easily yields a hundred.
QStringList damageFound(const Database& db, Depth depth) {
    constexpr qsizetype kShown = 10;
    QStringList findings;
    Statement check(db, depth == Depth::Quick ? "PRAGMA quick_check" : "PRAGMA integrity_check");
    while (check.step())
        for (const QString& line : check.text(0).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            if (line != QLatin1String("ok") && !line.startsWith(QLatin1String("***")))
                findings << line;
    QStringList problems;
    for (const QString& finding : findings.mid(0, kShown))
        problems << QStringLiteral("Damaged: %1").arg(finding);
    if (findings.size() > kShown)
        problems << QStringLiteral("Damaged: %1 more finding(s) like these.")
                        .arg(findings.size() - kShown);
    return problems;
}

namespace {

QStringList columnProblems(const QStringList& present) {
    QStringList problems;
    const QStringList expected = contact_table::columnNames();
    for (const QString& column : expected)
        if (!present.contains(column))
            problems
                << QStringLiteral("The table \"address\" lacks the column %1.").arg(quoted(column));
    for (const QString& column : present)
        if (!expected.contains(column))
            problems << QStringLiteral("The table \"address\" has a column of no use to "
                                       "Tessaline: %1.")
                            .arg(quoted(column));
    if (problems.isEmpty() && present != expected)
        problems << QStringLiteral("The columns of \"address\" are not in their order: %1.")
                        .arg(present.join(QStringLiteral(", ")));
    return problems;
}

// A searched column has an index of its own that compares without regard to case.
QStringList indexProblems(const Database& db, contact_table::Column indexed) {
    const QString name = contact_table::indexName(indexed);
    const QString column = QString::fromLatin1(contact_table::storedName(indexed));
    Statement list(db, "SELECT \"unique\", partial FROM pragma_index_list('address') "
                       "WHERE name = ?1");
    list.bindText(1, name);
    if (!list.step())
        return {QStringLiteral("The index %1 on %2 is missing.").arg(quoted(name), quoted(column))};

    QStringList problems;
    if (list.integer(0) != 0)
        problems << QStringLiteral("The index %1 refuses duplicates; two contacts may share a "
                                   "value.")
                        .arg(quoted(name));
    if (list.integer(1) != 0)
        problems << QStringLiteral("The index %1 covers only some rows.").arg(quoted(name));

    Statement keys(db, "SELECT name, coll FROM pragma_index_xinfo(?1) WHERE key = 1");
    keys.bindText(1, name);
    QStringList keyColumns;
    QString collation;
    while (keys.step()) {
        keyColumns << keys.text(0);
        collation = keys.text(1);
    }
    if (keyColumns != QStringList{column})
        problems << QStringLiteral("The index %1 is on %2 instead of %3.")
                        .arg(quoted(name), keyColumns.join(QStringLiteral(", ")), quoted(column));
    else if (collation != QLatin1String(contact_table::kCollation))
        problems << QStringLiteral("The index %1 compares with %2 instead of %3.")
                        .arg(quoted(name), collation, QLatin1String(contact_table::kCollation));
    return problems;
}

std::int64_t pragmaNumber(const Database& db, const char* pragma) {
    Statement read(db, pragma);
    return read.step() ? read.integer(0) : 0;
}

QStringList headerProblems(const Database& db) {
    QStringList problems;
    const std::int64_t applicationId = pragmaNumber(db, "PRAGMA application_id");
    if (applicationId != contact_table::kApplicationId)
        problems << QStringLiteral("The application id is 0x%1 instead of 0x%2.")
                        .arg(applicationId, 8, 16, QLatin1Char('0'))
                        .arg(contact_table::kApplicationId, 8, 16, QLatin1Char('0'));
    const std::int64_t version = pragmaNumber(db, "PRAGMA user_version");
    if (version != contact_table::kSchemaVersion)
        problems << QStringLiteral("The schema version is %1 instead of %2.")
                        .arg(version)
                        .arg(contact_table::kSchemaVersion);
    return problems;
}

} // namespace

QStringList findProblems(const QString& path) {
    try {
        contact_table::checkIsSqliteFile(path);
        Database db(path, Database::Mode::ReadWrite);
        contact_table::registerCollation(db.handle());
        sqlite3_busy_timeout(db.handle(), contact_table::kBusyTimeoutMs);
        QStringList problems = damageFound(db, Depth::Full);
        problems << headerProblems(db);
        const QStringList columns = contact_table::presentColumns(db);
        if (columns.isEmpty())
            return problems << QStringLiteral("There is no table \"address\".");
        problems << columnProblems(columns);
        for (const contact_table::ColumnDescription& description : contact_table::kSchema)
            if (description.indexed)
                problems << indexProblems(db, description.column);
        return problems;
    } catch (const StoreError& error) {
        return {error.description()};
    }
}

} // namespace address_book_check
