#include "app/main_menu.h"
#include "app/program_windows.h"
#include "screens/details_window.h"
#include "screens/find_window.h"
#include "store/contact_table.h"
#include "store/date_stamp.h"
#include "store/lookup_statement.h"
#include "store/sqlite_db.h"
#include "support/layout_check.h"
#include "support/running_program.h"
#include "support/test_services.h"
#include "support/window_look.h"
#include "widgets/data_control.h"

#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>

namespace {

// The address book every test starts from, in rowid order.
const StoredRow kAnn = {"Ann",
                        "O'Brien",
                        "555-0101",
                        "555-0109",
                        "1 Harbour Road\nCobh",
                        "ann@obrien.example",
                        "obrien.example",
                        "Met at the fair\nLikes boats",
                        "3/1/25",
                        QVariant()};
const StoredRow kJohn = row({"John", "Smith", "555-0202", "", "2 Mill Lane", "john@smith.example",
                             "", "", "4/2/25", "5/2/25"});
const StoredRow kMary = row({"Mary", "Smith", "555-0303", QVariant(), "3 Mill Lane",
                             "mary@smith.example", QVariant(), QVariant(), "6/3/25"});
const StoredRow kPaul = row({"Paul", "Jones", "555-0404", QVariant(), QVariant(),
                             "paul@jones.example", QVariant(), QVariant(), "7/4/25"});

const QList<StoredRow> kBook = {kAnn, kJohn, kMary, kPaul};

StoredRow with(StoredRow stored, int column, const QString& value) {
    stored[column] = value;
    return stored;
}

QString today(RunningProgram& program) {
    return dateStamp(program.test.clock);
}

// A row as "Save" stores it: the value in its column and today's stamp.
StoredRow saved(RunningProgram& program, const StoredRow& stored, int column,
                const QString& value) {
    return with(with(stored, column, value), ModifiedOn, today(program));
}

// What the ten bound boxes hold, in the table's column order.
QStringList fields(RunningProgram& program) {
    return RunningProgram::contactTexts(program.details());
}

QToolButton* arrow(RunningProgram& program, const char* name) {
    return program.details().dataControl->findChild<QToolButton*>(QLatin1String(name));
}

QLineEdit* lineBox(QWidget& window, const char* name) {
    return window.findChild<QLineEdit*>(QLatin1String(name), Qt::FindDirectChildrenOnly);
}

enum class State { AwaitingRefresh, ShowingResult, Editing, Saved };

// The window's state as the visibility of its controls shows it; fails the test when the
// controls match none of the four.
void verifyState(DetailsWindow& form, State expected) {
    QList<QWidget*> fieldControls = {
        form.givenNameBox, form.surnameBox,   form.phoneBox, form.faxBox, form.addressBox,
        form.otherBox,     form.createdOnBox, form.emailBox, form.urlBox, form.modifiedOnBox};
    // The fields' labels are the window's only labels.
    for (QLabel* label : form.findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
        fieldControls << label;
    QCOMPARE(fieldControls.size(), 20);
    const bool fields = expected != State::AwaitingRefresh;
    for (QWidget* control : fieldControls)
        QVERIFY2(control->isVisibleTo(&form) == fields, qPrintable(control->objectName()));
    for (QPushButton* refresh : {form.refreshByNameButton, form.refreshBySurnameButton,
                                 form.refreshByPhoneButton, form.refreshByEmailButton})
        QCOMPARE(refresh->isVisibleTo(&form), !fields);
    QCOMPARE(form.editButton->isVisibleTo(&form),
             expected == State::ShowingResult || expected == State::Saved);
    QCOMPARE(form.saveButton->isVisibleTo(&form), expected == State::Editing);
    QVERIFY(form.backButton->isVisibleTo(&form));
    QVERIFY(form.dataControl->isVisibleTo(&form));
    QVERIFY(!form.searchTextBox->isVisibleTo(&form));
    // Before the first refresh there is no recordset to speak of.
    if (expected != State::AwaitingRefresh)
        QCOMPARE(form.dataControl->recordset().isOpen(), expected != State::Saved);
}

} // namespace

class TestDetailsWindow : public QObject {
    Q_OBJECT
  private slots:
    void layoutIsAsDesigned() {
        RunningProgram program(kBook);
        DetailsWindow& form = program.details();
        QCOMPARE(titleAsShown(&form), QStringLiteral("View/Edit"));
        QCOMPARE(form.size(), QSize(549, 277));

        compareWithLayout(&form, details_window_layout::kControls);
        if (QTest::currentTestFailed())
            return;
        // Each control is named for screen readers by its caption, a box by its label's.
        for (const ControlLayout& row : details_window_layout::kControls)
            QCOMPARE(form.findChild<QWidget*>(row.name)->accessibleName(),
                     QString::fromUtf8(row.caption));

        // Boxes: their design-time text is their own name.
        for (const char* name :
             {"Text1", "Text2", "Text3", "Text4", "Text7", "Text8", "Text9", "Text10", "Text11"}) {
            QLineEdit* box = lineBox(form, name);
            QVERIFY2(box, name);
            QCOMPARE(box->text(), QString::fromUtf8(name));
            QCOMPARE(box->isReadOnly(), QByteArray(name) == "Text7");
        }
        for (const char* name : {"Text5", "Text6"}) {
            auto* box = form.findChild<QPlainTextEdit*>(QLatin1String(name));
            QVERIFY2(box, name);
            QCOMPARE(box->toPlainText(), QString::fromUtf8(name));
            QCOMPARE(box->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
            QCOMPARE(box->lineWrapMode(), QPlainTextEdit::WidgetWidth);
            QVERIFY(!box->isReadOnly());
        }

        auto* data = form.findChild<DataControl*>(QStringLiteral("Data1"));
        QVERIFY(data);
        QCOMPARE(data->geometry(), QRect(464, 216, 84, 23));
        QCOMPARE(data->caption(), QStringLiteral("Data1"));
        QCOMPARE(data->connectString(), QStringLiteral("Access"));
        // The start-up step has given it the file beside the executable.
        QCOMPARE(data->databaseName(), program.test.databasePath());
    }

    // The first show awaits a refresh with the focus on "<<Back", so Enter goes back.
    void firstShowAwaitsRefreshAndEnterGoesBack() {
        RunningProgram program(kBook);
        program.openFind();
        program.search(Surname, QStringLiteral("Smith"));
        DetailsWindow& form = program.openDetails();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QVERIFY(!program.find().isVisible());
        verifyState(form, State::AwaitingRefresh);
        QCOMPARE(QApplication::focusWidget(), form.backButton);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(!form.isVisible());
        QVERIFY(program.find().isVisible());
        QCOMPARE(lineBox(program.find(), "Text2")->text(), QString());
    }

    void tabFollowsTheTabIndexesAndEveryCaptionIsWhole() {
        RunningProgram program(kBook);
        DetailsWindow& form = program.showBySurname(QStringLiteral("O'Brien"));
        QVERIFY(QTest::qWaitForWindowActive(&form));
        form.backButton->setFocus();
        const QList<QWidget*> order = {form.givenNameBox,  form.surnameBox, form.phoneBox,
                                       form.faxBox,        form.addressBox, form.emailBox,
                                       form.urlBox,        form.otherBox,   form.createdOnBox,
                                       form.modifiedOnBox, form.editButton, form.backButton};
        // The navigation strip's arrows are clicked, never tabbed to.
        for (QWidget* next : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }

        // Every caption is drawn whole in each state: "Created On" and "Modified On" up to where
        // their boxes begin, the refresh buttons' captions in two lines, the strip's caption
        // between its arrows.
        QCOMPARE(captionsNotWhole(&form), QStringList());
        QVERIFY(form.findChild<QLabel*>(QStringLiteral("Caption"))->isVisible());
        RunningProgram::click(form, "Command6");
        QCOMPARE(captionsNotWhole(&form), QStringList());
        RunningProgram::click(form, "Command1");
        program.openDetails();
        verifyState(form, State::AwaitingRefresh);
        QCOMPARE(captionsNotWhole(&form, {"Command2", "Command3", "Command4", "Command5"}),
                 QStringList());
    }

    // Editing one line of a multi-line box changes nothing else in its stored text: line breaks
    // of every kind and non-breaking spaces stay, and a line break typed there is stored as the
    // text's own are. In `typed`, LF stands for Enter and BS for Backspace, typed at the end.
    void aMultiLineBoxKeepsTheStoredTextWhereNotEdited_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        const QString address = QStringLiteral("1\u00A0Harbour Road\r\nCobh\r\nCo.\u00A0Cork");
        QTest::newRow("CR LF, a word added") << address << " IE" << address + " IE";
        QTest::newRow("CR LF, a line added") << address << "\nIreland" << address + "\r\nIreland";
        QTest::newRow("CR LF, the last line joined")
            << address << QString(9, u'\b') << "1\u00A0Harbour Road\r\nCobh";
        QTest::newRow("CR") << "Cobh\rCork"
                            << "\nIE"
                            << "Cobh\rCork\rIE";
        QTest::newRow("U+2028") << "Cobh\u2028Cork"
                                << "\nIE"
                                << "Cobh\u2028Cork\u2028IE";
        QTest::newRow("no line break yet") << "Cobh"
                                           << "\nIE"
                                           << "Cobh\nIE";
    }
    void aMultiLineBoxKeepsTheStoredTextWhereNotEdited() {
        QFETCH(QString, stored);
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        RunningProgram program({with(kAnn, Address, stored)});
        DetailsWindow& form = program.showBySurname(QStringLiteral("O'Brien"));
        RunningProgram::click(form, "Command6");
        form.addressBox->setFocus();
        QTest::keyClick(form.addressBox, Qt::Key_End, Qt::ControlModifier);
        for (const QChar key : typed) {
            if (key == u'\n')
                QTest::keyClick(form.addressBox, Qt::Key_Return);
            else if (key == u'\b')
                QTest::keyClick(form.addressBox, Qt::Key_Backspace);
            else
                QTest::keyClicks(form.addressBox, QString(key));
        }
        RunningProgram::click(form, "Command7");
        QCOMPARE(program.test.storedRows(),
                 QList<StoredRow>{saved(program, kAnn, Address, expected)});
    }

    // A line break pasted into a one-line box becomes a blank. One that a value already holds
    // (from an import) is shown and stays in the file while the user leaves that box alone.
    void aOneLineBoxHoldsOneLine() {
        const StoredRow imported = with(kAnn, Fax, QStringLiteral("555-0109\r\nweekdays"));
        RunningProgram program({imported});
        DetailsWindow& form = program.showBySurname(QStringLiteral("O'Brien"));
        QCOMPARE(form.faxBox->text(), imported[Fax].toString());
        RunningProgram::click(form, "Command6");
        form.phoneBox->setFocus();
        QTest::keyClick(form.phoneBox, Qt::Key_End);
        QGuiApplication::clipboard()->setText(QStringLiteral("\r\next. 12\nor\u2028\r13"));
        QTest::keyClick(form.phoneBox, Qt::Key_V, Qt::ControlModifier);
        const QString phone = QStringLiteral("555-0101 ext. 12 or  13");
        QCOMPARE(form.phoneBox->text(), phone);
        QCOMPARE(form.phoneBox->cursorPosition(), phone.size());
        RunningProgram::click(form, "Command7");
        QCOMPARE(program.test.storedRows(),
                 QList<StoredRow>{saved(program, imported, Phone, phone)});
    }

    // The round trip: a surname typed in lower case, found, edited and saved.
    void surnameInLowerCaseFoundEditedAndSaved() {
        RunningProgram program(kBook);
        DetailsWindow& form = program.showBySurname(QStringLiteral("o'brien"));
        QCOMPARE(form.searchTextBox->text(), QStringLiteral("o'brien"));
        QCOMPARE(form.dataControl->recordSource(),
                 QStringLiteral("Select * from address where surname = 'o''brien'"));
        QCOMPARE(fields(program), textsOf(kAnn));
        verifyState(form, State::ShowingResult);

        RunningProgram::click(form, "Command6");
        verifyState(form, State::Editing);
        QCOMPARE(form.modifiedOnBox->text(), today(program));
        RunningProgram::typeOver(form.phoneBox, QStringLiteral("555-0199"));
        RunningProgram::click(form, "Command7");

        QVERIFY(program.test.messages.shown.isEmpty());
        QVERIFY(!form.isVisible());
        QVERIFY(program.menu().isVisible());
        QCOMPARE(program.test.storedRows(),
                 (QList<StoredRow>{saved(program, kAnn, Phone, QStringLiteral("555-0199")), kJohn,
                                   kMary, kPaul}));
    }

    void severalMatchesAreSteppedThroughWithTheArrows() {
        RunningProgram program(kBook);
        program.showBySurname(QStringLiteral("Smith"));
        QCOMPARE(fields(program), textsOf(kJohn));
        QToolButton* next = arrow(program, "Next");
        QVERIFY(next);
        QVERIFY(next->isVisible());
        QTest::mouseClick(next, Qt::LeftButton);
        QCOMPARE(fields(program), textsOf(kMary));
        QTest::mouseClick(arrow(program, "Previous"), Qt::LeftButton);
        QCOMPARE(fields(program), textsOf(kJohn));
        QVERIFY(program.test.messages.shown.isEmpty());
        QCOMPARE(program.test.storedRows(), kBook);
    }

    void eachRefreshButtonReadsItsOwnFindBox() {
        RunningProgram program(kBook);
        program.openFind();
        program.search(Surname, QStringLiteral("Smith"));
        DetailsWindow& form = program.openDetails();

        // The name box is empty: no contact with a name is found, whatever the surname search.
        RunningProgram::click(form, "Command2");
        QCOMPARE(form.dataControl->recordSource(),
                 QStringLiteral("Select * from address where name = ''"));
        QCOMPARE(form.dataControl->recordset().recordCount(), 0);
        QCOMPARE(fields(program), QStringList(10, QString()));
        verifyState(form, State::ShowingResult);

        // Back, then a name and a phone typed next to each other: each button takes its own.
        RunningProgram::click(form, "Command1");
        RunningProgram::typeOver(lineBox(program.find(), "Text1"), QStringLiteral("paul"));
        RunningProgram::typeOver(lineBox(program.find(), "Text3"), QStringLiteral("555-0303"));
        RunningProgram::typeOver(lineBox(program.find(), "Text4"),
                                 QStringLiteral("john@smith.example"));
        program.openDetails();
        RunningProgram::click(form, "Command2");
        QCOMPARE(fields(program), textsOf(kPaul));

        const struct {
            const char* button;
            QString statement;
            StoredRow first;
        } others[] = {
            {"Command4", lookupStatement(LookupColumn::Phone, QStringLiteral("555-0303")), kMary},
            {"Command5", lookupStatement(LookupColumn::Email, QStringLiteral("john@smith.example")),
             kJohn},
        };
        for (const auto& expected : others) {
            RunningProgram::click(form, "Command1");
            // "<<Back" emptied the find boxes; the next search value is typed again.
            QCOMPARE(lineBox(program.find(), "Text3")->text(), QString());
            RunningProgram::typeOver(lineBox(program.find(), "Text3"), QStringLiteral("555-0303"));
            RunningProgram::typeOver(lineBox(program.find(), "Text4"),
                                     QStringLiteral("john@smith.example"));
            program.openDetails();
            RunningProgram::click(form, expected.button);
            QCOMPARE(form.dataControl->recordSource(), expected.statement);
            QCOMPARE(fields(program), textsOf(expected.first));
        }
    }

    // What "Save" stores of Paul's row: only the stamp when nothing was typed; text typed even
    // before "Edit"; never a typed "Created On", which takes no typing; a typed "Modified On"
    // instead of the stamp.
    void saveStoresWhatTheBoxesHold_data() {
        QTest::addColumn<bool>("beforeEdit");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("expected");
        QTest::newRow("nothing typed")
            << false << QString() << QString() << int(ModifiedOn) << QString();
        QTest::newRow("typed before Edit")
            << true << "Text6"
            << "Plays chess\non Sundays" << int(Other) << "Plays chess\non Sundays";
        QTest::newRow("Created On") << false << "Text7"
                                    << "1/1/99" << int(CreatedOn) << "7/4/25";
        QTest::newRow("Modified On") << false << "Text10"
                                     << "1/1/26" << int(ModifiedOn) << "1/1/26";
    }
    void saveStoresWhatTheBoxesHold() {
        QFETCH(bool, beforeEdit);
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(int, column);
        QFETCH(QString, expected);
        RunningProgram program(kBook);
        DetailsWindow& form = program.showBySurname(QStringLiteral("Jones"));
        if (!beforeEdit)
            RunningProgram::click(form, "Command6");
        if (!box.isEmpty())
            RunningProgram::typeOver(form, box, typed);
        if (beforeEdit)
            RunningProgram::click(form, "Command6");
        // "Created On" keeps its text, which can still be selected.
        if (column == CreatedOn)
            QCOMPARE(form.createdOnBox->selectedText(), expected);
        RunningProgram::click(form, "Command7");
        QVERIFY(program.test.messages.shown.isEmpty());
        StoredRow stored = with(kPaul, ModifiedOn, today(program));
        if (!expected.isEmpty())
            stored[column] = expected;
        QCOMPARE(program.test.storedRows(), (QList<StoredRow>{kAnn, kJohn, kMary, stored}));
        QVERIFY(!form.isVisible());
        QVERIFY(program.menu().isVisible());
        verifyState(form, State::Saved);
        QCOMPARE(fields(program), textsOf(stored));
    }

    // "<<Back", or closing the window through its frame, which is the same.
    void backEmptiesEveryFindBoxAndStoresNothing_data() {
        QTest::addColumn<bool>("throughTheFrame");
        QTest::newRow("<<Back") << false;
        QTest::newRow("closed through the frame") << true;
    }
    void backEmptiesEveryFindBoxAndStoresNothing() {
        QFETCH(bool, throughTheFrame);
        RunningProgram program(kBook);
        program.openFind();
        FindWindow& find = program.find();
        RunningProgram::typeOver(lineBox(program.find(), "Text1"), QStringLiteral("Ann"));
        RunningProgram::typeOver(lineBox(program.find(), "Text3"), QStringLiteral("555-0101"));
        RunningProgram::typeOver(lineBox(program.find(), "Text4"),
                                 QStringLiteral("ann@obrien.example"));
        program.search(Surname, QStringLiteral("O'Brien"));
        DetailsWindow& form = program.openDetails();
        RunningProgram::click(form, "Command3");
        RunningProgram::click(form, "Command6");
        RunningProgram::typeOver(form.phoneBox, QStringLiteral("555-0000"));
        const QString recordSource = find.dataControl->recordSource();

        if (throughTheFrame)
            form.close();
        else
            RunningProgram::click(form, "Command1");

        for (const char* box : {"Text1", "Text2", "Text3", "Text4"})
            QCOMPARE(lineBox(program.find(), box)->text(), QString());
        QVERIFY(!form.isVisible());
        QVERIFY(program.windows->isLoaded(WindowModel::Kind::Details));
        QVERIFY(find.isVisible());
        // The find window comes back as "Details" left it: without its grid.
        auto* grid = find.findChild<QWidget*>(QStringLiteral("DBGrid1"));
        QVERIFY(grid);
        QVERIFY(!grid->isVisible());
        QCOMPARE(find.dataControl->recordSource(), recordSource);
        verifyState(form, State::AwaitingRefresh);
        // The edit stays pending in the recordset; nothing reached the file.
        QCOMPARE(form.dataControl->recordset().editMode(), Recordset::EditMode::Editing);
        QCOMPARE(form.searchTextBox->text(), QStringLiteral("O'Brien"));
        QCOMPARE(program.test.storedRows(), kBook);
        QVERIFY(program.test.messages.shown.isEmpty());

        // The next refresh drops the pending edit with its recordset.
        program.search(Surname, QStringLiteral("Jones"));
        program.openDetails();
        RunningProgram::click(form, "Command3");
        QCOMPARE(fields(program), textsOf(kPaul));
        QCOMPARE(program.test.storedRows(), kBook);
    }

    void editInTheSavedStateAsksForANewSearch() {
        RunningProgram program(kBook);
        DetailsWindow& form = program.showBySurname(QStringLiteral("Smith"));
        RunningProgram::click(form, "Command6");
        RunningProgram::click(form, "Command7");
        const QList<StoredRow> stored = program.test.storedRows();
        const QStringList savedFields = fields(program);
        // The find boxes keep the earlier search, the grid stays hidden, and the next "Details"
        // shows the saved state.
        program.openFind();
        QCOMPARE(lineBox(program.find(), "Text2")->text(), QStringLiteral("Smith"));
        QVERIFY(!program.find().findChild<QWidget*>(QStringLiteral("DBGrid1"))->isVisible());
        program.openDetails();
        QVERIFY(form.isVisible());
        verifyState(form, State::Saved);
        QCOMPARE(fields(program), savedFields);
        RunningProgram::typeOver(form.modifiedOnBox, QStringLiteral("typed"));

        RunningProgram::click(form, "Command6");

        QCOMPARE(program.test.messages.texts(),
                 QStringList{"This contact has been saved. To edit a contact, go \"<<Back\" "
                             "and search for it again."});
        QCOMPARE(program.test.messages.shown[0].title, QStringLiteral("Tessaline"));
        QCOMPARE(form.modifiedOnBox->text(), QStringLiteral("typed"));
        verifyState(form, State::Saved);
        QCOMPARE(program.test.storedRows(), stored);

        // The way on is the one the message names.
        RunningProgram::click(form, "Command1");
        program.search(Surname, QStringLiteral("Jones"));
        program.openDetails();
        RunningProgram::click(form, "Command3");
        QCOMPARE(fields(program), textsOf(kPaul));
    }

    // The search text is used as typed: " Smith" matches no one, and "Edit" says so.
    void editWhenNothingMatchedSaysSoAndStampsNothing() {
        RunningProgram program(kBook);
        DetailsWindow& form = program.showBySurname(QStringLiteral(" Smith"));
        QCOMPARE(form.dataControl->recordSource(),
                 QStringLiteral("Select * from address where surname = ' Smith'"));
        QCOMPARE(form.dataControl->recordset().recordCount(), 0);
        verifyState(form, State::ShowingResult);
        QCOMPARE(fields(program), QStringList(10, QString()));

        RunningProgram::click(form, "Command6");

        QCOMPARE(program.test.messages.texts(), QStringList{"No contact matches the search."});
        QCOMPARE(form.modifiedOnBox->text(), QString());
        verifyState(form, State::ShowingResult);
        QCOMPARE(program.test.storedRows(), kBook);
    }

    // The arrows store the edit; "Save" then finishes it, storing the row moved to as well when
    // it was typed into, stamped as every row this window stores is.
    void saveAfterTheArrowsStoredTheEditFinishesTheSave_data() {
        QTest::addColumn<bool>("typedAfterMove");
        QTest::newRow("nothing typed after") << false;
        QTest::newRow("typed after") << true;
    }
    void saveAfterTheArrowsStoredTheEditFinishesTheSave() {
        QFETCH(bool, typedAfterMove);
        RunningProgram program(kBook);
        DetailsWindow& form = program.showBySurname(QStringLiteral("Smith"));
        QSignalSpy stores(form.dataControl, &DataControl::rowStored);
        RunningProgram::click(form, "Command6");
        RunningProgram::typeOver(form.phoneBox, QStringLiteral("555-0299"));
        QTest::mouseClick(arrow(program, "Next"), Qt::LeftButton);
        QCOMPARE(fields(program), textsOf(kMary));
        if (typedAfterMove)
            RunningProgram::typeOver(form.faxBox, QStringLiteral("555-0300"));

        RunningProgram::click(form, "Command7");

        QVERIFY(program.test.messages.shown.isEmpty());
        QCOMPARE(stores.count(), typedAfterMove ? 2 : 1);
        const StoredRow mary =
            typedAfterMove ? saved(program, kMary, Fax, QStringLiteral("555-0300")) : kMary;
        QCOMPARE(program.test.storedRows(),
                 (QList<StoredRow>{kAnn, saved(program, kJohn, Phone, QStringLiteral("555-0299")),
                                   mary, kPaul}));
        QVERIFY(!form.isVisible());
        QVERIFY(program.menu().isVisible());
        verifyState(form, State::Saved);
    }

    void aFailedRefreshIsReportedAndTheWindowStaysUsable() {
        RunningProgram program(kBook);
        program.openFind();
        program.search(Surname, QStringLiteral("Smith"));
        DetailsWindow& form = program.openDetails();
        const QString moved = program.test.databasePath() + QStringLiteral(".away");
        QVERIFY(QFile::rename(program.test.databasePath(), moved));
        RunningProgram::click(form, "Command3");
        QCOMPARE(program.test.messages.shown.size(), 1);
        QVERIFY(program.test.messages.shown[0].text.contains(program.test.databasePath()));
        verifyState(form, State::AwaitingRefresh);

        QVERIFY(QFile::rename(moved, program.test.databasePath()));
        RunningProgram::click(form, "Command3");
        QCOMPARE(fields(program), textsOf(kJohn));
        QCOMPARE(program.test.messages.shown.size(), 1);
    }
};

QTEST_MAIN(TestDetailsWindow)
#include "test_details_window.moc"
