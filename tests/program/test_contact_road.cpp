#include "about/about_window.h"
#include "app/main_menu.h"
#include "screens/add_window.h"
#include "screens/details_window.h"
#include "screens/find_window.h"
#include "screens/results_grid.h"
#include "store/contact_table.h"
#include "store/date_stamp.h"
#include "support/running_program.h"
#include "support/started_program.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QDate kAddDay(2026, 3, 2);
const QDate kEditDay(2026, 3, 9);

} // namespace

class TestContactRoad : public QObject {
    Q_OBJECT
  private slots:
    // One contact from entry to edit, through the windows only, checking the file at each store.
    void oneContactFromEntryToEdit() {
        RunningProgram program(kOtherContacts);
        program.test.clock.date = kAddDay;
        MainMenu& menu = program.menu();
        QVERIFY(QTest::qWaitForWindowActive(&menu));

        // Main menu "Add New", the entry typed, "OK".
        AddWindow& add = program.typeNewContact();
        RunningProgram::click(add, "Command1");
        // The book alone holds the contact at once, so a copy of it taken now holds it too.
        QCOMPARE(QDir(program.test.applicationDirectory()).entryList({"address.mdb*"}),
                 QStringList{"address.mdb"});
        const QString copy = program.test.dir.filePath(QStringLiteral("copy.mdb"));
        QVERIFY(QFile::copy(program.test.databasePath(), copy));
        QVERIFY(program.test.messages.shown.isEmpty());
        QVERIFY(!add.isVisible());
        QVERIFY(menu.isVisible());

        const StoredRow added = newContactRow(dateStamp(program.test.clock));
        QCOMPARE(program.test.storedRows(copy), kOtherContacts + QList<StoredRow>{added});
        QCOMPARE(program.test.storedRows(), kOtherContacts + QList<StoredRow>{added});

        // Main menu "View/Edit": the grid lists the contacts fetched when the program started.
        RunningProgram::click(menu, "Command2");
        FindWindow& find = program.find();
        QVERIFY(QTest::qWaitForWindowActive(&find));
        QVERIFY(find.resultsGrid()->isVisible());
        QCOMPARE(program.listed(Surname), (QStringList{"O'Brien", "Smith", "Jones"}));

        // Found by surname, typed in lower case.
        RunningProgram::typeOver(find, "Text2", QStringLiteral("quennell"));
        RunningProgram::click(find, "Command2");
        QVERIFY(program.test.messages.shown.isEmpty());
        QCOMPARE(program.listed(Surname), QStringList{QStringLiteral("Quennell")});
        QCOMPARE(program.gridCell(0, Address), kNewContact[Address]);
        QCOMPARE(program.gridCell(0, CreatedOn), dateStamp(program.test.clock));

        // "Details", then "Refresh by Surname": the contact in the ten boxes.
        RunningProgram::click(find, "Command3");
        DetailsWindow& details = program.details();
        QVERIFY(QTest::qWaitForWindowActive(&details));
        QVERIFY(!find.isVisible());
        RunningProgram::click(details, "Command3");
        QVERIFY(program.test.messages.shown.isEmpty());
        QStringList shown = kNewContact;
        shown << dateStamp(program.test.clock) << QString();
        QCOMPARE(RunningProgram::contactTexts(details, 10), shown);

        // A week later: "Edit", a new phone number, "Save".
        program.test.clock.date = kEditDay;
        RunningProgram::click(details, "Command6");
        QCOMPARE(details.modifiedOnBox->text(), dateStamp(program.test.clock));
        RunningProgram::typeOver(details, "Text3", QStringLiteral("555-0799"));
        RunningProgram::click(details, "Command7");
        QVERIFY(program.test.messages.shown.isEmpty());
        QVERIFY(!details.isVisible());
        QVERIFY(menu.isVisible());

        StoredRow edited = added;
        edited[Phone] = QStringLiteral("555-0799");
        edited[ModifiedOn] = dateStamp(program.test.clock);
        QCOMPARE(program.test.storedRows(), kOtherContacts + QList<StoredRow>{edited});
        // The two stamps are the two days.
        QVERIFY(edited[CreatedOn] != edited[ModifiedOn]);
    }

    // The main menu is modeless: its buttons work while any other window is open and bring the
    // window they name to the front.
    void theMainMenuStaysUsableWhileEachWindowIsOpen() {
        RunningProgram program(kOtherContacts);
        MainMenu& menu = program.menu();

        // An entry under way in the add window.
        RunningProgram::click(menu, "Command1");
        AddWindow& add = program.add();
        RunningProgram::click(add, "Command3");
        RunningProgram::typeOver(add, "Text1", QStringLiteral("Half"));

        RunningProgram::click(menu, "Command2");
        FindWindow& find = program.find();
        QVERIFY(QTest::qWaitForWindowActive(&find));
        QVERIFY(add.isVisible());
        QCOMPARE(add.givenNameBox->text(), QStringLiteral("Half"));

        RunningProgram::click(menu, "Command3");
        AboutWindow& about = program.about();
        QVERIFY(QTest::qWaitForWindowActive(&about));
        QVERIFY(find.isVisible());
        RunningProgram::click(about, "cmdOK");

        RunningProgram::click(menu, "Command1");
        QVERIFY(QTest::qWaitForWindowActive(&add));
        QVERIFY(find.isVisible());

        // The details window open: the main menu still brings the others up.
        RunningProgram::typeOver(find, "Text2", QStringLiteral("Smith"));
        RunningProgram::click(find, "Command3");
        DetailsWindow& details = program.details();
        QVERIFY(QTest::qWaitForWindowActive(&details));
        RunningProgram::click(details, "Command3");
        QCOMPARE(details.givenNameBox->text(), QStringLiteral("John"));

        RunningProgram::click(menu, "Command2");
        QVERIFY(QTest::qWaitForWindowActive(&find));
        QVERIFY(details.isVisible());
        RunningProgram::click(menu, "Command1");
        QVERIFY(QTest::qWaitForWindowActive(&add));
        RunningProgram::click(menu, "Command3");
        QVERIFY(QTest::qWaitForWindowActive(&program.about()));
        QVERIFY(details.isVisible());
        QCOMPARE(details.givenNameBox->text(), QStringLiteral("John"));

        QVERIFY(program.test.messages.shown.isEmpty());
        QCOMPARE(program.test.storedRows(), kOtherContacts);
    }

    // The program itself, started the way a user starts it from another folder: it reads the
    // address book beside the executable, never a file of the same name in the current folder.
    void theProgramStartsOnTheBookBesideItFromAnyFolder() {
        QTemporaryDir installed;
        QTemporaryDir elsewhere;
        QVERIFY(installed.isValid() && elsewhere.isValid());
        const QString program = installed.filePath(QStringLiteral("tessaline"));
        QVERIFY(QFile::copy(QStringLiteral(TESSALINE_EXECUTABLE), program));
        QVERIFY(QFile::setPermissions(program, QFile::permissions(program) | QFile::ExeOwner));
        // A book an older Tessaline left in write-ahead-log mode, which the program switches to the
        // rollback journal as it opens it.
        const QString book = installed.filePath(QStringLiteral("address.mdb"));
        contact_table::createAddressBook(book);
        QVERIFY(StartedProgram::leaveInWriteAheadLogMode(book));

        const QByteArray decoy = "Not an address book: a note that happens to share the name.\n";
        const QString decoyPath = elsewhere.filePath(QStringLiteral("address.mdb"));
        {
            QFile note(decoyPath);
            QVERIFY(note.open(QIODevice::WriteOnly));
            note.write(decoy);
        }
        const QFileInfo decoyBefore(decoyPath);

        StartedProgram tessaline(program, elsewhere.path());
        QVERIFY(tessaline.opensTheBook(book));
        QCOMPARE(tessaline.stop(), QByteArray());
        // The current folder's file is as it was, and nothing was made beside it.
        QFile note(decoyPath);
        QVERIFY(note.open(QIODevice::ReadOnly));
        QCOMPARE(note.readAll(), decoy);
        QCOMPARE(QFileInfo(decoyPath).lastModified(), decoyBefore.lastModified());
        QCOMPARE(QDir(elsewhere.path())
                     .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{QStringLiteral("address.mdb")});
    }
};

QTEST_MAIN(TestContactRoad)
#include "test_contact_road.moc"
