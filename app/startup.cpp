#include "app/startup.h"

#include "about/sysinfo.h"
#include "app/main_menu.h"
#include "app/program_windows.h"
#include "shell/layout.h"

#include <QApplication>
#include <QMessageBox>

namespace {

class DesktopMessageBoxes final : public MessageBoxes {
  public:
    void inform(const QString& text, const QString& title, Icon icon) override {
        QMessageBox box(icon == Icon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon, title,
                        text, QMessageBox::Ok);
        box.exec();
    }
};

class ApplicationEnd final : public ProgramEnd {
  public:
    void endProgram() override { QCoreApplication::exit(0); }
};

} // namespace

struct DesktopServices::Parts {
    DesktopMessageBoxes messages;
    SystemClock clock;
    ApplicationEnd programEnd;
    DesktopSysInfo sysInfo;
};

DesktopServices::DesktopServices() : parts_(std::make_unique<Parts>()) {}

DesktopServices::~DesktopServices() = default;

Services DesktopServices::services() {
    return Services{parts_->messages, parts_->clock, parts_->programEnd, parts_->sysInfo,
                    buildAppInfo()};
}

void configureApplication(QApplication& application) {
    // The name only: a display name would be added to every window's title by the window system,
    // and message boxes carry the title they are given.
    application.setApplicationName(buildAppInfo().title);
    // The main menu's frame, not the last window closing, decides when the program ends.
    application.setQuitOnLastWindowClosed(false);
    QApplication::setFont(dialogFont());
}

int runTessaline(QApplication& application) {
    configureApplication(application);
    DesktopServices desktop;
    ProgramWindows windows(desktop.services());
    windows.menu().Show();
    return application.exec();
}
