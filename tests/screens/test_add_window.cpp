#include "app/main_menu.h"
#include "app/program_windows.h"
#include "screens/add_window.h"
#include "store/contact_table.h"
#include "store/sqlite_db.h"
#include "support/layout_check.h"
#include "support/running_program.h"
#include "support/test_services.h"
#include "support/window_look.h"
#include "widgets/data_control.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>
#include <algorithm>

namespace {

const QString kStamp = QLocale().toString(QDate(2026, 12, 7), QLocale::ShortFormat);

// The name labels and boxes of the nine fields that take an entry.
QList<QWidget*> fields(AddWindow& form) {
    QList<QWidget*> result;
    for (int i = 1; i <= 9; ++i) {
        result << form.findChild<QWidget*>(QStringLiteral("Label%1").arg(i));
        result << form.findChild<QWidget*>(QStringLiteral("Text%1").arg(i));
    }
    return result;
}
bool fieldsVisible(AddWindow& form) {
    const QList<QWidget*> all = fields(form);
    return std::all_of(all.begin(), all.end(), [](QWidget* field) { return field->isVisible(); });
}
bool fieldsHidden(AddWindow& form) {
    const QList<QWidget*> all = fields(form);
    return std::none_of(all.begin(), all.end(), [](QWidget* field) { return field->isVisible(); });
}

// Which of the four buttons the window shows, in the order "Add New", "Cancel", "OK" and
// "Cancel Update".
QList<bool> buttonsShown(AddWindow& form) {
    return {form.addNewButton->isVisibleTo(&form), form.cancelButton->isVisibleTo(&form),
            form.okButton->isVisibleTo(&form), form.cancelUpdateButton->isVisibleTo(&form)};
}
const QList<bool> kReady = {true, true, false, false};
const QList<bool> kEntering = {false, false, true, true};

} // namespace

class TestAddWindow : public QObject {
    Q_OBJECT
  private slots:
    void firstOpenShowsOnlyAddNewAndCancel() {
        RunningProgram program;
        AddWindow& form = program.openAdd();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QCOMPARE(titleAsShown(&form), QStringLiteral("Add New"));
        QCOMPARE(captionsNotWhole(&form), QStringList());
        QCOMPARE(form.size(), QSize(551, 286));
        compareWithLayout(&form, add_window_layout::kControls);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(buttonsShown(form), kReady);
        QVERIFY(fieldsHidden(form));
        QVERIFY(!form.dataControl->isVisible());
        QCOMPARE(QApplication::focusWidget(), form.cancelButton);
        QCOMPARE(form.cursor().shape(), Qt::BitmapCursor);
        QCOMPARE(form.cursor().hotSpot(), QPoint(3, 1));
        QCOMPARE(form.addNewButton->geometry(), form.okButton->geometry());
        QVERIFY(program.test.storedRows().isEmpty());
    }

    void addNewShowsEmptyFieldsAndTodaysStamp() {
        RunningProgram program;
        AddWindow& form = program.openAdd();
        RunningProgram::click(form.addNewButton);
        QVERIFY(fieldsVisible(form));
        QCOMPARE(buttonsShown(form), kEntering);
        for (QLineEdit* box : {form.givenNameBox, form.surnameBox, form.phoneBox, form.faxBox,
                               form.emailBox, form.urlBox})
            QCOMPARE(box->text(), QString());
        QCOMPARE(form.addressBox->toPlainText(), QString());
        QCOMPARE(form.otherBox->toPlainText(), QString());
        QCOMPARE(form.createdOnBox->text(), kStamp);
        QCOMPARE(captionsNotWhole(&form), QStringList());
        // The stamp takes no typing.
        form.createdOnBox->setFocus();
        QTest::keyClicks(form.createdOnBox, "1999");
        QTest::keyClick(form.createdOnBox, Qt::Key_Backspace);
        QCOMPARE(form.createdOnBox->text(), kStamp);

        // Tab moves through the entry in order.
        QVERIFY(QTest::qWaitForWindowActive(&form));
        form.givenNameBox->setFocus();
        const QList<QWidget*> order = {form.surnameBox,         form.phoneBox,    form.faxBox,
                                       form.addressBox,         form.emailBox,    form.urlBox,
                                       form.otherBox,           form.okButton,    form.createdOnBox,
                                       form.cancelUpdateButton, form.givenNameBox};
        for (QWidget* next : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
    }

    void okWithAnEmptyNameIsRefusedSilently() {
        RunningProgram program;
        AddWindow& form = program.openAdd();
        RunningProgram::click(form.addNewButton);
        QVERIFY(QTest::qWaitForWindowActive(&form));
        RunningProgram::typeText(form.surnameBox, "Smith");
        RunningProgram::typeText(form.phoneBox, "555-0100");
        RunningProgram::click(form.okButton);
        QVERIFY(program.test.messages.shown.isEmpty());
        QVERIFY(program.test.storedRows().isEmpty());
        QCOMPARE(QApplication::focusWidget(), form.givenNameBox);
        QCOMPARE(form.surnameBox->text(), QStringLiteral("Smith"));
        QCOMPARE(form.phoneBox->text(), QStringLiteral("555-0100"));
        QVERIFY(form.isVisible());
        QVERIFY(form.okButton->isVisible());
    }

    void okStoresTheTypedTextsAndTheStamp() {
        RunningProgram program;
        AddWindow& form = program.openAdd();
        RunningProgram::click(form.addNewButton);
        RunningProgram::typeText(form.givenNameBox, "Ann");
        RunningProgram::typeText(form.surnameBox, "O'Brien");
        RunningProgram::typeText(form.emailBox, "ann@example.org");
        form.addressBox->setFocus();
        RunningProgram::typeText(form.addressBox, "1 Main St");
        QTest::keyClick(form.addressBox, Qt::Key_Return);
        RunningProgram::typeText(form.addressBox, "Dublin");
        form.otherBox->setFocus();
        RunningProgram::typeText(form.otherBox, "first line");
        QTest::keyClick(form.otherBox, Qt::Key_Return);
        RunningProgram::typeText(form.otherBox, "second line");
        QVERIFY(form.isVisible()); // Enter started a line instead of pressing a button
        RunningProgram::click(form.okButton);
        QCOMPARE(program.test.storedRows(),
                 QList<StoredRow>{row({"Ann", "O'Brien", QVariant(), QVariant(),
                                       "1 Main St\nDublin", "ann@example.org", QVariant(),
                                       "first line\nsecond line", kStamp, QVariant()})});
        // Back in the ready layout, hidden, with the main menu in front.
        QVERIFY(!form.isVisible());
        QVERIFY(program.menu().isVisible());
        QVERIFY(!form.givenNameBox->isVisibleTo(&form));
        QCOMPARE(buttonsShown(form), kReady);
        RunningProgram::click(program.menu().addNewButton);
        QVERIFY(form.isVisible());
        QVERIFY(fieldsHidden(form));
    }

    // "Cancel Update", or closing the window through its frame, abandons the entry: nothing is
    // stored, and the window reopens ready for the next entry, which starts afresh.
    void cancelUpdateStoresNothingAndClosesTheRecordset() {
        RunningProgram program;
        AddWindow& form = program.openAdd();
        for (const bool throughTheFrame : {false, true}) {
            RunningProgram::click(form.addNewButton);
            RunningProgram::typeText(form.givenNameBox, "Nobody");
            if (throughTheFrame)
                form.close();
            else
                RunningProgram::click(form.cancelUpdateButton);
            QVERIFY(program.test.storedRows().isEmpty());
            QVERIFY(!form.dataControl->recordset().isOpen());
            QVERIFY(!form.isVisible());
            RunningProgram::click(program.menu().addNewButton);
            QCOMPARE(buttonsShown(form), kReady);
            QVERIFY(fieldsHidden(form));
        }
        // Closed again while ready: it simply leaves.
        form.close();
        QVERIFY(!form.isVisible());
        QVERIFY(program.test.messages.shown.isEmpty());
        RunningProgram::click(program.menu().addNewButton);
        RunningProgram::click(form.addNewButton);
        QCOMPARE(form.givenNameBox->text(), QString());
        RunningProgram::typeText(form.givenNameBox, "Somebody");
        RunningProgram::click(form.okButton);
        QCOMPARE(program.test.storedRows().size(), 1);
    }

    void mainMenuAddNewInterruptsAnEntry() {
        RunningProgram program;
        AddWindow& form = program.openAdd();
        RunningProgram::click(form.addNewButton);
        RunningProgram::typeText(form.givenNameBox, "Half");
        RunningProgram::typeText(form.surnameBox, "Typed");
        RunningProgram::click(program.menu().addNewButton);
        QVERIFY(form.isVisible());
        QCOMPARE(form.givenNameBox->text(), QStringLiteral("Half"));
        QCOMPARE(form.surnameBox->text(), QStringLiteral("Typed"));
        // The entry's "Cancel Update" stays beside "Add New".
        QCOMPARE(buttonsShown(form), (QList<bool>{true, false, false, true}));
        // Add New starts afresh; the half-typed entry is never stored.
        RunningProgram::click(form.addNewButton);
        QCOMPARE(form.givenNameBox->text(), QString());
        RunningProgram::typeText(form.givenNameBox, "Whole");
        RunningProgram::click(form.okButton);
        QCOMPARE(program.test.storedRows().size(), 1);
        QCOMPARE(program.test.storedRows()[0][0], QVariant(QStringLiteral("Whole")));
        QCOMPARE(program.test.storedRows()[0][1], QVariant());
    }

    void missingFileAtAddNewIsReportedAndNothingIsCreated() {
        RunningProgram program;
        AddWindow& form = program.openAdd();
        QVERIFY(QFile::remove(program.test.databasePath()));
        RunningProgram::click(form.addNewButton);
        QCOMPARE(program.test.messages.shown.size(), 1);
        QVERIFY(program.test.messages.shown[0].text.contains(program.test.databasePath()));
        QVERIFY(!QFileInfo::exists(program.test.databasePath()));
        QVERIFY(form.addNewButton->isVisible());
        QVERIFY(fieldsHidden(form));
    }
};

QTEST_MAIN(TestAddWindow)
#include "test_add_window.moc"
