#include "store/address_book_check.h"
#include "store/contact_table.h"
#include "store/sqlite_db.h"

#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

// A writer killed at any moment leaves a sound file that holds every store it acknowledged.
class TestCrashSafety : public QObject {
    Q_OBJECT
  private slots:
    void killedWriterLosesNothingAcknowledged() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("address.mdb"));
        contact_table::createAddressBook(path);
        const int kills = qEnvironmentVariableIntValue("TESSALINE_CRASH_KILLS") > 0
                              ? qEnvironmentVariableIntValue("TESSALINE_CRASH_KILLS")
                              : 50;
        const quint32 seed = qEnvironmentVariableIsSet("TESSALINE_CRASH_SEED")
                                 ? quint32(qEnvironmentVariableIntValue("TESSALINE_CRASH_SEED"))
                                 : QRandomGenerator::global()->generate();
        QRandomGenerator random(seed);
        const QString context = QStringLiteral("seed %1").arg(seed);

        // What each contact must hold: its phone and notes as last acknowledged. Only the one
        // store in flight at the kill may have landed without an acknowledgement.
        struct Contact {
            QString phone;
            QString notes;
        };
        QHash<QString, Contact> expected;
        int stores = 0;
        for (int kill = 0; kill < kills; ++kill) {
            const int writerSeed = kill * 1000 + int(random.bounded(1000));
            QProcess writer;
            writer.start(QStringLiteral(CRASH_WRITER), {path, QString::number(writerSeed)});
            QVERIFY2(writer.waitForStarted(), qPrintable(context));
            // Kill it while it writes, at a different point of a store each time.
            writer.waitForReadyRead(10000);
            QTest::qWait(int(random.bounded(0, 80)));
            writer.kill();
            writer.waitForFinished();
            for (const QString& line :
                 QString::fromUtf8(writer.readAllStandardOutput()).split(u'\n')) {
                const QStringList parts = line.split(u' ');
                if (parts.size() == 4 && parts[0] == u"add")
                    expected[parts[1]] = {parts[2], parts[3]};
                else if (parts.size() == 3 && parts[0] == u"edit")
                    expected[parts[1]].phone = parts[2];
                else
                    continue; // the line being written at the kill
                ++stores;
            }

            const QStringList problems = address_book_check::findProblems(path);
            QVERIFY2(problems.isEmpty(), qPrintable(context + ": " + problems.join("; ")));
            Database db = contact_table::openAddressBook(path);
            Statement select(db, "SELECT \"Name\", phone, other FROM address");
            const QString inFlight = QStringLiteral("v%1-").arg(writerSeed);
            int unacknowledged = 0;
            qsizetype storedRows = 0;
            while (select.step()) {
                ++storedRows;
                const QString name = select.text(0);
                const Contact found{select.text(1), select.text(2)};
                const auto known = expected.constFind(name);
                if (known != expected.cend() && known->phone == found.phone &&
                    known->notes == found.notes)
                    continue;
                // Stored without an acknowledgement: only the store in flight may be.
                QVERIFY2(found.phone.startsWith(inFlight),
                         qPrintable(context + ": " + name + " holds " + found.phone));
                ++unacknowledged;
                expected[name] = found;
            }
            QVERIFY2(unacknowledged <= 1, qPrintable(context));
            QVERIFY2(storedRows == expected.size(), qPrintable(context + ": a contact was lost"));
        }
        qInfo("%d kills, %d acknowledged stores", kills, stores);
        QVERIFY(stores > 0);
    }
};

QTEST_GUILESS_MAIN(TestCrashSafety)
#include "test_crash_safety.moc"
