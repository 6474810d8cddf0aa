#pragma once

#include "app/program_windows.h"
#include "support/test_services.h"

#include <functional>
#include <memory>
#include <utility>

class QLineEdit;
class QPushButton;
class QTableView;

// Other people's contacts, already in the book; none of them may change on the way.
extern const QList<StoredRow> kOtherContacts;
// A new contact: a text for every field the add window offers.
extern const QStringList kNewContact;
// That contact as the add window stores it on the day whose stamp is `createdOn`.
StoredRow newContactRow(const QString& createdOn);

// The program as a user meets it: an application directory holding a real address book (seeded
// with `contacts`), the window model built on it and, as the program's start-up does, the main
// menu shown, which loads the find and details windows. `beforeStart` may change the application
// directory and the services first. Windows are reached through the window model, their controls
// as members or by object name, and driven with the mouse and keyboard as a user drives them.
class RunningProgram {
  public:
    // How far the program has come when the test takes over: started, or the window model alone
    // with no window loaded yet.
    enum class Start { MainMenu, NoWindow };

    explicit RunningProgram(const QList<StoredRow>& contacts = {},
                            const std::function<void(TestServices&)>& beforeStart = {},
                            Start start = Start::MainMenu);
    ~RunningProgram();

    MainMenu& menu();
    AddWindow& add();
    FindWindow& find();
    DetailsWindow& details();
    AboutWindow& about();

    // The main menu's "Add New" and "View/Edit": the window they show, once it is the active
    // window.
    AddWindow& openAdd();
    FindWindow& openFind();
    // The find window's "Details": the details window, not waited for. Most tests only click in
    // it, and waiting at each of the many opens in the data-driven tests adds up; a test that
    // follows the keyboard focus there waits for it to become active itself.
    DetailsWindow& openDetails();
    // From the main menu: "Add New" with `kNewContact` typed into its boxes.
    AddWindow& typeNewContact();
    // From the main menu: a search by surname, "Details" and "Refresh by Surname".
    DetailsWindow& showBySurname(const QString& surname);

    // Clicks a button the way a user can: only while it is on screen.
    static void click(QPushButton* button);
    static void click(QWidget& window, const QString& name);
    // Types text key by key, one key per code point, without moving the focus.
    static void typeText(QWidget* box, const QString& text);
    // Types into a box after selecting what it holds, so that the typing replaces it; a line break
    // is typed as Enter, which only a multi-line box takes. Empty text deletes what it held.
    static void typeOver(QWidget* box, const QString& text);
    static void typeOver(QWidget& window, const QString& box, const QString& text);
    // Pastes text from the clipboard over what a box holds.
    static void pasteOver(QWidget* box, const QString& text);
    // The text of a one-line or multi-line box of a window.
    static QString textOf(QWidget& window, const QString& box);
    // The boxes of the add and details windows in the table's column order; the add window has
    // the first nine.
    static const QStringList kContactBoxes;
    // What those boxes of a window hold, the first `count` of them.
    static QStringList contactTexts(QWidget& window, qsizetype count = 10);

    // The find window's box and "Find" button for one of the four searched columns.
    std::pair<QLineEdit*, QPushButton*> searchBox(Column column);
    // Types the text over that box and clicks its "Find".
    void search(Column column, const QString& text);

    // The find window's grid: its cells, what one of them shows and its row's record selector.
    QTableView* gridCells();
    QString gridCell(int row, int column);
    QString selector(int row);
    // Every contact row the grid lists, as it shows them, the new line left out; or one column.
    QList<QStringList> listedRows();
    QStringList listed(Column column);
    void clickCell(int row, int column);
    // The cell editor that has the focus, if a cell of the grid is open for typing.
    QLineEdit* openCell();
    // Clicks a cell and types over what it holds. Returns the cell's editor, which stays open, or
    // nullptr (the test has failed) when the cell did not open.
    QLineEdit* typeIntoCell(int row, int column, const QString& text);

    TestServices test;
    std::unique_ptr<ProgramWindows> windows;
};
