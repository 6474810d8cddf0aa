#pragma once

#include "shell/services.h"
#include "support/fake_registry.h"
#include "support/test_book.h"

#include <QDate>
#include <QList>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>

// A message box that records what it was asked to show and is closed at once. A test may answer
// a box with an action run while it is "open".
class ScriptedMessageBoxes final : public MessageBoxes {
  public:
    struct Shown {
        QString text;
        QString title;
        Icon icon;
    };
    void inform(const QString& text, const QString& title, Icon icon) override;
    QList<Shown> shown;
    std::function<void(const Shown&)> whileOpen;
    QStringList texts() const;
};

class RecordingProgramEnd final : public ProgramEnd {
  public:
    void endProgram() override { ++ended; }
    int ended = 0;
};

// Everything a window test needs: the test book, scripted message boxes, a fixed clock, a recorded
// end of the program and a scripted registry in which no system-information tool is registered
// until a test adds one.
class TestServices : public TestBook {
  public:
    TestServices();
    // What the windows are built on; a test may change `app` or `platform` before that.
    Services services();

    ScriptedMessageBoxes messages;
    FixedClock clock{QDate(2026, 12, 7)};
    RecordingProgramEnd programEnd;
    FakeRegistry sysInfo;
    // The registry and launcher the windows use: `sysInfo` unless a test hands in another.
    SysInfoPlatform* platform = &sysInfo;
    // The title and version the build defines, with `dir` as the executable's folder.
    AppInfo app;
};
