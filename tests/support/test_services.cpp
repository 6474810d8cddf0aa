#include "support/test_services.h"

#include "app/startup.h"

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
    app.directory = [directory = dir.path()] { return directory; };
}

Services TestServices::services() {
    return Services{messages, clock, programEnd, *platform, app};
}
