// The "System Info..." button against a scripted registry: which keys are read in which order,
// what is launched, when the user is told the tool is unavailable, and that every opened key is
// closed again.

#include "about/about_window.h"
#include "support/running_program.h"

#include <QDir>
#include <QPushButton>
#include <QTest>
#include <memory>

namespace {

const QString kUnavailable = QStringLiteral("System Information Is Unavailable At This Time");
const QByteArray kToolKey = registry::kSysInfoKey;
const QByteArray kLocationKey = registry::kSysInfoLocationKey;
const QString kMsInfo = QDir::separator() + QStringLiteral("MSINFO32.EXE");

} // namespace

class TestSysInfoLauncher : public QObject {
    Q_OBJECT
    // The program with the scripted registry, its main menu not yet shown.
    std::unique_ptr<RunningProgram> program;

    FakeRegistry& registry() { return program->test.sysInfo; }
    QStringList messages() const { return program->test.messages.texts(); }
    void clickSysInfo() {
        program->about().Show();
        QTest::mouseClick(program->about().sysInfoButton, Qt::LeftButton);
    }

  private slots:
    void init() {
        program = std::make_unique<RunningProgram>(QList<StoredRow>{}, nullptr,
                                                   RunningProgram::Start::NoWindow);
    }
    void cleanup() { program.reset(); }

    void bothKeysAbsentTellsTheUserAndLaunchesNothing() {
        clickSysInfo();

        QCOMPARE(messages(), QStringList{kUnavailable});
        const auto& box = program->test.messages.shown.first();
        QCOMPARE(box.title, QStringLiteral("Tessaline"));
        QCOMPARE(box.icon, MessageBoxes::Icon::None);
        QVERIFY(registry().launches.isEmpty());
        QCOMPARE(registry().openedPaths(), (QByteArrayList{kToolKey, kLocationKey}));
        QVERIFY(registry().queries.isEmpty());
        // Each look-up closes its key, though neither was opened.
        QCOMPARE(registry().closes, (QList<SysInfoPlatform::KeyHandle>{0, 0}));
        QVERIFY(program->about().isVisible());
    }

    void keysAreOpenedUnderTheMachineRootForReadingOnly() {
        clickSysInfo();

        QCOMPARE(registry().opens.size(), 2);
        for (const FakeRegistry::Open& open : registry().opens) {
            QCOMPARE(open.root, 0x80000002u);
            QCOMPARE(open.options, 0u);
            QCOMPARE(open.accessMask, 0x20019u);
        }
    }

    void registeredPathIsLaunchedAndTheFolderNeverRead() {
        registry().toolPath("/opt/tools/sysinfo");
        registry().toolFolder("/opt/elsewhere");
        clickSysInfo();

        QCOMPARE(registry().launches, QStringList{QStringLiteral("/opt/tools/sysinfo")});
        QVERIFY(messages().isEmpty());
        QCOMPARE(registry().openedPaths(), QByteArrayList{kToolKey});
        QCOMPARE(registry().queries.size(), 1);
        QCOMPARE(registry().queries.first().valueName, QByteArray("PATH"));
        QCOMPARE(registry().queries.first().roomGiven, 1024u);
        QCOMPARE(registry().closes,
                 QList<SysInfoPlatform::KeyHandle>{registry().handleOf(kToolKey)});
    }

    void folderHoldingTheToolLaunchesItFromThere() {
        registry().toolFolder("/opt/msinfo");
        registry().files << QStringLiteral("/opt/msinfo") + kMsInfo;
        clickSysInfo();

        QCOMPARE(registry().fileTests, QStringList{QStringLiteral("/opt/msinfo") + kMsInfo});
        QCOMPARE(registry().launches, QStringList{QStringLiteral("/opt/msinfo") + kMsInfo});
        QVERIFY(messages().isEmpty());
        QCOMPARE(registry().queries.last().valueName, QByteArray("MSINFO"));
        QCOMPARE(registry().closes,
                 (QList<SysInfoPlatform::KeyHandle>{0, registry().handleOf(kLocationKey)}));
    }

    void folderWithoutTheToolTellsTheUser() {
        registry().toolFolder("/opt/msinfo");
        clickSysInfo();

        QCOMPARE(registry().fileTests, QStringList{QStringLiteral("/opt/msinfo") + kMsInfo});
        QVERIFY(registry().launches.isEmpty());
        QCOMPARE(messages(), QStringList{kUnavailable});
        QCOMPARE(registry().closes,
                 (QList<SysInfoPlatform::KeyHandle>{0, registry().handleOf(kLocationKey)}));
    }

    void folderEndingInASeparatorGetsASecondOne() {
        const QString folder = QStringLiteral("/opt/msinfo") + QDir::separator();
        registry().toolFolder(folder.toLocal8Bit());
        registry().files << folder + kMsInfo;
        clickSysInfo();

        QCOMPARE(registry().fileTests, QStringList{folder + kMsInfo});
        QCOMPARE(registry().launches, QStringList{folder + kMsInfo});
        QVERIFY(registry().launches.first().contains(QString(QDir::separator()).repeated(2)));
        QVERIFY(messages().isEmpty());
    }

    void emptyRegisteredPathCannotBeLaunched() {
        registry().toolPath("");
        clickSysInfo();

        QCOMPARE(registry().launches, QStringList{QString()});
        QCOMPARE(messages(), QStringList{kUnavailable});
        QCOMPARE(registry().openedPaths(), QByteArrayList{kToolKey});
        QCOMPARE(registry().closes,
                 QList<SysInfoPlatform::KeyHandle>{registry().handleOf(kToolKey)});
    }

    void expandableStringLeavesThePathEmpty() {
        registry().value(kToolKey, "PATH", 2, QByteArray("%SystemRoot%\\msinfo32.exe") + '\0');
        registry().toolFolder("/opt/msinfo");
        clickSysInfo();

        // The look-up succeeded, so the folder is not read; the empty path fails to launch.
        QCOMPARE(registry().openedPaths(), QByteArrayList{kToolKey});
        QCOMPARE(registry().launches, QStringList{QString()});
        QCOMPARE(messages(), QStringList{kUnavailable});
    }

    void valueLongerThanTheBufferCountsAsNotFound() {
        registry().toolPath(QByteArray(1024, 'x')); // 1025 bytes with its NUL
        clickSysInfo();

        QCOMPARE(registry().openedPaths(), (QByteArrayList{kToolKey, kLocationKey}));
        QVERIFY(registry().launches.isEmpty());
        QCOMPARE(messages(), QStringList{kUnavailable});
        QCOMPARE(registry().closes,
                 (QList<SysInfoPlatform::KeyHandle>{registry().handleOf(kToolKey), 0}));
    }

    void valueFillingTheBufferExactlyIsRead() {
        const QByteArray path = "/" + QByteArray(1022, 'x'); // 1024 bytes with its NUL
        registry().toolPath(path);
        clickSysInfo();

        QCOMPARE(registry().launches, QStringList{QString::fromLatin1(path)});
        QVERIFY(messages().isEmpty());
    }

    void refusedAccessCountsAsNotFound() {
        registry().toolPath("/opt/tools/sysinfo");
        registry().toolFolder("/opt/msinfo");
        registry().key(kToolKey).openStatus = registry::kErrorAccessDenied;
        registry().key(kLocationKey).openStatus = registry::kErrorAccessDenied;
        registry().files << QStringLiteral("/opt/msinfo") + kMsInfo;
        clickSysInfo();

        QVERIFY(registry().launches.isEmpty());
        QCOMPARE(messages(), QStringList{kUnavailable});
        QCOMPARE(registry().closes, (QList<SysInfoPlatform::KeyHandle>{0, 0}));
    }

    void refusedReadCountsAsNotFound() {
        registry().toolPath("/opt/tools/sysinfo").status = registry::kErrorAccessDenied;
        clickSysInfo();

        QVERIFY(registry().launches.isEmpty());
        QCOMPARE(messages(), QStringList{kUnavailable});
        QCOMPARE(registry().closes,
                 (QList<SysInfoPlatform::KeyHandle>{registry().handleOf(kToolKey), 0}));
    }

    void valueWithoutDataEndsInTheMessage() {
        registry().value(kToolKey, "PATH", registry::kRegSz, QByteArray());
        registry().toolFolder("/opt/msinfo");
        registry().files << QStringLiteral("/opt/msinfo") + kMsInfo;
        clickSysInfo();

        // The error ends the whole look-up: the folder is not tried.
        QCOMPARE(registry().openedPaths(), QByteArrayList{kToolKey});
        QVERIFY(registry().launches.isEmpty());
        QCOMPARE(messages(), QStringList{kUnavailable});
        QCOMPARE(registry().closes,
                 QList<SysInfoPlatform::KeyHandle>{registry().handleOf(kToolKey)});
    }

    void countReachingPastTheBufferEndsInTheMessage() {
        registry().toolPath("/opt/tools/sysinfo").reportedCount = 4096;
        clickSysInfo();

        QVERIFY(registry().launches.isEmpty());
        QCOMPARE(messages(), QStringList{kUnavailable});
        QCOMPARE(registry().closes,
                 QList<SysInfoPlatform::KeyHandle>{registry().handleOf(kToolKey)});
    }

    void stringWithoutItsNulKeepsEveryCharacter() {
        registry().value(kToolKey, "PATH", registry::kRegSz, "/opt/tools/sysinfo");
        clickSysInfo();

        QCOMPARE(registry().launches, QStringList{QStringLiteral("/opt/tools/sysinfo")});
        QVERIFY(messages().isEmpty());
    }

    void failedLaunchTellsTheUser() {
        registry().toolPath("/opt/tools/sysinfo");
        registry().failingLaunches << QStringLiteral("/opt/tools/sysinfo");
        clickSysInfo();

        QCOMPARE(registry().launches, QStringList{QStringLiteral("/opt/tools/sysinfo")});
        QCOMPARE(messages(), QStringList{kUnavailable});
        QVERIFY(program->about().isVisible());
    }

    void eachClickStartsAnotherCopy() {
        registry().toolPath("/opt/tools/sysinfo");
        clickSysInfo();
        clickSysInfo();

        QCOMPARE(registry().launches.size(), 2);
        QVERIFY(messages().isEmpty());
    }

    // GetKeyValue read on its own, for any key and value.

    void stringValueIsReturned() {
        registry().string("SOFTWARE\\Quorvane", "Owner", "Quorvane");
        QString value = QStringLiteral("before");
        QVERIFY(program->about().keyValue(registry::kHKeyLocalMachine,
                                          QStringLiteral("SOFTWARE\\Quorvane"),
                                          QStringLiteral("Owner"), value));
        QCOMPARE(value, QStringLiteral("Quorvane"));
        QCOMPARE(registry().closes,
                 QList<SysInfoPlatform::KeyHandle>{registry().handleOf("SOFTWARE\\Quorvane")});
    }

    void numberValueIsReturnedInDecimal() {
        registry().value("SOFTWARE\\Quorvane", "Count", registry::kRegDword,
                         QByteArray("\x2A\x01\x00\x00", 4));
        registry().value("SOFTWARE\\Quorvane", "Most", registry::kRegDword,
                         QByteArray("\xFF\xFF\xFF\xFF", 4));
        QString count;
        QString most;
        QVERIFY(program->about().keyValue(registry::kHKeyLocalMachine,
                                          QStringLiteral("SOFTWARE\\Quorvane"),
                                          QStringLiteral("Count"), count));
        QVERIFY(program->about().keyValue(registry::kHKeyLocalMachine,
                                          QStringLiteral("SOFTWARE\\Quorvane"),
                                          QStringLiteral("Most"), most));
        QCOMPARE(count, QStringLiteral("298"));
        QCOMPARE(most, QStringLiteral("4294967295"));
    }

    void otherTypeKeepsTheTextPassedIn() {
        registry().value("SOFTWARE\\Quorvane", "Blob", 3, QByteArray("\x01\x02", 2));
        QString value = QStringLiteral("as passed");
        QVERIFY(program->about().keyValue(registry::kHKeyLocalMachine,
                                          QStringLiteral("SOFTWARE\\Quorvane"),
                                          QStringLiteral("Blob"), value));
        QCOMPARE(value, QStringLiteral("as passed"));
    }

    void failedLookUpEmptiesTheText() {
        registry().key("SOFTWARE\\Quorvane");
        QString missingKey = QStringLiteral("before");
        QString missingValue = QStringLiteral("before");
        QVERIFY(!program->about().keyValue(registry::kHKeyLocalMachine,
                                           QStringLiteral("SOFTWARE\\Elsewhere"),
                                           QStringLiteral("Owner"), missingKey));
        QVERIFY(!program->about().keyValue(registry::kHKeyLocalMachine,
                                           QStringLiteral("SOFTWARE\\Quorvane"),
                                           QStringLiteral("Owner"), missingValue));
        QCOMPARE(missingKey, QString());
        QCOMPARE(missingValue, QString());
        QCOMPARE(registry().closes,
                 (QList<SysInfoPlatform::KeyHandle>{0, registry().handleOf("SOFTWARE\\Quorvane")}));
    }

    void errorPassesToTheCallerAfterTheKeyIsClosed() {
        registry().value("SOFTWARE\\Quorvane", "Wide", registry::kRegDword,
                         QByteArray("\x01\x02\x03\x04\x05", 5));
        QString value = QStringLiteral("before");
        QVERIFY_THROWS_EXCEPTION(std::overflow_error,
                                 program->about().keyValue(registry::kHKeyLocalMachine,
                                                           QStringLiteral("SOFTWARE\\Quorvane"),
                                                           QStringLiteral("Wide"), value));
        QCOMPARE(value, QStringLiteral("before"));
        QCOMPARE(registry().closes,
                 QList<SysInfoPlatform::KeyHandle>{registry().handleOf("SOFTWARE\\Quorvane")});
    }
};

QTEST_MAIN(TestSysInfoLauncher)
#include "test_sysinfo_launcher.moc"
