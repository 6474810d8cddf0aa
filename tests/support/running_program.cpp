#include "support/running_program.h"

#include "about/about_window.h"
#include "app/main_menu.h"
#include "screens/add_window.h"
#include "screens/details_window.h"
#include "screens/find_window.h"
#include "screens/results_grid.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

const QList<StoredRow> kOtherContacts = {
    row({"Ann", "O'Brien", "555-0101", QVariant(), "1 Harbour Road\nCobh", "ann@obrien.example",
         QVariant(), QVariant(), "3/1/25"}),
    row({"John", "Smith", "555-0202", "", "2 Mill Lane", "john@smith.example", "", "", "4/2/25",
         "5/2/25"}),
    row({"Paul", "Jones", "555-0404", QVariant(), QVariant(), "paul@jones.example", QVariant(),
         QVariant(), "7/4/25"}),
};

const QStringList kNewContact = {QStringLiteral("Nora"),
                                 QStringLiteral("Quennell"),
                                 QStringLiteral("555-0707"),
                                 QStringLiteral("555-0708"),
                                 QStringLiteral("7 Quay Street\nGalway"),
                                 QStringLiteral("nora@quennell.example"),
                                 QStringLiteral("quennell.example"),
                                 QStringLiteral("Met at the library")};

StoredRow newContactRow(const QString& createdOn) {
    StoredRow stored(kNewContact.cbegin(), kNewContact.cend());
    return stored << createdOn << QVariant();
}

namespace {

// The window the test goes on in: once it is active, since typing reaches only that one.
template <class Window> Window& active(Window& window) {
    if (!QTest::qWaitForWindowActive(&window))
        QTest::qFail(qPrintable(window.objectName() + QStringLiteral(" did not become active")),
                     __FILE__, __LINE__);
    return window;
}

} // namespace

RunningProgram::RunningProgram(const QList<StoredRow>& contacts,
                               const std::function<void(TestServices&)>& beforeStart, Start start) {
    for (const StoredRow& contact : contacts)
        test.insertRow(contact);
    if (beforeStart)
        beforeStart(test);
    windows = std::make_unique<ProgramWindows>(test.services());
    // What the program's start-up does: the main menu is touched (its load step runs) and shown.
    if (start == Start::MainMenu)
        windows->menu().Show();
}

RunningProgram::~RunningProgram() = default;

MainMenu& RunningProgram::menu() {
    return windows->menu();
}
AddWindow& RunningProgram::add() {
    return windows->add();
}
FindWindow& RunningProgram::find() {
    return windows->find();
}
DetailsWindow& RunningProgram::details() {
    return windows->details();
}
AboutWindow& RunningProgram::about() {
    return windows->about();
}

AddWindow& RunningProgram::openAdd() {
    click(menu().addNewButton);
    return active(add());
}
FindWindow& RunningProgram::openFind() {
    click(menu().viewEditButton);
    return active(find());
}
DetailsWindow& RunningProgram::openDetails() {
    click(find().detailsButton);
    return details();
}

AddWindow& RunningProgram::typeNewContact() {
    AddWindow& form = openAdd();
    click(form.addNewButton);
    for (qsizetype i = 0; i < kNewContact.size(); ++i)
        typeOver(form, kContactBoxes[i], kNewContact[i]);
    return form;
}

DetailsWindow& RunningProgram::showBySurname(const QString& surname) {
    openFind();
    search(Surname, surname);
    DetailsWindow& form = openDetails();
    click(form.refreshBySurnameButton);
    return form;
}

void RunningProgram::click(QPushButton* button) {
    QVERIFY(button);
    QVERIFY2(button->isVisible(), qPrintable(button->objectName()));
    QTest::mouseClick(button, Qt::LeftButton);
}

void RunningProgram::click(QWidget& window, const QString& name) {
    auto* button = window.findChild<QPushButton*>(name, Qt::FindDirectChildrenOnly);
    QVERIFY2(button, qPrintable(window.objectName() + QLatin1Char('.') + name));
    click(button);
}

void RunningProgram::typeText(QWidget* box, const QString& text) {
    for (const char32_t codePoint : text.toUcs4())
        QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString::fromUcs4(&codePoint, 1),
                            Qt::NoModifier);
}

void RunningProgram::typeOver(QWidget* box, const QString& text) {
    QVERIFY(box);
    QVERIFY2(box->isVisible(), qPrintable(box->objectName()));
    box->setFocus();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty())
        QTest::keyClick(box, Qt::Key_Delete);
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            QTest::keyClick(box, Qt::Key_Return);
        typeText(box, lines[i]);
    }
}

void RunningProgram::typeOver(QWidget& window, const QString& box, const QString& text) {
    auto* control = window.findChild<QWidget*>(box, Qt::FindDirectChildrenOnly);
    QVERIFY2(control, qPrintable(window.objectName() + QLatin1Char('.') + box));
    typeOver(control, text);
}

void RunningProgram::pasteOver(QWidget* box, const QString& text) {
    QVERIFY(box);
    box->setFocus();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QGuiApplication::clipboard()->setText(text);
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
}

QString RunningProgram::textOf(QWidget& window, const QString& box) {
    if (auto* line = window.findChild<QLineEdit*>(box, Qt::FindDirectChildrenOnly))
        return line->text();
    if (auto* plain = window.findChild<QPlainTextEdit*>(box, Qt::FindDirectChildrenOnly))
        return plain->toPlainText();
    qWarning("%s has no box %s", qPrintable(window.objectName()), qPrintable(box));
    return {};
}

const QStringList RunningProgram::kContactBoxes = {
    QStringLiteral("Text1"), QStringLiteral("Text2"), QStringLiteral("Text3"),
    QStringLiteral("Text4"), QStringLiteral("Text5"), QStringLiteral("Text8"),
    QStringLiteral("Text9"), QStringLiteral("Text6"), QStringLiteral("Text7"),
    QStringLiteral("Text10")};

QStringList RunningProgram::contactTexts(QWidget& window, qsizetype count) {
    QStringList texts;
    for (const QString& box : kContactBoxes.first(count))
        texts << textOf(window, box);
    return texts;
}

std::pair<QLineEdit*, QPushButton*> RunningProgram::searchBox(Column column) {
    FindWindow& form = find();
    switch (column) {
    case Name:
        return {form.givenNameBox, form.findByNameButton};
    case Surname:
        return {form.surnameBox, form.findBySurnameButton};
    case Phone:
        return {form.phoneBox, form.findByPhoneButton};
    case Email:
        return {form.emailBox, form.findByEmailButton};
    default:
        qFatal("column %d has no search box", int(column));
    }
}

void RunningProgram::search(Column column, const QString& text) {
    const auto [box, findButton] = searchBox(column);
    typeOver(box, text);
    click(findButton);
}

QTableView* RunningProgram::gridCells() {
    return find().resultsGrid()->cells();
}

QString RunningProgram::gridCell(int row, int column) {
    QAbstractItemModel* model = gridCells()->model();
    return model->data(model->index(row, column)).toString();
}

QString RunningProgram::selector(int row) {
    return gridCells()->model()->headerData(row, Qt::Vertical).toString();
}

QList<QStringList> RunningProgram::listedRows() {
    QAbstractItemModel* model = gridCells()->model();
    QList<QStringList> rows;
    for (int r = 0; r + 1 < model->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < model->columnCount(); ++c)
            cells << gridCell(r, c);
        rows << cells;
    }
    return rows;
}

QStringList RunningProgram::listed(Column column) {
    QStringList cells;
    for (const QStringList& listedRow : listedRows())
        cells << listedRow[column];
    return cells;
}

void RunningProgram::clickCell(int row, int column) {
    QTableView* cells = gridCells();
    const QModelIndex index = cells->model()->index(row, column);
    cells->scrollTo(index);
    QTest::mouseClick(cells->viewport(), Qt::LeftButton, {}, cells->visualRect(index).center());
}

QLineEdit* RunningProgram::openCell() {
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    return editor && gridCells()->isAncestorOf(editor) ? editor : nullptr;
}

QLineEdit* RunningProgram::typeIntoCell(int row, int column, const QString& text) {
    active(*gridCells()->window());
    clickCell(row, column);
    // A cell opened by the click holds its text selected: what is typed replaces it.
    QLineEdit* editor = openCell();
    if (!editor) {
        QTest::qFail("the clicked cell did not open for typing", __FILE__, __LINE__);
        return nullptr;
    }
    typeText(editor, text);
    return editor;
}
