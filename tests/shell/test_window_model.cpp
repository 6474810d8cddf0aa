#include "app/main_menu.h"
#include "app/program_windows.h"
#include "screens/add_window.h"
#include "screens/details_window.h"
#include "screens/find_window.h"
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
        QVERIFY(!windows.isLoaded(WindowModel::Kind::MainMenu));
        MainMenu& menu = windows.menu();
        // The main menu's load step has touched the find and details windows, hidden.
        QVERIFY(windows.isLoaded(WindowModel::Kind::Find));
        QVERIFY(windows.isLoaded(WindowModel::Kind::Details));
        QVERIFY(!windows.find().isVisible());
        QVERIFY(!windows.isLoaded(WindowModel::Kind::Add));
        QCOMPARE(&windows.menu(), &menu);

        // Both data controls now point at the file beside the executable.
        QCOMPARE(windows.find().dataControl->databaseName(), program.test.databasePath());
        QCOMPARE(windows.details().dataControl->databaseName(), program.test.databasePath());

        FindWindow* find = &windows.find();
        find->Show();
        QVERIFY(find->Visible());
        find->Show();
        QCOMPARE(&windows.find(), find);
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
        windows.run([&] { windows.show(WindowModel::Kind::Add); });
        QCOMPARE(test.messages.shown.size(), 1);
        QVERIFY(!windows.isLoaded(WindowModel::Kind::Add));

        int built = 0;
        windows.registerKind(WindowModel::Kind::Add, [&built](WindowModel& model) {
            ++built;
            return new Window(model, QStringLiteral("Plain"));
        });
        windows.show(WindowModel::Kind::Add);
        Window& shown = windows.window(WindowModel::Kind::Add);
        QCOMPARE(built, 1);
        QCOMPARE(shown.objectName(), QStringLiteral("Plain"));
        QVERIFY(shown.Visible());
        QVERIFY(!windows.isLoaded(WindowModel::Kind::MainMenu));
    }

    void hiddenWindowKeepsItsControlsAndUnloadBringsBackTheDesign() {
        RunningProgram program({}, {}, RunningProgram::Start::NoWindow);
        ProgramWindows& windows = *program.windows;
        AddWindow& add = windows.add();
        add.okButton->setVisible(false);
        add.addNewButton->setText("changed");
        add.Show();
        add.Hide();
        QVERIFY(add.okButton->isHidden());
        QCOMPARE(add.addNewButton->text(), QStringLiteral("changed"));

        windows.unload(add);
        QVERIFY(!windows.isLoaded(WindowModel::Kind::Add));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        AddWindow& fresh = windows.add();
        QCOMPARE(fresh.addNewButton->text(), QStringLiteral("Add New"));
        QVERIFY(!fresh.okButton->isHidden());
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
