#include "support/test_services.h"

#include "app/startup.h"
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

TestServices::TestServices() : app(buildAppInfo()) {
    // The application set up as the program sets it up: its name and its font.
    if (auto* application = qobject_cast<QApplication*>(QCoreApplication::instance()))
        configureApplication(*application);
    contact_table::createAddressBook(databasePath());
    app.directory = [directory = dir.path()] { return directory; };
}

Services TestServices::services() {
    return Services{messages, clock, programEnd, *platform, app};
}

QString TestServices::databasePath() const {
    return contact_table::databasePath(dir.path());
}

QList<StoredRow> TestServices::storedRows(const QString& book) const {
    return rowsIn(book.isEmpty() ? databasePath() : book);
}

void TestServices::insertRow(const StoredRow& values) {
    insertRows(databasePath(), {values});
}
