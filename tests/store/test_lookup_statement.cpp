#include "store/lookup_statement.h"
#include "store/store_error.h"

#include <QtTest>

Q_DECLARE_METATYPE(LookupColumn)

class TestLookupStatement : public QObject {
    Q_OBJECT
  private slots:
    void statementIsPrefixValueAndQuote_data() {
        QTest::addColumn<LookupColumn>("column");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("statement");
        QTest::newRow("name") << LookupColumn::Name << "Ann"
                              << "Select * from address where name = 'Ann'";
        QTest::newRow("surname blanks kept") << LookupColumn::Surname << " Smith "
                                             << "Select * from address where surname = ' Smith '";
        QTest::newRow("phone empty") << LookupColumn::Phone << ""
                                     << "Select * from address where phone = ''";
        QTest::newRow("email") << LookupColumn::Email << "a@b.c"
                               << "Select * from address where email = 'a@b.c'";
        QTest::newRow("quote doubled") << LookupColumn::Surname << "O'Brien"
                                       << "Select * from address where surname = 'O''Brien'";
        QTest::newRow("lone quote") << LookupColumn::Name << "'"
                                    << "Select * from address where name = ''''";
    }
    void statementIsPrefixValueAndQuote() {
        QFETCH(LookupColumn, column);
        QFETCH(QString, value);
        QFETCH(QString, statement);
        QCOMPARE(lookupStatement(column, value), statement);
    }

    void everyBuiltStatementReadsBackItsValue() {
        const QStringList values = {"O'Brien",
                                    "'",
                                    "''",
                                    "x' OR '1'='1",
                                    "x'; DROP TABLE address; --",
                                    "  ",
                                    "",
                                    "NULL",
                                    "%",
                                    "_",
                                    "Robert'); DELETE FROM address; --",
                                    "a\nb"};
        for (auto column : {LookupColumn::Name, LookupColumn::Surname, LookupColumn::Phone,
                            LookupColumn::Email}) {
            for (const QString& value : values) {
                const RecordSourceQuery query = parseRecordSource(lookupStatement(column, value));
                QCOMPARE(query.column, std::optional<LookupColumn>(column));
                QCOMPARE(query.value, value);
            }
        }
    }

    void tableNameAndLetterCase() {
        QVERIFY(!parseRecordSource("address").column.has_value());
        QVERIFY(!parseRecordSource("ADDRESS").column.has_value());
        const RecordSourceQuery query =
            parseRecordSource("SELECT * FROM Address WHERE SurName = 'x'");
        QCOMPARE(query.column, std::optional<LookupColumn>(LookupColumn::Surname));
        QCOMPARE(query.value, QStringLiteral("x"));
    }

    void anythingElseIsMalformed_data() {
        QTest::addColumn<QString>("recordSource");
        QTest::newRow("lone quote breaks it") << "Select * from address where name = 'O'Brien'";
        QTest::newRow("unclosed") << "Select * from address where name = 'Ann";
        QTest::newRow("other column") << "Select * from address where fax = '1'";
        QTest::newRow("other table") << "Select * from people where name = 'a'";
        QTest::newRow("other table name") << "people";
        QTest::newRow("two conditions") << "Select * from address where name = 'a' or 1=1";
        QTest::newRow("second statement") << "address; DROP TABLE address";
        QTest::newRow("empty") << "";
        QTest::newRow("unquoted") << "Select * from address where name = a";
    }
    void anythingElseIsMalformed() {
        QFETCH(QString, recordSource);
        try {
            parseRecordSource(recordSource);
            QFAIL("accepted a malformed record source");
        } catch (const StoreError& error) {
            QVERIFY2(error.description().contains("malformed"), qPrintable(error.description()));
        }
    }
};

QTEST_GUILESS_MAIN(TestLookupStatement)
#include "test_lookup_statement.moc"
