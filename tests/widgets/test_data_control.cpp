#include "bound_form.h"
#include "store/contact_table.h"
#include "store/lookup_statement.h"
#include "store/sqlite_db.h"
#include "store/store_error.h"
#include "support/test_book.h"
#include "widgets/data_control.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>
#include <sqlite3.h>

namespace {

// Runs op and returns the description of the StoreError it throws; fails the test if it throws
// nothing.
template <class Op> QString failureOf(Op op) {
    try {
        op();
    } catch (const StoreError& error) {
        return error.description();
    }
    return QStringLiteral("<no failure>");
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestDataControl : public QObject {
    Q_OBJECT

  private slots:
    // --- Refresh and what the bound boxes show ---------------------------------------------

    void refreshShowsTheFirstRowOfTheWholeTable() {
        TestBook book;
        book.insertRow(row({"Ann", "Smith", "555", QVariant(), "1 Road\nTown"}));
        book.insertRow(row({"Bob", "Jones"}));
        BoundForm form(book.applicationDirectory());
        QSignalSpy refreshed(form.data, &DataControl::refreshed);

        form.data->refresh();

        QCOMPARE(refreshed.count(), 1);
        QVERIFY(form.recordset().isOpen());
        QCOMPARE(form.recordset().recordCount(), 2);
        QCOMPARE(form.recordset().absolutePosition(), 0);
        QCOMPARE(form.recordset().editMode(), Recordset::EditMode::None);
        QCOMPARE(form.texts(),
                 QStringList({"Ann", "Smith", "555", "", "1 Road\nTown", "", "", "", "", ""}));
    }

    void aLookupThatMatchesNothingEmptiesTheBoxes() {
        TestBook book;
        book.insertRow(row({"Ann", "Smith"}));
        BoundForm form(book.applicationDirectory());
        form.data->refresh();
        form.data->setRecordSource(lookupStatement(LookupColumn::Surname, "Nobody"));

        form.data->refresh();

        QCOMPARE(form.recordset().recordCount(), 0);
        QCOMPARE(form.recordset().absolutePosition(), -1);
        QCOMPARE(form.texts(), QStringList(10, QString()));
    }

    void aBareFileNameIsFoundInTheApplicationDirectoryNotTheCurrentOne() {
        TestBook book;
        book.insertRow(row({"Ann"}));
        QTemporaryDir elsewhere;
        const QString previous = QDir::currentPath();
        QDir::setCurrent(elsewhere.path());
        BoundForm form(book.applicationDirectory());
        form.data->refresh();
        QDir::setCurrent(previous);

        QCOMPARE(form.text(Name), QStringLiteral("Ann"));
        QVERIFY(!QFile::exists(elsewhere.filePath("address.mdb")));
    }

    void theDesignTimePropertiesAreKept() {
        DataControl control;
        QCOMPARE(control.connectString(), QStringLiteral("Access"));
        QCOMPARE(control.recordSource(), QStringLiteral("address"));
        QCOMPARE(control.caption(), QStringLiteral("Data1"));
        QCOMPARE(control.busyTimeout(), 5000);
        QVERIFY(!control.recordset().isOpen());
        QCOMPARE(control.recordset().absolutePosition(), -1);
    }

    // --- AddNew, Edit, Update, CancelUpdate, Close -----------------------------------------

    void addNewThenUpdateStoresOnlyTheBoxesThatWereSet() {
        TestBook book;
        book.insertRow(row({"Ann", "Smith"}));
        BoundForm form(book.applicationDirectory());
        form.data->refresh();
        QSignalSpy appended(form.data, &DataControl::rowAppended);

        form.recordset().addNew();
        QCOMPARE(form.texts(), QStringList(10, QString()));
        QCOMPARE(form.recordset().editMode(), Recordset::EditMode::Adding);
        form.setText(Name, "Cleo");
        form.setText(Address, "2 Lane\nCity");
        form.setText(CreatedOn, "07/12/2026");
        form.recordset().update();

        QCOMPARE(book.storedRows(),
                 QList<StoredRow>({row({"Ann", "Smith"}),
                                   row({"Cleo", QVariant(), QVariant(), QVariant(), "2 Lane\nCity",
                                        QVariant(), QVariant(), QVariant(), "07/12/2026"})}));
        QCOMPARE(form.recordset().editMode(), Recordset::EditMode::None);
        // The new row joins at the end; the row current before AddNew is current again.
        QCOMPARE(form.recordset().recordCount(), 2);
        QCOMPARE(form.recordset().absolutePosition(), 0);
        QCOMPARE(form.text(Name), QStringLiteral("Ann"));
        QCOMPARE(appended.count(), 1);
        QCOMPARE(appended.at(0).at(0).value<qsizetype>(), qsizetype(1));
        form.data->moveLast();
        QCOMPARE(form.text(Name), QStringLiteral("Cleo"));
    }

    void addNewOnAnEmptyTableLeavesNoCurrentRowUntilAMove() {
        TestBook book;
        BoundForm form(book.applicationDirectory());
        form.data->refresh();
        form.recordset().addNew();
        form.setText(Name, "Cleo");
        form.recordset().update();

        QCOMPARE(form.recordset().recordCount(), 1);
        QCOMPARE(form.recordset().absolutePosition(), -1);
        QCOMPARE(form.text(Name), QString());
        form.data->moveFirst();
        QCOMPARE(form.text(Name), QStringLiteral("Cleo"));
    }

    void addNewThenCancelUpdateStoresNothingAndShowsTheCurrentRowAgain() {
        TestBook book;
        book.insertRow(row({"Ann", "Smith"}));
        BoundForm form(book.applicationDirectory());
        form.data->refresh();

        form.recordset().addNew();
        form.setText(Name, "Cleo");
        form.recordset().cancelUpdate();

        QCOMPARE(book.storedRows().size(), 1);
        QCOMPARE(form.recordset().editMode(), Recordset::EditMode::None);
        QCOMPARE(form.recordset().recordCount(), 1);
        QCOMPARE(form.text(Name), QStringLiteral("Ann"));
    }

    void editThenUpdateWritesOnlyTheChangedColumns() {
        TestBook book;
        book.insertRow(row({"Ann", "Smith", "555", "556", QVariant(), "ann@example.org"}));
        BoundForm form(book.applicationDirectory());
        form.data->refresh();
        QSignalSpy stored(form.data, &DataControl::rowStored);

        form.setText(ModifiedOn, "08/12/2026");
        form.recordset().edit();
        QCOMPARE(form.text(ModifiedOn), QStringLiteral("08/12/2026")); // Edit keeps the texts
        form.setText(Phone, "777");
        // Meanwhile another program changes a column this edit does not touch.
        {
            Database other = contact_table::openAddressBook(book.databasePath());
            other.exec("UPDATE address SET \"fax\" = '999'");
        }
        form.recordset().update();

        QCOMPARE(book.storedRows(),
                 QList<StoredRow>({row({"Ann", "Smith", "777", "999", QVariant(), "ann@example.org",
                                        QVariant(), QVariant(), QVariant(), "08/12/2026"})}));
        QCOMPARE(form.recordset().editMode(), Recordset::EditMode::None);
        QCOMPARE(stored.count(), 1);
        QCOMPARE(form.text(Fax), QStringLiteral("999")); // the boxes show the row as stored
    }

    void editThenUpdateWithNothingChangedKeepsTheRow() {
        TestBook book;
        book.insertRow(row({"Ann", "", QVariant(), "556"}));
        BoundForm form(book.applicationDirectory());
        form.data->refresh();
        form.recordset().edit();
        form.recordset().update();
        QCOMPARE(book.storedRows(), QList<StoredRow>({row({"Ann", "", QVariant(), "556"})}));
    }

    void nullAndEmptyTextStayDistinct() {
        TestBook book;
        BoundForm form(book.applicationDirectory());
        form.data->refresh();
        form.recordset().addNew();
        form.setText(Name, "Ann");
        form.setText(Fax, "x"); // typed and then removed: an empty text is stored
        form.setText(Fax, "");
        form.recordset().update();

        const StoredRow stored = row({"Ann", QVariant(), QVariant(), ""});
        QCOMPARE(book.storedRows(), QList<StoredRow>({stored}));
        QVERIFY(book.storedRows().at(0).at(Phone).isNull());
        QVERIFY(!book.storedRows().at(0).at(Fax).isNull());

        // Both read back as empty boxes, and an edit that changes neither keeps them apart.
        form.data->refresh();
        QCOMPARE(form.text(Phone), QString());
        QCOMPARE(form.text(Fax), QString());
        form.recordset().edit();
        form.setText(Url, "example.org");
        form.recordset().update();
        QVERIFY(book.storedRows().at(0).at(Phone).isNull());
        QVERIFY(!book.storedRows().at(0).at(Fax).isNull());

        // A lookup for the empty text finds a stored empty text, never a missing value.
        form.data->setRecordSource(lookupStatement(LookupColumn::Phone, ""));
        form.data->refresh();
        QCOMPARE(form.recordset().recordCount(), 0);
    }

    void aHiddenBoxStillBelongsToTheEditBuffer() {
        TestBook book;
        BoundForm form(book.applicationDirectory());
        form.window.show();
        form.data->refresh();
        form.recordset().addNew();
        form.boxes[Email]->hide();
        form.setText(Name, "Ann");
        form.setText(Email, "ann@example.org");
        form.recordset().update();
        QCOMPARE(book.storedRows(),
                 QList<StoredRow>({row(
                     {"Ann", QVariant(), QVariant(), QVariant(), QVariant(), "ann@example.org"})}));
    }

    void typingIntoABoxCountsAsAChange() {
        TestBook book;
        book.insertRow(row({"Ann", "Smith"}));
        BoundForm form(book.applicationDirectory());
        form.data->refresh();
        form.recordset().edit();
        QTest::keyClicks(form.boxes[Surname], "e");
        QTest::keyClicks(form.boxes[Other], "note");
        form.recordset().update();
        QCOMPARE(book.storedRows(),
                 QList<StoredRow>({row({"Ann", "Smithe", QVariant(), QVariant(), QVariant(),
                                        QVariant(), QVariant(), "note"})}));
    }

    void settingATextToWhatItAlreadyShowsIsNoChange() {
        TestBook book;
        book.insertRow(row({"Ann"}));
        BoundForm form(book.applicationDirectory());
        form.data->refresh();
        form.recordset().edit();
        form.setText(Other, ""); // a multi-line box set to the empty text it shows
        form.setText(Fax, "");
        form.recordset().update();
        QCOMPARE(book.storedRows(), QList<StoredRow>({row({"Ann"})}));
    }

    void closeDropsTheRowsButKeepsTheTexts() {
        TestBook book;
        book.insertRow(row({"Ann"}));
        BoundForm form(book.applicationDirectory());
        form.data->refresh();
        form.recordset().edit();
        form.recordset().close();
        QVERIFY(!form.recordset().isOpen());
        QCOMPARE(form.recordset().recordCount(), 0);
        QCOMPARE(form.recordset().absolutePosition(), -1);
        QCOMPARE(form.recordset().editMode(), Recordset::EditMode::None);
        QCOMPARE(form.text(Name), QStringLiteral("Ann"));
        form.data->refresh();
        QVERIFY(form.recordset().isOpen());
        QCOMPARE(form.recordset().recordCount(), 1);
    }

    void refreshDropsAPendingEdit() {
        TestBook book;
        book.insertRow(row({"Ann"}));
        BoundForm form(book.applicationDirectory());
        form.data->refresh();
        form.recordset().addNew();
        form.setText(Name, "Cleo");
        form.data->refresh();
        QCOMPARE(form.recordset().editMode(), Recordset::EditMode::None);
        QCOMPARE(form.text(Name), QStringLiteral("Ann"));
        QCOMPARE(book.storedRows().size(), 1);
    }

    // --- Every refused operation ----------------------------------------------------------------

    void refusedOperations_data() {
        QTest::addColumn<QString>("state");
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("message");
        const QString never = "has not fetched any rows yet";
        const QString closed = "the recordset is closed";
        for (const char* op : {"AddNew", "Edit", "Update", "CancelUpdate", "Close", "MoveNext",
                               "fieldValue", "appendRow"}) {
            QTest::addRow("%s before any Refresh", op) << "never" << op << never;
            QTest::addRow("%s after Close", op) << "closed" << op << closed;
        }
        QTest::addRow("Edit with no current row") << "empty"
                                                  << "Edit"
                                                  << "no current row";
        QTest::addRow("Update with no edit") << "open"
                                             << "Update"
                                             << "no AddNew or Edit";
        QTest::addRow("CancelUpdate with no edit") << "open"
                                                   << "CancelUpdate"
                                                   << "no AddNew or Edit";
        QTest::addRow("moveTo past the end") << "open"
                                             << "moveTo"
                                             << "there is no row 5";
    }

    void refusedOperations() {
        QFETCH(QString, state);
        QFETCH(QString, operation);
        QFETCH(QString, message);
        TestBook book;
        book.insertRow(row({"Ann"}));
        BoundForm form(book.applicationDirectory());
        if (state == "empty")
            form.data->setRecordSource(lookupStatement(LookupColumn::Name, "Nobody"));
        if (state != "never")
            form.data->refresh();
        if (state == "closed")
            form.recordset().close();
        form.setText(Name, "typed");

        Recordset& rs = form.recordset();
        const std::map<QString, std::function<void()>> ops = {
            {"AddNew", [&] { rs.addNew(); }},
            {"Edit", [&] { rs.edit(); }},
            {"Update", [&] { rs.update(); }},
            {"CancelUpdate", [&] { rs.cancelUpdate(); }},
            {"Close", [&] { rs.close(); }},
            {"MoveNext", [&] { form.data->moveNext(); }},
            {"moveTo", [&] { form.data->moveTo(5); }},
            {"fieldValue", [&] { form.data->fieldValue(0, 0); }},
            {"appendRow",
             [&] {
                 form.data->appendRow({{Name, "Bob"}});
             }},
        };
        const QString description = failureOf(ops.at(operation));
        QVERIFY2(description.contains(message), qPrintable(description));
        // Nothing was stored and the box keeps what was typed.
        QCOMPARE(book.storedRows(), QList<StoredRow>({row({"Ann"})}));
        QCOMPARE(form.text(Name), QStringLiteral("typed"));
    }

    void malformedRecordSourcesFailAtRefreshAndChangeNothing_data() {
        QTest::addColumn<QString>("recordSource");
        QTest::newRow("lone quote") << "Select * from address where surname = 'O'Brien'";
        QTest::newRow("unclosed") << "Select * from address where surname = 'Smith";
        QTest::newRow("other column") << "Select * from address where fax = '1'";
        QTest::newRow("some columns") << "Select name from address where name = 'Ann'";
        QTest::newRow("other table") << "contacts";
        QTest::newRow("a second statement") << "address; DROP TABLE address";
        QTest::newRow("empty") << "";
    }

    void malformedRecordSourcesFailAtRefreshAndChangeNothing() {
        QFETCH(QString, recordSource);
        TestBook book;
        book.insertRow(row({"Ann"}));
        book.insertRow(row({"Bob"}));
        BoundForm form(book.applicationDirectory());
        form.data->refresh();
        form.data->moveNext();
        form.recordset().edit();
        form.setText(Phone, "typed");
        form.data->setRecordSource(recordSource);

        const QString description = failureOf([&] { form.data->refresh(); });

        QVERIFY2(description.contains("malformed"), qPrintable(description));
        QCOMPARE(form.recordset().recordCount(), 2);
        QCOMPARE(form.recordset().absolutePosition(), 1);
        QCOMPARE(form.recordset().editMode(), Recordset::EditMode::Editing);
        QCOMPARE(form.text(Phone), QStringLiteral("typed"));
        QCOMPARE(book.storedRows().size(), 2);
    }

    void anEmptyDatabaseNameIsRefusedAtRefresh() {
        DataControl control;
        const QString description = failureOf([&] { control.refresh(); });
        QVERIFY2(description.contains("DatabaseName is empty"), qPrintable(description));
    }

    void textThatIsNotValidUnicodeIsRefusedAndCanBeCorrected() {
        TestBook book;
        BoundForm form(book.applicationDirectory());
        form.data->refresh();
        form.recordset().addNew();
        form.setText(Name, "Ann");
        form.setText(Surname, QString(QChar(0xD800)) + "x");

        const QString description = failureOf([&] { form.recordset().update(); });

        QVERIFY2(description.contains("\"Surname\" is not valid Unicode"), qPrintable(description));
        QVERIFY(book.storedRows().isEmpty());
        QCOMPARE(form.recordset().editMode(), Recordset::EditMode::Adding);
        form.setText(Surname, "Smith");
        form.recordset().update();
        QCOMPARE(book.storedRows(), QList<StoredRow>({row({"Ann", "Smith"})}));

        form.data->setRecordSource(lookupStatement(LookupColumn::Surname, QString(QChar(0xDC00))));
        const QString lookup = failureOf([&] { form.data->refresh(); });
        QVERIFY2(lookup.contains("not valid Unicode"), qPrintable(lookup));
    }

    // --- Matching --------------------------------------------------------------------------------

    void lookupsMatchWholeValuesWithoutRegardToCase_data() {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("sought");
        QTest::addColumn<QStringList>("found"); // given names, in the engine's order
        const int name = int(LookupColumn::Name);
        const int surname = int(LookupColumn::Surname);
        const int phone = int(LookupColumn::Phone);
        const int email = int(LookupColumn::Email);
        QTest::newRow("upper umlaut") << surname << "MÜLLER" << QStringList{"Ute", "Uwe"};
        QTest::newRow("lower umlaut") << surname << "müller" << QStringList{"Ute", "Uwe"};
        QTest::newRow("accented capital") << name << "ÉLODIE" << QStringList{"élodie"};
        QTest::newRow("leading blank") << surname << " Müller" << QStringList{"Ivo"};
        QTest::newRow("prefix is no match") << surname << "Mül" << QStringList{};
        QTest::newRow("quote") << surname << "o'brien" << QStringList{"Pat"};
        QTest::newRow("phone") << phone << "555 12" << QStringList{"Ute"};
        QTest::newRow("email") << email << "UWE@EXAMPLE.ORG" << QStringList{"Uwe"};
        QTest::newRow("empty surname") << surname << "" << QStringList{"Eve"};
    }

    void lookupsMatchWholeValuesWithoutRegardToCase() {
        QFETCH(int, column);
        QFETCH(QString, sought);
        QFETCH(QStringList, found);
        TestBook book;
        insertRows(book.databasePath(),
                   {row({"Ute", "Müller", "555 12"}), row({"élodie", "Dupont"}),
                    row({"Ivo", " Müller"}), row({"Pat", "O'Brien"}), row({"Eve", ""}),
                    row({"Max"}), // no surname at all
                    row({"Uwe", "MÜLLER", QVariant(), QVariant(), QVariant(), "uwe@example.org"})});
        BoundForm form(book.applicationDirectory());
        form.data->setRecordSource(lookupStatement(LookupColumn(column), sought));

        form.data->refresh();

        QStringList names;
        for (qsizetype i = 0; i < form.recordset().recordCount(); ++i)
            names << form.data->fieldValue(i, Name).toString();
        QCOMPARE(names, found);
        QCOMPARE(form.text(Name), found.value(0));
    }

    void manyMatchesAreAllFetchedInTheEnginesOrder() {
        TestBook book;
        QList<StoredRow> rows;
        for (int i = 0; i < 300; ++i)
            rows << row({QString::number(i), i % 3 == 0 ? "Lee" : "Other"});
        insertRows(book.databasePath(), rows);
        BoundForm form(book.applicationDirectory());
        form.data->setRecordSource(lookupStatement(LookupColumn::Surname, "LEE"));
        form.data->refresh();
        QCOMPARE(form.recordset().recordCount(), 100);
        for (qsizetype i = 0; i < 100; ++i)
            QCOMPARE(form.data->fieldValue(i, Name).toString(), QString::number(i * 3));
    }

    // --- The file ------------------------------------------------------------------------------

    void unusableFilesFailAtRefreshNamingThePath_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing") << "missing"
                                 << "does not exist";
        QTest::newRow("folder") << "folder"
                                << "is a folder";
        QTest::newRow("zero length") << "empty"
                                     << "is empty";
        QTest::newRow("not sqlite") << "text"
                                    << "is not a Tessaline address book";
        QTest::newRow("access") << "access"
                                << "Access-format";
        QTest::newRow("no table") << "no table"
                                  << "has no table \"address\"";
        QTest::newRow("no columns") << "no columns"
                                    << "lacks the column(s) \"url\"";
    }

    void unusableFilesFailAtRefreshNamingThePath() {
        QFETCH(QString, fault);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString path = dir.filePath("address.mdb");
        if (fault == "folder")
            QVERIFY(QDir(dir.path()).mkdir("address.mdb"));
        QFile file(path);
        if (fault == "empty" || fault == "text" || fault == "access") {
            QVERIFY(file.open(QIODevice::WriteOnly));
            if (fault == "text")
                file.write("Name;Surname\nAnn;Smith\n");
            if (fault == "access")
                file.write(QByteArray(4, '\0') + "Standard Jet DB" + QByteArray(200, '\0'));
            file.close();
        }
        if (fault == "no table" || fault == "no columns") {
            Database db(path, Database::Mode::ReadWriteCreate);
            db.exec(fault == "no table" ? "CREATE TABLE contacts (x)"
                                        : "CREATE TABLE address (\"Name\", \"Surname\", \"phone\","
                                          " \"fax\", \"address\", \"email\")");
        }
        const QStringList before =
            QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        const QByteArray bytes = fileBytes(path);
        BoundForm form(dir.path());

        const QString description = failureOf([&] { form.data->refresh(); });

        QVERIFY2(description.contains(path), qPrintable(description));
        QVERIFY2(description.contains(message), qPrintable(description));
        QVERIFY(!form.recordset().isOpen());
        // Nothing was created or changed: no file and no journal beside it.
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
        QCOMPARE(fileBytes(path), bytes);
    }

    void aFailedRefreshKeepsTheRowsItHad() {
        TestBook book;
        book.insertRow(row({"Ann"}));
        BoundForm form(book.applicationDirectory());
        form.data->refresh();
        QVERIFY(QFile::rename(book.databasePath(), book.databasePath() + ".away"));

        const QString description = failureOf([&] { form.data->refresh(); });

        QVERIFY2(description.contains("does not exist"), qPrintable(description));
        QVERIFY(form.recordset().isOpen());
        QCOMPARE(form.recordset().recordCount(), 1);
        QCOMPARE(form.text(Name), QStringLiteral("Ann"));
        QVERIFY(!QFile::exists(book.databasePath()));
    }

    // A file that has not changed for a while is not read again at every operation, yet a later
    // write over it in place (here with junk of the very same size) is still seen.
    void aFileWrittenOverLongAfterItsLastChangeIsStillSeen() {
        TestBook book;
        book.insertRow(row({"Ann"}));
        const QString path = book.databasePath();
        QTest::qSleep(2100);
        BoundForm form(book.applicationDirectory());
        form.data->refresh();
        form.data->refresh();
        QTemporaryDir elsewhere;
        const QString junk = elsewhere.filePath("junk");
        {
            QFile file(junk);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(QFileInfo(path).size(), 'x'));
        }
        // Another program writes over it: a handle of this process would drop the control's locks.
        QCOMPARE(QProcess::execute("cp", {junk, path}), 0);

        form.recordset().addNew();
        form.setText(Name, "Bob");
        QString description = failureOf([&] { form.recordset().update(); });
        QVERIFY2(description.contains("is not a Tessaline address book"), qPrintable(description));
        description = failureOf([&] { form.data->refresh(); });
        QVERIFY2(description.contains("is not a Tessaline address book"), qPrintable(description));
        QCOMPARE(fileBytes(path), fileBytes(junk));
    }

    // Another book renamed into the place of the open one: the new book is never written mixed
    // with the old one, the old one keeps every store wherever it went, and no change meant for an
    // old row lands in the new book.
    void aBookPutInPlaceOfAnOpenOneIsNeverMixedWithIt() {
        TestBook book;
        const QString path = book.databasePath();
        QList<StoredRow> rows;
        for (int i = 1; i <= 100; ++i)
            rows << row({"Old", QString::number(i)});
        insertRows(path, rows);
        BoundForm adder(book.applicationDirectory());
        BoundForm editor(book.applicationDirectory());
        adder.data->refresh();
        editor.data->refresh();
        for (int i = 0; i < 20; ++i)
            editor.data->storeRow(i, {{Phone, QStringLiteral("edited")}});
        editor.data->appendRow({{Name, QStringLiteral("Latest")}});

        const QString moved = path + ".old";
        QCOMPARE(
            std::rename(QFile::encodeName(path).constData(), QFile::encodeName(moved).constData()),
            0);
        contact_table::createAddressBook(path + ".new", [](Database& db) {
            db.exec("INSERT INTO address (\"Name\") VALUES ('Zoe'), ('Yan'), ('Xavier')");
        });
        QCOMPARE(std::rename(QFile::encodeName(path + ".new").constData(),
                             QFile::encodeName(path).constData()),
                 0);

        adder.recordset().addNew();
        adder.setText(Name, "Walt");
        adder.recordset().update();
        const QString refused = failureOf([&] {
            editor.data->storeRow(1, {{Surname, QStringLiteral("Wrong")}});
        });
        QVERIFY2(refused.contains("was replaced by another file after this contact was read"),
                 qPrintable(refused));

        QCOMPARE(book.storedRows(),
                 QList<StoredRow>({row({"Zoe"}), row({"Yan"}), row({"Xavier"}), row({"Walt"})}));
        editor.data->refresh();
        QCOMPARE(editor.recordset().recordCount(), 4);
        QCOMPARE(editor.text(Name), QStringLiteral("Zoe"));

        Database old = contact_table::openAddressBook(moved);
        Statement kept(old, "SELECT count(*), sum(phone = 'edited'), max(\"Name\" = 'Latest') "
                            "FROM address");
        QVERIFY(kept.step());
        QCOMPARE(kept.integer(0), 101);
        QCOMPARE(kept.integer(1), 20);
        QCOMPARE(kept.integer(2), 1);
    }

    // A book written over in place by junk and then by another book: nothing of the old book is
    // read into the new one.
    void aBookWrittenOverInPlaceLeavesNothingOfItselfInTheNextOne() {
        TestBook book;
        const QString path = book.databasePath();
        book.insertRow(row({"Old"}));
        BoundForm form(book.applicationDirectory());
        form.data->refresh();
        for (int i = 0; i < 20; ++i)
            form.data->appendRow({{Name, QStringLiteral("Latest")}});

        QTemporaryDir elsewhere;
        const QString junk = elsewhere.filePath("junk.txt");
        {
            QFile file(junk);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("Shopping: bread, milk.\n");
        }
        const QString other = elsewhere.filePath("other.mdb");
        contact_table::createAddressBook(other, [](Database& db) {
            db.exec("INSERT INTO address (\"Name\") VALUES ('Zoe'), ('Yan')");
        });
        // Another program writes over the file; a handle of this process would drop its locks.
        QCOMPARE(QProcess::execute("cp", {junk, path}), 0);
        const QString description = failureOf([&] { form.data->refresh(); });
        QVERIFY2(description.contains("is not a Tessaline address book"), qPrintable(description));
        QCOMPARE(QProcess::execute("cp", {other, path}), 0);

        form.data->refresh();
        QCOMPARE(form.recordset().recordCount(), 2);
        QCOMPARE(form.text(Name), QStringLiteral("Zoe"));
        QCOMPARE(book.storedRows(), QList<StoredRow>({row({"Zoe"}), row({"Yan"})}));
    }

    void aFileLockedByAnotherProgramFailsAfterTheTimeoutAndNothingIsLost() {
        TestBook book;
        book.insertRow(row({"Ann"}));
        BoundForm form(book.applicationDirectory());
        form.data->setBusyTimeout(300);
        form.data->refresh();
        form.recordset().edit();
        form.setText(Phone, "555");

        auto other =
            std::make_unique<Database>(contact_table::openAddressBook(book.databasePath()));
        other->exec("BEGIN IMMEDIATE");
        QElapsedTimer waited;
        waited.start();
        const QString description = failureOf([&] { form.recordset().update(); });
        QVERIFY(waited.elapsed() >= 250);
        QVERIFY2(description.contains("in use by another program"), qPrintable(description));
        QVERIFY2(description.contains(book.databasePath()), qPrintable(description));
        QCOMPARE(form.recordset().editMode(), Recordset::EditMode::Editing);
        QCOMPARE(form.text(Phone), QStringLiteral("555"));
        // Reading is not blocked by the other program's write lock.
        BoundForm reader(book.applicationDirectory());
        reader.data->refresh();
        QCOMPARE(reader.text(Name), QStringLiteral("Ann"));

        other->exec("COMMIT");
        other.reset();
        form.recordset().update();
        QCOMPARE(book.storedRows(), QList<StoredRow>({row({"Ann", QVariant(), "555"})}));
    }

    void updatingARowThatAnotherProgramRemovedFailsAndKeepsTheEdit() {
        TestBook book;
        book.insertRow(row({"Ann"}));
        book.insertRow(row({"Bob"}));
        BoundForm form(book.applicationDirectory());
        form.data->refresh();
        form.recordset().edit();
        form.setText(Phone, "555");
        {
            Database other = contact_table::openAddressBook(book.databasePath());
            other.exec("DELETE FROM address WHERE \"Name\" = 'Ann'");
        }

        const QString description = failureOf([&] { form.recordset().update(); });

        QVERIFY2(description.contains("no longer exists"), qPrintable(description));
        QCOMPARE(book.storedRows(), QList<StoredRow>({row({"Bob"})}));
        QCOMPARE(form.recordset().editMode(), Recordset::EditMode::Editing);
        QCOMPARE(form.text(Phone), QStringLiteral("555"));
        // A whole-table refresh over a table with a gap still fetches every row in order.
        book.insertRow(row({"Cleo"}));
        form.data->refresh();
        QCOMPARE(form.recordset().recordCount(), 2);
        QCOMPARE(form.data->fieldValue(1, Name).toString(), QStringLiteral("Cleo"));
    }

    void aTableWithGapsIsFetchedWholeInRowidOrder() {
        TestBook book;
        QList<StoredRow> rows;
        for (int i = 0; i < 200; ++i) {
            const QString descending = QString::number(1000 - i); // indexes list them backwards
            rows << row({descending, descending, descending, QVariant(), QVariant(), descending});
        }
        insertRows(book.databasePath(), rows);
        {
            Database other = contact_table::openAddressBook(book.databasePath());
            other.exec("DELETE FROM address WHERE rowid IN (1, 100, 150)");
        }
        BoundForm form(book.applicationDirectory());
        form.data->refresh();
        QCOMPARE(form.recordset().recordCount(), 197);
        QStringList names;
        for (qsizetype i = 0; i < form.recordset().recordCount(); ++i)
            names << form.data->fieldValue(i, Name).toString();
        QStringList wanted;
        for (int i = 0; i < 200; ++i)
            if (i != 0 && i != 99 && i != 149)
                wanted << QString::number(1000 - i);
        QCOMPARE(names, wanted);
        QCOMPARE(form.text(Name), QStringLiteral("999"));
    }

    // A large table is counted when its size is first needed, as it stood at the Refresh: rows
    // other programs add later stay out, and rows they remove before the count are left out.
    void aLargeTableIsCountedAsItWasAtRefresh() {
        TestBook book;
        QList<StoredRow> rows;
        for (int i = 1; i <= 200; ++i)
            rows << row({QString::number(i)});
        insertRows(book.databasePath(), rows);
        BoundForm form(book.applicationDirectory());
        form.data->refresh();
        {
            Database other = contact_table::openAddressBook(book.databasePath());
            other.exec("INSERT INTO address (\"Name\") VALUES ('201'), ('202')");
            other.exec("DELETE FROM address WHERE rowid = 150");
        }
        QCOMPARE(form.recordset().recordCount(), 199);
        form.data->moveLast();
        QCOMPARE(form.text(Name), QStringLiteral("200"));
        QCOMPARE(form.data->fieldValue(148, Name).toString(), QStringLiteral("149"));
        QCOMPARE(form.data->fieldValue(149, Name).toString(), QStringLiteral("151"));

        // A row added through the control itself joins at the end.
        form.recordset().addNew();
        form.setText(Name, "Zoe");
        form.recordset().update();
        QCOMPARE(form.recordset().recordCount(), 200);
        QCOMPARE(form.data->fieldValue(199, Name).toString(), QStringLiteral("Zoe"));
        form.data->refresh();
        QCOMPARE(form.recordset().recordCount(), 202);
    }

    // The count is asked for where no failure can be shown (a grid asking how many rows it has).
    // When it cannot be taken, every rowid up to the last one fetched stands for a row.
    void aCountThatFailsTakesTheRowidsUpToTheLastOne() {
        TestBook book;
        QList<StoredRow> rows;
        for (int i = 1; i <= 100; ++i)
            rows << row({QString::number(i)});
        insertRows(book.databasePath(), rows);
        BoundForm form(book.applicationDirectory());
        form.data->refresh();
        Database other = contact_table::openAddressBook(book.databasePath());
        other.exec("ALTER TABLE address RENAME TO hidden");
        QCOMPARE(form.recordset().recordCount(), 100);
        other.exec("ALTER TABLE hidden RENAME TO address");
        QCOMPARE(form.data->fieldValue(99, Name).toString(), QStringLiteral("100"));
        QCOMPARE(form.text(Name), QStringLiteral("1"));
    }

    // Counting a whole table reads all of its smallest index, so only what needs the count takes
    // it: a Refresh, and reading, moving to and writing over the rows of the first page, do not.
    void onlyWhatNeedsTheCountCountsAWholeTable_data() {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<bool>("counts");
        for (const char* op : {"Refresh", "MoveNext", "MovePrevious", "MoveFirst", "moveTo",
                               "fieldValue", "Edit and Update", "storeRow"})
            QTest::addRow("%s", op) << op << false;
        for (const char* op : {"MoveLast", "recordCount", "appendRow"})
            QTest::addRow("%s", op) << op << true;
    }

    void onlyWhatNeedsTheCountCountsAWholeTable() {
        QFETCH(QString, operation);
        QFETCH(bool, counts);
        TestBook book;
        QList<StoredRow> rows;
        for (int i = 0; i < 20000; ++i)
            rows << row({QStringLiteral("Given%1").arg(i), QStringLiteral("Surname%1").arg(i),
                         QStringLiteral("555-%1").arg(i, 7, 10, QLatin1Char('0'))});
        insertRows(book.databasePath(), rows);
        BoundForm form(book.applicationDirectory());
        form.data->refresh();
        form.data->moveNext();

        Recordset& rs = form.recordset();
        const std::map<QString, std::function<void()>> ops = {
            {"Refresh", [&] { form.data->refresh(); }},
            {"MoveNext", [&] { form.data->moveNext(); }},
            {"MovePrevious", [&] { form.data->movePrevious(); }},
            {"MoveFirst", [&] { form.data->moveFirst(); }},
            {"moveTo", [&] { form.data->moveTo(63); }},
            {"fieldValue", [&] { form.data->fieldValue(63, Phone); }},
            {"Edit and Update",
             [&] {
                 rs.edit();
                 form.setText(Name, "Ann");
                 rs.update();
             }},
            {"storeRow",
             [&] {
                 form.data->storeRow(5, {{Name, "Bob"}});
             }},
            {"MoveLast", [&] { form.data->moveLast(); }},
            {"recordCount", [&] { QCOMPARE(rs.recordCount(), 20000); }},
            {"appendRow",
             [&] {
                 form.data->appendRow({{Name, "Cleo"}});
             }},
        };
        const std::int64_t before = rs.pagesRead();
        ops.at(operation)();
        const std::int64_t read = rs.pagesRead() - before;
        // Counting this book reads over forty pages; anything else a few at most.
        QVERIFY2((read > 20) == counts, qPrintable(QStringLiteral("%1 pages read").arg(read)));
    }

    void noReadIsLeftOpenBetweenOperations() {
        TestBook book;
        QList<StoredRow> rows;
        for (int i = 0; i < 300; ++i)
            rows << row({QString::number(i), "Lee"});
        insertRows(book.databasePath(), rows);
        BoundForm whole(book.applicationDirectory());
        BoundForm lookup(book.applicationDirectory());
        whole.data->refresh();
        whole.data->fieldValue(200, Name);
        whole.data->moveLast();
        // More matches than are read whole: the first read stops early and is reset.
        lookup.data->setRecordSource(lookupStatement(LookupColumn::Surname, "Lee"));
        lookup.data->refresh();
        QCOMPARE(lookup.recordset().recordCount(), 300);

        // A store must wait for every reader to finish; it does not wait at all.
        Database other = contact_table::openAddressBook(book.databasePath());
        sqlite3_busy_timeout(other.handle(), 0);
        other.exec("INSERT INTO address (\"Name\") VALUES ('Zoe')");
    }

    // --- Three controls on one file ------------------------------------------------------------

    void eachControlSeesOtherControlsRowsOnlyAfterItsOwnRefresh() {
        TestBook book;
        book.insertRow(row({"Ann"}));
        BoundForm adder(book.applicationDirectory());
        BoundForm finder(book.applicationDirectory());
        BoundForm details(book.applicationDirectory());
        for (BoundForm* form : {&adder, &finder, &details})
            form->data->refresh();

        adder.recordset().addNew();
        adder.setText(Name, "Bob");
        adder.recordset().update();
        details.recordset().edit();
        details.setText(Surname, "Smith");
        details.recordset().update();

        QCOMPARE(adder.recordset().recordCount(), 2);
        QCOMPARE(finder.recordset().recordCount(), 1);
        finder.data->moveLast();
        QCOMPARE(finder.text(Name), QStringLiteral("Ann"));
        // The values of a row it already has are read as stored when it is shown.
        QCOMPARE(finder.text(Surname), QStringLiteral("Smith"));
        finder.data->refresh();
        QCOMPARE(finder.recordset().recordCount(), 2);
        QCOMPARE(book.storedRows(), QList<StoredRow>({row({"Ann", "Smith"}), row({"Bob"})}));
    }

    // --- Moving --------------------------------------------------------------------------------

    void movesStopAtTheEnds() {
        TestBook book;
        for (const char* name : {"Ann", "Bob", "Cleo"})
            book.insertRow(row({name}));
        BoundForm form(book.applicationDirectory());
        form.data->refresh();
        QSignalSpy moved(form.data, &DataControl::currentRowChanged);
        form.data->movePrevious();
        QCOMPARE(form.text(Name), QStringLiteral("Ann"));
        form.data->moveLast();
        QCOMPARE(form.text(Name), QStringLiteral("Cleo"));
        form.data->moveNext();
        QCOMPARE(form.recordset().absolutePosition(), 2);
        form.data->movePrevious();
        QCOMPARE(form.text(Name), QStringLiteral("Bob"));
        form.data->moveFirst();
        QCOMPARE(form.text(Name), QStringLiteral("Ann"));
        form.data->moveTo(2);
        QCOMPARE(form.text(Name), QStringLiteral("Cleo"));
        QCOMPARE(moved.count(), 6);
        QCOMPARE(moved.last().at(0).value<qsizetype>(), qsizetype(2));
    }

    void aMoveStoresTheChangedTextsOfTheRowItLeaves() {
        TestBook book;
        book.insertRow(row({"Ann"}));
        book.insertRow(row({"Bob"}));
        BoundForm form(book.applicationDirectory());
        form.data->refresh();
        form.setText(Phone, "555"); // no Edit: the move stores it all the same
        form.data->moveNext();
        QCOMPARE(form.text(Phone), QString());
        form.recordset().edit();
        form.setText(ModifiedOn, "08/12/2026");
        form.data->movePrevious(); // the pending edit is stored and ends
        QCOMPARE(form.recordset().editMode(), Recordset::EditMode::None);
        QCOMPARE(form.text(Phone), QStringLiteral("555"));
        QCOMPARE(book.storedRows(),
                 QList<StoredRow>(
                     {row({"Ann", QVariant(), "555"}),
                      row({"Bob", QVariant(), QVariant(), QVariant(), QVariant(), QVariant(),
                           QVariant(), QVariant(), QVariant(), "08/12/2026"})}));
        QVERIFY(failureOf([&] { form.recordset().update(); }).contains("no AddNew or Edit"));
    }

    void aMoveDuringAddNewStoresTheNewRow() {
        TestBook book;
        book.insertRow(row({"Ann"}));
        BoundForm form(book.applicationDirectory());
        form.data->refresh();
        form.recordset().addNew();
        form.setText(Name, "Bob");
        form.data->moveNext();
        QCOMPARE(form.recordset().editMode(), Recordset::EditMode::None);
        QCOMPARE(form.recordset().absolutePosition(), 1);
        QCOMPARE(form.text(Name), QStringLiteral("Bob"));
        QCOMPARE(book.storedRows(), QList<StoredRow>({row({"Ann"}), row({"Bob"})}));
    }

    // --- The navigation strip ------------------------------------------------------------------

    void theStripShowsTheCaptionBetweenFourArrows() {
        TestBook book;
        BoundForm form(book.applicationDirectory());
        form.window.show();
        QVERIFY(form.data->isVisible());
        auto* caption = form.data->findChild<QLabel*>("Caption");
        QVERIFY(caption);
        QCOMPARE(caption->text(), QStringLiteral("Data1"));
        QVERIFY(caption->isVisible());
        form.data->setCaption("Contacts");
        QCOMPARE(caption->text(), QStringLiteral("Contacts"));
        int left = -1;
        for (const char* name : {"First", "Previous"}) {
            auto* arrow = form.data->findChild<QToolButton*>(name);
            QVERIFY(arrow);
            QVERIFY(arrow->isVisible());
            QVERIFY(!arrow->accessibleName().isEmpty());
            QVERIFY(arrow->x() > left);
            left = arrow->x();
        }
        QVERIFY(caption->x() > left);
        left = caption->x();
        for (const char* name : {"Next", "Last"}) {
            auto* arrow = form.data->findChild<QToolButton*>(name);
            QVERIFY(arrow);
            QVERIFY(!arrow->accessibleName().isEmpty());
            QVERIFY(arrow->x() > left);
            left = arrow->x();
        }
        // Until rows are fetched the arrows cannot be pressed.
        QVERIFY(!form.data->findChild<QToolButton*>("Next")->isEnabled());
        form.data->hide();
        QVERIFY(!caption->isVisible());
    }

    void clickingAnArrowStoresTheTypedTextAndMovesThroughTheStepRunner() {
        TestBook book;
        book.insertRow(row({"Ann"}));
        book.insertRow(row({"Bob"}));
        BoundForm form(book.applicationDirectory());
        int steps = 0;
        form.data->setStepRunner([&steps](const std::function<void()>& step) {
            ++steps;
            step();
        });
        form.window.show();
        form.data->refresh();
        form.recordset().edit();
        QTest::keyClicks(form.boxes[Phone], "555");

        QTest::mouseClick(form.data->findChild<QToolButton*>("Last"), Qt::LeftButton);

        QCOMPARE(steps, 1);
        QCOMPARE(form.text(Name), QStringLiteral("Bob"));
        QCOMPARE(book.storedRows(),
                 QList<StoredRow>({row({"Ann", QVariant(), "555"}), row({"Bob"})}));
        QTest::mouseClick(form.data->findChild<QToolButton*>("First"), Qt::LeftButton);
        QCOMPARE(form.text(Phone), QStringLiteral("555"));
        QTest::mouseClick(form.data->findChild<QToolButton*>("Next"), Qt::LeftButton);
        QCOMPARE(form.text(Name), QStringLiteral("Bob"));
        QTest::mouseClick(form.data->findChild<QToolButton*>("Previous"), Qt::LeftButton);
        QCOMPARE(form.text(Name), QStringLiteral("Ann"));
        QCOMPARE(steps, 4);
    }

    void aFailedClickIsHandedToTheStepRunnerAndTheMoveDoesNotHappen() {
        TestBook book;
        book.insertRow(row({"Ann"}));
        book.insertRow(row({"Bob"}));
        BoundForm form(book.applicationDirectory());
        QStringList reported;
        form.data->setStepRunner([&reported](const std::function<void()>& step) {
            try {
                step();
            } catch (const StoreError& error) {
                reported << error.description();
            }
        });
        form.window.show();
        form.data->setBusyTimeout(50);
        form.data->refresh();
        form.setText(Phone, "555");
        Database other = contact_table::openAddressBook(book.databasePath());
        other.exec("BEGIN IMMEDIATE");

        QTest::mouseClick(form.data->findChild<QToolButton*>("Next"), Qt::LeftButton);

        QCOMPARE(reported.size(), 1);
        QVERIFY2(reported.at(0).contains("in use"), qPrintable(reported.at(0)));
        QCOMPARE(form.recordset().absolutePosition(), 0);
        QCOMPARE(form.text(Phone), QStringLiteral("555"));
        other.exec("ROLLBACK");
    }

    void withoutARunnerAFailedClickIsSignalled() {
        TestBook book;
        book.insertRow(row({"Ann"}));
        BoundForm form(book.applicationDirectory());
        form.window.show();
        form.data->setBusyTimeout(50);
        form.data->refresh();
        form.setText(Phone, "555");
        QSignalSpy failed(form.data, &DataControl::stepFailed);
        Database other = contact_table::openAddressBook(book.databasePath());
        other.exec("BEGIN IMMEDIATE");
        QTest::mouseClick(form.data->findChild<QToolButton*>("Next"), Qt::LeftButton);
        QCOMPARE(failed.count(), 1);
        other.exec("ROLLBACK");
    }

    // --- Rows for a grid -----------------------------------------------------------------------

    void aGridReadsRowsAndStoresCellsAndNewRows() {
        TestBook book;
        QList<StoredRow> rows;
        for (int i = 0; i < 150; ++i)
            rows << row({QString::number(i)});
        insertRows(book.databasePath(), rows);
        BoundForm form(book.applicationDirectory());
        form.data->refresh();
        QSignalSpy stored(form.data, &DataControl::rowStored);
        QSignalSpy appended(form.data, &DataControl::rowAppended);

        QCOMPARE(form.data->fieldNames(), contact_table::columnNames());
        QCOMPARE(form.data->fieldValue(149, Name).toString(), QStringLiteral("149"));
        QVERIFY(form.data->fieldValue(70, Phone).isNull());
        form.data->storeRow(70, {{Phone, "555"}, {Fax, QVariant()}});
        QCOMPARE(form.data->fieldValue(70, Phone).toString(), QStringLiteral("555"));
        QCOMPARE(stored.count(), 1);
        const qsizetype added = form.data->appendRow({{Name, "new"}, {Url, ""}});
        QCOMPARE(added, qsizetype(150));
        QCOMPARE(appended.count(), 1);
        QCOMPARE(form.recordset().recordCount(), 151);
        QCOMPARE(form.data->fieldValue(150, Name).toString(), QStringLiteral("new"));
        QVERIFY(!form.data->fieldValue(150, Url).isNull());
        rows = book.storedRows();
        QCOMPARE(rows.at(70), row({"70", QVariant(), "555"}));
        QCOMPARE(rows.at(150),
                 row({"new", QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), ""}));
    }
};

QTEST_MAIN(TestDataControl)
#include "test_data_control.moc"
