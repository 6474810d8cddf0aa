#include "contact_table.h"
#include "data_control.h"
#include "screens/form3.h"
#include "screens/form4.h"
#include "screens/results_grid.h"
#include "screens/results_model.h"
#include "shell/form1.h"
#include "sqlite_db.h"
#include "test_services.h"
#include "window_look.h"

#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QtTest>
#include <memory>

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

// The main menu loaded (which loads the find window), with the find window opened from it.
struct Session {
    Session() {
        for (const StoredRow& contact : kContacts)
            test.insertRow(contact);
        windows = std::make_unique<WindowModel>(test.services());
        menu = &windows->form1();
        menu->Show();
    }

    Form3& openFind() {
        QTest::mouseClick(menu->Command2, Qt::LeftButton);
        Form3& find = windows->form3();
        if (!QTest::qWaitForWindowActive(&find))
            qWarning("the find window did not become active");
        return find;
    }

    TestServices test;
    std::unique_ptr<WindowModel> windows;
    Form1* menu = nullptr;
};

QTableView* cellsOf(Form3& find) {
    return find.DBGrid1->cells();
}

QString cell(Form3& find, int row, int column) {
    QAbstractItemModel* model = cellsOf(find)->model();
    return model->data(model->index(row, column)).toString();
}

// What the grid lists: each contact row's given name and surname, the new line left out.
QStringList listedNames(Form3& find) {
    QStringList names;
    QAbstractItemModel* model = cellsOf(find)->model();
    for (int r = 0; r + 1 < model->rowCount(); ++r)
        names << cell(find, r, Name) + QLatin1Char('|') + cell(find, r, Surname);
    return names;
}

QStringList namesOf(std::initializer_list<int> contacts) {
    QStringList names;
    for (int i : contacts)
        names << kContacts[i][Name].toString() + QLatin1Char('|') +
                     kContacts[i][Surname].toString();
    return names;
}

QString selectorOf(Form3& find, int row) {
    return cellsOf(find)->model()->headerData(row, Qt::Vertical).toString();
}

// The cell editor that has the focus, if a cell of the grid is open for typing.
QLineEdit* openCell(Form3& find) {
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    return editor && cellsOf(find)->isAncestorOf(editor) ? editor : nullptr;
}

void clickCell(Form3& find, int row, int column) {
    QTableView* cells = cellsOf(find);
    const QModelIndex index = cells->model()->index(row, column);
    cells->scrollTo(index);
    QTest::mouseClick(cells->viewport(), Qt::LeftButton, {}, cells->visualRect(index).center());
}

// Types text key by key, letters outside Latin-1 included.
void typeText(QWidget* widget, const QString& text) {
    for (const QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

void search(QLineEdit* box, QPushButton* find, const QString& text) {
    box->clear();
    typeText(box, text);
    QTest::mouseClick(find, Qt::LeftButton);
}

void addTrigger(const TestServices& test, const char* sql) {
    Database db = contact_table::openAddressBook(test.databasePath());
    db.exec(sql);
}

} // namespace

class TestForm3 : public QObject {
    Q_OBJECT
  private slots:
    void layoutIsAsDesigned() {
        Session session;
        Form3& find = session.openFind();
        QCOMPARE(titleAsShown(&find), QStringLiteral("Find"));
        QCOMPARE(captionsNotWhole(&find), QStringList());
        QCOMPARE(find.size(), QSize(637, 429));

        struct Expected {
            const char* name;
            const char* text;
            QRect geometry;
        };
        const Expected labels[] = {
            {"Label1", "Name", QRect(48, 8, 41, 17)},
            {"Label2", "Surname", QRect(352, 8, 49, 17)},
            {"Label3", "Phone Number", QRect(16, 40, 81, 17)},
            {"Label4", "E-Mail", QRect(352, 40, 49, 17)},
        };
        for (const auto& expected : labels) {
            auto* label = find.findChild<QLabel*>(expected.name);
            QVERIFY2(label, expected.name);
            QCOMPARE(label->text(), QString::fromUtf8(expected.text));
            QCOMPARE(label->geometry(), expected.geometry);
        }
        const Expected boxes[] = {
            {"Text1", "", QRect(96, 8, 113, 19)},
            {"Text2", "", QRect(408, 8, 121, 19)},
            {"Text3", "", QRect(96, 40, 113, 19)},
            {"Text4", "", QRect(408, 40, 121, 19)},
        };
        for (const auto& expected : boxes) {
            auto* box = find.findChild<QLineEdit*>(expected.name);
            QVERIFY2(box, expected.name);
            QCOMPARE(box->text(), QString());
            QCOMPARE(box->geometry(), expected.geometry);
        }
        const Expected buttons[] = {
            {"Command1", "Find", QRect(216, 0, 81, 33)},
            {"Command2", "Find", QRect(544, 0, 81, 33)},
            {"Command4", "Find", QRect(216, 40, 81, 33)},
            {"Command5", "Find", QRect(544, 40, 81, 33)},
            {"Command6", "<<Back", QRect(96, 128, 81, 33)},
            {"Command3", "Details", QRect(456, 128, 81, 33)},
        };
        for (const auto& expected : buttons) {
            auto* button = find.findChild<QPushButton*>(expected.name);
            QVERIFY2(button, expected.name);
            QCOMPARE(button->text(), QString::fromUtf8(expected.text));
            QCOMPARE(button->geometry(), expected.geometry);
            QVERIFY(button->isVisible());
        }

        auto* data = find.findChild<DataControl*>("Data1");
        QVERIFY(data);
        QVERIFY(!data->isVisible());
        QCOMPARE(data->Connect(), QStringLiteral("Access"));
        QCOMPARE(data->RecordSource(), QStringLiteral("address"));
        QCOMPARE(data->DatabaseName(), session.test.databasePath());

        auto* grid = find.findChild<ResultsGrid*>("DBGrid1");
        QVERIFY(grid);
        QCOMPARE(grid->geometry(), QRect(0, 200, 633, 225));
        QVERIFY(grid->isVisible());
        QCOMPARE(grid->Caption(), QStringLiteral("Results"));
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
        Session session;
        Form3& find = session.openFind();
        QCOMPARE(QApplication::focusWidget(), find.Text1);
        const QList<QWidget*> order = {find.Command1, find.Text2,    find.Command2, find.Text3,
                                       find.Command4, find.Text4,    find.Command5, find.Command3,
                                       find.Command6, cellsOf(find), find.Text1};
        for (QWidget* next : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            if (next == cellsOf(find))
                QVERIFY2(openCell(find), "the grid's current cell is open for typing");
            else
                QCOMPARE(QApplication::focusWidget(), next);
        }
    }

    void theFirstOpenListsEveryContact() {
        Session session;
        Form3& find = session.openFind();
        QVERIFY(find.DBGrid1->isVisible());
        QTableView* cells = cellsOf(find);
        QAbstractItemModel* model = cells->model();
        QCOMPARE(model->columnCount(), 10);
        QStringList headers;
        for (int c = 0; c < model->columnCount(); ++c)
            headers << model->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(headers, contact_table::columnNames());
        // Every contact, then the empty line for a new one.
        QCOMPARE(model->rowCount(), kContacts.size() + 1);
        QCOMPARE(listedNames(find), namesOf({0, 1, 2, 3, 4, 5, 6}));
        QCOMPARE(cell(find, 1, Address), QStringLiteral("2 Rue Haute\nParis"));
        QCOMPARE(cell(find, 1, ModifiedOn), QStringLiteral("05/06/2024"));
        QCOMPARE(cell(find, 5, Phone), QString());
        for (int c = 0; c < 10; ++c)
            QCOMPARE(cell(find, kContacts.size(), c), QString());
        // The first row is current; the new line is marked as such.
        QCOMPARE(cells->currentIndex().row(), 0);
        QCOMPARE(selectorOf(find, 0), ResultsModel::kCurrentMarker);
        QCOMPARE(selectorOf(find, 1), QString());
        QCOMPARE(selectorOf(find, kContacts.size()), ResultsModel::kNewLineMarker);
        QCOMPARE(find.Data1->Recordset().AbsolutePosition(), 0);
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
        QDir::setCurrent(elsewhere.path());
        TestServices test;
        test.insertRow(kContacts[0]);
        WindowModel windows(test.services());
        Form3& find = windows.form3();
        QDir::setCurrent(previous);
        QCOMPARE(find.Data1->DatabaseName(), QStringLiteral("address.mdb"));
        find.Show();
        QCOMPARE(listedNames(find), namesOf({0}));
        QVERIFY(!QFile::exists(elsewhere.filePath(QStringLiteral("address.mdb"))));
        QVERIFY(test.messages.shown.isEmpty());
    }

    void eachSearchListsTheWholeValueMatchesWithoutRegardToCase() {
        Session session;
        Form3& find = session.openFind();
        struct Case {
            QLineEdit* box;
            QPushButton* button;
            QString text;
            QStringList expected;
        };
        const Case cases[] = {
            {find.Text1, find.Command1, "ANNA", namesOf({0, 2})},
            {find.Text1, find.Command1, "Ann", {}},
            {find.Text1, find.Command1, "élodie", namesOf({1})},
            {find.Text1, find.Command1, "анна", namesOf({6})},
            {find.Text1, find.Command1, "Bob", {}},
            {find.Text1, find.Command1, " Bob", namesOf({4})},
            {find.Text2, find.Command2, "smith", namesOf({0, 2})},
            {find.Text2, find.Command2, "o'brien", namesOf({3})},
            {find.Text2, find.Command2, "ΖΩΉ", namesOf({5})},
            {find.Text2, find.Command2, "Lee", {}},
            {find.Text2, find.Command2, "Lee ", namesOf({4})},
            {find.Text3, find.Command4, "555 0104", namesOf({3})},
            {find.Text3, find.Command4, "555", {}},
            {find.Text4, find.Command5, "Anna@Example.Org", namesOf({0, 2})},
            {find.Text4, find.Command5, "anna@example", {}},
            // An empty box finds the rows holding empty text, not those holding nothing.
            {find.Text2, find.Command2, "", {}},
            {find.Text3, find.Command4, "", namesOf({4})},
            {find.Text4, find.Command5, "", namesOf({3})},
        };
        for (const Case& each : cases) {
            search(each.box, each.button, each.text);
            QVERIFY2(session.test.messages.shown.isEmpty(), qPrintable(each.text));
            QCOMPARE(listedNames(find), each.expected);
            QVERIFY(find.DBGrid1->isVisible());
            // The empty line for a new contact is always last.
            QCOMPARE(selectorOf(find, cellsOf(find)->model()->rowCount() - 1).right(1),
                     ResultsModel::kNewLineMarker);
        }
        QCOMPARE(find.Data1->RecordSource(),
                 QStringLiteral("Select * from address where email = ''"));
    }

    void findByNameWithAnEmptyBoxRepeatsTheLastSearch() {
        Session session;
        Form3& find = session.openFind();
        // Before any search it is the whole table.
        search(find.Text1, find.Command1, QString());
        QCOMPARE(listedNames(find), namesOf({0, 1, 2, 3, 4, 5, 6}));
        search(find.Text3, find.Command4, QStringLiteral("555-0102"));
        QCOMPARE(listedNames(find), namesOf({1}));
        // A contact stored meanwhile by another program shows up: the rows are fetched again.
        session.test.insertRow(row({"Eve", "Adams", "555-0102"}));
        find.Text3->clear();
        search(find.Text1, find.Command1, QString());
        QCOMPARE(find.Data1->RecordSource(),
                 QStringLiteral("Select * from address where phone = '555-0102'"));
        QCOMPARE(listedNames(find), namesOf({1}) << QStringLiteral("Eve|Adams"));
        QVERIFY(find.DBGrid1->isVisible());
    }

    void backThenViewEditShowsEmptyBoxesAndTheGridAsItWasLeft() {
        Session session;
        Form3& find = session.openFind();
        search(find.Text2, find.Command2, QStringLiteral("Smith"));
        typeText(find.Text1, QStringLiteral("x"));
        typeText(find.Text3, QStringLiteral("y"));
        typeText(find.Text4, QStringLiteral("z"));
        QTest::mouseClick(find.Command6, Qt::LeftButton);
        QVERIFY(!find.isVisible());
        QVERIFY(session.menu->isVisible());
        for (QLineEdit* box : {find.Text1, find.Text2, find.Text3, find.Text4})
            QCOMPARE(box->text(), QString());

        Form3& again = session.openFind();
        QCOMPARE(&again, &find);
        QVERIFY(find.isVisible());
        QVERIFY(find.DBGrid1->isVisible());
        QCOMPARE(listedNames(find), namesOf({0, 2}));
        QCOMPARE(find.Data1->RecordSource(),
                 QStringLiteral("Select * from address where surname = 'Smith'"));
    }

    void closingTheWindowThroughItsFrameIsBack() {
        Session session;
        Form3& find = session.openFind();
        typeText(find.Text2, QStringLiteral("Lee"));
        find.close();
        QVERIFY(!find.isVisible());
        QVERIFY(session.windows->isLoaded(WindowModel::Kind::Form3));
        QCOMPARE(find.Text2->text(), QString());
        QVERIFY(session.menu->isVisible());
    }

    void detailsHidesTheGridUntilTheNextFind() {
        Session session;
        Form3& find = session.openFind();
        typeText(find.Text2, QStringLiteral("Smith"));
        QTest::mouseClick(find.Command3, Qt::LeftButton);
        QVERIFY(!find.isVisible());
        QVERIFY(!find.DBGrid1->isVisibleTo(&find));
        QVERIFY(session.windows->form4().isVisible());
        QCOMPARE(find.Text2->text(), QStringLiteral("Smith"));

        session.windows->form4().Hide();
        session.openFind();
        QVERIFY(!find.DBGrid1->isVisible());
        QCOMPARE(listedNames(find), namesOf({0, 1, 2, 3, 4, 5, 6}));
        QTest::mouseClick(find.Command2, Qt::LeftButton);
        QVERIFY(find.DBGrid1->isVisible());
        QCOMPARE(listedNames(find), namesOf({0, 2}));
    }

    void aFailedFetchIsReportedAndDoesNotShowTheGrid() {
        Session session;
        Form3& find = session.openFind();
        QTest::mouseClick(find.Command3, Qt::LeftButton);
        session.windows->form4().Hide();
        session.openFind();
        QVERIFY(QFile::remove(session.test.databasePath()));
        search(find.Text2, find.Command2, QStringLiteral("Smith"));
        QCOMPARE(session.test.messages.shown.size(), 1);
        QVERIFY2(session.test.messages.shown[0].text.contains(QStringLiteral("address.mdb")),
                 qPrintable(session.test.messages.shown[0].text));
        QCOMPARE(session.test.messages.shown[0].title, QStringLiteral("Tessaline"));
        QVERIFY(!find.DBGrid1->isVisible());
        // The file is never made again.
        QVERIFY(!QFile::exists(session.test.databasePath()));
    }

    void aSearchWithAQuoteAndBlanksIsTakenAsTyped() {
        Session session;
        Form3& find = session.openFind();
        search(find.Text2, find.Command2, QStringLiteral("O'Brien"));
        QVERIFY(session.test.messages.shown.isEmpty());
        QCOMPARE(find.Data1->RecordSource(),
                 QStringLiteral("Select * from address where surname = 'O''Brien'"));
        QCOMPARE(listedNames(find), namesOf({3}));
        QCOMPARE(find.Text2->text(), QStringLiteral("O'Brien"));
    }

    void aCellTypedIntoIsStoredWhenTheRowIsLeftWithoutADateStamp() {
        Session session;
        Form3& find = session.openFind();
        search(find.Text2, find.Command2, QStringLiteral("Ångström"));
        clickCell(find, 0, Phone);
        QLineEdit* editor = openCell(find);
        QVERIFY(editor);
        QCOMPARE(editor->text(), QStringLiteral("555-0102"));
        typeText(editor, QStringLiteral("01 23 45"));
        QCOMPARE(selectorOf(find, 0), ResultsModel::kChangedMarker);
        // Nothing is stored while the row is still current.
        QCOMPARE(session.test.storedRows()[1][Phone].toString(), QStringLiteral("555-0102"));
        QTest::keyClick(editor, Qt::Key_Down);
        QCOMPARE(cellsOf(find)->currentIndex(), cellsOf(find)->model()->index(1, Phone));

        StoredRow expected = kContacts[1];
        expected[Phone] = QStringLiteral("01 23 45");
        QCOMPARE(session.test.storedRows()[1], expected);
        QCOMPARE(cell(find, 0, Phone), QStringLiteral("01 23 45"));
        QCOMPARE(selectorOf(find, 0), QString());
        QVERIFY(session.test.messages.shown.isEmpty());
        // Only that row changed; cells passed through keep no value rather than empty text.
        QList<StoredRow> rest = session.test.storedRows();
        rest.removeAt(1);
        QList<StoredRow> others = kContacts;
        others.removeAt(1);
        QCOMPARE(rest, others);
    }

    void movingToAnotherRowMakesItTheDataControlsCurrentRow() {
        Session session;
        Form3& find = session.openFind();
        clickCell(find, 3, Email);
        QCOMPARE(find.Data1->Recordset().AbsolutePosition(), 3);
        QCOMPARE(selectorOf(find, 3), ResultsModel::kCurrentMarker);
        QCOMPARE(selectorOf(find, 0), QString());
        QTest::keyClick(openCell(find), Qt::Key_Up);
        QCOMPARE(find.Data1->Recordset().AbsolutePosition(), 2);
    }

    void leavingTheGridStoresTheRow() {
        Session session;
        Form3& find = session.openFind();
        clickCell(find, 0, Url);
        typeText(openCell(find), QStringLiteral("https://anna.example.org"));
        QTest::keyClick(openCell(find), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), find.Text1);
        QCOMPARE(session.test.storedRows()[0][Url].toString(),
                 QStringLiteral("https://anna.example.org"));
        // Shift+Tab from the grid goes back to "<<Back".
        clickCell(find, 1, Name);
        QTest::keyClick(openCell(find), Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), find.Command6);
    }

    void aRowTypedIntoTheNewLineIsAppendedOnEnter() {
        Session session;
        Form3& find = session.openFind();
        search(find.Text2, find.Command2, QStringLiteral("Nobody"));
        QCOMPARE(cellsOf(find)->model()->rowCount(), 1);
        clickCell(find, 0, Name);
        typeText(openCell(find), QStringLiteral("Łukasz"));
        QTest::keyClick(openCell(find), Qt::Key_Right);
        typeText(openCell(find), QStringLiteral("Nobody"));
        QTest::keyClick(openCell(find), Qt::Key_Return);
        QVERIFY(session.test.messages.shown.isEmpty());

        // The row has only what was typed: no date stamp, nothing in the untouched columns.
        QCOMPARE(session.test.storedRows().size(), kContacts.size() + 1);
        QCOMPARE(session.test.storedRows().last(), row({"Łukasz", "Nobody"}));
        // It stays listed, with an empty new line after it.
        QCOMPARE(listedNames(find), QStringList{"Łukasz|Nobody"});
        QCOMPARE(cellsOf(find)->model()->rowCount(), 2);
        QCOMPARE(cell(find, 1, Name), QString());
        QCOMPARE(selectorOf(find, 0), QString());
        QVERIFY(openCell(find));
        QCOMPARE(openCell(find)->text(), QString());
        // The same search finds it in the file.
        QTest::mouseClick(find.Command2, Qt::LeftButton);
        QCOMPARE(listedNames(find), QStringList{"Łukasz|Nobody"});
    }

    void aRowTypedIntoTheNewLineIsAppendedWhenLeft() {
        Session session;
        Form3& find = session.openFind();
        QTest::keyClick(find.Text1, Qt::Key_Tab, Qt::ShiftModifier); // to the grid
        QVERIFY(openCell(find));
        QTest::keyClick(openCell(find), Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(cellsOf(find)->currentIndex().row(), kContacts.size());
        QCOMPARE(cellsOf(find)->currentIndex().column(), ModifiedOn);
        typeText(openCell(find), QStringLiteral("typed by hand"));
        QTest::keyClick(openCell(find), Qt::Key_Up);
        StoredRow expected = row({});
        expected[ModifiedOn] = QStringLiteral("typed by hand");
        QCOMPARE(session.test.storedRows().last(), expected);
        QCOMPARE(cellsOf(find)->model()->rowCount(), kContacts.size() + 2);
    }

    void deleteRemovesNothing() {
        Session session;
        Form3& find = session.openFind();
        QTableView* cells = cellsOf(find);
        clickCell(find, 2, Phone);
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
        QCOMPARE(cell(find, 2, Name), QStringLiteral("anna"));
        QCOMPARE(selectorOf(find, 2), ResultsModel::kCurrentMarker);
        QCOMPARE(cells->contextMenuPolicy(), Qt::NoContextMenu);
        QCOMPARE(selectors->contextMenuPolicy(), Qt::DefaultContextMenu);
        // Typing works on the current cell again.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_X);
        QVERIFY(openCell(find));
        QVERIFY(!cells->selectionModel()->isRowSelected(2, {}));
        QTest::keyClick(openCell(find), Qt::Key_Escape);
        // Leaving the row: nothing is gone, from the grid or the file.
        QTest::mouseClick(find.Command1, Qt::LeftButton);
        QCOMPARE(cells->model()->rowCount(), kContacts.size() + 1);
        QCOMPARE(session.test.storedRows(), kContacts);
    }

    // The first Esc takes back the cell being typed into, the next one the rest of the row.
    void escapeTakesBackTheCellThenTheRow() {
        Session session;
        Form3& find = session.openFind();
        const int newLine = kContacts.size();
        for (const int line : {0, newLine}) {
            clickCell(find, line, Phone);
            const QString phone = cell(find, line, Phone);
            typeText(openCell(find), QStringLiteral("1"));
            QTest::keyClick(openCell(find), Qt::Key_Right);
            const QString fax = cell(find, line, Fax);
            typeText(openCell(find), QStringLiteral("2"));
            QTest::keyClick(openCell(find), Qt::Key_Escape);
            QCOMPARE(cell(find, line, Fax), fax);
            QCOMPARE(openCell(find)->text(), fax);
            QCOMPARE(cell(find, line, Phone), QStringLiteral("1"));
            QCOMPARE(selectorOf(find, line), ResultsModel::kChangedMarker);
            QTest::keyClick(openCell(find), Qt::Key_Escape);
            QCOMPARE(cell(find, line, Phone), phone);
            QVERIFY(selectorOf(find, line) != ResultsModel::kChangedMarker);
        }
        QCOMPARE(cellsOf(find)->model()->rowCount(), kContacts.size() + 1);
        QTest::mouseClick(find.Command1, Qt::LeftButton);
        QCOMPARE(session.test.storedRows(), kContacts);
    }

    void arrowsStopAtTheFirstAndLastColumn() {
        Session session;
        Form3& find = session.openFind();
        QTableView* cells = cellsOf(find);
        clickCell(find, 1, Name);
        QTest::keyClick(openCell(find), Qt::Key_Left);
        QCOMPARE(cells->currentIndex(), cells->model()->index(1, Name));
        for (int i = 0; i < 12; ++i)
            QTest::keyClick(openCell(find), Qt::Key_Right);
        QCOMPARE(cells->currentIndex(), cells->model()->index(1, ModifiedOn));
        QCOMPARE(openCell(find)->text(), QStringLiteral("05/06/2024"));
        // Once typing has begun the arrows move within the text until its end.
        QTest::keyClick(openCell(find), Qt::Key_Left);
        QCOMPARE(cells->currentIndex(), cells->model()->index(1, CreatedOn));
        typeText(openCell(find), QStringLiteral("ab"));
        QTest::keyClick(openCell(find), Qt::Key_Left);
        QCOMPARE(cells->currentIndex(), cells->model()->index(1, CreatedOn));
        QCOMPARE(openCell(find)->cursorPosition(), 1);
        QTest::keyClick(openCell(find), Qt::Key_Right);
        QCOMPARE(cells->currentIndex(), cells->model()->index(1, CreatedOn));
        QTest::keyClick(openCell(find), Qt::Key_Right);
        QCOMPARE(cells->currentIndex(), cells->model()->index(1, ModifiedOn));
        QCOMPARE(cell(find, 1, CreatedOn), QStringLiteral("ab"));
        // Escape forgets what was typed in the row.
        QTest::keyClick(openCell(find), Qt::Key_Escape);
        QCOMPARE(cell(find, 1, CreatedOn), QStringLiteral("03/04/2024"));
        QCOMPARE(selectorOf(find, 1), ResultsModel::kCurrentMarker);
        QCOMPARE(session.test.storedRows(), kContacts);
    }

    void aRowThatCannotBeStoredKeepsWhatWasTyped() {
        Session session;
        Form3& find = session.openFind();
        addTrigger(session.test, "CREATE TRIGGER refuse BEFORE UPDATE ON address "
                                 "BEGIN SELECT RAISE(ABORT, 'the book refuses changes'); END");
        clickCell(find, 0, Name);
        typeText(openCell(find), QStringLiteral("Annie"));
        QTest::keyClick(openCell(find), Qt::Key_Right);
        typeText(openCell(find), QStringLiteral("Smythe"));
        QTest::keyClick(openCell(find), Qt::Key_Down);

        QCOMPARE(session.test.messages.shown.size(), 1);
        QVERIFY2(session.test.messages.shown[0].text.contains(
                     QStringLiteral("the book refuses changes")),
                 qPrintable(session.test.messages.shown[0].text));
        // The grid stays on the row and still shows both typed values; the file has neither.
        QCOMPARE(cellsOf(find)->currentIndex(), cellsOf(find)->model()->index(0, Surname));
        QCOMPARE(cell(find, 0, Name), QStringLiteral("Annie"));
        QCOMPARE(cell(find, 0, Surname), QStringLiteral("Smythe"));
        QCOMPARE(openCell(find)->text(), QStringLiteral("Smythe"));
        QCOMPARE(selectorOf(find, 0), ResultsModel::kChangedMarker);
        QCOMPARE(session.test.storedRows(), kContacts);

        // "<<Back" tries again first, and stays while the file still refuses.
        QTest::mouseClick(find.Command6, Qt::LeftButton);
        QCOMPARE(session.test.messages.shown.size(), 2);
        QVERIFY(find.isVisible());
        QCOMPARE(selectorOf(find, 0), ResultsModel::kChangedMarker);

        // Once the file accepts changes again, it stores both.
        addTrigger(session.test, "DROP TRIGGER refuse");
        QTest::mouseClick(find.Command6, Qt::LeftButton);
        QCOMPARE(session.test.messages.shown.size(), 2);
        QVERIFY(!find.isVisible());
        QCOMPARE(session.test.storedRows()[0][Name].toString(), QStringLiteral("Annie"));
        QCOMPARE(session.test.storedRows()[0][Surname].toString(), QStringLiteral("Smythe"));
    }

    // Shown again, the grid shows what the file holds now.
    void theGridShownAgainShowsTheBook() {
        Session session;
        Form3& find = session.openFind();
        clickCell(find, 0, Phone);
        typeText(openCell(find), QStringLiteral("1"));
        QTest::mouseClick(find.Command6, Qt::LeftButton); // "<<Back" stores the row first
        QVERIFY(!find.isVisible());
        addTrigger(session.test, "UPDATE address SET phone = 'changed elsewhere' WHERE rowid = 2");
        QTest::mouseClick(session.menu->Command2, Qt::LeftButton);
        QCOMPARE(cell(find, 0, Phone), QStringLiteral("1"));
        QCOMPARE(cell(find, 1, Phone), QStringLiteral("changed elsewhere"));
        QCOMPARE(session.test.storedRows()[0][Phone].toString(), QStringLiteral("1"));
        QVERIFY(session.test.messages.shown.isEmpty());
    }

    void aNewLineThatCannotBeStoredKeepsWhatWasTyped() {
        Session session;
        Form3& find = session.openFind();
        addTrigger(session.test, "CREATE TRIGGER refuse BEFORE INSERT ON address "
                                 "BEGIN SELECT RAISE(ABORT, 'no new contacts'); END");
        clickCell(find, kContacts.size(), Surname);
        typeText(openCell(find), QStringLiteral("Nemo"));
        QTest::keyClick(openCell(find), Qt::Key_Return);
        QCOMPARE(session.test.messages.texts().size(), 1);
        QVERIFY(session.test.messages.texts()[0].contains(QStringLiteral("no new contacts")));
        QCOMPARE(cell(find, kContacts.size(), Surname), QStringLiteral("Nemo"));
        QCOMPARE(cellsOf(find)->model()->rowCount(), kContacts.size() + 1);
        QCOMPARE(session.test.storedRows(), kContacts);
    }

    void rowsAreOneHeightAndScrollBarsComeWhenNeeded() {
        Session session;
        for (int i = 0; i < 40; ++i)
            session.test.insertRow(row({QStringLiteral("Many %1").arg(i), "Rows"}));
        Form3& find = session.openFind();
        QTest::mouseClick(find.Command1, Qt::LeftButton);
        QTableView* cells = cellsOf(find);
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
        QTest::mouseClick(find.Command1, Qt::LeftButton);
        QCOMPARE(selectors->sectionSize(10), 40);
        // Ctrl+End goes to the last column of the new line.
        cells->setFocus();
        QTest::keyClick(openCell(find), Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(cells->currentIndex(), cells->model()->index(kContacts.size() + 40, ModifiedOn));
        QTest::keyClick(openCell(find), Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(cells->currentIndex(), cells->model()->index(0, Name));
    }

    void refreshingTheGridKeepsItsPlace() {
        Session session;
        Form3& find = session.openFind();
        clickCell(find, 4, Phone);
        find.DBGrid1->Refresh();
        QCOMPARE(cellsOf(find)->currentIndex(), cellsOf(find)->model()->index(4, Phone));
        QCOMPARE(listedNames(find), namesOf({0, 1, 2, 3, 4, 5, 6}));
    }
};

QTEST_MAIN(TestForm3)
#include "test_form3.moc"
