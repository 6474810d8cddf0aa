#pragma once

#include "shell/services.h"
#include "support/fake_registry.h"
#include "support/stored_rows.h"

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

class FixedClock final : public Clock {
  public:
    explicit FixedClock(QDate date) : date(date) {}
    QDate today() const override { return date; }
    QDate date;
};

class RecordingProgramEnd final : public ProgramEnd {
  public:
    void endProgram() override { ++ended; }
    int ended = 0;
};

// Everything a window test needs: an application directory in a temporary folder holding a real
// address book, scripted message boxes, a fixed clock, a recorded end of the program and a
// scripted registry in which no system-information tool is registered until a test adds one.
class TestServices {
  public:
    TestServices();
    // What the windows are built on; a test may change `app` or `platform` before that.
    Services services();
    QString applicationDirectory() const { return dir.path(); }
    QString databasePath() const;

    // Rows of the table in rowid order; of the address book, or of another book (a copy of it).
    QList<StoredRow> storedRows(const QString& book = {}) const;
    // Inserts a row directly (values in the table's column order, NULL for invalid QVariants).
    void insertRow(const StoredRow& values);

    QTemporaryDir dir;
    ScriptedMessageBoxes messages;
    FixedClock clock{QDate(2026, 12, 7)};
    RecordingProgramEnd programEnd;
    FakeRegistry sysInfo;
    // The registry and launcher the windows use: `sysInfo` unless a test hands in another.
    SysInfoPlatform* platform = &sysInfo;
    // The title and version the build defines, with `dir` as the executable's folder.
    AppInfo app;
};
