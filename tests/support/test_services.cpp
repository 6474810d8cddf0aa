#include "test_services.h"

#include "shell/startup.h"
#include "store/contact_table.h"
#include "store/sqlite_db.h"

#include <QApplication>

void ScriptedMessageBoxes::inform(const QString& text, const QString& title, Icon icon) {
    shown.append({text, title, icon});
    if (whileOpen)
        whileOpen(shown.last());
}

QStringList ScriptedMessageBoxes::texts() const {
    QStringList result;
    for (const auto& box : shown)
        result << box.text;
    return result;
}

TestServices::TestServices() {
    // The application set up as the program sets it up: its name and its font.
    if (auto* application = qobject_cast<QApplication*>(QCoreApplication::instance()))
        configureApplication(*application);
    contact_table::createAddressBook(databasePath());
}

Services TestServices::services() {
    AppInfo app = buildAppInfo();
    const QString directory = dir.path();
    app.directory = [directory] { return directory; };
    return Services{messages, clock, programEnd, sysInfo, app};
}

QString TestServices::databasePath() const {
    return contact_table::databasePath(dir.path());
}

QList<StoredRow> TestServices::storedRows(const QString& book) const {
    Database db = contact_table::openAddressBook(book.isEmpty() ? databasePath() : book);
    Statement select(db, R"(SELECT "Name", "Surname", "phone", "fax", "address", "email", "url",
                            "other", "created on", "modified on" FROM address ORDER BY rowid)");
    QList<StoredRow> rows;
    while (select.step()) {
        StoredRow values;
        for (int i = 0; i < contact_table::kColumnCount; ++i)
            values << select.value(i);
        rows << values;
    }
    return rows;
}

void TestServices::insertRow(const StoredRow& values) {
    Database db = contact_table::openAddressBook(databasePath());
    Statement insert(db, R"(INSERT INTO address VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?))");
    for (int i = 0; i < contact_table::kColumnCount; ++i)
        insert.bind(i + 1, i < values.size() ? values[i] : QVariant());
    insert.run();
}

StoredRow row(std::initializer_list<QVariant> leading) {
    StoredRow values(leading);
    while (values.size() < contact_table::kColumnCount)
        values << QVariant();
    return values;
}
