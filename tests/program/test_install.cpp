#include "store/contact_table.h"
#include "store/sqlite_db.h"
#include "support/started_program.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Run {
    int exitCode = -1;
    QString output; // both channels
};

Run run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(120000))
        return {-1, QStringLiteral("%1 did not finish: %2").arg(program, process.errorString())};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAll())};
}

// A validator from the Debian packages the install script names.
Run validate(const QString& tool, const QStringList& arguments) {
    const QString path = QStandardPaths::findExecutable(tool);
    if (path.isEmpty())
        return {-1, tool + QStringLiteral(" not found; scripts/install-deps.sh installs it")};
    return run(path, arguments);
}

} // namespace

// `cmake --install` of this build into an empty folder, as a user's per-user install does it.
class TestInstall : public QObject {
    Q_OBJECT

    QTemporaryDir prefix;
    QString at(const QString& path) const { return prefix.filePath(path); }
    QString book() const { return at("lib/tessaline/address.mdb"); }

    Run install() {
        return run(QStringLiteral(CMAKE_COMMAND),
                   {"--install", QStringLiteral(TESSALINE_BUILD_DIR), "--prefix", prefix.path()});
    }

  private slots:
    void initTestCase() {
        QVERIFY(prefix.isValid());
        const Run installed = install();
        QVERIFY2(installed.exitCode == 0, qPrintable(installed.output));
    }

    void putsTheProgramAndAnEmptyBookInAFolderOfTheirOwn() {
        for (const char* name : {"tessaline", "tessaline-db"}) {
            const QFileInfo link(at(QStringLiteral("bin/") + name));
            QVERIFY2(link.isSymLink(), name);
            QCOMPARE(link.symLinkTarget(),
                     QFileInfo(at(QStringLiteral("lib/tessaline/") + name)).absoluteFilePath());
            QVERIFY(link.isExecutable());
        }
        const Run check = run(at("bin/tessaline-db"), {"check", book()});
        QCOMPARE(check.output, QStringLiteral("ok\n"));
        QCOMPARE(run(at("bin/tessaline-db"), {"export", "--csv", book()}).output.count("\r\n"), 1);
    }

    void theLinkStartsTheProgramOnItsBook() {
        QVERIFY(StartedProgram::leaveInWriteAheadLogMode(book()));
        StartedProgram tessaline(at("bin/tessaline"), QDir::tempPath());
        QVERIFY(tessaline.opensTheBook(book()));
        QCOMPARE(tessaline.stop(), QByteArray());
    }

    void givesTheDesktopAValidEntryIconAndDescription() {
        const QString entry = at("share/applications/com.example.Tessaline.desktop");
        const Run desktop = validate("desktop-file-validate", {entry});
        QVERIFY2(desktop.exitCode == 0 && desktop.output.isEmpty(), qPrintable(desktop.output));
        QFile entryFile(entry);
        QVERIFY(entryFile.open(QIODevice::ReadOnly));
        QVERIFY(entryFile.readAll().contains("\nExec=\"" + at("bin/tessaline").toUtf8() + "\"\n"));
        const Run metainfo =
            validate("appstreamcli", {"validate", "--no-net",
                                      at("share/metainfo/com.example.Tessaline.metainfo.xml")});
        QVERIFY2(metainfo.exitCode == 0, qPrintable(metainfo.output));
        const QString icons = at("share/icons/hicolor/");
        QVERIFY(QFile::exists(icons + "scalable/apps/com.example.Tessaline.svg"));
        for (const int size : {32, 48})
            QCOMPARE(
                QImage(icons + QStringLiteral("%1x%1/apps/com.example.Tessaline.png").arg(size))
                    .size(),
                QSize(size, size));
    }

    // Units systemd accepts, whose service syncs the installed book with the installed tool.
    void givesSystemdATimerThatSyncsTheBook() {
        const QString units = at("share/systemd/user/");
        const Run verify = validate("systemd-analyze", {"verify", units + "tessaline-sync.service",
                                                        units + "tessaline-sync.timer"});
        QVERIFY2(verify.exitCode == 0, qPrintable(verify.output));
        QFile service(units + "tessaline-sync.service");
        QVERIFY(service.open(QIODevice::ReadOnly));
        const QString tool = at("lib/tessaline/tessaline-db");
        QVERIFY(service.readAll().contains(
            QStringLiteral("\nExecStart=\"%1\" sync \"%2\"\n").arg(tool, book()).toUtf8()));
    }

    void aSecondInstallKeepsTheBook() {
        {
            Database db = contact_table::openAddressBook(book());
            db.exec("INSERT INTO address (Name, Surname) VALUES ('Ann', 'O''Brien')");
        }
        const Run again = install();
        QVERIFY2(again.exitCode == 0, qPrintable(again.output));
        const Run csv = run(at("bin/tessaline-db"), {"export", "--csv", book()});
        QVERIFY2(csv.output.endsWith("\r\nAnn,O'Brien,,,,,,,,\r\n"), qPrintable(csv.output));
    }
};

QTEST_GUILESS_MAIN(TestInstall)
#include "test_install.moc"
