#include "app/main_menu.h"
#include "screens/add_window.h"
#include "screens/details_window.h"
#include "screens/find_window.h"
#include "screens/results_grid.h"
#include "screens/results_model.h"
#include "store/contact_table.h"
#include "store/date_stamp.h"
#include "store/sqlite_db.h"
#include "support/running_program.h"
#include "widgets/data_control.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <cstdio>
#include <memory>

#ifndef _WIN32
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// What can happen to the address book while the program has it open.
enum class Fault { Deleted, RenamedOver, OverwrittenInPlace, Locked };

// A fault brought about from outside the program, and its cause taken away again.
class FileFault {
  public:
    FileFault(RunningProgram& program, Fault fault)
        : program_(program), fault_(fault), path_(program.test.databasePath()),
          backup_(backupDir_.filePath(QStringLiteral("address.mdb"))) {
        // A locked file fails a store after this long instead of the usual few seconds.
        for (DataControl* data :
             {program.add().dataControl, program.find().dataControl, program.details().dataControl})
            data->setBusyTimeout(200);
    }
    ~FileFault() {
        if (locker_)
            endLock();
    }

    // Keeps a copy of the book as it is now, made by another program, and what the book holds.
    void backUp() {
        QFile::remove(backup_);
        runElsewhere(QStringLiteral("sqlite3"),
                     {path_, QStringLiteral(".backup '%1'").arg(backup_)});
        stored_ = program_.test.storedRows();
    }
    const QList<StoredRow>& storedBefore() const { return stored_; }

    void cause() {
        static const QByteArray kNote = "Shopping: bread, milk, a new address book.\n";
        switch (fault_) {
        case Fault::Deleted:
            QVERIFY(QFile::remove(path_));
            break;
        case Fault::RenamedOver: {
            const QString fresh = path_ + QStringLiteral(".note");
            QVERIFY(writeFile(fresh, kNote));
            QCOMPARE(std::rename(QFile::encodeName(fresh).constData(),
                                 QFile::encodeName(path_).constData()),
                     0);
            break;
        }
        case Fault::OverwrittenInPlace: {
            const QString note = backupDir_.filePath(QStringLiteral("note.txt"));
            QVERIFY(writeFile(note, kNote));
            runElsewhere(QStringLiteral("cp"), {note, path_});
            break;
        }
        case Fault::Locked:
            startLock();
            break;
        }
    }

    void end() {
        switch (fault_) {
        case Fault::Deleted:
        case Fault::RenamedOver:
            // The backup copy goes back in place: a new file under the old name.
            QFile::remove(path_);
            QVERIFY(QFile::copy(backup_, path_));
            break;
        case Fault::OverwrittenInPlace:
            runElsewhere(QStringLiteral("cp"), {backup_, path_});
            break;
        case Fault::Locked:
            endLock();
            break;
        }
    }

    // The words a message about this fault must hold besides the path.
    QString keyWords() const {
        switch (fault_) {
        case Fault::Deleted:
            return QStringLiteral("does not exist");
        case Fault::RenamedOver:
        case Fault::OverwrittenInPlace:
            return QStringLiteral("not a Tessaline address book");
        case Fault::Locked:
            return QStringLiteral("in use by another program");
        }
        return {};
    }

    // Exactly one warning was shown since the start, about this fault and naming the file.
    void verifyReported() const {
        const auto& shown = program_.test.messages.shown;
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].icon, MessageBoxes::Icon::Warning);
        QCOMPARE(shown[0].title, QStringLiteral("Tessaline"));
        QVERIFY2(shown[0].text.contains(keyWords()), qPrintable(shown[0].text));
        QVERIFY2(shown[0].text.contains(path_), qPrintable(shown[0].text));
    }

  private:
    // Files the program has open are touched only by other programs: a handle of this process
    // on them would, once closed, drop the locks the program's own connections hold.
    static void runElsewhere(const QString& program, const QStringList& arguments) {
        QProcess tool;
        tool.start(program, arguments);
        QVERIFY2(tool.waitForFinished(), qPrintable(program));
        QVERIFY2(tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0,
                 tool.readAllStandardError().constData());
    }
    static bool writeFile(const QString& path, const QByteArray& content) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               file.write(content) == content.size() && file.flush();
    }

    // Another program takes the write lock and holds it until told to let go.
    void startLock() {
        locker_ = std::make_unique<QProcess>();
        locker_->start(QStringLiteral("sqlite3"), {path_});
        QVERIFY2(locker_->waitForStarted(), "sqlite3 is not installed");
        locker_->write("BEGIN IMMEDIATE;\nSELECT 'locked';\n");
        QByteArray said;
        while (!said.contains("locked") && locker_->waitForReadyRead(10000))
            said += locker_->readAllStandardOutput();
        QVERIFY2(said.contains("locked"), locker_->readAllStandardError().constData());
    }
    void endLock() {
        locker_->write("ROLLBACK;\n.quit\n");
        locker_->closeWriteChannel();
        QVERIFY(locker_->waitForFinished());
        QCOMPARE(locker_->readAllStandardError(), QByteArray());
        locker_.reset();
    }

    RunningProgram& program_;
    Fault fault_;
    QString path_;
    QTemporaryDir backupDir_;
    QString backup_;
    QList<StoredRow> stored_;
    std::unique_ptr<QProcess> locker_;
};

void addFaultRows() {
    QTest::addColumn<Fault>("fault");
    QTest::newRow("deleted") << Fault::Deleted;
    QTest::newRow("renamed over") << Fault::RenamedOver;
    QTest::newRow("overwritten in place") << Fault::OverwrittenInPlace;
    QTest::newRow("locked by another program") << Fault::Locked;
}

// Set in the copy of this test that runs as an unprivileged user, for whom permissions count.
constexpr char kUnprivilegedChild[] = "TESSALINE_TEST_UNPRIVILEGED";
constexpr unsigned kNobody = 65534;

void setWritable(const QString& folder, bool writable) {
    QFileDevice::Permissions permissions = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                           QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
    if (writable)
        permissions |= QFile::WriteOwner;
    QVERIFY(QFile::setPermissions(folder, permissions));
    // Only a user who is bound by permissions gets here with a read-only folder.
    QCOMPARE(QFileInfo(folder).isWritable(), writable);
}

// Runs the current test function and data row of this executable again as an unprivileged user,
// since the superuser may write into any folder; the copy reports through its exit code and output.
void runAsUnprivilegedUser() {
#ifndef _WIN32
    const QString testFunction = QString::fromLatin1(QTest::currentTestFunction());
    const QString dataTag = QString::fromLatin1(QTest::currentDataTag());
    QTemporaryDir home;
    QVERIFY(home.isValid());
    QCOMPARE(::chown(QFile::encodeName(home.path()).constData(), kNobody, kNobody), 0);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QLatin1String(kUnprivilegedChild), QStringLiteral("1"));
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    QProcess child;
    child.setProcessEnvironment(environment);
    child.setChildProcessModifier([] {
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            ::_exit(125);
    });
    child.start(QCoreApplication::applicationFilePath(), {testFunction + ':' + dataTag});
    QVERIFY(child.waitForFinished(120000));
    const QByteArray output = child.readAllStandardOutput() + child.readAllStandardError();
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
             output.constData());
    QVERIFY2(
        output.contains(
            QStringLiteral("PASS   : TestFileFaults::%1(%2)").arg(testFunction, dataTag).toUtf8()),
        output.constData());
    QVERIFY2(!output.contains("QWARN") && !output.contains("WARNING"), output.constData());
#else
    QSKIP("Folder permissions are not tested on this platform.");
#endif
}

// Another address book, with more contacts than the program's book, so that every row the
// program has read has a namesake in it.
const QList<StoredRow> kAnotherBook = {row({"Zoe", "Adams"}), row({"Yan", "Baker"}),
                                       row({"Xavier", "Cole"}), row({"Will", "Dunn"})};

// Another program makes a book holding `contacts` and renames it into the place of the one at
// `path`.
void putBookInPlace(const QString& path, const QList<StoredRow>& contacts) {
    const QString fresh = path + QStringLiteral(".other");
    contact_table::createAddressBook(fresh);
    insertRows(fresh, contacts);
    QCOMPARE(std::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(path).constData()),
             0);
}

// Another program renames that book into the place of the one at `path`.
void putAnotherBookInPlace(const QString& path) {
    putBookInPlace(path, kAnotherBook);
}

// The one message shown says that the book was replaced and nothing was stored.
void verifyReplacedReported(RunningProgram& program) {
    const QStringList texts = program.test.messages.texts();
    QCOMPARE(texts.size(), 1);
    for (const QString& part : {QStringLiteral("was replaced"),
                                QStringLiteral("Nothing was stored"), program.test.databasePath()})
        QVERIFY2(texts[0].contains(part), qPrintable(texts[0]));
}

// How the user leaves a grid row holding a typed value.
enum class Leaving { EnterThenDown, ClickOnAnotherRow, Back, Details };

} // namespace

Q_DECLARE_METATYPE(Fault)
Q_DECLARE_METATYPE(Leaving)

class TestFileFaults : public QObject {
    Q_OBJECT
  private slots:
    // "OK" in the add window while the book is unreachable: the entry stays typed and is stored
    // by the same "OK" once the book is back.
    void addingKeepsTheEntry_data() { addFaultRows(); }
    void addingKeepsTheEntry() {
        QFETCH(Fault, fault);
        RunningProgram program(kOtherContacts);
        FileFault book(program, fault);
        AddWindow& add = program.typeNewContact();
        book.backUp();

        book.cause();
        RunningProgram::click(add, "Command1");
        book.verifyReported();
        QVERIFY(add.isVisible());
        QVERIFY(add.okButton->isVisible());
        QCOMPARE(RunningProgram::contactTexts(add, kNewContact.size()), kNewContact);
        QCOMPARE(add.createdOnBox->text(), dateStamp(program.test.clock));

        book.end();
        QCOMPARE(program.test.storedRows(), book.storedBefore());
        RunningProgram::click(add, "Command1");
        QCOMPARE(program.test.messages.shown.size(), 1);
        QVERIFY(!add.isVisible());
        QVERIFY(program.menu().isVisible());
        QCOMPARE(program.test.storedRows(),
                 book.storedBefore() +
                     QList<StoredRow>{newContactRow(dateStamp(program.test.clock))});
    }

    // "Save" in the details window: the edited boxes stay as typed and the same "Save" stores
    // them once the book is back.
    void savingKeepsTheEdit_data() { addFaultRows(); }
    void savingKeepsTheEdit() {
        QFETCH(Fault, fault);
        RunningProgram program(kOtherContacts);
        FileFault book(program, fault);
        DetailsWindow& details = program.showBySurname(QStringLiteral("Jones"));
        RunningProgram::click(details, "Command6");
        RunningProgram::typeOver(details, "Text3", QStringLiteral("555-0499"));
        RunningProgram::typeOver(details, "Text6", QStringLiteral("Moved\nto Cork"));
        const QStringList typed = RunningProgram::contactTexts(details, 10);
        book.backUp();

        book.cause();
        RunningProgram::click(details, "Command7");
        book.verifyReported();
        QVERIFY(details.isVisible());
        QVERIFY(details.saveButton->isVisible());
        QCOMPARE(RunningProgram::contactTexts(details, 10), typed);

        book.end();
        QCOMPARE(program.test.storedRows(), book.storedBefore());
        RunningProgram::click(details, "Command7");
        QCOMPARE(program.test.messages.shown.size(), 1);
        QVERIFY(!details.isVisible());
        StoredRow saved = kOtherContacts[2];
        saved[Phone] = QStringLiteral("555-0499");
        saved[Other] = QStringLiteral("Moved\nto Cork");
        saved[ModifiedOn] = dateStamp(program.test.clock);
        QList<StoredRow> expected = book.storedBefore();
        expected[2] = saved;
        QCOMPARE(program.test.storedRows(), expected);
    }

    // "Find" in the find window: the search text stays, and the same "Find" lists the match
    // once the book is back. Another program's write lock does not stop a search.
    void findingKeepsTheSearch_data() { addFaultRows(); }
    void findingKeepsTheSearch() {
        QFETCH(Fault, fault);
        RunningProgram program(kOtherContacts);
        FileFault book(program, fault);
        FindWindow& find = program.find();
        RunningProgram::click(program.menu(), "Command2");
        RunningProgram::click(find, "Command3");
        RunningProgram::click(program.details(), "Command1");
        QVERIFY(!find.resultsGrid()->isVisible());
        RunningProgram::typeOver(find, "Text2", QStringLiteral("smith"));
        book.backUp();

        book.cause();
        RunningProgram::click(find, "Command2");
        if (fault == Fault::Locked) {
            QVERIFY(program.test.messages.shown.isEmpty());
            QVERIFY(find.resultsGrid()->isVisible());
            QCOMPARE(program.listed(Surname), QStringList{QStringLiteral("Smith")});
            book.end();
            QCOMPARE(program.test.storedRows(), book.storedBefore());
            return;
        }
        book.verifyReported();
        QVERIFY(!find.resultsGrid()->isVisible());
        QCOMPARE(find.surnameBox->text(), QStringLiteral("smith"));

        book.end();
        RunningProgram::click(find, "Command2");
        QCOMPARE(program.test.messages.shown.size(), 1);
        QVERIFY(find.resultsGrid()->isVisible());
        QCOMPARE(program.listed(Surname), QStringList{QStringLiteral("Smith")});
        QCOMPARE(program.test.storedRows(), book.storedBefore());
    }

    // A cell typed into the grid: it keeps its text and is stored on leaving the row once the
    // book is back.
    void storingACellKeepsWhatWasTyped_data() { addFaultRows(); }
    void storingACellKeepsWhatWasTyped() {
        QFETCH(Fault, fault);
        RunningProgram program(kOtherContacts);
        FileFault book(program, fault);
        RunningProgram::click(program.menu(), "Command2");
        QVERIFY(program.typeIntoCell(1, Phone, QStringLiteral("555-0299")));
        book.backUp();

        book.cause();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        book.verifyReported();
        QTableView* cells = program.gridCells();
        QCOMPARE(cells->currentIndex(), cells->model()->index(1, Phone));
        QCOMPARE(program.gridCell(1, Phone), QStringLiteral("555-0299"));
        QCOMPARE(cells->model()->headerData(1, Qt::Vertical).toString(),
                 ResultsModel::kChangedMarker);
        // The cell is open again, holding what was typed.
        auto* cell = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        QVERIFY(cell && cells->isAncestorOf(cell));
        QCOMPARE(cell->text(), QStringLiteral("555-0299"));

        book.end();
        QCOMPARE(program.test.storedRows(), book.storedBefore());
        QTest::keyClick(cell, Qt::Key_Down);
        QCOMPARE(program.test.messages.shown.size(), 1);
        QCOMPARE(cells->currentIndex(), cells->model()->index(2, Phone));
        QList<StoredRow> expected = book.storedBefore();
        expected[1][Phone] = QStringLiteral("555-0299");
        QCOMPARE(program.test.storedRows(), expected);
    }

    // Another address book put in place of the one a contact was read from: the edit is not
    // stored into whichever contact has the same place in it.
    void anEditIsNotStoredIntoAnotherBookPutInItsPlace() {
        RunningProgram program(kOtherContacts);
        DetailsWindow& details = program.showBySurname(QStringLiteral("Jones"));
        RunningProgram::click(details, "Command6");
        RunningProgram::typeOver(details, "Text3", QStringLiteral("555-0499"));
        const QStringList typed = RunningProgram::contactTexts(details, 10);

        const QString path = program.test.databasePath();
        putAnotherBookInPlace(path);

        RunningProgram::click(details, "Command7");
        const QStringList texts = program.test.messages.texts();
        QCOMPARE(texts.size(), 1);
        QVERIFY2(texts[0].contains(QStringLiteral("search for the contact again")),
                 qPrintable(texts[0]));
        QVERIFY2(texts[0].contains(path), qPrintable(texts[0]));
        QVERIFY(details.saveButton->isVisible());
        QCOMPARE(RunningProgram::contactTexts(details, 10), typed);
        QCOMPARE(program.test.storedRows(), kAnotherBook);
    }

    // A cell typed into the grid when another book is put in place of the one it was read from:
    // however the row is left, the typed value is refused with a message, and the grid lists the
    // contacts of the book now at the path, with nothing typed on any of them. Nothing the user
    // does next stores it into the contact that took the row's place.
    void aTypedCellIsNotStoredIntoAnotherBookPutInItsPlace_data() {
        QTest::addColumn<Leaving>("leaving");
        QTest::newRow("Enter, then Down") << Leaving::EnterThenDown;
        QTest::newRow("a click on another row") << Leaving::ClickOnAnotherRow;
        QTest::newRow("<<Back") << Leaving::Back;
        QTest::newRow("Details") << Leaving::Details;
    }
    void aTypedCellIsNotStoredIntoAnotherBookPutInItsPlace() {
        QFETCH(Leaving, leaving);
        RunningProgram program(kOtherContacts);
        FindWindow& find = program.find();
        RunningProgram::click(program.menu(), "Command2");
        QVERIFY(program.typeIntoCell(0, Phone, QStringLiteral("555-0999")));
        putAnotherBookInPlace(program.test.databasePath());

        switch (leaving) {
        case Leaving::EnterThenDown:
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
            break;
        case Leaving::ClickOnAnotherRow:
            program.clickCell(2, Name);
            break;
        case Leaving::Back:
            RunningProgram::click(find.backButton);
            break;
        case Leaving::Details:
            RunningProgram::click(find.detailsButton);
            break;
        }
        verifyReplacedReported(program);
        QVERIFY(find.isVisible());
        QCOMPARE(program.listedRows(), textsOf(kAnotherBook));
        for (int listed = 0; listed <= kAnotherBook.size(); ++listed)
            QVERIFY(program.selector(listed) != ResultsModel::kChangedMarker);

        program.clickCell(1, Name);
        program.clickCell(3, Surname);
        RunningProgram::click(find.backButton);
        QVERIFY(!find.isVisible());
        QCOMPARE(program.test.messages.shown.size(), 1);
        QCOMPARE(program.test.storedRows(), kAnotherBook);
    }

    // A new contact typed into the grid's new line belongs to no book yet: put in place of the
    // one the grid was read from, the book at the path takes it, and no contact of it changes.
    void theNewLineGoesIntoTheBookPutInPlace() {
        RunningProgram program(kOtherContacts);
        RunningProgram::click(program.menu(), "Command2");
        QVERIFY(program.typeIntoCell(kOtherContacts.size(), Name, QStringLiteral("Nora")));
        putAnotherBookInPlace(program.test.databasePath());

        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY2(program.test.messages.shown.isEmpty(),
                 qPrintable(program.test.messages.texts().join('\n')));
        const QList<StoredRow> expected = kAnotherBook + QList<StoredRow>{row({"Nora"})};
        QCOMPARE(program.test.storedRows(), expected);
        QCOMPARE(program.listedRows(), textsOf(expected));
    }

    // The details window's arrows after another book was put in place of the one it read: the
    // move is refused with a message, and the boxes show the first match of the same search in
    // the book now at the path, or, when something was typed, still what was typed, which is
    // never stored.
    void theArrowsDoNotShowContactsOfAReplacedBook_data() {
        QTest::addColumn<bool>("typed");
        QTest::newRow("nothing typed") << false;
        QTest::newRow("a box typed into") << true;
    }
    void theArrowsDoNotShowContactsOfAReplacedBook() {
        QFETCH(bool, typed);
        const QList<StoredRow> mine = {row({"Hans", "Müller"}), row({"Maria", "müller"}),
                                       row({"Paul", "MÜLLER"})};
        RunningProgram program(mine);
        DetailsWindow& details = program.showBySurname(QStringLiteral("Müller"));
        if (typed)
            RunningProgram::typeOver(details, "Text3", QStringLiteral("555-0999"));
        const QStringList shown = RunningProgram::contactTexts(details);
        const QList<StoredRow> theirs = {row({"Karl", "Adams"}), row({"Eva", "MÜLLER"}),
                                         row({"Ida", "müller"})};
        putBookInPlace(program.test.databasePath(), theirs);

        QTest::mouseClick(details.dataControl->findChild<QToolButton*>(QStringLiteral("Next")),
                          Qt::LeftButton);
        verifyReplacedReported(program);
        QCOMPARE(RunningProgram::contactTexts(details), typed ? shown : textsOf(theirs[1]));
        // "Edit" then "Save" works on the contact shown; what was typed on the other book's
        // contact is refused again.
        RunningProgram::click(details, "Command6");
        if (!typed)
            RunningProgram::click(details, "Command7");
        QCOMPARE(program.test.messages.shown.size(), typed ? 2 : 1);
        QList<StoredRow> expected = theirs;
        if (!typed)
            expected[1][ModifiedOn] = dateStamp(program.test.clock);
        QCOMPARE(program.test.storedRows(), expected);
    }

    // A folder the program may not write in, from the start or from the middle of the work: the
    // book is read as ever, but a store, which needs a journal beside the book, fails and says
    // why, and the entry stays typed. Making the folder writable again is all it takes.
    void aFolderThatCannotBeWritten_data() {
        QTest::addColumn<bool>("fromTheStart");
        QTest::newRow("mid-work") << false;
        QTest::newRow("at start-up") << true;
    }
    void aFolderThatCannotBeWritten() {
        if (::geteuid() == 0 && !qEnvironmentVariableIsSet(kUnprivilegedChild)) {
            runAsUnprivilegedUser();
            return;
        }
        QFETCH(bool, fromTheStart);
        QString folder;
        RunningProgram program(kOtherContacts, [&folder, fromTheStart](TestServices& test) {
            folder = test.applicationDirectory();
            if (fromTheStart)
                setWritable(folder, false);
        });
        setWritable(folder, false);
        const auto writableAgain = qScopeGuard([folder] { setWritable(folder, true); });

        FindWindow& find = program.find();
        RunningProgram::click(program.menu(), "Command2");
        RunningProgram::typeOver(find, "Text2", QStringLiteral("jones"));
        RunningProgram::click(find, "Command2");
        QCOMPARE(program.listed(Surname), QStringList{QStringLiteral("Jones")});

        AddWindow& add = program.typeNewContact();
        RunningProgram::click(add, "Command1");
        const QStringList shown = program.test.messages.texts();
        QCOMPARE(shown.size(), 1);
        for (const QString& part :
             {QStringLiteral("cannot be written"), QStringLiteral("\"%1\"").arg(folder),
              program.test.databasePath()})
            QVERIFY2(shown[0].contains(part), qPrintable(shown[0]));
        QCOMPARE(RunningProgram::contactTexts(add, kNewContact.size()), kNewContact);
        QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{QStringLiteral("address.mdb")});

        setWritable(folder, true);
        RunningProgram::click(add, "Command1");
        QCOMPARE(program.test.messages.shown.size(), 1);
        const QString stamp = dateStamp(FixedClock(QDate(2026, 12, 7)));
        QCOMPARE(program.test.storedRows(),
                 kOtherContacts + QList<StoredRow>{newContactRow(stamp)});
    }
};

QTEST_MAIN(TestFileFaults)
#include "test_file_faults.moc"
