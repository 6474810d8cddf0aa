// The "System Info..." button against a scripted registry: which keys are read in which order,
// what is launched, when the user is told the tool is unavailable, and that every opened key is
// closed again.

#include "about/frm_about.h"
#include "fake_registry.h"
#include "test_services.h"

#include <QDir>
#include <QPushButton>
#include <QTest>

namespace {

const QString kUnavailable = QStringLiteral("System Information Is Unavailable At This Time");
const QByteArray kToolKey = registry::kSysInfoKey;
const QByteArray kLocationKey = registry::kSysInfoLocationKey;
const QString kMsInfo = QDir::separator() + QStringLiteral("MSINFO32.EXE");

Services withRegistry(TestServices& test, SysInfoPlatform& platform) {
    const Services services = test.services();
    return Services{services.messages, services.clock, services.programEnd, platform, services.app};
}

// The program with a scripted registry, its about window open.
struct Machine {
    TestServices test;
    FakeRegistry registry;
    WindowModel windows{withRegistry(test, registry)};

    frmAbout& about() { return windows.about(); }
    void clickSysInfo() {
        about().Show();
        QTest::mouseClick(about().cmdSysInfo, Qt::LeftButton);
    }
    QStringList messages() const { return test.messages.texts(); }
};

} // namespace

class TestSysInfoLauncher : public QObject {
    Q_OBJECT
  private slots:
    void bothKeysAbsentTellsTheUserAndLaunchesNothing() {
        Machine machine;
        machine.clickSysInfo();

        QCOMPARE(machine.messages(), QStringList{kUnavailable});
        const auto& box = machine.test.messages.shown.first();
        QCOMPARE(box.title, QStringLiteral("Tessaline"));
        QCOMPARE(box.icon, MessageBoxes::Icon::None);
        QVERIFY(machine.registry.launches.isEmpty());
        QCOMPARE(machine.registry.openedPaths(), (QByteArrayList{kToolKey, kLocationKey}));
        QVERIFY(machine.registry.queries.isEmpty());
        // Each look-up closes its key, though neither was opened.
        QCOMPARE(machine.registry.closes, (QList<SysInfoPlatform::KeyHandle>{0, 0}));
        QVERIFY(machine.about().isVisible());
    }

    void keysAreOpenedUnderTheMachineRootForReadingOnly() {
        Machine machine;
        machine.clickSysInfo();

        QCOMPARE(machine.registry.opens.size(), 2);
        for (const FakeRegistry::Open& open : machine.registry.opens) {
            QCOMPARE(open.root, 0x80000002u);
            QCOMPARE(open.options, 0u);
            QCOMPARE(open.accessMask, 0x20019u);
        }
    }

    void registeredPathIsLaunchedAndTheFolderNeverRead() {
        Machine machine;
        machine.registry.toolPath("/opt/tools/sysinfo");
        machine.registry.toolFolder("/opt/elsewhere");
        machine.clickSysInfo();

        QCOMPARE(machine.registry.launches, QStringList{QStringLiteral("/opt/tools/sysinfo")});
        QVERIFY(machine.messages().isEmpty());
        QCOMPARE(machine.registry.openedPaths(), QByteArrayList{kToolKey});
        QCOMPARE(machine.registry.queries.size(), 1);
        QCOMPARE(machine.registry.queries.first().valueName, QByteArray("PATH"));
        QCOMPARE(machine.registry.queries.first().roomGiven, 1024u);
        QCOMPARE(machine.registry.closes,
                 QList<SysInfoPlatform::KeyHandle>{machine.registry.handleOf(kToolKey)});
    }

    void folderHoldingTheToolLaunchesItFromThere() {
        Machine machine;
        machine.registry.toolFolder("/opt/msinfo");
        machine.registry.files << QStringLiteral("/opt/msinfo") + kMsInfo;
        machine.clickSysInfo();

        QCOMPARE(machine.registry.fileTests, QStringList{QStringLiteral("/opt/msinfo") + kMsInfo});
        QCOMPARE(machine.registry.launches, QStringList{QStringLiteral("/opt/msinfo") + kMsInfo});
        QVERIFY(machine.messages().isEmpty());
        QCOMPARE(machine.registry.queries.last().valueName, QByteArray("MSINFO"));
        QCOMPARE(machine.registry.closes,
                 (QList<SysInfoPlatform::KeyHandle>{0, machine.registry.handleOf(kLocationKey)}));
    }

    void folderWithoutTheToolTellsTheUser() {
        Machine machine;
        machine.registry.toolFolder("/opt/msinfo");
        machine.clickSysInfo();

        QCOMPARE(machine.registry.fileTests, QStringList{QStringLiteral("/opt/msinfo") + kMsInfo});
        QVERIFY(machine.registry.launches.isEmpty());
        QCOMPARE(machine.messages(), QStringList{kUnavailable});
        QCOMPARE(machine.registry.closes,
                 (QList<SysInfoPlatform::KeyHandle>{0, machine.registry.handleOf(kLocationKey)}));
    }

    void folderEndingInASeparatorGetsASecondOne() {
        Machine machine;
        const QString folder = QStringLiteral("/opt/msinfo") + QDir::separator();
        machine.registry.toolFolder(folder.toLocal8Bit());
        machine.registry.files << folder + kMsInfo;
        machine.clickSysInfo();

        QCOMPARE(machine.registry.fileTests, QStringList{folder + kMsInfo});
        QCOMPARE(machine.registry.launches, QStringList{folder + kMsInfo});
        QVERIFY(machine.registry.launches.first().contains(QString(QDir::separator()).repeated(2)));
        QVERIFY(machine.messages().isEmpty());
    }

    void emptyRegisteredPathCannotBeLaunched() {
        Machine machine;
        machine.registry.toolPath("");
        machine.clickSysInfo();

        QCOMPARE(machine.registry.launches, QStringList{QString()});
        QCOMPARE(machine.messages(), QStringList{kUnavailable});
        QCOMPARE(machine.registry.openedPaths(), QByteArrayList{kToolKey});
        QCOMPARE(machine.registry.closes,
                 QList<SysInfoPlatform::KeyHandle>{machine.registry.handleOf(kToolKey)});
    }

    void expandableStringLeavesThePathEmpty() {
        Machine machine;
        machine.registry.value(kToolKey, "PATH", 2,
                               QByteArray("%SystemRoot%\\msinfo32.exe") + '\0');
        machine.registry.toolFolder("/opt/msinfo");
        machine.clickSysInfo();

        // The look-up succeeded, so the folder is not read; the empty path fails to launch.
        QCOMPARE(machine.registry.openedPaths(), QByteArrayList{kToolKey});
        QCOMPARE(machine.registry.launches, QStringList{QString()});
        QCOMPARE(machine.messages(), QStringList{kUnavailable});
    }

    void valueLongerThanTheBufferCountsAsNotFound() {
        Machine machine;
        machine.registry.toolPath(QByteArray(1024, 'x')); // 1025 bytes with its NUL
        machine.clickSysInfo();

        QCOMPARE(machine.registry.openedPaths(), (QByteArrayList{kToolKey, kLocationKey}));
        QVERIFY(machine.registry.launches.isEmpty());
        QCOMPARE(machine.messages(), QStringList{kUnavailable});
        QCOMPARE(machine.registry.closes,
                 (QList<SysInfoPlatform::KeyHandle>{machine.registry.handleOf(kToolKey), 0}));
    }

    void valueFillingTheBufferExactlyIsRead() {
        Machine machine;
        const QByteArray path = "/" + QByteArray(1022, 'x'); // 1024 bytes with its NUL
        machine.registry.toolPath(path);
        machine.clickSysInfo();

        QCOMPARE(machine.registry.launches, QStringList{QString::fromLatin1(path)});
        QVERIFY(machine.messages().isEmpty());
    }

    void refusedAccessCountsAsNotFound() {
        Machine machine;
        machine.registry.toolPath("/opt/tools/sysinfo");
        machine.registry.toolFolder("/opt/msinfo");
        machine.registry.key(kToolKey).openStatus = registry::kErrorAccessDenied;
        machine.registry.key(kLocationKey).openStatus = registry::kErrorAccessDenied;
        machine.registry.files << QStringLiteral("/opt/msinfo") + kMsInfo;
        machine.clickSysInfo();

        QVERIFY(machine.registry.launches.isEmpty());
        QCOMPARE(machine.messages(), QStringList{kUnavailable});
        QCOMPARE(machine.registry.closes, (QList<SysInfoPlatform::KeyHandle>{0, 0}));
    }

    void refusedReadCountsAsNotFound() {
        Machine machine;
        machine.registry.toolPath("/opt/tools/sysinfo").status = registry::kErrorAccessDenied;
        machine.clickSysInfo();

        QVERIFY(machine.registry.launches.isEmpty());
        QCOMPARE(machine.messages(), QStringList{kUnavailable});
        QCOMPARE(machine.registry.closes,
                 (QList<SysInfoPlatform::KeyHandle>{machine.registry.handleOf(kToolKey), 0}));
    }

    void valueWithoutDataEndsInTheMessage() {
        Machine machine;
        machine.registry.value(kToolKey, "PATH", registry::kRegSz, QByteArray());
        machine.registry.toolFolder("/opt/msinfo");
        machine.registry.files << QStringLiteral("/opt/msinfo") + kMsInfo;
        machine.clickSysInfo();

        // The error ends the whole look-up: the folder is not tried.
        QCOMPARE(machine.registry.openedPaths(), QByteArrayList{kToolKey});
        QVERIFY(machine.registry.launches.isEmpty());
        QCOMPARE(machine.messages(), QStringList{kUnavailable});
        QCOMPARE(machine.registry.closes,
                 QList<SysInfoPlatform::KeyHandle>{machine.registry.handleOf(kToolKey)});
    }

    void countReachingPastTheBufferEndsInTheMessage() {
        Machine machine;
        machine.registry.toolPath("/opt/tools/sysinfo").reportedCount = 4096;
        machine.clickSysInfo();

        QVERIFY(machine.registry.launches.isEmpty());
        QCOMPARE(machine.messages(), QStringList{kUnavailable});
        QCOMPARE(machine.registry.closes,
                 QList<SysInfoPlatform::KeyHandle>{machine.registry.handleOf(kToolKey)});
    }

    void stringWithoutItsNulKeepsEveryCharacter() {
        Machine machine;
        machine.registry.value(kToolKey, "PATH", registry::kRegSz, "/opt/tools/sysinfo");
        machine.clickSysInfo();

        QCOMPARE(machine.registry.launches, QStringList{QStringLiteral("/opt/tools/sysinfo")});
        QVERIFY(machine.messages().isEmpty());
    }

    void failedLaunchTellsTheUser() {
        Machine machine;
        machine.registry.toolPath("/opt/tools/sysinfo");
        machine.registry.failingLaunches << QStringLiteral("/opt/tools/sysinfo");
        machine.clickSysInfo();

        QCOMPARE(machine.registry.launches, QStringList{QStringLiteral("/opt/tools/sysinfo")});
        QCOMPARE(machine.messages(), QStringList{kUnavailable});
        QVERIFY(machine.about().isVisible());
    }

    void eachClickStartsAnotherCopy() {
        Machine machine;
        machine.registry.toolPath("/opt/tools/sysinfo");
        machine.clickSysInfo();
        machine.clickSysInfo();

        QCOMPARE(machine.registry.launches.size(), 2);
        QVERIFY(machine.messages().isEmpty());
    }

    // GetKeyValue read on its own, for any key and value.

    void stringValueIsReturned() {
        Machine machine;
        machine.registry.string("SOFTWARE\\Quorvane", "Owner", "Quorvane");
        QString value = QStringLiteral("before");
        QVERIFY(machine.about().GetKeyValue(registry::kHKeyLocalMachine,
                                            QStringLiteral("SOFTWARE\\Quorvane"),
                                            QStringLiteral("Owner"), value));
        QCOMPARE(value, QStringLiteral("Quorvane"));
        QCOMPARE(machine.registry.closes, QList<SysInfoPlatform::KeyHandle>{
                                              machine.registry.handleOf("SOFTWARE\\Quorvane")});
    }

    void numberValueIsReturnedInDecimal() {
        Machine machine;
        machine.registry.value("SOFTWARE\\Quorvane", "Count", registry::kRegDword,
                               QByteArray("\x2A\x01\x00\x00", 4));
        machine.registry.value("SOFTWARE\\Quorvane", "Most", registry::kRegDword,
                               QByteArray("\xFF\xFF\xFF\xFF", 4));
        QString count;
        QString most;
        QVERIFY(machine.about().GetKeyValue(registry::kHKeyLocalMachine,
                                            QStringLiteral("SOFTWARE\\Quorvane"),
                                            QStringLiteral("Count"), count));
        QVERIFY(machine.about().GetKeyValue(registry::kHKeyLocalMachine,
                                            QStringLiteral("SOFTWARE\\Quorvane"),
                                            QStringLiteral("Most"), most));
        QCOMPARE(count, QStringLiteral("298"));
        QCOMPARE(most, QStringLiteral("4294967295"));
    }

    void otherTypeKeepsTheTextPassedIn() {
        Machine machine;
        machine.registry.value("SOFTWARE\\Quorvane", "Blob", 3, QByteArray("\x01\x02", 2));
        QString value = QStringLiteral("as passed");
        QVERIFY(machine.about().GetKeyValue(registry::kHKeyLocalMachine,
                                            QStringLiteral("SOFTWARE\\Quorvane"),
                                            QStringLiteral("Blob"), value));
        QCOMPARE(value, QStringLiteral("as passed"));
    }

    void failedLookUpEmptiesTheText() {
        Machine machine;
        machine.registry.key("SOFTWARE\\Quorvane");
        QString missingKey = QStringLiteral("before");
        QString missingValue = QStringLiteral("before");
        QVERIFY(!machine.about().GetKeyValue(registry::kHKeyLocalMachine,
                                             QStringLiteral("SOFTWARE\\Elsewhere"),
                                             QStringLiteral("Owner"), missingKey));
        QVERIFY(!machine.about().GetKeyValue(registry::kHKeyLocalMachine,
                                             QStringLiteral("SOFTWARE\\Quorvane"),
                                             QStringLiteral("Owner"), missingValue));
        QCOMPARE(missingKey, QString());
        QCOMPARE(missingValue, QString());
        QCOMPARE(machine.registry.closes, (QList<SysInfoPlatform::KeyHandle>{
                                              0, machine.registry.handleOf("SOFTWARE\\Quorvane")}));
    }

    void errorPassesToTheCallerAfterTheKeyIsClosed() {
        Machine machine;
        machine.registry.value("SOFTWARE\\Quorvane", "Wide", registry::kRegDword,
                               QByteArray("\x01\x02\x03\x04\x05", 5));
        QString value = QStringLiteral("before");
        QVERIFY_THROWS_EXCEPTION(std::overflow_error,
                                 machine.about().GetKeyValue(registry::kHKeyLocalMachine,
                                                             QStringLiteral("SOFTWARE\\Quorvane"),
                                                             QStringLiteral("Wide"), value));
        QCOMPARE(value, QStringLiteral("before"));
        QCOMPARE(machine.registry.closes, QList<SysInfoPlatform::KeyHandle>{
                                              machine.registry.handleOf("SOFTWARE\\Quorvane")});
    }
};

QTEST_MAIN(TestSysInfoLauncher)
#include "test_sysinfo_launcher.moc"
