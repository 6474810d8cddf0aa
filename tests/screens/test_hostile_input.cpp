// Hostile text in every box of the program: the four search boxes of the find window, the fields
// of the add and details windows that take typing, and the cells of the results grid. A text is
// either stored exactly (the same bytes in the file, the same text in the window afterwards) and
// found by a whole-value search without regard to letter case, or refused with a message that
// says why; nothing else in the file changes either way.
//
// Texts a keyboard can produce are typed key by key, one key per code point. Control characters,
// the noncharacter U+FFFE, a lone surrogate half and the very long texts cannot be typed, so
// they are pasted from the clipboard, as a user would bring them in.
//
// A multi-line box (address, notes) holds lines: a CR pasted into it ends a line like an LF, so
// it stores LF. A one-line box holds one line: a line break pasted into it becomes a blank. A
// line break that reached the file another way (a grid cell) is shown as it is and stays in the
// file unless the user changes that box.
//
// The comparison folds case code point by code point and does not normalise, so "e" followed by
// U+0301 COMBINING ACUTE ACCENT and the precomposed "é" (U+00E9) are different texts, and neither
// search finds the other.
#include "contact_table.h"
#include "screens/form2.h"
#include "screens/form3.h"
#include "screens/form4.h"
#include "screens/results_grid.h"
#include "screens/results_model.h"
#include "shell/form1.h"
#include "sqlite_db.h"
#include "test_services.h"

#include <QClipboard>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QtTest>
#include <memory>

// How a text gets into a box: typed key by key, or pasted.
enum class Entry { Typed, Pasted };
Q_DECLARE_METATYPE(Entry)

namespace {

constexpr int kColumns = contact_table::kColumnCount;

// A text of the given length made of a mixed-script pattern, so that a cut anywhere would show.
QString longText(qsizetype length) {
    const QString pattern = QStringLiteral("Zoë Łukasz 李小龍 Смирнов محمد 0123456789 ");
    QString text;
    text.reserve(length);
    while (text.size() < length)
        text += pattern;
    text.truncate(length);
    return text;
}

struct Hostile {
    const char* tag;
    QString value;
    Entry entry;
};

const QList<Hostile>& hostileTexts() {
    static const QList<Hostile> texts = {
        // Shaped like SQL: they must stay values.
        {"apostrophe in a name", QStringLiteral("O'Brien"), Entry::Typed},
        {"one quote", QStringLiteral("'"), Entry::Typed},
        {"two quotes", QStringLiteral("''"), Entry::Typed},
        {"always-true condition", QStringLiteral("x' OR '1'='1"), Entry::Typed},
        {"drop table", QStringLiteral("x'; DROP TABLE address; --"), Entry::Typed},
        {"union select", QStringLiteral("' UNION SELECT sql FROM sqlite_master --"), Entry::Typed},
        {"delete all", QStringLiteral("Robert'); DELETE FROM address; --"), Entry::Typed},
        // Wildcards of other query languages: plain characters here.
        {"percent", QStringLiteral("%"), Entry::Typed},
        {"underscore", QStringLiteral("_"), Entry::Typed},
        // Empty and blank: kept as they are, never trimmed; the word NULL stays a word.
        {"empty", QString(), Entry::Typed},
        {"three blanks", QStringLiteral("   "), Entry::Typed},
        {"blanks around", QStringLiteral(" Smith "), Entry::Typed},
        {"the word NULL", QStringLiteral("NULL"), Entry::Typed},
        {"leading zeros", QStringLiteral("0001"), Entry::Typed},
        // Beyond Latin-1.
        {"five scripts", QStringLiteral("Zoë Łukasz 李小龍 Смирнов محمد"), Entry::Typed},
        {"family emoji", QStringLiteral("👨‍👩‍👧‍👦"), Entry::Typed},
        {"combining acute", QStringLiteral("e\u0301"), Entry::Typed},
        {"precomposed e acute", QStringLiteral("\u00e9"), Entry::Typed},
        {"right-to-left override", QStringLiteral("abc\u202Edef"), Entry::Typed},
        // What no key produces.
        {"tab", QStringLiteral("a\tb"), Entry::Pasted},
        {"carriage return", QStringLiteral("a\rb"), Entry::Pasted},
        {"line feed", QStringLiteral("a\nb"), Entry::Pasted},
        {"CR LF", QStringLiteral("a\r\nb"), Entry::Pasted},
        {"escape", QStringLiteral("a\x1b[31mb"), Entry::Pasted},
        {"noncharacter FFFE", QStringLiteral("a\uFFFEb"), Entry::Pasted},
        {"10,000 characters", longText(10'000), Entry::Pasted},
    };
    return texts;
}

// A text holding a high surrogate with no low one after it: it has no UTF-8 form.
const QString kLoneSurrogate = QStringLiteral("ab") + QChar(0xD800) + QStringLiteral("cd");

// Near misses of the hostile texts, each filling every column of its own row: found only by the
// same text without regard to case, never by a pattern, by trimming or by NULL.
const QList<StoredRow> kNearMisses = [] {
    const QStringList texts = {
        QStringLiteral("o'brien"),
        QStringLiteral("OBrien"),
        QStringLiteral("x"),
        QStringLiteral("1"),
        QStringLiteral("abc"),
        QString(""),
        QStringLiteral("  "),
        QStringLiteral("Smith"),
        QStringLiteral("null"),
        QStringLiteral("\u00c9"),
        QStringLiteral("E\u0301"),
        QStringLiteral("ZOË ŁUKASZ 李小龍 СМИРНОВ محمد"),
        QStringLiteral("a b"),
        QStringLiteral("a\nb\n"),
        QStringLiteral("ABC\u202EDEF"),
    };
    QList<StoredRow> rows;
    for (const QString& text : texts)
        rows << StoredRow(kColumns, text);
    rows << row({}); // every column NULL
    return rows;
}();

// Contacts that no hostile text matches.
const QList<StoredRow> kBystanders = {
    row({"Ann", "Lee", "555-0101", QVariant(), "1 Main St\nTown", "ann@example.org", "", QVariant(),
         "1/2/24"}),
    row({"Bob", "Ng", "", "555-0199", QVariant(), QVariant(), "bob.example", "Met at\r\nwork",
         "3/4/24", "5/6/24"}),
};

StoredRow filled(const QVariant& value) {
    return StoredRow(kColumns, value);
}

QStringList texts(const StoredRow& stored) {
    QStringList result;
    for (const QVariant& value : stored)
        result << value.toString();
    return result;
}

// A multi-line box holds lines: a CR, alone or before an LF, ends a line there like an LF.
QString asLines(QString text) {
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
}

// What a one-line box holds after the text was entered: a pasted line break is one blank.
QString oneLine(QString text, Entry entry) {
    if (entry == Entry::Typed)
        return text;
    return text.replace(QStringLiteral("\r\n"), QStringLiteral(" "))
        .replace(u'\r', u' ')
        .replace(u'\n', u' ');
}

// The whole value, without regard to letter case, code point by code point; NULL is no text.
QList<StoredRow> matching(const QList<StoredRow>& rows, int column, const QString& value) {
    QList<StoredRow> found;
    for (const StoredRow& stored : rows)
        if (!stored[column].isNull() &&
            stored[column].toString().compare(value, Qt::CaseInsensitive) == 0)
            found << stored;
    return found;
}

// The program as a user meets it: the main menu on an address book in a temporary application
// directory; the other windows reached through its buttons.
class Session {
  public:
    explicit Session(const QList<StoredRow>& rows) {
        for (const StoredRow& stored : rows)
            test.insertRow(stored);
        schemaBefore = schema();
        windows = std::make_unique<WindowModel>(test.services());
        windows->form1().Show();
    }

    Form1& menu() { return windows->form1(); }
    Form2& add() { return windows->form2(); }
    Form3& find() { return windows->form3(); }
    Form4& details() { return windows->form4(); }

    // Clicks a button the way a user can: only while it is on screen.
    static void click(QPushButton* button) {
        QVERIFY2(button->isVisible(), qPrintable(button->objectName()));
        QTest::mouseClick(button, Qt::LeftButton);
    }

    // Replaces what a box holds: everything is selected, then the text typed or pasted over it.
    static void enter(QWidget* box, const QString& value, Entry entry) {
        QVERIFY(box);
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        if (entry == Entry::Pasted) {
            QGuiApplication::clipboard()->setText(value);
            QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        } else if (value.isEmpty()) {
            QTest::keyClick(box, Qt::Key_Delete);
        } else {
            for (const char32_t codePoint : value.toUcs4())
                QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown,
                                    QString::fromUcs4(&codePoint, 1), Qt::NoModifier);
        }
    }

    Form3& openFind() {
        click(menu().Command2);
        if (!QTest::qWaitForWindowActive(&find()))
            qWarning("the find window did not become active");
        return find();
    }

    // The find window's box and "Find" button of each searched column.
    std::pair<QLineEdit*, QPushButton*> searchBox(int column) {
        Form3& form = find();
        switch (column) {
        case Name:
            return {form.Text1, form.Command1};
        case Surname:
            return {form.Text2, form.Command2};
        case Phone:
            return {form.Text3, form.Command4};
        default:
            return {form.Text4, form.Command5};
        }
    }
    void search(int column, const QString& value, Entry entry) {
        const auto [box, findButton] = searchBox(column);
        enter(box, value, entry);
        click(findButton);
    }

    // The details window showing the first contact whose given name is `value`.
    Form4& showByName(const QString& value, Entry entry) {
        enter(find().Text1, value, entry);
        click(find().Command3);
        click(details().Command2);
        return details();
    }

    // Every contact row the grid lists, as the grid shows it; the new line left out.
    QList<QStringList> listed() {
        QAbstractItemModel* model = find().DBGrid1->cells()->model();
        QList<QStringList> rows;
        for (int r = 0; r + 1 < model->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < model->columnCount(); ++c)
                cells << model->data(model->index(r, c)).toString();
            rows << cells;
        }
        return rows;
    }

    void clickCell(int row, int column) {
        QTableView* cells = find().DBGrid1->cells();
        const QModelIndex index = cells->model()->index(row, column);
        cells->scrollTo(index);
        QTest::mouseClick(cells->viewport(), Qt::LeftButton, {}, cells->visualRect(index).center());
    }
    // The cell editor that has the focus, if a cell of the grid is open for typing.
    QLineEdit* openCell() {
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        return editor && find().DBGrid1->isAncestorOf(editor) ? editor : nullptr;
    }

    // What the details window's ten boxes hold, in the table's column order.
    QStringList detailsBoxes() {
        Form4& form = details();
        return {form.Text1->text(), form.Text2->text(),        form.Text3->text(),
                form.Text4->text(), form.Text5->toPlainText(), form.Text8->text(),
                form.Text9->text(), form.Text6->toPlainText(), form.Text7->text(),
                form.Text10->text()};
    }
    // What those boxes are expected to hold for a stored row: single-line boxes the text itself,
    // multi-line boxes its lines.
    static QStringList shownInDetails(const StoredRow& stored) {
        QStringList shown = texts(stored);
        shown[Address] = asLines(shown[Address]);
        shown[Other] = asLines(shown[Other]);
        return shown;
    }

    // The file holds exactly these rows, in rowid order: each value as text in the same UTF-8
    // bytes, or NULL; never a number or a blob made of a text.
    void verifyFileHolds(const QList<StoredRow>& expected) const {
        QCOMPARE(test.storedRows(), expected);
        QStringList columns;
        for (const char* column : contact_table::kColumns)
            columns << QStringLiteral("typeof(\"%1\") || ':' || ifnull(hex(\"%1\"), '')")
                           .arg(QLatin1String(column));
        const QByteArray sql = "SELECT " + columns.join(QStringLiteral(", ")).toUtf8() +
                               " FROM address ORDER BY rowid";
        Database db = contact_table::openAddressBook(test.databasePath());
        Statement select(db, sql.constData());
        for (const StoredRow& stored : expected) {
            QVERIFY(select.step());
            for (int column = 0; column < kColumns; ++column) {
                const QVariant& value = stored[column];
                const QString bytes =
                    value.isNull()
                        ? QStringLiteral("null:")
                        : QStringLiteral("text:") + value.toString().toUtf8().toHex().toUpper();
                QCOMPARE(select.text(column), bytes);
            }
        }
        QVERIFY(!select.step());
    }

    // The definitions of the file's table and indexes.
    QStringList schema() const {
        Database db = contact_table::openAddressBook(test.databasePath());
        Statement select(db, "SELECT type || ' ' || name || ': ' || ifnull(sql, '') "
                             "FROM sqlite_master ORDER BY type, name");
        QStringList definitions;
        while (select.step())
            definitions << select.text(0);
        return definitions;
    }

    // No message was shown and the file still has its table and indexes.
    void verifyQuietAndIntact() {
        QVERIFY2(test.messages.shown.isEmpty(), qPrintable(test.messages.texts().join('\n')));
        QCOMPARE(schema(), schemaBefore);
    }

    TestServices test;
    std::unique_ptr<WindowModel> windows;
    QStringList schemaBefore;
};

const QString kStamp = QLocale().toString(QDate(2026, 12, 7), QLocale::ShortFormat);

void addHostileRows() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<Entry>("entry");
    for (const Hostile& hostile : hostileTexts())
        QTest::newRow(hostile.tag) << hostile.value << hostile.entry;
}

} // namespace

class TestHostileInput : public QObject {
    Q_OBJECT
  private slots:
    // Each search box finds exactly the rows holding the text in its column, and the box keeps
    // the text as it was entered.
    void eachSearchBoxFindsExactlyTheRowsHoldingTheText_data() { addHostileRows(); }
    void eachSearchBoxFindsExactlyTheRowsHoldingTheText() {
        QFETCH(QString, value);
        QFETCH(Entry, entry);
        const QList<StoredRow> book = QList<StoredRow>{filled(value)} + kNearMisses;
        Session session(book);
        session.openFind();
        QList<QStringList> previous;
        const QString searched = oneLine(value, entry);
        for (const int column : {Surname, Phone, Email, Name}) {
            session.search(column, value, entry);
            QCOMPARE(session.searchBox(column).first->text(), searched);
            // An empty name box is no search: the last search is fetched again.
            QList<QStringList> expected = previous;
            if (column != Name || !value.isEmpty()) {
                expected.clear();
                for (const StoredRow& found : matching(book, column, searched))
                    expected << texts(found);
            }
            QVERIFY(!expected.isEmpty());
            QCOMPARE(session.listed(), expected);
            QVERIFY(session.find().DBGrid1->isVisible());
            previous = expected;
        }
        session.verifyQuietAndIntact();
        session.verifyFileHolds(book);
    }

    // "e" + U+0301 and "é" are not the same text: each finds itself and its capital, not the
    // other.
    void aCombiningAccentDoesNotMatchThePrecomposedLetter() {
        const QList<StoredRow> book = {filled(QStringLiteral("e\u0301")),
                                       filled(QStringLiteral("\u00e9"))};
        Session session(book);
        session.openFind();
        session.search(Surname, QStringLiteral("E\u0301"), Entry::Typed);
        QCOMPARE(session.listed(), QList<QStringList>{texts(book[0])});
        session.search(Surname, QStringLiteral("\u00c9"), Entry::Typed);
        QCOMPARE(session.listed(), QList<QStringList>{texts(book[1])});
        session.verifyQuietAndIntact();
    }

    // The text goes into every field of the add window that takes typing ("Created On" takes
    // none); "OK" stores it, and the find and details windows show it again.
    void theAddWindowStoresTheTextInEveryField_data() { addHostileRows(); }
    void theAddWindowStoresTheTextInEveryField() {
        QFETCH(QString, value);
        QFETCH(Entry, entry);
        Session session(kBystanders);
        Form2& add = session.add();
        Session::click(session.menu().Command1);
        QVERIFY(QTest::qWaitForWindowActive(&add));
        Session::click(add.Command3);
        QWidget* const boxes[] = {add.Text1, add.Text2, add.Text3, add.Text4,
                                  add.Text5, add.Text8, add.Text9, add.Text6};
        for (QWidget* box : boxes)
            Session::enter(box, value, entry);
        QCOMPARE(add.Text1->text(), oneLine(value, entry));
        QCOMPARE(add.Text5->toPlainText(), asLines(value));

        StoredRow expected = filled(oneLine(value, entry));
        expected[Address] = asLines(value);
        expected[Other] = asLines(value);
        expected[CreatedOn] = kStamp;
        expected[ModifiedOn] = QVariant();
        QString name = oneLine(value, entry);
        Session::click(add.Command1);
        if (value.isEmpty()) {
            // The one check of the add window: no contact without a name, refused silently.
            session.verifyFileHolds(kBystanders);
            QCOMPARE(QApplication::focusWidget(), add.Text1);
            // The other boxes were never changed from empty, so their columns get no value.
            name = QStringLiteral("Named");
            Session::enter(add.Text1, name, Entry::Typed);
            Session::click(add.Command1);
            expected = row({name});
            expected[CreatedOn] = kStamp;
        }
        QVERIFY(!add.isVisible());
        const QList<StoredRow> book = kBystanders + QList<StoredRow>{expected};
        session.verifyFileHolds(book);

        // Found by its name alone, and shown whole in the details window.
        session.openFind();
        session.search(Name, name, entry);
        QCOMPARE(session.listed(), QList<QStringList>{texts(expected)});
        session.showByName(name, entry);
        QCOMPARE(session.detailsBoxes(), Session::shownInDetails(expected));
        session.verifyQuietAndIntact();
    }

    // "Edit", the text in every field of the details window that takes typing, "Save": stored
    // over the contact alone; a new search shows it again, and an "Edit" and "Save" without
    // typing change nothing but the day in "Modified On".
    void theDetailsWindowStoresTheTextInEveryField_data() { addHostileRows(); }
    void theDetailsWindowStoresTheTextInEveryField() {
        QFETCH(QString, value);
        QFETCH(Entry, entry);
        const StoredRow before = {"Target",        "Target",      "555",   "556",    "1 Road\nTown",
                                  "t@example.org", "example.org", "notes", "1/1/25", QVariant()};
        Session session(QList<StoredRow>{before} + kNearMisses);
        session.openFind();
        Form4& details = session.showByName(QStringLiteral("Target"), Entry::Typed);
        QCOMPARE(session.detailsBoxes(), Session::shownInDetails(before));
        Session::click(details.Command6);
        QWidget* const boxes[] = {details.Text1, details.Text2, details.Text3,
                                  details.Text4, details.Text5, details.Text8,
                                  details.Text9, details.Text6, details.Text10};
        for (QWidget* box : boxes)
            Session::enter(box, value, entry);
        Session::click(details.Command7);
        QVERIFY(!details.isVisible());

        StoredRow expected = filled(oneLine(value, entry));
        expected[Address] = asLines(value);
        expected[Other] = asLines(value);
        expected[CreatedOn] = before[CreatedOn];
        session.verifyFileHolds(QList<StoredRow>{expected} + kNearMisses);

        // Back through the find window with the text as the name searched for.
        Session::click(session.menu().Command2);
        Session::click(session.find().Command3);
        Session::click(details.Command1);
        session.showByName(value, entry);
        QCOMPARE(session.detailsBoxes(), Session::shownInDetails(expected));
        Session::click(details.Command6);
        Session::click(details.Command7);
        expected[ModifiedOn] = kStamp;
        session.verifyFileHolds(QList<StoredRow>{expected} + kNearMisses);
        session.verifyQuietAndIntact();
    }

    // The text typed into every cell of a contact's row in the grid, stored on Enter. A search
    // lists it, the details window shows it, and an "Edit" and "Save" there that type nothing
    // leave every column but "Modified On" as the grid stored it, control characters included.
    void aGridRowStoresTheTextInEveryCell_data() { addHostileRows(); }
    void aGridRowStoresTheTextInEveryCell() {
        QFETCH(QString, value);
        QFETCH(Entry, entry);
        const StoredRow before = filled(QStringLiteral("Before"));
        Session session(QList<StoredRow>{before} + kNearMisses);
        session.openFind();
        for (int column = 0; column < kColumns; ++column) {
            session.clickCell(0, column);
            QLineEdit* editor = session.openCell();
            QVERIFY(editor);
            Session::enter(editor, value, entry);
            QCOMPARE(editor->text(), value);
        }
        QTest::keyClick(session.openCell(), Qt::Key_Return);
        StoredRow expected = filled(value);
        session.verifyFileHolds(QList<StoredRow>{expected} + kNearMisses);
        QCOMPARE(session.listed().first(), texts(expected));

        // The search box is given the stored text as it is, line breaks included, so that the
        // details window finds this row.
        session.find().Text2->setText(value);
        Session::click(session.find().Command2);
        QList<QStringList> found;
        for (const StoredRow& match :
             matching(QList<StoredRow>{expected} + kNearMisses, Surname, value))
            found << texts(match);
        QCOMPARE(session.listed(), found);
        Session::click(session.find().Command3);
        Form4& details = session.details();
        Session::click(details.Command3);
        QCOMPARE(session.detailsBoxes(), Session::shownInDetails(expected));
        Session::click(details.Command6);
        Session::click(details.Command7);
        expected[ModifiedOn] = kStamp;
        session.verifyFileHolds(QList<StoredRow>{expected} + kNearMisses);
        session.verifyQuietAndIntact();
    }

    // A million characters through one box of each kind in each window: a search box, a
    // one-line and a multi-line field of the add window, a grid cell, and a one-line and a
    // multi-line field of the details window. The boxes of one kind are one and the same control,
    // and each of them takes the ten thousand characters above; laying out a million characters
    // costs the line box about a second each time, so they go through each kind once.
    void aMillionCharactersGoThroughEveryKindOfBox() {
        const QString million = longText(1'000'000);
        Session session(kBystanders);
        Form2& add = session.add();
        Session::click(session.menu().Command1);
        QVERIFY(QTest::qWaitForWindowActive(&add));
        Session::click(add.Command3);
        Session::enter(add.Text1, million, Entry::Pasted);
        Session::enter(add.Text5, million, Entry::Pasted);
        Session::click(add.Command1);
        StoredRow expected = row({million, QVariant(), QVariant(), QVariant(), million});
        expected[CreatedOn] = kStamp;
        session.verifyFileHolds(kBystanders + QList<StoredRow>{expected});

        session.openFind();
        session.search(Name, million, Entry::Pasted);
        QCOMPARE(session.find().Text1->text(), million);
        QCOMPARE(session.listed(), QList<QStringList>{texts(expected)});
        session.clickCell(0, Surname);
        Session::enter(session.openCell(), million, Entry::Pasted);
        QTest::keyClick(session.openCell(), Qt::Key_Return);
        expected[Surname] = million;
        session.verifyFileHolds(kBystanders + QList<StoredRow>{expected});

        // "Refresh by Name" searches with the million characters still in the name box.
        Session::click(session.find().Command3);
        Form4& details = session.details();
        Session::click(details.Command2);
        QCOMPARE(session.detailsBoxes(), Session::shownInDetails(expected));
        Session::click(details.Command6);
        Session::enter(details.Text9, million, Entry::Pasted);
        Session::enter(details.Text6, million, Entry::Pasted);
        Session::click(details.Command7);
        expected[Url] = million;
        expected[Other] = million;
        expected[ModifiedOn] = kStamp;
        session.verifyFileHolds(kBystanders + QList<StoredRow>{expected});
        session.verifyQuietAndIntact();
    }

    // A cell that holds a long text is passed through without a change: opening its editor and
    // leaving the row stores nothing.
    void aLongCellPassedThroughIsNotCut() {
        const StoredRow book = filled(longText(40'000));
        Session session({book});
        session.openFind();
        session.clickCell(0, Other);
        QLineEdit* editor = session.openCell();
        QVERIFY(editor);
        QCOMPARE(editor->text(), book[Other].toString());
        QTest::keyClick(editor, Qt::Key_Return);
        session.verifyFileHolds(QList<StoredRow>{book});
        QCOMPARE(session.find().DBGrid1->rows()->hasTypedValues(0), false);
        session.verifyQuietAndIntact();
    }

    // A lone surrogate half has no UTF-8 form: each search box refuses it with a message, and
    // the grid keeps what it showed.
    void aSearchForALoneSurrogateIsRefused() {
        Session session(kNearMisses);
        session.openFind();
        const QList<QStringList> shown = session.listed();
        for (const int column : {Name, Surname, Phone, Email}) {
            session.test.messages.shown.clear();
            session.search(column, kLoneSurrogate, Entry::Pasted);
            QCOMPARE(session.searchBox(column).first->text(), kLoneSurrogate);
            QCOMPARE(session.test.messages.shown.size(), 1);
            const QString message = session.test.messages.shown[0].text;
            QVERIFY2(message.contains(QStringLiteral("search text")) &&
                         message.contains(QStringLiteral("lone surrogate")),
                     qPrintable(message));
            QCOMPARE(session.listed(), shown);
        }
        session.verifyFileHolds(kNearMisses);
    }

    // The add window refuses it at "OK" and stays open with what was typed.
    void theAddWindowRefusesALoneSurrogate() {
        Session session(kNearMisses);
        Form2& add = session.add();
        Session::click(session.menu().Command1);
        Session::click(add.Command3);
        Session::enter(add.Text1, QStringLiteral("Named"), Entry::Typed);
        Session::enter(add.Text6, kLoneSurrogate, Entry::Pasted);
        Session::click(add.Command1);
        QCOMPARE(session.test.messages.texts().size(), 1);
        QVERIFY2(session.test.messages.texts()[0].contains(QStringLiteral("lone surrogate")),
                 qPrintable(session.test.messages.texts()[0]));
        session.verifyFileHolds(kNearMisses);
        QVERIFY(add.isVisible());
        QVERIFY(add.Command1->isVisible());
        QCOMPARE(add.Text1->text(), QStringLiteral("Named"));
    }

    // The details window refuses it at "Save" and stays in its edit.
    void theDetailsWindowRefusesALoneSurrogate() {
        Session session(QList<StoredRow>{filled(QStringLiteral("Target"))} + kNearMisses);
        session.openFind();
        Form4& details = session.showByName(QStringLiteral("Target"), Entry::Typed);
        Session::click(details.Command6);
        Session::enter(details.Text2, kLoneSurrogate, Entry::Pasted);
        Session::click(details.Command7);
        QCOMPARE(session.test.messages.texts().size(), 1);
        QVERIFY2(session.test.messages.texts()[0].contains(QStringLiteral("lone surrogate")),
                 qPrintable(session.test.messages.texts()[0]));
        session.verifyFileHolds(QList<StoredRow>{filled(QStringLiteral("Target"))} + kNearMisses);
        QVERIFY(details.isVisible());
        QVERIFY(details.Command7->isVisible());
        QCOMPARE(details.Text2->text(), kLoneSurrogate);
    }

    // The grid refuses it when the row is stored and keeps the typed cell as it was typed.
    void theGridRefusesALoneSurrogate() {
        Session session(kNearMisses);
        session.openFind();
        session.clickCell(0, Surname);
        Session::enter(session.openCell(), kLoneSurrogate, Entry::Pasted);
        QTest::keyClick(session.openCell(), Qt::Key_Return);
        QCOMPARE(session.test.messages.texts().size(), 1);
        QVERIFY2(session.test.messages.texts()[0].contains(QStringLiteral("lone surrogate")),
                 qPrintable(session.test.messages.texts()[0]));
        session.verifyFileHolds(kNearMisses);
        QCOMPARE(session.listed().first()[Surname], kLoneSurrogate);
        QCOMPARE(session.find().DBGrid1->rows()->hasTypedValues(0), true);
    }
};

QTEST_MAIN(TestHostileInput)
#include "test_hostile_input.moc"
