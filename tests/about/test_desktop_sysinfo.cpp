// The desktop's stand-in for the registry: the two system-information keys answered from the
// programs installed, read access only, and the real file test and process launch.

#include "about/about_window.h"
#include "about/sysinfo.h"
#include "support/running_program.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <array>

namespace {

using Handle = SysInfoPlatform::KeyHandle;
const QString kUnavailable = QStringLiteral("System Information Is Unavailable At This Time");

// A folder of programs; a program writes a file beside itself when it runs.
struct ToolFolder {
    QTemporaryDir dir;

    QString add(const QString& name) {
        const QString path = dir.filePath(name);
        QFile script(path);
        if (!script.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(path));
        script.write("#!/bin/sh\ntouch \"$0.ran\"\n");
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }
    static bool ran(const QString& path) { return QFile::exists(path + QStringLiteral(".ran")); }
};

struct Read {
    long status = registry::kErrorSuccess;
    std::uint32_t type = 0;
    std::uint32_t byteCount = registry::kBufferSize;
    QByteArray data;
};

Read readValue(DesktopSysInfo& desktop, Handle key, const QByteArray& name,
               std::uint32_t room = registry::kBufferSize) {
    std::array<char, registry::kBufferSize> buffer{};
    Read read;
    read.byteCount = room;
    read.status = desktop.RegQueryValueEx(key, name, read.type, buffer, read.byteCount);
    if (read.status == registry::kErrorSuccess)
        read.data = QByteArray(buffer.data(), read.byteCount);
    return read;
}

long openKey(DesktopSysInfo& desktop, const QByteArray& path, Handle& key,
             std::uint32_t mask = registry::kKeyRead,
             std::uint32_t root = registry::kHKeyLocalMachine) {
    return desktop.RegOpenKeyEx(root, path, 0, mask, key);
}

} // namespace

class TestDesktopSysInfo : public QObject {
    Q_OBJECT
  private slots:
    void installedToolAnswersBothKeys() {
        ToolFolder tools;
        const QString tool = tools.add(QStringLiteral("kinfocenter"));
        DesktopSysInfo desktop({QStringLiteral("hardinfo"), QStringLiteral("kinfocenter")},
                               {tools.dir.path()});

        Handle toolKey = 0;
        QCOMPARE(openKey(desktop, registry::kSysInfoKey, toolKey), registry::kErrorSuccess);
        const Read path = readValue(desktop, toolKey, "PATH");
        QCOMPARE(path.status, registry::kErrorSuccess);
        QCOMPARE(path.type, registry::kRegSz);
        QCOMPARE(path.data, tool.toLocal8Bit() + '\0');
        QCOMPARE(path.byteCount, std::uint32_t(tool.toLocal8Bit().size() + 1));
        QCOMPARE(desktop.RegCloseKey(toolKey), registry::kErrorSuccess);

        Handle folderKey = 0;
        QCOMPARE(openKey(desktop, registry::kSysInfoLocationKey, folderKey),
                 registry::kErrorSuccess);
        QCOMPARE(readValue(desktop, folderKey, "MSINFO").data,
                 tools.dir.path().toLocal8Bit() + '\0');
        QCOMPARE(desktop.RegCloseKey(folderKey), registry::kErrorSuccess);
    }

    void firstInstalledToolOfTheListIsNamed() {
        ToolFolder tools;
        tools.add(QStringLiteral("lshw-gtk"));
        const QString preferred = tools.add(QStringLiteral("hardinfo"));
        DesktopSysInfo desktop({QStringLiteral("hardinfo"), QStringLiteral("lshw-gtk")},
                               {tools.dir.path()});
        Handle key = 0;
        QCOMPARE(openKey(desktop, registry::kSysInfoKey, key), registry::kErrorSuccess);
        QCOMPARE(readValue(desktop, key, "PATH").data, preferred.toLocal8Bit() + '\0');
    }

    void withoutAToolBothKeysAreAbsent() {
        ToolFolder tools;
        DesktopSysInfo desktop({QStringLiteral("hardinfo")}, {tools.dir.path()});
        Handle key = 0;
        QCOMPARE(openKey(desktop, registry::kSysInfoKey, key), registry::kErrorFileNotFound);
        QCOMPARE(openKey(desktop, registry::kSysInfoLocationKey, key),
                 registry::kErrorFileNotFound);
        QCOMPARE(key, Handle(0));
    }

    // Only the two keys answer, under any letter case, and only for reading.
    void otherKeysValuesAndRootsAreAbsent() {
        ToolFolder tools;
        const QString tool = tools.add(QStringLiteral("hardinfo"));
        DesktopSysInfo desktop({QStringLiteral("hardinfo")}, {tools.dir.path()});
        Handle key = 0;
        QCOMPARE(openKey(desktop, registry::kSysInfoKey, key, 0x2003F),
                 registry::kErrorAccessDenied);
        QCOMPARE(key, Handle(0));
        QCOMPARE(openKey(desktop, "software\\microsoft\\shared tools\\msinfo", key),
                 registry::kErrorSuccess);
        QCOMPARE(readValue(desktop, key, "path").status, registry::kErrorSuccess);
        // Too little room: the length needed is reported.
        const Read read = readValue(desktop, key, "PATH", 4);
        QCOMPARE(read.status, registry::kErrorMoreData);
        QCOMPARE(read.byteCount, std::uint32_t(tool.toLocal8Bit().size() + 1));
        QCOMPARE(openKey(desktop, "SOFTWARE\\Microsoft\\Windows", key),
                 registry::kErrorFileNotFound);
        const std::uint32_t currentUser = 0x80000001u;
        QCOMPARE(openKey(desktop, registry::kSysInfoKey, key, registry::kKeyRead, currentUser),
                 registry::kErrorFileNotFound);
        QCOMPARE(openKey(desktop, registry::kSysInfoKey, key), registry::kErrorSuccess);
        QCOMPARE(readValue(desktop, key, "MSINFO").status, registry::kErrorFileNotFound);
        QCOMPARE(readValue(desktop, Handle(99), "PATH").status, registry::kErrorInvalidHandle);
        QCOMPARE(desktop.RegCloseKey(0), registry::kErrorInvalidHandle);
    }

    void fileTestNamesNormalFilesOnly() {
        ToolFolder tools;
        const QString tool = tools.add(QStringLiteral("MSINFO32.EXE"));
        DesktopSysInfo desktop;
        QCOMPARE(desktop.fileExists(tool), QStringLiteral("MSINFO32.EXE"));
        QCOMPARE(desktop.fileExists(tools.dir.path()), QString());
        QCOMPARE(desktop.fileExists(tools.dir.filePath(QStringLiteral("absent"))), QString());
        QCOMPARE(desktop.fileExists(QString()), QString());
    }

    void launchThatCannotStartIsAnError() {
        ToolFolder tools;
        DesktopSysInfo desktop;
        QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                 desktop.launch(tools.dir.filePath(QStringLiteral("absent"))));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, desktop.launch(QString()));
    }

    // The about window's button on this desktop.

    void buttonStartsTheInstalledToolOrTellsTheUser() {
        ToolFolder tools;
        DesktopSysInfo desktop({QStringLiteral("hardinfo2")}, {tools.dir.path()});
        RunningProgram program({}, [&desktop](TestServices& test) { test.platform = &desktop; });
        program.about().Show();
        QTest::mouseClick(program.about().sysInfoButton, Qt::LeftButton);
        QCOMPARE(program.test.messages.texts(), QStringList{kUnavailable});
        QCOMPARE(program.test.messages.shown.first().title, QStringLiteral("Tessaline"));

        // Installed meanwhile: the next click starts it, without waiting for it.
        const QString tool = tools.add(QStringLiteral("hardinfo2"));
        QTest::mouseClick(program.about().sysInfoButton, Qt::LeftButton);
        QTRY_VERIFY(ToolFolder::ran(tool));
        QCOMPARE(program.test.messages.shown.size(), 1);
    }
};

QTEST_MAIN(TestDesktopSysInfo)
#include "test_desktop_sysinfo.moc"
