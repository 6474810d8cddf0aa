#include "app/main_menu.h"
#include "app/program_windows.h"
#include "screens/details_window.h"
#include "screens/find_window.h"
#include "support/layout_check.h"
#include "support/running_program.h"
#include "support/test_services.h"
#include "support/window_look.h"
#include "widgets/data_control.h"

#include <QGroupBox>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

namespace {

// Contacts with every searched column filled, so that the book's indexes grow with it.
QList<StoredRow> numberedContacts(int count) {
    QList<StoredRow> contacts;
    contacts.reserve(count);
    for (int i = 0; i < count; ++i)
        contacts << row({QStringLiteral("Given%1").arg(i), QStringLiteral("Surname%1").arg(i),
                         QStringLiteral("555-%1").arg(i, 7, 10, QLatin1Char('0')), QVariant(),
                         QVariant(), QStringLiteral("contact%1@example.org").arg(i)});
    return contacts;
}

} // namespace

class TestMainMenu : public QObject {
    Q_OBJECT
  private slots:
    void layoutIsAsDesigned() {
        RunningProgram program;
        MainMenu& menu = program.menu();
        QVERIFY(QTest::qWaitForWindowExposed(&menu));
        QCOMPARE(titleAsShown(&menu), QStringLiteral("Quorvane-Tessaline"));
        QCOMPARE(captionsNotWhole(&menu), QStringList());
        QCOMPARE(menu.size(), QSize(289, 246));
        QCOMPARE(menu.palette().color(QPalette::Window), QColor(191, 235, 249));
        QVERIFY(!menu.windowIcon().isNull());

        compareWithLayout(&menu, main_menu_layout::kControls);
        if (QTest::currentTestFailed())
            return;

        auto* frame = menu.findChild<QGroupBox*>("Frame1");
        QCOMPARE(frame->toolTip(), QStringLiteral("Choose your destiny"));
        QCOMPARE(frame->focusPolicy(), Qt::NoFocus);

        struct Expected {
            const char* name;
            const char* toolTip;
            QSize pointer;
        };
        const Expected buttons[] = {
            {"Command1", "Click here to add new link", {48, 48}},
            {"Command2", "Clcik here to view old addresses", {32, 32}},
            {"Command4", "Exit", {32, 32}},
            {"Command3", "", {48, 48}},
        };
        for (const auto& expected : buttons) {
            auto* button = menu.findChild<QPushButton*>(expected.name);
            QCOMPARE(button->toolTip(), QString::fromUtf8(expected.toolTip));
            QCOMPARE(button->accessibleName(), button->text());
            // The pointer is drawn when it first comes over the button.
            QTest::mouseMove(button);
            QCOMPARE(button->cursor().shape(), Qt::BitmapCursor);
            QCOMPARE(button->cursor().pixmap().size(), expected.pointer);
            // The buttons are drawn in front of the frame.
            QVERIFY(menu.children().indexOf(button) > menu.children().indexOf(frame));
        }
    }

    void focusStartsOnAddNewAndTabFollowsTheStack() {
        RunningProgram program;
        MainMenu& menu = program.menu();
        QVERIFY(QTest::qWaitForWindowActive(&menu));
        QCOMPARE(QApplication::focusWidget(), menu.addNewButton);
        const QList<QPushButton*> order = {menu.viewEditButton, menu.exitButton, menu.aboutButton,
                                           menu.addNewButton};
        for (QPushButton* next : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
    }

    // "Exit" clicked, pressed with Enter, or the main menu closed: goodbye, then the end.
    void exitSaysGoodbyeThenEnds() {
        for (const int way : {0, 1, 2}) {
            RunningProgram program;
            MainMenu& menu = program.menu();
            QVERIFY(QTest::qWaitForWindowActive(&menu));
            int endedWhileBoxOpen = -1;
            program.test.messages.whileOpen = [&](const ScriptedMessageBoxes::Shown&) {
                endedWhileBoxOpen = program.test.programEnd.ended;
            };
            menu.exitButton->setFocus();
            if (way == 0)
                QTest::mouseClick(menu.exitButton, Qt::LeftButton);
            else if (way == 1)
                QTest::keyClick(menu.exitButton, Qt::Key_Return);
            else
                menu.close();
            QCOMPARE(program.test.messages.texts(),
                     QStringList{"Thank You for using Quorvane Tessaline Kora beta edition"});
            QCOMPARE(program.test.messages.shown[0].title, QStringLiteral("Tessaline"));
            QCOMPARE(program.test.messages.shown[0].icon, MessageBoxes::Icon::None);
            QCOMPARE(endedWhileBoxOpen, 0);
            QCOMPARE(program.test.programEnd.ended, 1);
        }
    }

    // The start-up fetches every contact for the hidden find window, but nothing on screen says
    // how many there are: the book is read no further than its first rows, whatever its size.
    // Once the grid is shown it lists them all.
    void startUpReadsTheSameFewPagesOfAnyBook() {
        QList<std::int64_t> pagesRead;
        for (const int contacts : {10, 20000}) {
            RunningProgram program({}, [contacts](TestServices& test) {
                insertRows(test.databasePath(), numberedContacts(contacts));
            });
            pagesRead << program.find().dataControl->recordset().pagesRead();
            program.openFind();
            QCOMPARE(program.gridCells()->model()->rowCount(), contacts + 1); // and the new line
        }
        // A larger book's deeper tree takes a page or two more on the way to its first and last
        // rows; counting 20,000 contacts reads well over a hundred.
        QVERIFY2(pagesRead[1] - pagesRead[0] <= 4,
                 qPrintable(QStringLiteral("pages read at start-up: %1 of a book of 10, %2 of "
                                           "20,000")
                                .arg(pagesRead[0])
                                .arg(pagesRead[1])));
    }

    // The hidden windows are loaded at start-up; their grid and navigation strips, which show
    // nothing there, are built only when a window is first shown.
    void startUpBuildsNoDrawingsOfTheHiddenWindows() {
        RunningProgram program;
        QVERIFY(QTest::qWaitForWindowExposed(&program.menu()));
        for (Window* hidden :
             {static_cast<Window*>(&program.find()), static_cast<Window*>(&program.details())}) {
            QVERIFY(hidden->findChildren<QTableView*>().isEmpty());
            QVERIFY(hidden->findChildren<QToolButton*>().isEmpty());
        }
        program.openFind();
        QVERIFY(program.gridCells()->isVisible());
    }
};

QTEST_MAIN(TestMainMenu)
#include "test_main_menu.moc"
