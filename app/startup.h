#pragma once

#include "shell/services.h"

#include <memory>

class QApplication;

// The services of the real program: desktop message boxes, the system clock, the end of the
// event loop and the operating system's system-information tool.
class DesktopServices {
  public:
    DesktopServices();
    ~DesktopServices();
    Services services();

  private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

// The application's name, font and way of ending, as the program runs with them.
void configureApplication(QApplication& application);

// Starts the program: the main menu is loaded (its load step runs) and shown.
int runTessaline(QApplication& application);
