#include "app/main_menu.h"
#include "app/program_windows.h"
#include "screens/details_window.h"
#include "screens/find_window.h"
#include "screens/results_grid.h"
#include "screens/results_model.h"
#include "store/contact_table.h"
#include "store/sqlite_db.h"
#include "support/layout_check.h"
#include "support/running_program.h"
#include "support/test_services.h"
#include "support/window_look.h"
#include "widgets/data_control.h"

#include <QAbstractItemModelTester>
#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QtTest>

namespace {

// The address book every test starts from: Unicode, blanks, an apostrophe, empty text and NULL.
const QList<StoredRow> kContacts = {
    row({"Anna", "Smith", "555-0101", "555-0199", "1 Main St", "anna@example.org", "", "",
         "01/02/2024", QVariant()}),
    row({"Élodie", "Ångström", "555-0102", QVariant(), "2 Rue Haute\nParis", "elodie@example.fr",
         QVariant(), "née Durand", "03/04/2024", "05/06/2024"}),
    row({"anna", "SMITH", "555-0103", QVariant(), QVariant(), "ANNA@EXAMPLE.ORG"}),
    row({"Sean", "O'Brien", "555 0104", QVariant(), QVariant(), ""}),
    row({" Bob", "Lee ", "", QVariant(), QVariant(), QVariant()}),
    row({"Zoë", "Ζωή", QVariant(), QVariant(), QVariant(), "zoe@example.gr"}),
    row({"Анна", "Иванова", "+7 495 000", QVariant(), QVariant(), "anna@example.ru"}),
};

// What the grid lists: each contact row's given name and surname, the new line left out.
QStringList listedNames(RunningProgram& program) {
    QStringList names;
    for (const QStringList& listed : program.listedRows())
        names << listed[Name] + QLatin1Char('|') + listed[Surname];
    return names;
}

QStringList namesOf(std::initializer_list<int> contacts) {
    QStringList names;
    for (int i : contacts)
        names << kContacts[i][Name].toString() + QLatin1Char('|') +
                     kContacts[i][Surname].toString();
    return names;
}

} // namespace

class TestFindWindow : public QObject {
    Q_OBJECT
  private slots:
    void layoutIsAsDesigned() {
        RunningProgram program(kContacts);
        FindWindow& find = program.openFind();
        QCOMPARE(titleAsShown(&find), QStringLiteral("Find"));
        QCOMPARE(captionsNotWhole(&find), QStringList());
        QCOMPARE(find.size(), QSize(637, 429));

        compareWithLayout(&find, find_window_layout::kControls);
        if (QTest::currentTestFailed())
            return;
        for (const char* box : {"Text1", "Text2", "Text3", "Text4"})
            QCOMPARE(find.findChild<QLineEdit*>(box)->text(), QString());
        for (const ControlLayout& row : find_window_layout::kControls)
            QVERIFY2(find.findChild<QWidget*>(row.name)->isVisible(), row.name);

        auto* data = find.findChild<DataControl*>("Data1");
        QVERIFY(data);
        QVERIFY(!data->isVisible());
        QCOMPARE(data->connectString(), QStringLiteral("Access"));
        QCOMPARE(data->recordSource(), QStringLiteral("address"));
        QCOMPARE(data->databaseName(), program.test.databasePath());

        auto* grid = find.findChild<ResultsGrid*>("DBGrid1");
        QVERIFY(grid);
        QCOMPARE(grid->caption(), QStringLiteral("Results"));
        auto* caption = grid->findChild<QLabel*>();
        QVERIFY(caption && caption->isVisible());
        QCOMPARE(caption->text(), QStringLiteral("Results"));
        // The caption bar lies above the column headers.
        QTableView* cells = grid->cells();
        QVERIFY(caption->mapTo(grid, QPoint(0, caption->height())).y() <=
                cells->horizontalHeader()->mapTo(grid, QPoint(0, 0)).y());
        QCOMPARE(cells->accessibleName(), QStringLiteral("Results"));
        QCOMPARE(cells->horizontalHeader()->font(), cells->font());
        QCOMPARE(cells->font().pointSizeF(), 8.25);
        // The line under each row is dark grey.
        const QImage drawn = cells->viewport()->grab().toImage();
        const int underFirstRow = cells->rowViewportPosition(0) + cells->rowHeight(0) - 1;
        QCOMPARE(QColor(drawn.pixel(cells->columnViewportPosition(0) + 5, underFirstRow)),
                 QColor(Qt::darkGray));
    }

    void focusFollowsTheTabIndexesAndWraps() {
        RunningProgram program(kContacts);
        FindWindow& find = program.openFind();
        QCOMPARE(QApplication::focusWidget(), find.givenNameBox);
        const QList<QWidget*> order = {
            find.findByNameButton,  find.surnameBox,        find.findBySurnameButton,
            find.phoneBox,          find.findByPhoneButton, find.emailBox,
            find.findByEmailButton, find.detailsButton,     find.backButton,
            program.gridCells(),    find.givenNameBox};
        for (QWidget* next : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            if (next == program.gridCells())
                QVERIFY2(program.openCell(), "the grid's current cell is open for typing");
            else
                QCOMPARE(QApplication::focusWidget(), next);
        }
    }

    void theFirstOpenListsEveryContact() {
        RunningProgram program(kContacts);
        FindWindow& find = program.openFind();
        QVERIFY(find.resultsGrid()->isVisible());
        QTableView* cells = program.gridCells();
        QAbstractItemModel* model = cells->model();
        QCOMPARE(model->columnCount(), 10);
        QStringList headers;
        for (int c = 0; c < model->columnCount(); ++c)
            headers << model->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(headers, contact_table::columnNames());
        // Every contact, then the empty line for a new one.
        QCOMPARE(model->rowCount(), kContacts.size() + 1);
        QCOMPARE(listedNames(program), namesOf({0, 1, 2, 3, 4, 5, 6}));
        QCOMPARE(program.gridCell(1, Address), QStringLiteral("2 Rue Haute\nParis"));
        QCOMPARE(program.gridCell(1, ModifiedOn), QStringLiteral("05/06/2024"));
        QCOMPARE(program.gridCell(5, Phone), QString());
        for (int c = 0; c < 10; ++c)
            QCOMPARE(program.gridCell(kContacts.size(), c), QString());
        // The first row is current; the new line is marked as such.
        QCOMPARE(cells->currentIndex().row(), 0);
        QCOMPARE(program.selector(0), ResultsModel::kCurrentMarker);
        QCOMPARE(program.selector(1), QString());
        QCOMPARE(program.selector(kContacts.size()), ResultsModel::kNewLineMarker);
        QCOMPARE(find.dataControl->recordset().absolutePosition(), 0);
        // Everything fits: no scroll bars.
        QVERIFY(!cells->verticalScrollBar()->isVisible());

        // A screen reader finds a table named "Results" with the same rows and headers.
        QAccessibleInterface* table = QAccessible::queryAccessibleInterface(cells);
        QVERIFY(table);
        QCOMPARE(table->role(), QAccessible::Table);
        QCOMPARE(table->text(QAccessible::Name), QStringLiteral("Results"));
        QAccessibleTableInterface* rows = table->tableInterface();
        QVERIFY(rows);
        QCOMPARE(rows->columnCount(), 10);
        QCOMPARE(rows->rowCount(), kContacts.size() + 1);
        QCOMPARE(rows->columnDescription(Surname), QStringLiteral("Surname"));
        QAccessibleInterface* surname = rows->cellAt(1, Surname);
        QVERIFY(surname);
        QCOMPARE(surname->text(QAccessible::Name), QStringLiteral("Ångström"));
    }

    void aBareFileNameMeansTheFileBesideTheExecutable() {
        // Another directory is current, holding no address book: it is never opened or created.
        QTemporaryDir elsewhere;
        const QString previous = QDir::currentPath();
        RunningProgram program(
            {kContacts[0]}, [&](TestServices&) { QDir::setCurrent(elsewhere.path()); },
            RunningProgram::Start::NoWindow);
        FindWindow& find = program.find();
        QDir::setCurrent(previous);
        QCOMPARE(find.dataControl->databaseName(), QStringLiteral("address.mdb"));
        find.Show();
        QCOMPARE(listedNames(program), namesOf({0}));
        QVERIFY(!QFile::exists(elsewhere.filePath(QStringLiteral("address.mdb"))));
        QVERIFY(program.test.messages.shown.isEmpty());
    }

    void eachSearchListsTheWholeValueMatchesWithoutRegardToCase() {
        RunningProgram program(kContacts);
        FindWindow& find = program.openFind();
        struct Case {
            Column column;
            QString text;
            QStringList expected;
        };
        const Case cases[] = {
            {Name, "ANNA", namesOf({0, 2})},
            {Name, "Ann", {}},
            {Name, "élodie", namesOf({1})},
            {Name, "анна", namesOf({6})},
            {Name, "Bob", {}},
            {Name, " Bob", namesOf({4})},
            {Surname, "smith", namesOf({0, 2})},
            {Surname, "o'brien", namesOf({3})},
            {Surname, "ΖΩΉ", namesOf({5})},
            {Surname, "Lee", {}},
            {Surname, "Lee ", namesOf({4})},
            {Phone, "555 0104", namesOf({3})},
            {Phone, "555", {}},
            {Email, "Anna@Example.Org", namesOf({0, 2})},
            {Email, "anna@example", {}},
            // An empty box finds the rows holding empty text, not those holding nothing.
            {Surname, "", {}},
            {Phone, "", namesOf({4})},
            {Email, "", namesOf({3})},
        };
        for (const Case& each : cases) {
            program.search(each.column, each.text);
            QVERIFY2(program.test.messages.shown.isEmpty(), qPrintable(each.text));
            QCOMPARE(listedNames(program), each.expected);
            QVERIFY(find.resultsGrid()->isVisible());
            // The empty line for a new contact is always last.
            QCOMPARE(program.selector(program.gridCells()->model()->rowCount() - 1).right(1),
                     ResultsModel::kNewLineMarker);
        }
        QCOMPARE(find.dataControl->recordSource(),
                 QStringLiteral("Select * from address where email = ''"));
    }

    void findByNameWithAnEmptyBoxRepeatsTheLastSearch() {
        RunningProgram program(kContacts);
        FindWindow& find = program.openFind();
        // Before any search it is the whole table.
        program.search(Name, QString());
        QCOMPARE(listedNames(program), namesOf({0, 1, 2, 3, 4, 5, 6}));
        // A search with a quote is taken as typed.
        program.search(Surname, QStringLiteral("O'Brien"));
        QCOMPARE(listedNames(program), namesOf({3}));
        QCOMPARE(find.surnameBox->text(), QStringLiteral("O'Brien"));
        // A contact stored meanwhile by another program shows up: the rows are fetched again.
        program.test.insertRow(row({"Eve", "O'Brien"}));
        find.surnameBox->clear();
        program.search(Name, QString());
        QVERIFY(program.test.messages.shown.isEmpty());
        QCOMPARE(find.dataControl->recordSource(),
                 QStringLiteral("Select * from address where surname = 'O''Brien'"));
        QCOMPARE(listedNames(program), namesOf({3}) << QStringLiteral("Eve|O'Brien"));
        QVERIFY(find.resultsGrid()->isVisible());
    }

    void backThenViewEditShowsEmptyBoxesAndTheGridAsItWasLeft() {
        RunningProgram program(kContacts);
        FindWindow& find = program.openFind();
        program.search(Surname, QStringLiteral("Smith"));
        RunningProgram::typeText(find.givenNameBox, QStringLiteral("x"));
        RunningProgram::typeText(find.phoneBox, QStringLiteral("y"));
        // "<<Back" first, then closing through the frame, which is the same.
        for (const bool throughTheFrame : {false, true}) {
            RunningProgram::typeText(find.emailBox, QStringLiteral("z"));
            if (throughTheFrame)
                find.close();
            else
                QTest::mouseClick(find.backButton, Qt::LeftButton);
            QVERIFY(!find.isVisible());
            QVERIFY(program.windows->isLoaded(WindowModel::Kind::Find));
            QVERIFY(program.menu().isVisible());
            for (QLineEdit* box :
                 {find.givenNameBox, find.surnameBox, find.phoneBox, find.emailBox})
                QCOMPARE(box->text(), QString());

            FindWindow& again = program.openFind();
            QCOMPARE(&again, &find);
            QVERIFY(find.resultsGrid()->isVisible());
            QCOMPARE(listedNames(program), namesOf({0, 2}));
            QCOMPARE(find.dataControl->recordSource(),
                     QStringLiteral("Select * from address where surname = 'Smith'"));
        }
    }

    void detailsHidesTheGridUntilTheNextFind() {
        RunningProgram program(kContacts);
        FindWindow& find = program.openFind();
        RunningProgram::typeText(find.surnameBox, QStringLiteral("Smith"));
        QTest::mouseClick(find.detailsButton, Qt::LeftButton);
        QVERIFY(!find.isVisible());
        QVERIFY(!find.resultsGrid()->isVisibleTo(&find));
        QVERIFY(program.details().isVisible());
        QCOMPARE(find.surnameBox->text(), QStringLiteral("Smith"));

        program.details().Hide();
        program.openFind();
        QVERIFY(!find.resultsGrid()->isVisible());
        QCOMPARE(listedNames(program), namesOf({0, 1, 2, 3, 4, 5, 6}));
        QTest::mouseClick(find.findBySurnameButton, Qt::LeftButton);
        QVERIFY(find.resultsGrid()->isVisible());
        QCOMPARE(listedNames(program), namesOf({0, 2}));
    }

    void aFailedFetchIsReportedAndDoesNotShowTheGrid() {
        RunningProgram program(kContacts);
        FindWindow& find = program.openFind();
        QTest::mouseClick(find.detailsButton, Qt::LeftButton);
        program.details().Hide();
        program.openFind();
        QVERIFY(QFile::remove(program.test.databasePath()));
        program.search(Surname, QStringLiteral("Smith"));
        QCOMPARE(program.test.messages.shown.size(), 1);
        QVERIFY2(program.test.messages.shown[0].text.contains(QStringLiteral("address.mdb")),
                 qPrintable(program.test.messages.shown[0].text));
        QCOMPARE(program.test.messages.shown[0].title, QStringLiteral("Tessaline"));
        QVERIFY(!find.resultsGrid()->isVisible());
        // The file is never made again.
        QVERIFY(!QFile::exists(program.test.databasePath()));
    }

    void aCellTypedIntoIsStoredWhenTheRowIsLeftWithoutADateStamp() {
        RunningProgram program(kContacts);
        program.openFind();
        program.search(Surname, QStringLiteral("Ångström"));
        program.clickCell(0, Phone);
        QLineEdit* editor = program.openCell();
        QVERIFY(editor);
        QCOMPARE(editor->text(), QStringLiteral("555-0102"));
        RunningProgram::typeText(editor, QStringLiteral("01 23 45"));
        QCOMPARE(program.selector(0), ResultsModel::kChangedMarker);
        // Nothing is stored while the row is still current.
        QCOMPARE(program.test.storedRows()[1][Phone].toString(), QStringLiteral("555-0102"));
        QTest::keyClick(editor, Qt::Key_Down);
        QCOMPARE(program.gridCells()->currentIndex(),
                 program.gridCells()->model()->index(1, Phone));

        StoredRow expected = kContacts[1];
        expected[Phone] = QStringLiteral("01 23 45");
        QCOMPARE(program.test.storedRows()[1], expected);
        QCOMPARE(program.gridCell(0, Phone), QStringLiteral("01 23 45"));
        QCOMPARE(program.selector(0), QString());
        QVERIFY(program.test.messages.shown.isEmpty());
        // Only that row changed; cells passed through keep no value rather than empty text.
        QList<StoredRow> rest = program.test.storedRows();
        rest.removeAt(1);
        QList<StoredRow> others = kContacts;
        others.removeAt(1);
        QCOMPARE(rest, others);
    }

    // A line break in a stored value is seen in its cell, and stays in the file when the user
    // changes another part of the value; a line break pasted into a cell becomes a blank.
    void aCellShowsItsLineBreaksAndTakesNoNewOnes() {
        QList<StoredRow> book = kContacts;
        book[0][Other] = QStringLiteral("one\r\ntwo\rthree");
        RunningProgram program(book);
        program.openFind();
        QTableView* cells = program.gridCells();
        const auto drawn = [cells](int row, int column) {
            auto* delegate = qobject_cast<QStyledItemDelegate*>(cells->itemDelegate());
            return delegate->displayText(cells->model()->index(row, column).data(), QLocale());
        };
        QCOMPARE(drawn(1, Address), QStringLiteral("2 Rue Haute\u21B5Paris"));
        QCOMPARE(drawn(0, Other), QStringLiteral("one\u21B5two\u21B5three"));

        QLineEdit* editor = program.typeIntoCell(1, Address, QString());
        QVERIFY(editor);
        editor->end(false);
        RunningProgram::typeText(editor, QStringLiteral(" 5e"));
        QTest::keyClick(editor, Qt::Key_Right); // to the next cell, in the same row
        RunningProgram::pasteOver(program.openCell(), QStringLiteral("elodie@\nexample.fr"));
        QCOMPARE(program.openCell()->text(), QStringLiteral("elodie@ example.fr"));
        QTest::keyClick(program.openCell(), Qt::Key_Return);
        QCOMPARE(program.test.storedRows()[1][Address].toString(),
                 QStringLiteral("2 Rue Haute\nParis 5e"));
        QCOMPARE(program.test.storedRows()[1][Email].toString(),
                 QStringLiteral("elodie@ example.fr"));
        program.search(Email, QStringLiteral("elodie@ example.fr"));
        QCOMPARE(listedNames(program), namesOf({1}));
    }

    void movingToAnotherRowMakesItTheDataControlsCurrentRow() {
        RunningProgram program(kContacts);
        FindWindow& find = program.openFind();
        program.clickCell(3, Email);
        QCOMPARE(find.dataControl->recordset().absolutePosition(), 3);
        QCOMPARE(program.selector(3), ResultsModel::kCurrentMarker);
        QCOMPARE(program.selector(0), QString());
        QTest::keyClick(program.openCell(), Qt::Key_Up);
        QCOMPARE(find.dataControl->recordset().absolutePosition(), 2);
        // Refreshing the grid keeps its place.
        program.clickCell(4, Phone);
        find.resultsGrid()->refresh();
        QCOMPARE(program.gridCells()->currentIndex(),
                 program.gridCells()->model()->index(4, Phone));
        QCOMPARE(listedNames(program), namesOf({0, 1, 2, 3, 4, 5, 6}));
    }

    void leavingTheGridStoresTheRow() {
        RunningProgram program(kContacts);
        FindWindow& find = program.openFind();
        program.clickCell(0, Url);
        RunningProgram::typeText(program.openCell(), QStringLiteral("https://anna.example.org"));
        QTest::keyClick(program.openCell(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), find.givenNameBox);
        QCOMPARE(program.test.storedRows()[0][Url].toString(),
                 QStringLiteral("https://anna.example.org"));
        // Shift+Tab from the grid goes back to "<<Back".
        program.clickCell(1, Name);
        QTest::keyClick(program.openCell(), Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), find.backButton);
    }

    void aRowTypedIntoTheNewLineIsAppendedOnEnter() {
        RunningProgram program(kContacts);
        FindWindow& find = program.openFind();
        program.search(Surname, QStringLiteral("Nobody"));
        QCOMPARE(program.gridCells()->model()->rowCount(), 1);
        program.clickCell(0, Name);
        RunningProgram::typeText(program.openCell(), QStringLiteral("Łukasz"));
        QTest::keyClick(program.openCell(), Qt::Key_Right);
        RunningProgram::typeText(program.openCell(), QStringLiteral("Nobody"));
        QTest::keyClick(program.openCell(), Qt::Key_Return);
        QVERIFY(program.test.messages.shown.isEmpty());

        // The row has only what was typed: no date stamp, nothing in the untouched columns.
        QCOMPARE(program.test.storedRows().size(), kContacts.size() + 1);
        QCOMPARE(program.test.storedRows().last(), row({"Łukasz", "Nobody"}));
        // It stays listed, with an empty new line after it.
        QCOMPARE(listedNames(program), QStringList{"Łukasz|Nobody"});
        QCOMPARE(program.gridCells()->model()->rowCount(), 2);
        QCOMPARE(program.gridCell(1, Name), QString());
        QCOMPARE(program.selector(0), QString());
        QVERIFY(program.openCell());
        QCOMPARE(program.openCell()->text(), QString());
        // The same search finds it in the file.
        QTest::mouseClick(find.findBySurnameButton, Qt::LeftButton);
        QCOMPARE(listedNames(program), QStringList{"Łukasz|Nobody"});
    }

    void aRowTypedIntoTheNewLineIsAppendedWhenLeft() {
        RunningProgram program(kContacts);
        FindWindow& find = program.openFind();
        QTest::keyClick(find.givenNameBox, Qt::Key_Tab, Qt::ShiftModifier); // to the grid
        QVERIFY(program.openCell());
        QTest::keyClick(program.openCell(), Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(program.gridCells()->currentIndex().row(), kContacts.size());
        QCOMPARE(program.gridCells()->currentIndex().column(), ModifiedOn);
        RunningProgram::typeText(program.openCell(), QStringLiteral("typed by hand"));
        QTest::keyClick(program.openCell(), Qt::Key_Up);
        StoredRow expected = row({});
        expected[ModifiedOn] = QStringLiteral("typed by hand");
        QCOMPARE(program.test.storedRows().last(), expected);
        QCOMPARE(program.gridCells()->model()->rowCount(), kContacts.size() + 2);
    }

    void deleteRemovesNothing() {
        RunningProgram program(kContacts);
        FindWindow& find = program.openFind();
        QTableView* cells = program.gridCells();
        program.clickCell(2, Phone);
        // The record selector of the third row, then Delete and Ctrl+Delete where the keys go.
        QHeaderView* selectors = cells->verticalHeader();
        QTest::mouseClick(selectors->viewport(), Qt::LeftButton, {},
                          QPoint(selectors->width() / 2, selectors->sectionViewportPosition(2) +
                                                             selectors->sectionSize(2) / 2));
        QCOMPARE(cells->currentIndex().row(), 2);
        QVERIFY(cells->selectionModel()->isRowSelected(2, {}));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Delete);
        QTest::keyPress(QApplication::focusWidget(), Qt::Key_Control);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Delete, Qt::ControlModifier);
        QTest::keyRelease(QApplication::focusWidget(), Qt::Key_Control);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
        QCOMPARE(program.gridCell(2, Name), QStringLiteral("anna"));
        QCOMPARE(program.selector(2), ResultsModel::kCurrentMarker);
        QCOMPARE(cells->contextMenuPolicy(), Qt::NoContextMenu);
        QCOMPARE(selectors->contextMenuPolicy(), Qt::DefaultContextMenu);
        // Typing works on the current cell again.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_X);
        QVERIFY(program.openCell());
        QVERIFY(!cells->selectionModel()->isRowSelected(2, {}));
        QTest::keyClick(program.openCell(), Qt::Key_Escape);
        // Leaving the row: nothing is gone, from the grid or the file.
        QTest::mouseClick(find.findByNameButton, Qt::LeftButton);
        QCOMPARE(cells->model()->rowCount(), kContacts.size() + 1);
        QCOMPARE(program.test.storedRows(), kContacts);
    }

    // The first Esc takes back the cell being typed into, the next one the rest of the row.
    void escapeTakesBackTheCellThenTheRow() {
        RunningProgram program(kContacts);
        FindWindow& find = program.openFind();
        const int newLine = kContacts.size();
        for (const int line : {0, newLine}) {
            program.clickCell(line, Phone);
            const QString phone = program.gridCell(line, Phone);
            RunningProgram::typeText(program.openCell(), QStringLiteral("1"));
            QTest::keyClick(program.openCell(), Qt::Key_Right);
            const QString fax = program.gridCell(line, Fax);
            RunningProgram::typeText(program.openCell(), QStringLiteral("2"));
            QTest::keyClick(program.openCell(), Qt::Key_Escape);
            QCOMPARE(program.gridCell(line, Fax), fax);
            QCOMPARE(program.openCell()->text(), fax);
            QCOMPARE(program.gridCell(line, Phone), QStringLiteral("1"));
            QCOMPARE(program.selector(line), ResultsModel::kChangedMarker);
            QTest::keyClick(program.openCell(), Qt::Key_Escape);
            QCOMPARE(program.gridCell(line, Phone), phone);
            QVERIFY(program.selector(line) != ResultsModel::kChangedMarker);
        }
        QCOMPARE(program.gridCells()->model()->rowCount(), kContacts.size() + 1);
        QTest::mouseClick(find.findByNameButton, Qt::LeftButton);
        QCOMPARE(program.test.storedRows(), kContacts);
    }

    void arrowsStopAtTheFirstAndLastColumn() {
        RunningProgram program(kContacts);
        program.openFind();
        QTableView* cells = program.gridCells();
        program.clickCell(1, Name);
        QTest::keyClick(program.openCell(), Qt::Key_Left);
        QCOMPARE(cells->currentIndex(), cells->model()->index(1, Name));
        for (int i = 0; i < 12; ++i)
            QTest::keyClick(program.openCell(), Qt::Key_Right);
        QCOMPARE(cells->currentIndex(), cells->model()->index(1, ModifiedOn));
        QCOMPARE(program.openCell()->text(), QStringLiteral("05/06/2024"));
        // Once typing has begun the arrows move within the text until its end.
        QTest::keyClick(program.openCell(), Qt::Key_Left);
        QCOMPARE(cells->currentIndex(), cells->model()->index(1, CreatedOn));
        RunningProgram::typeText(program.openCell(), QStringLiteral("ab"));
        QTest::keyClick(program.openCell(), Qt::Key_Left);
        QCOMPARE(cells->currentIndex(), cells->model()->index(1, CreatedOn));
        QCOMPARE(program.openCell()->cursorPosition(), 1);
        QTest::keyClick(program.openCell(), Qt::Key_Right);
        QCOMPARE(cells->currentIndex(), cells->model()->index(1, CreatedOn));
        QTest::keyClick(program.openCell(), Qt::Key_Right);
        QCOMPARE(cells->currentIndex(), cells->model()->index(1, ModifiedOn));
        QCOMPARE(program.gridCell(1, CreatedOn), QStringLiteral("ab"));
        // Escape forgets what was typed in the row.
        QTest::keyClick(program.openCell(), Qt::Key_Escape);
        QCOMPARE(program.gridCell(1, CreatedOn), QStringLiteral("03/04/2024"));
        QCOMPARE(program.selector(1), ResultsModel::kCurrentMarker);
        QCOMPARE(program.test.storedRows(), kContacts);
    }

    void aRowThatCannotBeStoredKeepsWhatWasTyped() {
        RunningProgram program(kContacts);
        FindWindow& find = program.openFind();
        execOn(program.test.databasePath(),
               "CREATE TRIGGER refuse BEFORE UPDATE ON address "
               "BEGIN SELECT RAISE(ABORT, 'the book refuses changes'); END");
        program.clickCell(0, Name);
        RunningProgram::typeText(program.openCell(), QStringLiteral("Annie"));
        QTest::keyClick(program.openCell(), Qt::Key_Right);
        RunningProgram::typeText(program.openCell(), QStringLiteral("Smythe"));
        QTest::keyClick(program.openCell(), Qt::Key_Down);

        QCOMPARE(program.test.messages.shown.size(), 1);
        QVERIFY2(program.test.messages.shown[0].text.contains(
                     QStringLiteral("the book refuses changes")),
                 qPrintable(program.test.messages.shown[0].text));
        // The grid stays on the row and still shows both typed values; the file has neither.
        QCOMPARE(program.gridCells()->currentIndex(),
                 program.gridCells()->model()->index(0, Surname));
        QCOMPARE(program.gridCell(0, Name), QStringLiteral("Annie"));
        QCOMPARE(program.gridCell(0, Surname), QStringLiteral("Smythe"));
        QCOMPARE(program.openCell()->text(), QStringLiteral("Smythe"));
        QCOMPARE(program.selector(0), ResultsModel::kChangedMarker);
        QCOMPARE(program.test.storedRows(), kContacts);

        // "<<Back" tries again first, and stays while the file still refuses.
        QTest::mouseClick(find.backButton, Qt::LeftButton);
        QCOMPARE(program.test.messages.shown.size(), 2);
        QVERIFY(find.isVisible());
        QCOMPARE(program.selector(0), ResultsModel::kChangedMarker);

        // Once the file accepts changes again, it stores both.
        execOn(program.test.databasePath(), "DROP TRIGGER refuse");
        QTest::mouseClick(find.backButton, Qt::LeftButton);
        QCOMPARE(program.test.messages.shown.size(), 2);
        QVERIFY(!find.isVisible());
        QCOMPARE(program.test.storedRows()[0][Name].toString(), QStringLiteral("Annie"));
        QCOMPARE(program.test.storedRows()[0][Surname].toString(), QStringLiteral("Smythe"));
    }

    // Shown again, the grid shows what the file holds now.
    void theGridShownAgainShowsTheBook() {
        RunningProgram program(kContacts);
        FindWindow& find = program.openFind();
        program.clickCell(0, Phone);
        RunningProgram::typeText(program.openCell(), QStringLiteral("1"));
        QTest::mouseClick(find.backButton, Qt::LeftButton); // "<<Back" stores the row first
        QVERIFY(!find.isVisible());
        execOn(program.test.databasePath(),
               "UPDATE address SET phone = 'changed elsewhere' WHERE rowid = 2");
        QTest::mouseClick(program.menu().viewEditButton, Qt::LeftButton);
        QCOMPARE(program.gridCell(0, Phone), QStringLiteral("1"));
        QCOMPARE(program.gridCell(1, Phone), QStringLiteral("changed elsewhere"));
        QCOMPARE(program.test.storedRows()[0][Phone].toString(), QStringLiteral("1"));
        QVERIFY(program.test.messages.shown.isEmpty());
    }

    void aNewLineThatCannotBeStoredKeepsWhatWasTyped() {
        RunningProgram program(kContacts);
        program.openFind();
        execOn(program.test.databasePath(), "CREATE TRIGGER refuse BEFORE INSERT ON address "
                                            "BEGIN SELECT RAISE(ABORT, 'no new contacts'); END");
        program.clickCell(kContacts.size(), Surname);
        RunningProgram::typeText(program.openCell(), QStringLiteral("Nemo"));
        QTest::keyClick(program.openCell(), Qt::Key_Return);
        QCOMPARE(program.test.messages.texts().size(), 1);
        QVERIFY(program.test.messages.texts()[0].contains(QStringLiteral("no new contacts")));
        QCOMPARE(program.gridCell(kContacts.size(), Surname), QStringLiteral("Nemo"));
        QCOMPARE(program.gridCells()->model()->rowCount(), kContacts.size() + 1);
        QCOMPARE(program.test.storedRows(), kContacts);
    }

    void rowsAreOneHeightAndScrollBarsComeWhenNeeded() {
        QList<StoredRow> many = kContacts;
        for (int i = 0; i < 40; ++i)
            many << row({QStringLiteral("Many %1").arg(i), "Rows"});
        RunningProgram program(many);
        FindWindow& find = program.openFind();
        QTest::mouseClick(find.findByNameButton, Qt::LeftButton);
        QTableView* cells = program.gridCells();
        QTRY_VERIFY(cells->verticalScrollBar()->isVisible());
        QVERIFY(cells->horizontalScrollBar()->isVisible());
        QHeaderView* selectors = cells->verticalHeader();
        QCOMPARE(selectors->sectionResizeMode(0), QHeaderView::Interactive);
        selectors->resizeSection(3, 40);
        QCOMPARE(selectors->sectionSize(0), 40);
        QCOMPARE(selectors->sectionSize(46), 40);
        QCOMPARE(cells->rowHeight(20), 40);
        QCOMPARE(cells->rowViewportPosition(2) - cells->rowViewportPosition(0), 80);
        // A new fetch keeps the height the user chose.
        QTest::mouseClick(find.findByNameButton, Qt::LeftButton);
        QCOMPARE(selectors->sectionSize(10), 40);
        // Ctrl+End goes to the last column of the new line.
        cells->setFocus();
        QTest::keyClick(program.openCell(), Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(cells->currentIndex(), cells->model()->index(kContacts.size() + 40, ModifiedOn));
        QTest::keyClick(program.openCell(), Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(cells->currentIndex(), cells->model()->index(0, Name));
    }

    // Through fetches, typing, a stored new row and Esc, the grid's rows stay a consistent table.
    void theGridsRowsStayAConsistentTable() {
        RunningProgram program(kContacts);
        program.openFind();
        QAbstractItemModelTester tester(program.gridCells()->model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        program.search(Surname, QStringLiteral("Smith"));
        QTest::keyClick(program.typeIntoCell(2, Surname, QStringLiteral("Moreau")), Qt::Key_Return);
        QCOMPARE(listedNames(program), namesOf({0, 2}) << QStringLiteral("|Moreau"));
        QTest::keyClick(program.typeIntoCell(1, Phone, QStringLiteral("9")), Qt::Key_Escape);
        program.search(Surname, QStringLiteral("Moreau"));
        QCOMPARE(listedNames(program), QStringList{"|Moreau"});
        QVERIFY(program.test.messages.shown.isEmpty());
    }
};

QTEST_MAIN(TestFindWindow)
#include "test_find_window.moc"
