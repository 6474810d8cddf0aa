#include "screens/form2.h"
#include "shell/form1.h"
#include "shell/program_windows.h"
#include "store/contact_table.h"
#include "store/sqlite_db.h"
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
QList<QWidget*> fields(Form2& form) {
    QList<QWidget*> result;
    for (int i = 1; i <= 9; ++i) {
        result << form.findChild<QWidget*>(QStringLiteral("Label%1").arg(i));
        result << form.findChild<QWidget*>(QStringLiteral("Text%1").arg(i));
    }
    return result;
}
bool fieldsVisible(Form2& form) {
    const QList<QWidget*> all = fields(form);
    return std::all_of(all.begin(), all.end(), [](QWidget* field) { return field->isVisible(); });
}
bool fieldsHidden(Form2& form) {
    const QList<QWidget*> all = fields(form);
    return std::none_of(all.begin(), all.end(), [](QWidget* field) { return field->isVisible(); });
}

} // namespace

class TestForm2 : public QObject {
    Q_OBJECT
  private slots:
    void firstOpenShowsOnlyAddNewAndCancel() {
        RunningProgram program;
        Form2& form = program.openAdd();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QCOMPARE(titleAsShown(&form), QStringLiteral("Add New"));
        QCOMPARE(captionsNotWhole(&form), QStringList());
        QCOMPARE(form.size(), QSize(551, 286));
        QVERIFY(form.Command3->isVisible());
        QVERIFY(form.Command2->isVisible());
        QVERIFY(!form.Command1->isVisible());
        QVERIFY(!form.Command4->isVisible());
        QVERIFY(fieldsHidden(form));
        QVERIFY(!form.Data1->isVisible());
        QCOMPARE(QApplication::focusWidget(), form.Command2);
        QCOMPARE(form.cursor().shape(), Qt::BitmapCursor);
        QCOMPARE(form.cursor().hotSpot(), QPoint(3, 1));
        QCOMPARE(form.Command3->geometry(), form.Command1->geometry());
        QVERIFY(program.test.storedRows().isEmpty());
    }

    void addNewShowsEmptyFieldsAndTodaysStamp() {
        RunningProgram program;
        Form2& form = program.openAdd();
        RunningProgram::click(form.Command3);
        QVERIFY(fieldsVisible(form));
        QVERIFY(form.Command1->isVisible());
        QVERIFY(form.Command4->isVisible());
        QVERIFY(!form.Command3->isVisible());
        QVERIFY(!form.Command2->isVisible());
        for (QLineEdit* box :
             {form.Text1, form.Text2, form.Text3, form.Text4, form.Text8, form.Text9})
            QCOMPARE(box->text(), QString());
        QCOMPARE(form.Text5->toPlainText(), QString());
        QCOMPARE(form.Text6->toPlainText(), QString());
        QCOMPARE(form.Text7->text(), kStamp);
        QCOMPARE(captionsNotWhole(&form), QStringList());
        // The stamp takes no typing.
        form.Text7->setFocus();
        QTest::keyClicks(form.Text7, "1999");
        QTest::keyClick(form.Text7, Qt::Key_Backspace);
        QCOMPARE(form.Text7->text(), kStamp);
    }

    void okWithAnEmptyNameIsRefusedSilently() {
        RunningProgram program;
        Form2& form = program.openAdd();
        RunningProgram::click(form.Command3);
        QVERIFY(QTest::qWaitForWindowActive(&form));
        RunningProgram::typeText(form.Text2, "Smith");
        RunningProgram::typeText(form.Text3, "555-0100");
        RunningProgram::click(form.Command1);
        QVERIFY(program.test.messages.shown.isEmpty());
        QVERIFY(program.test.storedRows().isEmpty());
        QCOMPARE(QApplication::focusWidget(), form.Text1);
        QCOMPARE(form.Text2->text(), QStringLiteral("Smith"));
        QCOMPARE(form.Text3->text(), QStringLiteral("555-0100"));
        QVERIFY(form.isVisible());
        QVERIFY(form.Command1->isVisible());
    }

    void okStoresTheTypedTextsAndTheStamp() {
        RunningProgram program;
        Form2& form = program.openAdd();
        RunningProgram::click(form.Command3);
        RunningProgram::typeText(form.Text1, "Ann");
        RunningProgram::typeText(form.Text2, "O'Brien");
        RunningProgram::typeText(form.Text8, "ann@example.org");
        form.Text5->setFocus();
        RunningProgram::typeText(form.Text5, "1 Main St");
        QTest::keyClick(form.Text5, Qt::Key_Return);
        RunningProgram::typeText(form.Text5, "Dublin");
        RunningProgram::click(form.Command1);
        QCOMPARE(
            program.test.storedRows(),
            QList<StoredRow>{row({"Ann", "O'Brien", QVariant(), QVariant(), "1 Main St\nDublin",
                                  "ann@example.org", QVariant(), QVariant(), kStamp, QVariant()})});
        // Back in the ready layout, hidden, with the main menu in front.
        QVERIFY(!form.isVisible());
        QVERIFY(program.menu().isVisible());
        QVERIFY(fieldsHidden(form) || !form.Text1->isVisibleTo(&form));
        QVERIFY(!form.Command1->isVisibleTo(&form));
        QVERIFY(!form.Command4->isVisibleTo(&form));
        QVERIFY(form.Command3->isVisibleTo(&form));
        QVERIFY(form.Command2->isVisibleTo(&form));
        RunningProgram::click(program.menu().Command1);
        QVERIFY(form.isVisible());
        QVERIFY(fieldsHidden(form));
    }

    void aNameOfOneBlankIsAName() {
        RunningProgram program;
        Form2& form = program.openAdd();
        RunningProgram::click(form.Command3);
        RunningProgram::typeText(form.Text1, " ");
        RunningProgram::click(form.Command1);
        QCOMPARE(program.test.storedRows().size(), 1);
        QCOMPARE(program.test.storedRows()[0][0], QVariant(QStringLiteral(" ")));
    }

    void cancelUpdateStoresNothingAndClosesTheRecordset() {
        RunningProgram program;
        Form2& form = program.openAdd();
        RunningProgram::click(form.Command3);
        RunningProgram::typeText(form.Text1, "Nobody");
        RunningProgram::click(form.Command4);
        QVERIFY(program.test.storedRows().isEmpty());
        QVERIFY(!form.Data1->Recordset().isOpen());
        QVERIFY(!form.isVisible());
        // Reopened from the main menu: the ready layout; the next entry starts afresh.
        RunningProgram::click(program.menu().Command1);
        QVERIFY(form.Command3->isVisible());
        QVERIFY(form.Command2->isVisible());
        QVERIFY(!form.Command1->isVisible());
        QVERIFY(!form.Command4->isVisible());
        RunningProgram::click(form.Command3);
        QCOMPARE(form.Text1->text(), QString());
        RunningProgram::typeText(form.Text1, "Somebody");
        RunningProgram::click(form.Command1);
        QCOMPARE(program.test.storedRows().size(), 1);
    }

    void mainMenuAddNewInterruptsAnEntry() {
        RunningProgram program;
        Form2& form = program.openAdd();
        RunningProgram::click(form.Command3);
        RunningProgram::typeText(form.Text1, "Half");
        RunningProgram::typeText(form.Text2, "Typed");
        RunningProgram::click(program.menu().Command1);
        QVERIFY(form.isVisible());
        QCOMPARE(form.Text1->text(), QStringLiteral("Half"));
        QCOMPARE(form.Text2->text(), QStringLiteral("Typed"));
        QVERIFY(form.Command3->isVisible());
        QVERIFY(!form.Command1->isVisible());
        QVERIFY(form.Command4->isVisible());
        QVERIFY(!form.Command2->isVisible());
        // Add New starts afresh; the half-typed entry is never stored.
        RunningProgram::click(form.Command3);
        QCOMPARE(form.Text1->text(), QString());
        RunningProgram::typeText(form.Text1, "Whole");
        RunningProgram::click(form.Command1);
        QCOMPARE(program.test.storedRows().size(), 1);
        QCOMPARE(program.test.storedRows()[0][0], QVariant(QStringLiteral("Whole")));
        QCOMPARE(program.test.storedRows()[0][1], QVariant());
    }

    void tabMovesThroughTheEntryInOrder() {
        RunningProgram program;
        Form2& form = program.openAdd();
        RunningProgram::click(form.Command3);
        QVERIFY(QTest::qWaitForWindowActive(&form));
        form.Text1->setFocus();
        const QList<QWidget*> order = {form.Text2, form.Text3,    form.Text4, form.Text5,
                                       form.Text8, form.Text9,    form.Text6, form.Command1,
                                       form.Text7, form.Command4, form.Text1};
        for (QWidget* next : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
    }

    void multiLineNotesRoundTrip() {
        RunningProgram program;
        Form2& form = program.openAdd();
        RunningProgram::click(form.Command3);
        RunningProgram::typeText(form.Text1, "Multi");
        form.Text6->setFocus();
        RunningProgram::typeText(form.Text6, "first line");
        QTest::keyClick(form.Text6, Qt::Key_Return);
        RunningProgram::typeText(form.Text6, "second line");
        QVERIFY(form.isVisible()); // Enter started a line instead of pressing a button
        RunningProgram::click(form.Command1);
        QCOMPARE(program.test.storedRows()[0][7],
                 QVariant(QStringLiteral("first line\nsecond line")));
    }

    void missingFileAtAddNewIsReportedAndNothingIsCreated() {
        RunningProgram program;
        Form2& form = program.openAdd();
        QVERIFY(QFile::remove(program.test.databasePath()));
        RunningProgram::click(form.Command3);
        QCOMPARE(program.test.messages.shown.size(), 1);
        QVERIFY(program.test.messages.shown[0].text.contains(program.test.databasePath()));
        QVERIFY(!QFileInfo::exists(program.test.databasePath()));
        QVERIFY(form.Command3->isVisible());
        QVERIFY(fieldsHidden(form));
    }

    void lockedFileAtOkIsReportedAndTheEntryCanBeStoredLater() {
        RunningProgram program;
        Form2& form = program.openAdd();
        RunningProgram::click(form.Command3);
        RunningProgram::typeText(form.Text1, "Patient");
        RunningProgram::typeText(form.Text3, "555-0199");
        form.Data1->setBusyTimeout(50);
        {
            Database other = contact_table::openAddressBook(program.test.databasePath());
            other.exec("BEGIN IMMEDIATE");
            RunningProgram::click(form.Command1);
            QCOMPARE(program.test.messages.shown.size(), 1);
            QVERIFY2(program.test.messages.shown[0].text.contains("in use"),
                     qPrintable(program.test.messages.shown[0].text));
            QVERIFY(form.isVisible());
            QCOMPARE(form.Text1->text(), QStringLiteral("Patient"));
            QVERIFY(form.Command1->isVisible());
            other.exec("ROLLBACK");
        }
        RunningProgram::click(form.Command1);
        QCOMPARE(program.test.storedRows().size(), 1);
        QCOMPARE(program.test.storedRows()[0][2], QVariant(QStringLiteral("555-0199")));
        QVERIFY(!form.isVisible());
    }

    void closingThroughTheFrameAbandonsTheEntry() {
        RunningProgram program;
        Form2& form = program.openAdd();
        RunningProgram::click(form.Command3);
        RunningProgram::typeText(form.Text1, "Closed");
        form.close();
        QVERIFY(program.test.storedRows().isEmpty());
        QVERIFY(!form.isVisible());
        QVERIFY(!form.Data1->Recordset().isOpen());
        RunningProgram::click(program.menu().Command1);
        QVERIFY(form.Command3->isVisible());
        QVERIFY(fieldsHidden(form));
        // Closed again while ready: it simply leaves.
        form.close();
        QVERIFY(!form.isVisible());
        QVERIFY(program.test.messages.shown.isEmpty());
    }
};

QTEST_MAIN(TestForm2)
#include "test_form2.moc"
