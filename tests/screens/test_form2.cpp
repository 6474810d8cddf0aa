#include "screens/form2.h"
#include "shell/form1.h"
#include "shell/program_windows.h"
#include "store/contact_table.h"
#include "store/sqlite_db.h"
#include "test_services.h"
#include "widgets/data_control.h"
#include "window_look.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

namespace {

const QString kStamp = QLocale().toString(QDate(2026, 12, 7), QLocale::ShortFormat);

// The program as the user meets it: the main menu shown, the add window opened from it.
struct AddWindow {
    TestServices test;
    ProgramWindows windows{test.services()};
    Form2* form = nullptr;

    AddWindow() {
        windows.form1().Show();
        QTest::mouseClick(windows.form1().Command1, Qt::LeftButton);
        form = &windows.form2();
    }
    void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    void type(QWidget* box, const QString& text) { QTest::keyClicks(box, text); }
    QList<QWidget*> fields() const {
        QList<QWidget*> result;
        for (int i = 1; i <= 9; ++i) {
            result << form->findChild<QWidget*>(QStringLiteral("Label%1").arg(i));
            result << form->findChild<QWidget*>(QStringLiteral("Text%1").arg(i));
        }
        return result;
    }
    bool fieldsVisible() const {
        for (QWidget* field : fields())
            if (!field->isVisible())
                return false;
        return true;
    }
    bool fieldsHidden() const {
        for (QWidget* field : fields())
            if (field->isVisible())
                return false;
        return true;
    }
};

} // namespace

class TestForm2 : public QObject {
    Q_OBJECT
  private slots:
    void firstOpenShowsOnlyAddNewAndCancel() {
        AddWindow add;
        Form2& form = *add.form;
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QCOMPARE(titleAsShown(&form), QStringLiteral("Add New"));
        QCOMPARE(captionsNotWhole(&form), QStringList());
        QCOMPARE(form.size(), QSize(551, 286));
        QVERIFY(form.Command3->isVisible());
        QVERIFY(form.Command2->isVisible());
        QVERIFY(!form.Command1->isVisible());
        QVERIFY(!form.Command4->isVisible());
        QVERIFY(add.fieldsHidden());
        QVERIFY(!form.Data1->isVisible());
        QCOMPARE(QApplication::focusWidget(), form.Command2);
        QCOMPARE(form.cursor().shape(), Qt::BitmapCursor);
        QCOMPARE(form.cursor().hotSpot(), QPoint(3, 1));
        QCOMPARE(form.Command3->geometry(), form.Command1->geometry());
        QVERIFY(add.test.storedRows().isEmpty());
    }

    void addNewShowsEmptyFieldsAndTodaysStamp() {
        AddWindow add;
        Form2& form = *add.form;
        add.click(form.Command3);
        QVERIFY(add.fieldsVisible());
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
        AddWindow add;
        Form2& form = *add.form;
        add.click(form.Command3);
        QVERIFY(QTest::qWaitForWindowActive(&form));
        add.type(form.Text2, "Smith");
        add.type(form.Text3, "555-0100");
        add.click(form.Command1);
        QVERIFY(add.test.messages.shown.isEmpty());
        QVERIFY(add.test.storedRows().isEmpty());
        QCOMPARE(QApplication::focusWidget(), form.Text1);
        QCOMPARE(form.Text2->text(), QStringLiteral("Smith"));
        QCOMPARE(form.Text3->text(), QStringLiteral("555-0100"));
        QVERIFY(form.isVisible());
        QVERIFY(form.Command1->isVisible());
    }

    void okStoresTheTypedTextsAndTheStamp() {
        AddWindow add;
        Form2& form = *add.form;
        add.click(form.Command3);
        add.type(form.Text1, "Ann");
        add.type(form.Text2, "O'Brien");
        add.type(form.Text8, "ann@example.org");
        form.Text5->setFocus();
        add.type(form.Text5, "1 Main St");
        QTest::keyClick(form.Text5, Qt::Key_Return);
        add.type(form.Text5, "Dublin");
        add.click(form.Command1);
        QCOMPARE(
            add.test.storedRows(),
            QList<StoredRow>{row({"Ann", "O'Brien", QVariant(), QVariant(), "1 Main St\nDublin",
                                  "ann@example.org", QVariant(), QVariant(), kStamp, QVariant()})});
        // Back in the ready layout, hidden, with the main menu in front.
        QVERIFY(!form.isVisible());
        QVERIFY(add.windows.form1().isVisible());
        QVERIFY(add.fieldsHidden() || !form.Text1->isVisibleTo(&form));
        QVERIFY(!form.Command1->isVisibleTo(&form));
        QVERIFY(!form.Command4->isVisibleTo(&form));
        QVERIFY(form.Command3->isVisibleTo(&form));
        QVERIFY(form.Command2->isVisibleTo(&form));
        add.click(add.windows.form1().Command1);
        QVERIFY(form.isVisible());
        QVERIFY(add.fieldsHidden());
    }

    void aNameOfOneBlankIsAName() {
        AddWindow add;
        add.click(add.form->Command3);
        add.type(add.form->Text1, " ");
        add.click(add.form->Command1);
        QCOMPARE(add.test.storedRows().size(), 1);
        QCOMPARE(add.test.storedRows()[0][0], QVariant(QStringLiteral(" ")));
    }

    void cancelUpdateStoresNothingAndClosesTheRecordset() {
        AddWindow add;
        Form2& form = *add.form;
        add.click(form.Command3);
        add.type(form.Text1, "Nobody");
        add.click(form.Command4);
        QVERIFY(add.test.storedRows().isEmpty());
        QVERIFY(!form.Data1->Recordset().isOpen());
        QVERIFY(!form.isVisible());
        // Reopened from the main menu: the ready layout; the next entry starts afresh.
        add.click(add.windows.form1().Command1);
        QVERIFY(form.Command3->isVisible());
        QVERIFY(form.Command2->isVisible());
        QVERIFY(!form.Command1->isVisible());
        QVERIFY(!form.Command4->isVisible());
        add.click(form.Command3);
        QCOMPARE(form.Text1->text(), QString());
        add.type(form.Text1, "Somebody");
        add.click(form.Command1);
        QCOMPARE(add.test.storedRows().size(), 1);
    }

    void mainMenuAddNewInterruptsAnEntry() {
        AddWindow add;
        Form2& form = *add.form;
        add.click(form.Command3);
        add.type(form.Text1, "Half");
        add.type(form.Text2, "Typed");
        add.click(add.windows.form1().Command1);
        QVERIFY(form.isVisible());
        QCOMPARE(form.Text1->text(), QStringLiteral("Half"));
        QCOMPARE(form.Text2->text(), QStringLiteral("Typed"));
        QVERIFY(form.Command3->isVisible());
        QVERIFY(!form.Command1->isVisible());
        QVERIFY(form.Command4->isVisible());
        QVERIFY(!form.Command2->isVisible());
        // Add New starts afresh; the half-typed entry is never stored.
        add.click(form.Command3);
        QCOMPARE(form.Text1->text(), QString());
        add.type(form.Text1, "Whole");
        add.click(form.Command1);
        QCOMPARE(add.test.storedRows().size(), 1);
        QCOMPARE(add.test.storedRows()[0][0], QVariant(QStringLiteral("Whole")));
        QCOMPARE(add.test.storedRows()[0][1], QVariant());
    }

    void tabMovesThroughTheEntryInOrder() {
        AddWindow add;
        Form2& form = *add.form;
        add.click(form.Command3);
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
        AddWindow add;
        Form2& form = *add.form;
        add.click(form.Command3);
        add.type(form.Text1, "Multi");
        form.Text6->setFocus();
        add.type(form.Text6, "first line");
        QTest::keyClick(form.Text6, Qt::Key_Return);
        add.type(form.Text6, "second line");
        QVERIFY(form.isVisible()); // Enter started a line instead of pressing a button
        add.click(form.Command1);
        QCOMPARE(add.test.storedRows()[0][7], QVariant(QStringLiteral("first line\nsecond line")));
    }

    void missingFileAtAddNewIsReportedAndNothingIsCreated() {
        AddWindow add;
        Form2& form = *add.form;
        QVERIFY(QFile::remove(add.test.databasePath()));
        add.click(form.Command3);
        QCOMPARE(add.test.messages.shown.size(), 1);
        QVERIFY(add.test.messages.shown[0].text.contains(add.test.databasePath()));
        QVERIFY(!QFileInfo::exists(add.test.databasePath()));
        QVERIFY(form.Command3->isVisible());
        QVERIFY(add.fieldsHidden());
    }

    void lockedFileAtOkIsReportedAndTheEntryCanBeStoredLater() {
        AddWindow add;
        Form2& form = *add.form;
        add.click(form.Command3);
        add.type(form.Text1, "Patient");
        add.type(form.Text3, "555-0199");
        form.Data1->setBusyTimeout(50);
        {
            Database other = contact_table::openAddressBook(add.test.databasePath());
            other.exec("BEGIN IMMEDIATE");
            add.click(form.Command1);
            QCOMPARE(add.test.messages.shown.size(), 1);
            QVERIFY2(add.test.messages.shown[0].text.contains("in use"),
                     qPrintable(add.test.messages.shown[0].text));
            QVERIFY(form.isVisible());
            QCOMPARE(form.Text1->text(), QStringLiteral("Patient"));
            QVERIFY(form.Command1->isVisible());
            other.exec("ROLLBACK");
        }
        add.click(form.Command1);
        QCOMPARE(add.test.storedRows().size(), 1);
        QCOMPARE(add.test.storedRows()[0][2], QVariant(QStringLiteral("555-0199")));
        QVERIFY(!form.isVisible());
    }

    void closingThroughTheFrameAbandonsTheEntry() {
        AddWindow add;
        Form2& form = *add.form;
        add.click(form.Command3);
        add.type(form.Text1, "Closed");
        form.close();
        QVERIFY(add.test.storedRows().isEmpty());
        QVERIFY(!form.isVisible());
        QVERIFY(!form.Data1->Recordset().isOpen());
        add.click(add.windows.form1().Command1);
        QVERIFY(form.Command3->isVisible());
        QVERIFY(add.fieldsHidden());
        // Closed again while ready: it simply leaves.
        form.close();
        QVERIFY(!form.isVisible());
        QVERIFY(add.test.messages.shown.isEmpty());
    }
};

QTEST_MAIN(TestForm2)
#include "test_form2.moc"
