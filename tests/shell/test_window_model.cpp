#include "screens/form2.h"
#include "screens/form3.h"
#include "screens/form4.h"
#include "shell/form1.h"
#include "shell/program_windows.h"
#include "shell/window_model.h"
#include "store/store_error.h"
#include "support/running_program.h"
#include "support/test_services.h"
#include "widgets/data_control.h"

#include <QPushButton>
#include <QtTest>

class TestWindowModel : public QObject {
    Q_OBJECT
  private slots:
    void touchLoadsOnceAndShowNeverReloads() {
        RunningProgram program({}, {}, RunningProgram::Start::NoWindow);
        ProgramWindows& windows = *program.windows;
        QVERIFY(!windows.isLoaded(WindowModel::Kind::Form1));
        Form1& menu = windows.form1();
        // The main menu's load step has touched the find and details windows, hidden.
        QVERIFY(windows.isLoaded(WindowModel::Kind::Form3));
        QVERIFY(windows.isLoaded(WindowModel::Kind::Form4));
        QVERIFY(!windows.form3().isVisible());
        QVERIFY(!windows.isLoaded(WindowModel::Kind::Form2));
        QCOMPARE(&windows.form1(), &menu);

        // Both data controls now point at the file beside the executable.
        QCOMPARE(windows.form3().Data1->DatabaseName(), program.test.databasePath());
        QCOMPARE(windows.form4().Data1->DatabaseName(), program.test.databasePath());

        Form3* find = &windows.form3();
        find->Show();
        QVERIFY(find->Visible());
        find->Show();
        QCOMPARE(&windows.form3(), find);
        find->Hide();
        QVERIFY(!find->Visible());
        find->setVisibleFlag(true);
        QVERIFY(find->Visible());
    }

    // The model knows kinds, not classes: a kind is built once, by the factory registered for it;
    // a kind without one is reported and not built.
    void eachKindIsBuiltOnceByItsRegisteredFactory() {
        TestServices test;
        WindowModel windows(test.services());
        windows.run([&] { windows.show(WindowModel::Kind::Form2); });
        QCOMPARE(test.messages.shown.size(), 1);
        QVERIFY(!windows.isLoaded(WindowModel::Kind::Form2));

        int built = 0;
        windows.registerKind(WindowModel::Kind::Form2, [&built](WindowModel& model) {
            ++built;
            return new Window(model, QStringLiteral("Plain"));
        });
        windows.show(WindowModel::Kind::Form2);
        Window& shown = windows.window(WindowModel::Kind::Form2);
        QCOMPARE(built, 1);
        QCOMPARE(shown.objectName(), QStringLiteral("Plain"));
        QVERIFY(shown.Visible());
        QVERIFY(!windows.isLoaded(WindowModel::Kind::Form1));
    }

    void hiddenWindowKeepsItsControlsAndUnloadBringsBackTheDesign() {
        RunningProgram program({}, {}, RunningProgram::Start::NoWindow);
        ProgramWindows& windows = *program.windows;
        Form2& add = windows.form2();
        add.Command1->setVisible(false);
        add.Command3->setText("changed");
        add.Show();
        add.Hide();
        QVERIFY(add.Command1->isHidden());
        QCOMPARE(add.Command3->text(), QStringLiteral("changed"));

        windows.unload(add);
        QVERIFY(!windows.isLoaded(WindowModel::Kind::Form2));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        Form2& fresh = windows.form2();
        QCOMPARE(fresh.Command3->text(), QStringLiteral("Add New"));
        QVERIFY(!fresh.Command1->isHidden());
    }

    void failingStepStopsItsHandlerAndIsReported() {
        RunningProgram program({}, {}, RunningProgram::Start::NoWindow);
        ProgramWindows& windows = *program.windows;
        QStringList ran;
        windows.run([&] {
            ran << "first";
            throw StoreError("The address book \"x\" does not exist.");
            ran << "after"; // never reached
        });
        QCOMPARE(ran, QStringList{"first"});
        QCOMPARE(program.test.messages.shown.size(), 1);
        QCOMPARE(program.test.messages.shown[0].text,
                 QStringLiteral("The address book \"x\" does not exist."));
        QCOMPARE(program.test.messages.shown[0].title, QStringLiteral("Tessaline"));
        // The program goes on: the next step runs normally.
        windows.run([&] { ran << "next"; });
        QCOMPARE(ran, (QStringList{"first", "next"}));
        QCOMPARE(program.test.messages.shown.size(), 1);
    }

    void failingClickHandlerIsReportedThroughTheSameSeam() {
        // A missing address book at start-up is reported; the main menu still comes up.
        RunningProgram program({}, [](TestServices& test) { QFile::remove(test.databasePath()); });
        QVERIFY(program.menu().isVisible());
        QVERIFY(QTest::qWaitForWindowExposed(&program.menu()));
        QVERIFY(!QFileInfo::exists(program.test.databasePath()));
    }
};

QTEST_MAIN(TestWindowModel)
#include "test_window_model.moc"
