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
// it stores LF. A one-line box or a grid cell holds one line: a line break pasted into it becomes
// a blank. A line break that reached the file another way (an import) is shown, in a grid cell
// as a sign of its own, and stays in the file unless the user changes that box.
//
// The comparison folds case code point by code point and does not normalise, so "e" followed by
// U+0301 COMBINING ACUTE ACCENT and the precomposed "é" (U+00E9) are different texts, and neither
// search finds the other.
#include "app/main_menu.h"
#include "app/program_windows.h"
#include "screens/add_window.h"
#include "screens/details_window.h"
#include "screens/find_window.h"
#include "screens/results_grid.h"
#include "screens/results_model.h"
#include "store/contact_table.h"
#include "store/sqlite_db.h"
#include "support/running_program.h"
#include "support/test_services.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

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

// Replaces what a box holds: everything is selected, then the text typed or pasted over it.
void enter(QWidget* box, const QString& value, Entry entry) {
    if (entry == Entry::Pasted)
        RunningProgram::pasteOver(box, value);
    else
        RunningProgram::typeOver(box, value);
}

void search(RunningProgram& program, Column column, const QString& value, Entry entry) {
    const auto [box, findButton] = program.searchBox(column);
    enter(box, value, entry);
    RunningProgram::click(findButton);
}

// The details window showing the first contact whose given name is `value`.
DetailsWindow& showByName(RunningProgram& program, const QString& value, Entry entry) {
    enter(program.find().givenNameBox, value, entry);
    DetailsWindow& details = program.openDetails();
    RunningProgram::click(details.refreshByNameButton);
    return details;
}

// What the details window's ten boxes hold, in the table's column order.
QStringList detailsBoxes(RunningProgram& program) {
    return RunningProgram::contactTexts(program.details());
}
// What those boxes are expected to hold for a stored row: single-line boxes the text itself,
// multi-line boxes its lines.
QStringList shownInDetails(const StoredRow& stored) {
    QStringList shown = textsOf(stored);
    shown[Address] = asLines(shown[Address]);
    shown[Other] = asLines(shown[Other]);
    return shown;
}

// The file holds exactly these rows, in rowid order: each value as text in the same UTF-8
// bytes, or NULL; never a number or a blob made of a text.
void verifyFileHolds(const RunningProgram& program, const QList<StoredRow>& expected) {
    QCOMPARE(program.test.storedRows(), expected);
    QStringList columns;
    for (const QString& column : contact_table::columnNames())
        columns << QStringLiteral("typeof(\"%1\") || ':' || ifnull(hex(\"%1\"), '')").arg(column);
    const QByteArray sql =
        "SELECT " + columns.join(QStringLiteral(", ")).toUtf8() + " FROM address ORDER BY rowid";
    Database db = contact_table::openAddressBook(program.test.databasePath());
    Statement select(db, sql.constData());
    for (const StoredRow& stored : expected) {
        QVERIFY(select.step());
        for (int column = 0; column < kColumns; ++column) {
            const QVariant& value = stored[column];
            const QString bytes = value.isNull() ? QStringLiteral("null:")
                                                 : QStringLiteral("text:") +
                                                       value.toString().toUtf8().toHex().toUpper();
            QCOMPARE(select.text(column), bytes);
        }
    }
    QVERIFY(!select.step());
}

// The definitions of a book's table and indexes.
QStringList schemaOf(const QString& book) {
    Database db = contact_table::openAddressBook(book);
    Statement select(db, "SELECT type || ' ' || name || ': ' || ifnull(sql, '') "
                         "FROM sqlite_master ORDER BY type, name");
    QStringList definitions;
    while (select.step())
        definitions << select.text(0);
    return definitions;
}

// No message was shown and the file still has the table and indexes of a new book.
void verifyQuietAndIntact(const RunningProgram& program) {
    static const QStringList kNewBook = [] {
        const TestServices fresh;
        return schemaOf(fresh.databasePath());
    }();
    const auto& messages = program.test.messages;
    QVERIFY2(messages.shown.isEmpty(), qPrintable(messages.texts().join('\n')));
    QCOMPARE(schemaOf(program.test.databasePath()), kNewBook);
}

// One message was shown, naming the lone surrogate (and `about`), and the file holds `expected`.
void verifyLoneSurrogateRefused(const RunningProgram& program, const QList<StoredRow>& expected,
                                const QString& about = QStringLiteral("lone surrogate")) {
    const QStringList texts = program.test.messages.texts();
    QCOMPARE(texts.size(), 1);
    QVERIFY2(texts[0].contains(QStringLiteral("lone surrogate")) && texts[0].contains(about),
             qPrintable(texts[0]));
    verifyFileHolds(program, expected);
}

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
        RunningProgram program(book);
        program.openFind();
        QList<QStringList> previous;
        const QString searched = oneLine(value, entry);
        for (const Column column : {Surname, Phone, Email, Name}) {
            search(program, column, value, entry);
            QCOMPARE(program.searchBox(column).first->text(), searched);
            // An empty name box is no search: the last search is fetched again.
            QList<QStringList> expected = previous;
            if (column != Name || !value.isEmpty()) {
                expected.clear();
                for (const StoredRow& found : matching(book, column, searched))
                    expected << textsOf(found);
            }
            QVERIFY(!expected.isEmpty());
            QCOMPARE(program.listedRows(), expected);
            QVERIFY(program.find().resultsGrid()->isVisible());
            previous = expected;
        }
        verifyQuietAndIntact(program);
        verifyFileHolds(program, book);
    }

    // The text goes into every field of the add window that takes typing ("Created On" takes
    // none); "OK" stores it, and the find and details windows show it again.
    void theAddWindowStoresTheTextInEveryField_data() { addHostileRows(); }
    void theAddWindowStoresTheTextInEveryField() {
        QFETCH(QString, value);
        QFETCH(Entry, entry);
        RunningProgram program(kBystanders);
        AddWindow& add = program.openAdd();
        RunningProgram::click(add.addNewButton);
        QWidget* const boxes[] = {add.givenNameBox, add.surnameBox, add.phoneBox, add.faxBox,
                                  add.addressBox,   add.emailBox,   add.urlBox,   add.otherBox};
        for (QWidget* box : boxes)
            enter(box, value, entry);
        QCOMPARE(add.givenNameBox->text(), oneLine(value, entry));
        QCOMPARE(add.addressBox->toPlainText(), asLines(value));

        StoredRow expected = filled(oneLine(value, entry));
        expected[Address] = asLines(value);
        expected[Other] = asLines(value);
        expected[CreatedOn] = kStamp;
        expected[ModifiedOn] = QVariant();
        QString name = oneLine(value, entry);
        RunningProgram::click(add.okButton);
        if (value.isEmpty()) {
            // The one check of the add window: no contact without a name, refused silently.
            verifyFileHolds(program, kBystanders);
            QCOMPARE(QApplication::focusWidget(), add.givenNameBox);
            // The other boxes were never changed from empty, so their columns get no value.
            name = QStringLiteral("Named");
            enter(add.givenNameBox, name, Entry::Typed);
            RunningProgram::click(add.okButton);
            expected = row({name});
            expected[CreatedOn] = kStamp;
        }
        QVERIFY(!add.isVisible());
        const QList<StoredRow> book = kBystanders + QList<StoredRow>{expected};
        verifyFileHolds(program, book);

        // Found by its name alone, and shown whole in the details window.
        program.openFind();
        search(program, Name, name, entry);
        QCOMPARE(program.listedRows(), QList<QStringList>{textsOf(expected)});
        showByName(program, name, entry);
        QCOMPARE(detailsBoxes(program), shownInDetails(expected));
        verifyQuietAndIntact(program);
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
        RunningProgram program(QList<StoredRow>{before} + kNearMisses);
        program.openFind();
        DetailsWindow& details = showByName(program, QStringLiteral("Target"), Entry::Typed);
        QCOMPARE(detailsBoxes(program), shownInDetails(before));
        RunningProgram::click(details.editButton);
        QWidget* const boxes[] = {details.givenNameBox, details.surnameBox, details.phoneBox,
                                  details.faxBox,       details.addressBox, details.emailBox,
                                  details.urlBox,       details.otherBox,   details.modifiedOnBox};
        for (QWidget* box : boxes)
            enter(box, value, entry);
        RunningProgram::click(details.saveButton);
        QVERIFY(!details.isVisible());

        StoredRow expected = filled(oneLine(value, entry));
        expected[Address] = asLines(value);
        expected[Other] = asLines(value);
        expected[CreatedOn] = before[CreatedOn];
        verifyFileHolds(program, QList<StoredRow>{expected} + kNearMisses);

        // Back through the find window with the text as the name searched for.
        program.openFind();
        program.openDetails();
        RunningProgram::click(details.backButton);
        showByName(program, value, entry);
        QCOMPARE(detailsBoxes(program), shownInDetails(expected));
        RunningProgram::click(details.editButton);
        RunningProgram::click(details.saveButton);
        expected[ModifiedOn] = kStamp;
        verifyFileHolds(program, QList<StoredRow>{expected} + kNearMisses);
        verifyQuietAndIntact(program);
    }

    // The text typed into every cell of a contact's row in the grid, stored on Enter. A search
    // lists it, the details window shows it, and an "Edit" and "Save" there that type nothing
    // leave every column but "Modified On" as the grid stored it, control characters included.
    void aGridRowStoresTheTextInEveryCell_data() { addHostileRows(); }
    void aGridRowStoresTheTextInEveryCell() {
        QFETCH(QString, value);
        QFETCH(Entry, entry);
        const StoredRow before = filled(QStringLiteral("Before"));
        RunningProgram program(QList<StoredRow>{before} + kNearMisses);
        program.openFind();
        for (int column = 0; column < kColumns; ++column) {
            program.clickCell(0, column);
            QLineEdit* editor = program.openCell();
            QVERIFY(editor);
            enter(editor, value, entry);
            QCOMPARE(editor->text(), oneLine(value, entry));
        }
        QTest::keyClick(program.openCell(), Qt::Key_Return);
        const QString stored = oneLine(value, entry);
        StoredRow expected = filled(stored);
        verifyFileHolds(program, QList<StoredRow>{expected} + kNearMisses);
        QCOMPARE(program.listedRows().first(), textsOf(expected));

        // The search box is given the stored text as it is, so that the details window finds
        // this row.
        program.find().surnameBox->setText(stored);
        RunningProgram::click(program.find().findBySurnameButton);
        QList<QStringList> found;
        for (const StoredRow& match :
             matching(QList<StoredRow>{expected} + kNearMisses, Surname, stored))
            found << textsOf(match);
        QCOMPARE(program.listedRows(), found);
        DetailsWindow& details = program.openDetails();
        RunningProgram::click(details.refreshBySurnameButton);
        QCOMPARE(detailsBoxes(program), shownInDetails(expected));
        RunningProgram::click(details.editButton);
        RunningProgram::click(details.saveButton);
        expected[ModifiedOn] = kStamp;
        verifyFileHolds(program, QList<StoredRow>{expected} + kNearMisses);
        verifyQuietAndIntact(program);
    }

    // A million characters through one box of each kind in each window: a search box, a
    // one-line and a multi-line field of the add window, a grid cell, and a one-line and a
    // multi-line field of the details window. The boxes of one kind are one and the same control,
    // and each of them takes the ten thousand characters above; laying out a million characters
    // costs the line box about a second each time, so they go through each kind once.
    void aMillionCharactersGoThroughEveryKindOfBox() {
        const QString million = longText(1'000'000);
        RunningProgram program(kBystanders);
        AddWindow& add = program.openAdd();
        RunningProgram::click(add.addNewButton);
        enter(add.givenNameBox, million, Entry::Pasted);
        enter(add.addressBox, million, Entry::Pasted);
        RunningProgram::click(add.okButton);
        StoredRow expected = row({million, QVariant(), QVariant(), QVariant(), million});
        expected[CreatedOn] = kStamp;
        verifyFileHolds(program, kBystanders + QList<StoredRow>{expected});

        program.openFind();
        search(program, Name, million, Entry::Pasted);
        QCOMPARE(program.find().givenNameBox->text(), million);
        QCOMPARE(program.listedRows(), QList<QStringList>{textsOf(expected)});
        program.clickCell(0, Surname);
        enter(program.openCell(), million, Entry::Pasted);
        QTest::keyClick(program.openCell(), Qt::Key_Return);
        expected[Surname] = million;
        verifyFileHolds(program, kBystanders + QList<StoredRow>{expected});

        // "Refresh by Name" searches with the million characters still in the name box.
        DetailsWindow& details = program.openDetails();
        RunningProgram::click(details.refreshByNameButton);
        QCOMPARE(detailsBoxes(program), shownInDetails(expected));
        RunningProgram::click(details.editButton);
        enter(details.urlBox, million, Entry::Pasted);
        enter(details.otherBox, million, Entry::Pasted);
        RunningProgram::click(details.saveButton);
        expected[Url] = million;
        expected[Other] = million;
        expected[ModifiedOn] = kStamp;
        verifyFileHolds(program, kBystanders + QList<StoredRow>{expected});
        verifyQuietAndIntact(program);
    }

    // A cell that holds a long text is passed through without a change: opening its editor and
    // leaving the row stores nothing.
    void aLongCellPassedThroughIsNotCut() {
        const StoredRow book = filled(longText(40'000));
        RunningProgram program({book});
        program.openFind();
        program.clickCell(0, Other);
        QLineEdit* editor = program.openCell();
        QVERIFY(editor);
        QCOMPARE(editor->text(), book[Other].toString());
        QTest::keyClick(editor, Qt::Key_Return);
        verifyFileHolds(program, QList<StoredRow>{book});
        QCOMPARE(program.find().resultsGrid()->rows()->hasTypedValues(0), false);
        verifyQuietAndIntact(program);
    }

    // A lone surrogate half has no UTF-8 form: each search box refuses it with a message, and
    // the grid keeps what it showed.
    void aSearchForALoneSurrogateIsRefused() {
        RunningProgram program(kNearMisses);
        program.openFind();
        const QList<QStringList> shown = program.listedRows();
        for (const Column column : {Name, Surname, Phone, Email}) {
            program.test.messages.shown.clear();
            search(program, column, kLoneSurrogate, Entry::Pasted);
            QCOMPARE(program.searchBox(column).first->text(), kLoneSurrogate);
            verifyLoneSurrogateRefused(program, kNearMisses, QStringLiteral("search text"));
            QCOMPARE(program.listedRows(), shown);
        }
    }

    // The add window refuses it at "OK" and stays open with what was typed.
    void theAddWindowRefusesALoneSurrogate() {
        RunningProgram program(kNearMisses);
        AddWindow& add = program.openAdd();
        RunningProgram::click(add.addNewButton);
        enter(add.givenNameBox, QStringLiteral("Named"), Entry::Typed);
        enter(add.otherBox, kLoneSurrogate, Entry::Pasted);
        RunningProgram::click(add.okButton);
        verifyLoneSurrogateRefused(program, kNearMisses);
        QVERIFY(add.isVisible());
        QVERIFY(add.okButton->isVisible());
        QCOMPARE(add.givenNameBox->text(), QStringLiteral("Named"));
    }

    // The details window refuses it at "Save" and stays in its edit.
    void theDetailsWindowRefusesALoneSurrogate() {
        const StoredRow target = filled(QStringLiteral("Target"));
        RunningProgram program(QList<StoredRow>{target} + kNearMisses);
        program.openFind();
        DetailsWindow& details = showByName(program, QStringLiteral("Target"), Entry::Typed);
        RunningProgram::click(details.editButton);
        enter(details.surnameBox, kLoneSurrogate, Entry::Pasted);
        RunningProgram::click(details.saveButton);
        verifyLoneSurrogateRefused(program, QList<StoredRow>{target} + kNearMisses);
        QVERIFY(details.isVisible());
        QVERIFY(details.saveButton->isVisible());
        QCOMPARE(details.surnameBox->text(), kLoneSurrogate);
    }

    // The grid refuses it when the row is stored and keeps the typed cell as it was typed.
    void theGridRefusesALoneSurrogate() {
        RunningProgram program(kNearMisses);
        program.openFind();
        program.clickCell(0, Surname);
        enter(program.openCell(), kLoneSurrogate, Entry::Pasted);
        QTest::keyClick(program.openCell(), Qt::Key_Return);
        verifyLoneSurrogateRefused(program, kNearMisses);
        QCOMPARE(program.listedRows().first()[Surname], kLoneSurrogate);
        QCOMPARE(program.find().resultsGrid()->rows()->hasTypedValues(0), true);
    }
};

QTEST_MAIN(TestHostileInput)
#include "test_hostile_input.moc"
