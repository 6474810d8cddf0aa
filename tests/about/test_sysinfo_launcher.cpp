// The "System Info..." button against a scripted registry: which keys are read in which order,
// what is launched, when the user is told the tool is unavailable, and that every opened key is
// closed again.

#include "about/about_window.h"
#include "support/running_program.h"

#include <QDir>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <memory>

namespace {

const QString kUnavailable = QStringLiteral("System Information Is Unavailable At This Time");
const QByteArray kToolKey = registry::kSysInfoKey;
const QByteArray kLocationKey = registry::kSysInfoLocationKey;
const QString kMsInfo = QDir::separator() + QStringLiteral("MSINFO32.EXE");
const QString kToolPath = QStringLiteral("/opt/tools/sysinfo");
const QString kInFolder = QStringLiteral("/opt/msinfo") + kMsInfo;
const QString kInFolderWithSeparator = QStringLiteral("/opt/msinfo") + QDir::separator() + kMsInfo;
const QByteArray kFilling = "/" + QByteArray(1022, 'x'); // 1024 bytes with its NUL

// One click on "System Info..." after the registry was scripted: what is opened, tested, launched
// and closed (a key path, or nothing for a key never opened), and whether the user is told.
struct Outcome {
    QByteArrayList opened;
    QStringList fileTests;
    QStringList launches;
    bool unavailable;
    QByteArrayList closed;
};
struct Click {
    const char* tag;
    std::function<void(FakeRegistry&)> script;
    Outcome expected;
};

const QList<Click>& clicks() {
    static const QByteArrayList kBoth = {kToolKey, kLocationKey};
    static const QByteArrayList kTool = {kToolKey};
    static const QList<Click> all = {
        // Each look-up closes its key, though neither was opened.
        {"both keys absent", [](FakeRegistry&) {}, {kBoth, {}, {}, true, {"", ""}}},
        {"registered path, the folder never read",
         [](FakeRegistry& r) {
             r.toolPath(kToolPath.toLatin1());
             r.toolFolder("/opt/elsewhere");
         },
         {kTool, {}, {kToolPath}, false, kTool}},
        {"folder holding the tool",
         [](FakeRegistry& r) {
             r.toolFolder("/opt/msinfo");
             r.files << kInFolder;
         },
         {kBoth, {kInFolder}, {kInFolder}, false, {"", kLocationKey}}},
        {"folder without the tool",
         [](FakeRegistry& r) { r.toolFolder("/opt/msinfo"); },
         {kBoth, {kInFolder}, {}, true, {"", kLocationKey}}},
        {"folder ending in a separator gets a second one",
         [](FakeRegistry& r) {
             r.toolFolder((QStringLiteral("/opt/msinfo") + QDir::separator()).toLocal8Bit());
             r.files << kInFolderWithSeparator;
         },
         {kBoth, {kInFolderWithSeparator}, {kInFolderWithSeparator}, false, {"", kLocationKey}}},
        {"empty registered path cannot be launched",
         [](FakeRegistry& r) { r.toolPath(""); },
         {kTool, {}, {QString()}, true, kTool}},
        // The look-up succeeded, so the folder is not read; the empty path fails to launch.
        {"expandable string leaves the path empty",
         [](FakeRegistry& r) {
             r.value(kToolKey, "PATH", 2, QByteArray("%SystemRoot%\\msinfo32.exe") + '\0');
             r.toolFolder("/opt/msinfo");
         },
         {kTool, {}, {QString()}, true, kTool}},
        {"value longer than the buffer is not found",
         [](FakeRegistry& r) { r.toolPath(QByteArray(1024, 'x')); },
         {kBoth, {}, {}, true, {kToolKey, ""}}},
        {"value filling the buffer exactly is read",
         [](FakeRegistry& r) { r.toolPath(kFilling); },
         {kTool, {}, {QString::fromLatin1(kFilling)}, false, kTool}},
        {"refused access is not found",
         [](FakeRegistry& r) {
             r.toolPath(kToolPath.toLatin1());
             r.toolFolder("/opt/msinfo");
             r.key(kToolKey).openStatus = registry::kErrorAccessDenied;
             r.key(kLocationKey).openStatus = registry::kErrorAccessDenied;
             r.files << kInFolder;
         },
         {kBoth, {}, {}, true, {"", ""}}},
        {"refused read is not found",
         [](FakeRegistry& r) {
             r.toolPath(kToolPath.toLatin1()).status = registry::kErrorAccessDenied;
         },
         {kBoth, {}, {}, true, {kToolKey, ""}}},
        // An error ends the whole look-up: the folder is not tried.
        {"value without data ends in the message",
         [](FakeRegistry& r) {
             r.value(kToolKey, "PATH", registry::kRegSz, QByteArray());
             r.toolFolder("/opt/msinfo");
             r.files << kInFolder;
         },
         {kTool, {}, {}, true, kTool}},
        {"count reaching past the buffer ends in the message",
         [](FakeRegistry& r) { r.toolPath(kToolPath.toLatin1()).reportedCount = 4096; },
         {kTool, {}, {}, true, kTool}},
        {"string without its NUL keeps every character",
         [](FakeRegistry& r) { r.value(kToolKey, "PATH", registry::kRegSz, kToolPath.toLatin1()); },
         {kTool, {}, {kToolPath}, false, kTool}},
        {"failed launch tells the user",
         [](FakeRegistry& r) {
             r.toolPath(kToolPath.toLatin1());
             r.failingLaunches << kToolPath;
         },
         {kTool, {}, {kToolPath}, true, kTool}},
    };
    return all;
}

} // namespace

class TestSysInfoLauncher : public QObject {
    Q_OBJECT
    // The program with the scripted registry, its main menu not yet shown.
    std::unique_ptr<RunningProgram> program;

    FakeRegistry& registry() { return program->test.sysInfo; }
    void clickSysInfo() {
        program->about().Show();
        QTest::mouseClick(program->about().sysInfoButton, Qt::LeftButton);
    }
    QList<SysInfoPlatform::KeyHandle> handlesOf(const QByteArrayList& keyPaths) {
        QList<SysInfoPlatform::KeyHandle> handles;
        for (const QByteArray& path : keyPaths)
            handles << registry().handleOf(path);
        return handles;
    }
    bool keyValue(const QString& keyPath, const QString& valueName, QString& value) {
        return program->about().keyValue(registry::kHKeyLocalMachine, keyPath, valueName, value);
    }

  private slots:
    void init() {
        program = std::make_unique<RunningProgram>(QList<StoredRow>{}, nullptr,
                                                   RunningProgram::Start::NoWindow);
    }
    void cleanup() { program.reset(); }

    void eachClickLaunchesOrTellsTheUser_data() {
        QTest::addColumn<int>("index");
        for (int i = 0; i < clicks().size(); ++i)
            QTest::newRow(clicks()[i].tag) << i;
    }
    void eachClickLaunchesOrTellsTheUser() {
        QFETCH(int, index);
        const Click& click = clicks()[index];
        const Outcome& expected = click.expected;
        click.script(registry());
        clickSysInfo();

        QCOMPARE(registry().openedPaths(), expected.opened);
        QCOMPARE(registry().fileTests, expected.fileTests);
        QCOMPARE(registry().launches, expected.launches);
        QCOMPARE(registry().closes, handlesOf(expected.closed));
        QCOMPARE(program->test.messages.texts(),
                 expected.unavailable ? QStringList{kUnavailable} : QStringList());
        if (expected.unavailable) {
            QCOMPARE(program->test.messages.shown.first().title, QStringLiteral("Tessaline"));
            QCOMPARE(program->test.messages.shown.first().icon, MessageBoxes::Icon::None);
        }
        QVERIFY(program->about().isVisible());
    }

    void keysAreOpenedUnderTheMachineRootForReadingOnly() {
        registry().toolFolder("/opt/msinfo");
        clickSysInfo();

        QCOMPARE(registry().opens.size(), 2);
        for (const FakeRegistry::Open& open : registry().opens) {
            QCOMPARE(open.root, 0x80000002u);
            QCOMPARE(open.options, 0u);
            QCOMPARE(open.accessMask, 0x20019u);
        }
        QCOMPARE(registry().queries.size(), 1);
        QCOMPARE(registry().queries.first().valueName, QByteArray("MSINFO"));
        QCOMPARE(registry().queries.first().roomGiven, 1024u);
    }

    void eachClickStartsAnotherCopy() {
        registry().toolPath(kToolPath.toLatin1());
        clickSysInfo();
        clickSysInfo();

        QCOMPARE(registry().launches.size(), 2);
        QVERIFY(program->test.messages.shown.isEmpty());
    }

    // GetKeyValue read on its own, for any key and value: the text of a string or a number,
    // the text passed in for another type, and nothing when the value is missing.
    void keyValueReadsAnyValue_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("expected");
        QTest::newRow("string") << int(registry::kRegSz) << QByteArray("Quorvane\0", 9) << true
                                << "Quorvane";
        QTest::newRow("number") << int(registry::kRegDword) << QByteArray("\x2A\x01\x00\x00", 4)
                                << true << "298";
        QTest::newRow("largest number")
            << int(registry::kRegDword) << QByteArray("\xFF\xFF\xFF\xFF", 4) << true
            << "4294967295";
        QTest::newRow("other type") << 3 << QByteArray("\x01\x02", 2) << true << "before";
        QTest::newRow("missing value") << -1 << QByteArray() << false << QString();
    }
    void keyValueReadsAnyValue() {
        QFETCH(int, type);
        QFETCH(QByteArray, data);
        QFETCH(bool, found);
        QFETCH(QString, expected);
        registry().key("SOFTWARE\\Quorvane");
        if (type >= 0)
            registry().value("SOFTWARE\\Quorvane", "Value", std::uint32_t(type), data);
        QString value = QStringLiteral("before");
        QCOMPARE(keyValue(QStringLiteral("SOFTWARE\\Quorvane"), QStringLiteral("Value"), value),
                 found);
        QCOMPARE(value, expected);
        QCOMPARE(registry().closes, handlesOf({"SOFTWARE\\Quorvane"}));
    }

    void aMissingKeyEmptiesTheText() {
        QString value = QStringLiteral("before");
        QVERIFY(!keyValue(QStringLiteral("SOFTWARE\\Elsewhere"), QStringLiteral("Owner"), value));
        QCOMPARE(value, QString());
        QCOMPARE(registry().closes, handlesOf({""}));
    }

    void errorPassesToTheCallerAfterTheKeyIsClosed() {
        registry().value("SOFTWARE\\Quorvane", "Wide", registry::kRegDword,
                         QByteArray("\x01\x02\x03\x04\x05", 5));
        QString value = QStringLiteral("before");
        QVERIFY_THROWS_EXCEPTION(std::overflow_error, keyValue(QStringLiteral("SOFTWARE\\Quorvane"),
                                                               QStringLiteral("Wide"), value));
        QCOMPARE(value, QStringLiteral("before"));
        QCOMPARE(registry().closes, handlesOf({"SOFTWARE\\Quorvane"}));
    }
};

QTEST_MAIN(TestSysInfoLauncher)
#include "test_sysinfo_launcher.moc"
