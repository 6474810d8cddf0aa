#pragma once

#include "shell/window_model.h"
#include "test_services.h"

#include <functional>
#include <memory>

class Form1;
class Form2;
class Form3;
class Form4;
class QLineEdit;
class QTableView;

// Other people's contacts, already in the book; none of them may change on the way.
extern const QList<StoredRow> kOtherContacts;
// A new contact: a text for every field the add window offers.
extern const QStringList kNewContact;

// The program as it starts for a user: an application directory holding a real address book
// (seeded with `contacts`), the window model built on it and the main menu shown, which loads the
// find and details windows. `beforeStart` may change the application directory first. Windows
// and their controls are reached by their object names.
class RunningProgram {
  public:
    explicit RunningProgram(const QList<StoredRow>& contacts = {},
                            const std::function<void(TestServices&)>& beforeStart = {});
    ~RunningProgram();

    Form1& menu();
    Form2& add();
    Form3& find();
    Form4& details();

    // Clicks a button of a window the way a user can: only while it is on screen.
    static void click(QWidget& window, const QString& name);
    // Types into a box after selecting what it holds, so that the typing replaces it.
    static void typeOver(QWidget& window, const QString& box, const QString& text);
    // The text of a one-line or multi-line box of a window.
    static QString textOf(QWidget& window, const QString& box);
    // The boxes of the add and details windows in the table's column order; the add window has
    // the first nine.
    static const QStringList kContactBoxes;
    // What those boxes of a window hold, the first `count` of them.
    static QStringList contactTexts(QWidget& window, qsizetype count);

    // The find window's grid: its cells and what one of them shows.
    QTableView* gridCells();
    QString gridCell(int row, int column);
    // Clicks a cell and types over what it holds. Returns the cell's editor, which stays open, or
    // nullptr (the test has failed) when the cell did not open.
    QLineEdit* typeIntoCell(int row, int column, const QString& text);

    TestServices test;
    std::unique_ptr<WindowModel> windows;
};
