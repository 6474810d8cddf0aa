#include "running_program.h"

#include "screens/form2.h"
#include "screens/form3.h"
#include "screens/form4.h"
#include "screens/results_grid.h"
#include "shell/form1.h"

#include <QApplication>
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

RunningProgram::RunningProgram(const QList<StoredRow>& contacts,
                               const std::function<void(TestServices&)>& beforeStart) {
    for (const StoredRow& contact : contacts)
        test.insertRow(contact);
    if (beforeStart)
        beforeStart(test);
    // What the program's start-up does: the main menu is touched (its load step runs) and shown.
    windows = std::make_unique<ProgramWindows>(test.services());
    windows->form1().Show();
}

RunningProgram::~RunningProgram() = default;

Form1& RunningProgram::menu() {
    return windows->form1();
}
Form2& RunningProgram::add() {
    return windows->form2();
}
Form3& RunningProgram::find() {
    return windows->form3();
}
Form4& RunningProgram::details() {
    return windows->form4();
}

void RunningProgram::click(QWidget& window, const QString& name) {
    auto* button = window.findChild<QPushButton*>(name, Qt::FindDirectChildrenOnly);
    QVERIFY2(button, qPrintable(window.objectName() + QLatin1Char('.') + name));
    QVERIFY2(button->isVisible(), qPrintable(window.objectName() + QLatin1Char('.') + name));
    QTest::mouseClick(button, Qt::LeftButton);
}

void RunningProgram::typeOver(QWidget& window, const QString& box, const QString& text) {
    auto* control = window.findChild<QWidget*>(box, Qt::FindDirectChildrenOnly);
    QVERIFY2(control, qPrintable(window.objectName() + QLatin1Char('.') + box));
    QVERIFY2(control->isVisible(), qPrintable(window.objectName() + QLatin1Char('.') + box));
    control->setFocus();
    QTest::keyClick(control, Qt::Key_A, Qt::ControlModifier);
    // Line breaks are typed as Enter, which only a multi-line box takes.
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            QTest::keyClick(control, Qt::Key_Return);
        QTest::keyClicks(control, lines[i]);
    }
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

QTableView* RunningProgram::gridCells() {
    return find().DBGrid1->cells();
}

QString RunningProgram::gridCell(int row, int column) {
    QAbstractItemModel* model = gridCells()->model();
    return model->data(model->index(row, column)).toString();
}

QLineEdit* RunningProgram::typeIntoCell(int row, int column, const QString& text) {
    QTableView* cells = gridCells();
    // Typing reaches a cell only in the active window.
    if (!QTest::qWaitForWindowActive(cells->window())) {
        QTest::qFail("the find window did not become active", __FILE__, __LINE__);
        return nullptr;
    }
    const QModelIndex index = cells->model()->index(row, column);
    cells->scrollTo(index);
    QTest::mouseClick(cells->viewport(), Qt::LeftButton, {}, cells->visualRect(index).center());
    // A cell opened by the click holds its text selected: what is typed replaces it.
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    if (!editor || !cells->isAncestorOf(editor)) {
        QTest::qFail("the clicked cell did not open for typing", __FILE__, __LINE__);
        return nullptr;
    }
    QTest::keyClicks(editor, text);
    return editor;
}
