#pragma once

#include "about/sysinfo.h"
#include "shell/services.h"
#include "stored_rows.h"

#include <QDate>
#include <QList>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>
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

// A machine on which no system-information tool is registered.
class AbsentSysInfo final : public SysInfoPlatform {
  public:
    long RegOpenKeyEx(std::uint32_t, const QByteArray&, std::uint32_t, std::uint32_t,
                      KeyHandle&) override {
        return registry::kErrorFileNotFound;
    }
    long RegQueryValueEx(KeyHandle, const QByteArray&, std::uint32_t&, std::span<char>,
                         std::uint32_t&) override {
        return registry::kErrorFileNotFound;
    }
    long RegCloseKey(KeyHandle) override { return registry::kErrorInvalidHandle; }
    QString fileExists(const QString&) override { return {}; }
    void launch(const QString&) override { ++launches; }
    int launches = 0;
};

// Everything a window test needs: an application directory in a temporary folder holding a real
// address book, scripted message boxes, a fixed clock and a recorded end of the program.
class TestServices {
  public:
    TestServices();
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
    AbsentSysInfo sysInfo;
};
