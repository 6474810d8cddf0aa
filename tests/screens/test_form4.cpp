#include "screens/form3.h"
#include "screens/form4.h"
#include "shell/form1.h"
#include "shell/program_windows.h"
#include "store/contact_table.h"
#include "store/date_stamp.h"
#include "store/lookup_statement.h"
#include "store/sqlite_db.h"
#include "test_services.h"
#include "widgets/data_control.h"
#include "window_look.h"

#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>
#include <memory>

namespace {

// The address book every test starts from, in rowid order.
const StoredRow kAnn = {"Ann",
                        "O'Brien",
                        "555-0101",
                        "555-0109",
                        "1 Harbour Road\nCobh",
                        "ann@obrien.example",
                        "obrien.example",
                        "Met at the fair\nLikes boats",
                        "3/1/25",
                        QVariant()};
const StoredRow kJohn = row({"John", "Smith", "555-0202", "", "2 Mill Lane", "john@smith.example",
                             "", "", "4/2/25", "5/2/25"});
const StoredRow kMary = row({"Mary", "Smith", "555-0303", QVariant(), "3 Mill Lane",
                             "mary@smith.example", QVariant(), QVariant(), "6/3/25"});
const StoredRow kPaul = row({"Paul", "Jones", "555-0404", QVariant(), QVariant(),
                             "paul@jones.example", QVariant(), QVariant(), "7/4/25"});

// What the ten bound boxes show for a stored row: NULL as empty text.
QStringList shown(const StoredRow& stored) {
    QStringList texts;
    for (const QVariant& value : stored)
        texts << value.toString();
    return texts;
}

StoredRow with(StoredRow stored, int column, const QString& value) {
    stored[column] = value;
    return stored;
}

constexpr int kPhone = 2;
constexpr int kFax = 3;
constexpr int kAddress = 4;
constexpr int kOther = 7;
constexpr int kCreatedOn = 8;
constexpr int kModifiedOn = 9;

// The program as a user meets it: the main menu started on an address book in a temporary
// application directory, the find and details windows reached through their buttons.
class Session {
  public:
    explicit Session(const QList<StoredRow>& rows = {kAnn, kJohn, kMary, kPaul}) {
        for (const StoredRow& stored : rows)
            test.insertRow(stored);
        windows = std::make_unique<ProgramWindows>(test.services());
        menu().Show();
    }

    Form1& menu() { return windows->form1(); }
    Form3& find() { return windows->form3(); }
    Form4& details() { return windows->form4(); }

    static QPushButton* button(QWidget& window, const char* name) {
        return window.findChild<QPushButton*>(QLatin1String(name), Qt::FindDirectChildrenOnly);
    }
    static QLineEdit* lineBox(QWidget& window, const char* name) {
        return window.findChild<QLineEdit*>(QLatin1String(name), Qt::FindDirectChildrenOnly);
    }
    QToolButton* arrow(const char* name) {
        return details().Data1->findChild<QToolButton*>(QLatin1String(name));
    }

    // Clicks a button the way a user can: only while it is on screen.
    static void click(QWidget& window, const char* name) {
        QPushButton* target = button(window, name);
        QVERIFY2(target, name);
        QVERIFY2(target->isVisible(), name);
        QTest::mouseClick(target, Qt::LeftButton);
    }
    // Types into a box after selecting what it holds, so the typing replaces it.
    static void typeOver(QWidget* box, const QString& text) {
        QVERIFY(box);
        QVERIFY(box->isVisible());
        box->setFocus();
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(box, text);
    }

    void openFind() { click(menu(), "Command2"); }
    // Types the value into one of the find window's boxes and clicks its "Find".
    void search(const char* box, const char* findButton, const QString& value) {
        typeOver(lineBox(find(), box), value);
        click(find(), findButton);
    }
    void searchSurname(const QString& value) { search("Text2", "Command2", value); }
    void openDetails() { click(find(), "Command3"); }

    // From the main menu: a surname search, "Details" and "Refresh by Surname".
    void showBySurname(const QString& surname) {
        openFind();
        searchSurname(surname);
        openDetails();
        click(details(), "Command3");
    }

    // The ten bound boxes in the table's column order.
    QStringList fields() {
        Form4& form = details();
        return {form.Text1->text(), form.Text2->text(),        form.Text3->text(),
                form.Text4->text(), form.Text5->toPlainText(), form.Text8->text(),
                form.Text9->text(), form.Text6->toPlainText(), form.Text7->text(),
                form.Text10->text()};
    }
    QList<QWidget*> fieldControls() {
        Form4& form = details();
        return {form.Label1, form.Label2, form.Label3, form.Label4, form.Label5,
                form.Label6, form.Label7, form.Label8, form.Label9, form.Label10,
                form.Text1,  form.Text2,  form.Text3,  form.Text4,  form.Text5,
                form.Text6,  form.Text7,  form.Text8,  form.Text9,  form.Text10};
    }

    enum class State { AwaitingRefresh, ShowingResult, Editing, Saved };
    // The window's state as the visibility of its controls shows it; fails the test when the
    // controls match none of the four.
    void verifyState(State expected) {
        Form4& form = details();
        const bool fields = expected != State::AwaitingRefresh;
        for (QWidget* control : fieldControls())
            QVERIFY2(control->isVisibleTo(&form) == fields, qPrintable(control->objectName()));
        for (QPushButton* refresh : {form.Command2, form.Command3, form.Command4, form.Command5})
            QCOMPARE(refresh->isVisibleTo(&form), !fields);
        QCOMPARE(form.Command6->isVisibleTo(&form),
                 expected == State::ShowingResult || expected == State::Saved);
        QCOMPARE(form.Command7->isVisibleTo(&form), expected == State::Editing);
        QVERIFY(form.Command1->isVisibleTo(&form));
        QVERIFY(form.Data1->isVisibleTo(&form));
        QVERIFY(!form.Text11->isVisibleTo(&form));
        // Before the first refresh there is no recordset to speak of.
        if (expected != State::AwaitingRefresh)
            QCOMPARE(form.Data1->Recordset().isOpen(), expected != State::Saved);
    }

    QString today() const { return dateStamp(test.clock); }

    TestServices test;
    std::unique_ptr<ProgramWindows> windows;
};

} // namespace

class TestForm4 : public QObject {
    Q_OBJECT
  private slots:
    void layoutIsAsDesigned() {
        Session session;
        Form4& form = session.details();
        QCOMPARE(titleAsShown(&form), QStringLiteral("View/Edit"));
        QCOMPARE(form.size(), QSize(549, 277));

        struct Expected {
            const char* name;
            const char* text;
            QRect geometry;
        };
        const Expected buttons[] = {
            {"Command1", "<<Back", QRect(464, 240, 81, 33)},
            {"Command2", "Refresh by Name", QRect(16, 32, 81, 33)},
            {"Command3", "Refresh by Surname", QRect(168, 32, 81, 33)},
            {"Command4", "Refresh by Phone", QRect(320, 32, 81, 33)},
            {"Command5", "Refresh by e-mail", QRect(456, 32, 81, 33)},
            {"Command6", "Edit", QRect(464, 176, 81, 33)},
            {"Command7", "Save", QRect(464, 176, 81, 33)},
        };
        for (const auto& expected : buttons) {
            QPushButton* button = Session::button(form, expected.name);
            QVERIFY2(button, expected.name);
            QCOMPARE(button->text(), QString::fromUtf8(expected.text));
            QCOMPARE(button->geometry(), expected.geometry);
            QCOMPARE(button->accessibleName(), QString::fromUtf8(expected.text));
        }

        const Expected labels[] = {
            {"Label1", "Name", QRect(0, 0, 41, 17)},
            {"Label2", "Surname", QRect(280, 0, 49, 17)},
            {"Label3", "Phone", QRect(0, 32, 41, 17)},
            {"Label4", "Fax", QRect(280, 32, 41, 17)},
            {"Label5", "Address", QRect(0, 64, 41, 17)},
            {"Label6", "E-Mail", QRect(280, 64, 49, 17)},
            {"Label7", "URL", QRect(280, 96, 57, 17)},
            {"Label8", "Notes", QRect(0, 176, 49, 17)},
            {"Label9", "Created On", QRect(272, 128, 81, 17)},
            {"Label10", "Modified On", QRect(272, 152, 81, 17)},
        };
        for (const auto& expected : labels) {
            auto* label = form.findChild<QLabel*>(QLatin1String(expected.name));
            QVERIFY2(label, expected.name);
            QCOMPARE(label->text(), QString::fromUtf8(expected.text));
            QCOMPARE(label->geometry(), expected.geometry);
        }

        // Boxes: their design-time text is their own name; each is named by its label.
        struct ExpectedBox {
            const char* name;
            const char* label;
            QRect geometry;
        };
        const ExpectedBox lines[] = {
            {"Text1", "Name", QRect(48, 0, 169, 19)},
            {"Text2", "Surname", QRect(336, 0, 169, 19)},
            {"Text3", "Phone", QRect(48, 32, 137, 19)},
            {"Text4", "Fax", QRect(336, 32, 137, 19)},
            {"Text8", "E-Mail", QRect(336, 64, 169, 19)},
            {"Text9", "URL", QRect(336, 96, 169, 19)},
            {"Text7", "Created On", QRect(336, 128, 105, 19)},
            {"Text10", "Modified On", QRect(336, 152, 105, 19)},
        };
        for (const auto& expected : lines) {
            QLineEdit* box = Session::lineBox(form, expected.name);
            QVERIFY2(box, expected.name);
            QCOMPARE(box->text(), QString::fromUtf8(expected.name));
            QCOMPARE(box->geometry(), expected.geometry);
            QCOMPARE(box->accessibleName(), QString::fromUtf8(expected.label));
            QCOMPARE(box->isReadOnly(), QByteArray(expected.name) == "Text7");
        }
        const ExpectedBox multiLines[] = {
            {"Text5", "Address", QRect(48, 64, 217, 97)},
            {"Text6", "Notes", QRect(48, 176, 337, 89)},
        };
        for (const auto& expected : multiLines) {
            auto* box = form.findChild<QPlainTextEdit*>(QLatin1String(expected.name));
            QVERIFY2(box, expected.name);
            QCOMPARE(box->toPlainText(), QString::fromUtf8(expected.name));
            QCOMPARE(box->geometry(), expected.geometry);
            QCOMPARE(box->accessibleName(), QString::fromUtf8(expected.label));
            QCOMPARE(box->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
            QCOMPARE(box->lineWrapMode(), QPlainTextEdit::WidgetWidth);
            QVERIFY(!box->isReadOnly());
        }

        QLineEdit* searchText = Session::lineBox(form, "Text11");
        QVERIFY(searchText);
        QCOMPARE(searchText->geometry(), QRect(464, 128, 81, 19));

        auto* data = form.findChild<DataControl*>(QStringLiteral("Data1"));
        QVERIFY(data);
        QCOMPARE(data->geometry(), QRect(464, 216, 84, 23));
        QCOMPARE(data->Caption(), QStringLiteral("Data1"));
        QCOMPARE(data->Connect(), QStringLiteral("Access"));
        // The start-up step has given it the file beside the executable.
        QCOMPARE(data->DatabaseName(), session.test.databasePath());
    }

    void firstShowAwaitsRefreshWithTheFocusOnBack() {
        Session session;
        session.openFind();
        session.openDetails();
        Form4& form = session.details();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QVERIFY(!session.find().isVisible());
        session.verifyState(Session::State::AwaitingRefresh);
        QCOMPARE(QApplication::focusWidget(), form.Command1);
    }

    void enterAtFirstShowGoesBack() {
        Session session;
        session.openFind();
        session.searchSurname(QStringLiteral("Smith"));
        session.openDetails();
        Form4& form = session.details();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(!form.isVisible());
        QVERIFY(session.find().isVisible());
        QCOMPARE(Session::lineBox(session.find(), "Text2")->text(), QString());
    }

    void tabFollowsTheTabIndexes() {
        Session session;
        session.showBySurname(QStringLiteral("O'Brien"));
        Form4& form = session.details();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        form.Command1->setFocus();
        const QList<QWidget*> order = {form.Text1, form.Text2,  form.Text3,    form.Text4,
                                       form.Text5, form.Text8,  form.Text9,    form.Text6,
                                       form.Text7, form.Text10, form.Command6, form.Command1};
        // The navigation strip's arrows are clicked, never tabbed to.
        for (QWidget* next : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
    }

    // Every caption is drawn whole in each state: "Created On" and "Modified On" up to where
    // their boxes begin, the refresh buttons' captions in two lines, the strip's caption between
    // its arrows.
    void everyCaptionIsWhole() {
        Session session;
        session.showBySurname(QStringLiteral("Smith"));
        Form4& form = session.details();
        QCOMPARE(captionsNotWhole(&form), QStringList());
        QVERIFY(form.findChild<QLabel*>(QStringLiteral("Caption"))->isVisible());
        Session::click(form, "Command6");
        QCOMPARE(captionsNotWhole(&form), QStringList());
        Session::click(form, "Command1");
        session.openDetails();
        session.verifyState(Session::State::AwaitingRefresh);
        QCOMPARE(captionsNotWhole(&form, {"Command2", "Command3", "Command4", "Command5"}),
                 QStringList());
    }

    // Editing one line of a multi-line box changes nothing else in its stored text: line breaks
    // of every kind and non-breaking spaces stay, and a line break typed there is stored as the
    // text's own are. In `typed`, LF stands for Enter and BS for Backspace, typed at the end.
    void aMultiLineBoxKeepsTheStoredTextWhereNotEdited_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        const QString address = QStringLiteral("1\u00A0Harbour Road\r\nCobh\r\nCo.\u00A0Cork");
        QTest::newRow("CR LF, a word added") << address << " IE" << address + " IE";
        QTest::newRow("CR LF, a line added") << address << "\nIreland" << address + "\r\nIreland";
        QTest::newRow("CR LF, the last line joined")
            << address << QString(9, u'\b') << "1\u00A0Harbour Road\r\nCobh";
        QTest::newRow("CR") << "Cobh\rCork"
                            << "\nIE"
                            << "Cobh\rCork\rIE";
        QTest::newRow("U+2028") << "Cobh\u2028Cork"
                                << "\nIE"
                                << "Cobh\u2028Cork\u2028IE";
        QTest::newRow("no line break yet") << "Cobh"
                                           << "\nIE"
                                           << "Cobh\nIE";
    }
    void aMultiLineBoxKeepsTheStoredTextWhereNotEdited() {
        QFETCH(QString, stored);
        QFETCH(QString, typed);
        QFETCH(QString, expected);
        Session session({with(kAnn, kAddress, stored)});
        session.showBySurname(QStringLiteral("O'Brien"));
        Form4& form = session.details();
        Session::click(form, "Command6");
        form.Text5->setFocus();
        QTest::keyClick(form.Text5, Qt::Key_End, Qt::ControlModifier);
        for (const QChar key : typed) {
            if (key == u'\n')
                QTest::keyClick(form.Text5, Qt::Key_Return);
            else if (key == u'\b')
                QTest::keyClick(form.Text5, Qt::Key_Backspace);
            else
                QTest::keyClicks(form.Text5, QString(key));
        }
        Session::click(form, "Command7");
        StoredRow saved = with(kAnn, kAddress, expected);
        saved[kModifiedOn] = session.today();
        QCOMPARE(session.test.storedRows(), QList<StoredRow>{saved});
    }

    // A line break pasted into a one-line box becomes a blank. One that a value already holds
    // (from an import) is shown and stays in the file while the user leaves that box alone.
    void aOneLineBoxHoldsOneLine() {
        const StoredRow imported = with(kAnn, kFax, QStringLiteral("555-0109\r\nweekdays"));
        Session session({imported});
        session.showBySurname(QStringLiteral("O'Brien"));
        Form4& form = session.details();
        QCOMPARE(form.Text4->text(), imported[kFax].toString());
        Session::click(form, "Command6");
        form.Text3->setFocus();
        QTest::keyClick(form.Text3, Qt::Key_End);
        QGuiApplication::clipboard()->setText(QStringLiteral("\r\next. 12\nor\u2028\r13"));
        QTest::keyClick(form.Text3, Qt::Key_V, Qt::ControlModifier);
        const QString phone = QStringLiteral("555-0101 ext. 12 or  13");
        QCOMPARE(form.Text3->text(), phone);
        QCOMPARE(form.Text3->cursorPosition(), phone.size());
        Session::click(form, "Command7");
        StoredRow saved = with(imported, kPhone, phone);
        saved[kModifiedOn] = session.today();
        QCOMPARE(session.test.storedRows(), QList<StoredRow>{saved});
    }

    // The round trip: a surname typed in lower case, found, edited and saved.
    void surnameInLowerCaseFoundEditedAndSaved() {
        Session session;
        session.showBySurname(QStringLiteral("o'brien"));
        Form4& form = session.details();
        QCOMPARE(form.Text11->text(), QStringLiteral("o'brien"));
        QCOMPARE(form.Data1->RecordSource(),
                 QStringLiteral("Select * from address where surname = 'o''brien'"));
        QCOMPARE(session.fields(), shown(kAnn));
        session.verifyState(Session::State::ShowingResult);

        Session::click(form, "Command6");
        session.verifyState(Session::State::Editing);
        QCOMPARE(form.Text10->text(), session.today());
        Session::typeOver(form.Text3, QStringLiteral("555-0199"));
        Session::click(form, "Command7");

        QVERIFY(session.test.messages.shown.isEmpty());
        QVERIFY(!form.isVisible());
        QVERIFY(session.menu().isVisible());
        StoredRow saved = with(kAnn, kPhone, QStringLiteral("555-0199"));
        saved[kModifiedOn] = session.today();
        QCOMPARE(session.test.storedRows(), (QList<StoredRow>{saved, kJohn, kMary, kPaul}));
    }

    void severalMatchesAreSteppedThroughWithTheArrows() {
        Session session;
        session.showBySurname(QStringLiteral("Smith"));
        QCOMPARE(session.fields(), shown(kJohn));
        QToolButton* next = session.arrow("Next");
        QVERIFY(next);
        QVERIFY(next->isVisible());
        QTest::mouseClick(next, Qt::LeftButton);
        QCOMPARE(session.fields(), shown(kMary));
        QTest::mouseClick(session.arrow("Previous"), Qt::LeftButton);
        QCOMPARE(session.fields(), shown(kJohn));
        QVERIFY(session.test.messages.shown.isEmpty());
        QCOMPARE(session.test.storedRows(), (QList<StoredRow>{kAnn, kJohn, kMary, kPaul}));
    }

    void eachRefreshButtonReadsItsOwnFindBox() {
        Session session;
        session.openFind();
        session.searchSurname(QStringLiteral("Smith"));
        session.openDetails();
        Form4& form = session.details();

        // The name box is empty: no contact with a name is found, whatever the surname search.
        Session::click(form, "Command2");
        QCOMPARE(form.Data1->RecordSource(),
                 QStringLiteral("Select * from address where name = ''"));
        QCOMPARE(form.Data1->Recordset().RecordCount(), 0);
        QCOMPARE(session.fields(), QStringList(10, QString()));
        session.verifyState(Session::State::ShowingResult);

        // Back, then a name and a phone typed next to each other: each button takes its own.
        Session::click(form, "Command1");
        Session::typeOver(Session::lineBox(session.find(), "Text1"), QStringLiteral("paul"));
        Session::typeOver(Session::lineBox(session.find(), "Text3"), QStringLiteral("555-0303"));
        Session::typeOver(Session::lineBox(session.find(), "Text4"),
                          QStringLiteral("john@smith.example"));
        session.openDetails();
        Session::click(form, "Command2");
        QCOMPARE(session.fields(), shown(kPaul));

        const struct {
            const char* button;
            QString statement;
            StoredRow first;
        } others[] = {
            {"Command4", lookupStatement(LookupColumn::Phone, QStringLiteral("555-0303")), kMary},
            {"Command5", lookupStatement(LookupColumn::Email, QStringLiteral("john@smith.example")),
             kJohn},
        };
        for (const auto& expected : others) {
            Session::click(form, "Command1");
            // "<<Back" emptied the find boxes; the next search value is typed again.
            QCOMPARE(Session::lineBox(session.find(), "Text3")->text(), QString());
            Session::typeOver(Session::lineBox(session.find(), "Text3"),
                              QStringLiteral("555-0303"));
            Session::typeOver(Session::lineBox(session.find(), "Text4"),
                              QStringLiteral("john@smith.example"));
            session.openDetails();
            Session::click(form, expected.button);
            QCOMPARE(form.Data1->RecordSource(), expected.statement);
            QCOMPARE(session.fields(), shown(expected.first));
        }
    }

    void searchTextIsUsedVerbatim() {
        Session session;
        session.showBySurname(QStringLiteral(" Smith"));
        Form4& form = session.details();
        QCOMPARE(form.Data1->RecordSource(),
                 QStringLiteral("Select * from address where surname = ' Smith'"));
        QCOMPARE(form.Data1->Recordset().RecordCount(), 0);
        QCOMPARE(session.fields(), QStringList(10, QString()));
    }

    void editThenSaveWithNothingTypedStoresOnlyTheStamp() {
        Session session;
        session.showBySurname(QStringLiteral("Smith"));
        Form4& form = session.details();
        Session::click(form, "Command6");
        Session::click(form, "Command7");
        QVERIFY(session.test.messages.shown.isEmpty());
        const StoredRow stamped = with(kJohn, kModifiedOn, session.today());
        QCOMPARE(session.test.storedRows(), (QList<StoredRow>{kAnn, stamped, kMary, kPaul}));
        QVERIFY(!form.isVisible());
        QVERIFY(session.menu().isVisible());
        session.verifyState(Session::State::Saved);
        QCOMPARE(session.fields(), shown(stamped));
    }

    void textTypedBeforeEditIsStoredWithTheStamp() {
        Session session;
        session.showBySurname(QStringLiteral("Jones"));
        Form4& form = session.details();
        Session::typeOver(form.Text6, QStringLiteral("Plays chess"));
        QTest::keyClick(form.Text6, Qt::Key_Return);
        QTest::keyClicks(form.Text6, QStringLiteral("on Sundays"));
        Session::click(form, "Command6");
        QCOMPARE(form.Text6->toPlainText(), QStringLiteral("Plays chess\non Sundays"));
        Session::click(form, "Command7");
        StoredRow saved = with(kPaul, kOther, QStringLiteral("Plays chess\non Sundays"));
        saved[kModifiedOn] = session.today();
        QCOMPARE(session.test.storedRows(), (QList<StoredRow>{kAnn, kJohn, kMary, saved}));
    }

    void createdOnTakesNoTyping() {
        Session session;
        session.showBySurname(QStringLiteral("Jones"));
        Form4& form = session.details();
        Session::click(form, "Command6");
        Session::typeOver(form.Text7, QStringLiteral("1/1/99"));
        QCOMPARE(form.Text7->text(), QStringLiteral("7/4/25"));
        // Its text can still be selected.
        QCOMPARE(form.Text7->selectedText(), QStringLiteral("7/4/25"));
        Session::click(form, "Command7");
        const StoredRow stored = session.test.storedRows().at(3);
        QCOMPARE(stored.at(kCreatedOn), QVariant(QStringLiteral("7/4/25")));
        QCOMPARE(stored.at(kModifiedOn), QVariant(session.today()));
    }

    void typedModifiedOnReplacesTheStamp() {
        Session session;
        session.showBySurname(QStringLiteral("Jones"));
        Form4& form = session.details();
        Session::click(form, "Command6");
        Session::typeOver(form.Text10, QStringLiteral("1/1/26"));
        Session::click(form, "Command7");
        QCOMPARE(session.test.storedRows().at(3),
                 with(kPaul, kModifiedOn, QStringLiteral("1/1/26")));
    }

    void backEmptiesEveryFindBoxAndStoresNothing() {
        Session session;
        session.openFind();
        Form3& find = session.find();
        Session::typeOver(Session::lineBox(find, "Text1"), QStringLiteral("Ann"));
        Session::typeOver(Session::lineBox(find, "Text3"), QStringLiteral("555-0101"));
        Session::typeOver(Session::lineBox(find, "Text4"), QStringLiteral("ann@obrien.example"));
        session.searchSurname(QStringLiteral("O'Brien"));
        session.openDetails();
        Form4& form = session.details();
        Session::click(form, "Command3");
        Session::click(form, "Command6");
        Session::typeOver(form.Text3, QStringLiteral("555-0000"));
        const QString recordSource = find.Data1->RecordSource();

        Session::click(form, "Command1");

        for (const char* box : {"Text1", "Text2", "Text3", "Text4"})
            QCOMPARE(Session::lineBox(find, box)->text(), QString());
        QVERIFY(!form.isVisible());
        QVERIFY(find.isVisible());
        // The find window comes back as "Details" left it: without its grid.
        auto* grid = find.findChild<QWidget*>(QStringLiteral("DBGrid1"));
        QVERIFY(grid);
        QVERIFY(!grid->isVisible());
        QCOMPARE(find.Data1->RecordSource(), recordSource);
        session.verifyState(Session::State::AwaitingRefresh);
        // The edit stays pending in the recordset; nothing reached the file.
        QCOMPARE(form.Data1->Recordset().editMode(), Recordset::EditMode::Editing);
        QCOMPARE(form.Text11->text(), QStringLiteral("O'Brien"));
        QCOMPARE(session.test.storedRows(), (QList<StoredRow>{kAnn, kJohn, kMary, kPaul}));
        QVERIFY(session.test.messages.shown.isEmpty());

        // The next refresh drops the pending edit with its recordset.
        session.searchSurname(QStringLiteral("Jones"));
        session.openDetails();
        Session::click(form, "Command3");
        QCOMPARE(session.fields(), shown(kPaul));
        QCOMPARE(session.test.storedRows(), (QList<StoredRow>{kAnn, kJohn, kMary, kPaul}));
    }

    void closingThroughTheFrameGoesBack() {
        Session session;
        session.showBySurname(QStringLiteral("Smith"));
        Form4& form = session.details();
        form.close();
        QVERIFY(session.windows->isLoaded(WindowModel::Kind::Form4));
        QVERIFY(!form.isVisible());
        QVERIFY(session.find().isVisible());
        QCOMPARE(Session::lineBox(session.find(), "Text2")->text(), QString());
        session.verifyState(Session::State::AwaitingRefresh);
        // Still pointed at the file beside the executable, so a new search works.
        session.searchSurname(QStringLiteral("Jones"));
        session.openDetails();
        Session::click(form, "Command3");
        QCOMPARE(session.fields(), shown(kPaul));
        QVERIFY(session.test.messages.shown.isEmpty());
    }

    void nextDetailsAfterSaveShowsTheSavedState() {
        Session session;
        session.showBySurname(QStringLiteral("Smith"));
        Form4& form = session.details();
        Session::click(form, "Command6");
        Session::click(form, "Command7");
        const QStringList savedFields = session.fields();

        session.openFind();
        // The find boxes keep the earlier search and the grid stays hidden.
        QCOMPARE(Session::lineBox(session.find(), "Text2")->text(), QStringLiteral("Smith"));
        QVERIFY(!session.find().findChild<QWidget*>(QStringLiteral("DBGrid1"))->isVisible());
        session.openDetails();
        QVERIFY(form.isVisible());
        session.verifyState(Session::State::Saved);
        QCOMPARE(session.fields(), savedFields);
    }

    void editInTheSavedStateAsksForANewSearch() {
        Session session;
        session.showBySurname(QStringLiteral("Smith"));
        Form4& form = session.details();
        Session::click(form, "Command6");
        Session::click(form, "Command7");
        const QList<StoredRow> stored = session.test.storedRows();
        session.openFind();
        session.openDetails();
        Session::typeOver(form.Text10, QStringLiteral("typed"));

        Session::click(form, "Command6");

        QCOMPARE(session.test.messages.texts(),
                 QStringList{"This contact has been saved. To edit a contact, go \"<<Back\" "
                             "and search for it again."});
        QCOMPARE(session.test.messages.shown[0].title, QStringLiteral("Tessaline"));
        QCOMPARE(form.Text10->text(), QStringLiteral("typed"));
        session.verifyState(Session::State::Saved);
        QCOMPARE(session.test.storedRows(), stored);

        // The way on is the one the message names.
        Session::click(form, "Command1");
        session.searchSurname(QStringLiteral("Jones"));
        session.openDetails();
        Session::click(form, "Command3");
        QCOMPARE(session.fields(), shown(kPaul));
    }

    void editWhenNothingMatchedSaysSoAndStampsNothing() {
        Session session;
        session.showBySurname(QStringLiteral("Nobody"));
        Form4& form = session.details();
        session.verifyState(Session::State::ShowingResult);
        QCOMPARE(session.fields(), QStringList(10, QString()));

        Session::click(form, "Command6");

        QCOMPARE(session.test.messages.texts(), QStringList{"No contact matches the search."});
        QCOMPARE(form.Text10->text(), QString());
        session.verifyState(Session::State::ShowingResult);
        QCOMPARE(session.test.storedRows(), (QList<StoredRow>{kAnn, kJohn, kMary, kPaul}));
    }

    void saveAfterTheArrowsStoredTheEditFinishesTheSave() {
        Session session;
        session.showBySurname(QStringLiteral("Smith"));
        Form4& form = session.details();
        QSignalSpy stores(form.Data1, &DataControl::rowStored);
        Session::click(form, "Command6");
        Session::typeOver(form.Text3, QStringLiteral("555-0299"));
        QTest::mouseClick(session.arrow("Next"), Qt::LeftButton);
        QCOMPARE(session.fields(), shown(kMary));

        Session::click(form, "Command7");

        QVERIFY(session.test.messages.shown.isEmpty());
        QCOMPARE(stores.count(), 1);
        StoredRow saved = with(kJohn, kPhone, QStringLiteral("555-0299"));
        saved[kModifiedOn] = session.today();
        QCOMPARE(session.test.storedRows(), (QList<StoredRow>{kAnn, saved, kMary, kPaul}));
        QVERIFY(!form.isVisible());
        QVERIFY(session.menu().isVisible());
        session.verifyState(Session::State::Saved);
    }

    void typingAfterTheArrowsStoredTheEditIsSavedToo() {
        Session session;
        session.showBySurname(QStringLiteral("Smith"));
        Form4& form = session.details();
        Session::click(form, "Command6");
        Session::typeOver(form.Text3, QStringLiteral("555-0299"));
        QTest::mouseClick(session.arrow("Next"), Qt::LeftButton);
        Session::typeOver(form.Text4, QStringLiteral("555-0300"));

        Session::click(form, "Command7");

        QVERIFY(session.test.messages.shown.isEmpty());
        StoredRow saved = with(kJohn, kPhone, QStringLiteral("555-0299"));
        saved[kModifiedOn] = session.today();
        // The row moved to is stamped too, as every row this window stores is.
        StoredRow typedAfterMove = with(kMary, kPhone + 1, QStringLiteral("555-0300"));
        typedAfterMove[kModifiedOn] = session.today();
        QCOMPARE(session.test.storedRows(), (QList<StoredRow>{kAnn, saved, typedAfterMove, kPaul}));
        session.verifyState(Session::State::Saved);
    }

    void aFailedSaveIsReportedAndKeepsWhatWasTyped() {
        Session session;
        session.showBySurname(QStringLiteral("Jones"));
        Form4& form = session.details();
        form.Data1->setBusyTimeout(0);
        Session::click(form, "Command6");
        Session::typeOver(form.Text3, QStringLiteral("555-0499"));
        {
            // Another program holds the file locked while the user saves.
            Database other = contact_table::openAddressBook(session.test.databasePath());
            other.exec("BEGIN EXCLUSIVE");
            Session::click(form, "Command7");
            other.exec("ROLLBACK");
        }
        QCOMPARE(session.test.messages.shown.size(), 1);
        QCOMPARE(session.test.messages.shown[0].icon, MessageBoxes::Icon::Warning);
        QVERIFY(form.isVisible());
        session.verifyState(Session::State::Editing);
        QCOMPARE(form.Text3->text(), QStringLiteral("555-0499"));
        QCOMPARE(session.test.storedRows(), (QList<StoredRow>{kAnn, kJohn, kMary, kPaul}));

        // Once the file is free again, the same "Save" stores it.
        Session::click(form, "Command7");
        StoredRow saved = with(kPaul, kPhone, QStringLiteral("555-0499"));
        saved[kModifiedOn] = session.today();
        QCOMPARE(session.test.storedRows(), (QList<StoredRow>{kAnn, kJohn, kMary, saved}));
        QVERIFY(session.menu().isVisible());
    }

    void aFailedRefreshIsReportedAndTheWindowStaysUsable() {
        Session session;
        session.openFind();
        session.searchSurname(QStringLiteral("Smith"));
        session.openDetails();
        Form4& form = session.details();
        const QString moved = session.test.databasePath() + QStringLiteral(".away");
        QVERIFY(QFile::rename(session.test.databasePath(), moved));
        Session::click(form, "Command3");
        QCOMPARE(session.test.messages.shown.size(), 1);
        QVERIFY(session.test.messages.shown[0].text.contains(session.test.databasePath()));
        session.verifyState(Session::State::AwaitingRefresh);

        QVERIFY(QFile::rename(moved, session.test.databasePath()));
        Session::click(form, "Command3");
        QCOMPARE(session.fields(), shown(kJohn));
        QCOMPARE(session.test.messages.shown.size(), 1);
    }
};

QTEST_MAIN(TestForm4)
#include "test_form4.moc"
