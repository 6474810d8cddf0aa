#pragma once

#include "store/date_stamp.h"

#include <QString>
#include <functional>

// The modal message box, answered by a person in the program and by a script in tests.
class MessageBoxes {
  public:
    enum class Icon { None, Warning };
    virtual ~MessageBoxes() = default;
    // Shows text with an OK button and waits until it is closed.
    virtual void inform(const QString& text, const QString& title, Icon icon) = 0;
};

// Ending the program: immediate, nothing pending is stored.
class ProgramEnd {
  public:
    virtual ~ProgramEnd() = default;
    virtual void endProgram() = 0;
};

// The application object: title, version and the folder of the executable.
struct AppInfo {
    QString title;
    int major = 0;
    int minor = 0;
    int revision = 0;
    std::function<QString()> directory; // read afresh on each use
};

class SysInfoPlatform;

// What the windows need from the world outside them; the program passes the real ones and the
// tests their own.
struct Services {
    MessageBoxes& messages;
    const Clock& clock;
    ProgramEnd& programEnd;
    SysInfoPlatform& sysInfo;
    AppInfo app;
};

// The title and version the build defines.
AppInfo buildAppInfo();
