#include "sync/column_merge.h"

#include <QTest>

using column_merge::Prefer;
using contact_table::Column;

Q_DECLARE_METATYPE(Prefer)

namespace {

// A contact whose phone is `phone` (an invalid QVariant for NULL); the other columns agree.
RowValues withPhone(const QVariant& phone) {
    RowValues values;
    values[Column::Name] = QStringLiteral("Anna");
    values[Column::Phone] = phone;
    return values;
}

} // namespace

class TestColumnMerge : public QObject {
    Q_OBJECT

  private slots:
    void settlesEachColumn_data() {
        QTest::addColumn<QVariant>("synced");
        QTest::addColumn<QVariant>("local");
        QTest::addColumn<QVariant>("remote");
        QTest::addColumn<Prefer>("prefer");
        QTest::addColumn<QVariant>("expected"); // invalid with a conflict
        QTest::addColumn<bool>("push");
        QTest::addColumn<bool>("pull");
        const QVariant a(QStringLiteral("1")), b(QStringLiteral("2")), c(QStringLiteral("3"));
        const QVariant none;
        QTest::newRow("no change") << a << a << a << Prefer::Neither << a << false << false;
        QTest::newRow("changed here") << a << b << a << Prefer::Neither << b << true << false;
        QTest::newRow("changed there") << a << a << b << Prefer::Neither << b << false << true;
        QTest::newRow("emptied here") << a << none << a << Prefer::Neither << none << true << false;
        QTest::newRow("same both") << a << b << b << Prefer::Neither << b << false << false;
        QTest::newRow("conflict") << a << b << c << Prefer::Neither << none << false << false;
        QTest::newRow("local wins") << a << b << c << Prefer::Local << b << true << false;
        QTest::newRow("remote wins") << a << b << c << Prefer::Remote << c << false << true;
        QTest::newRow("letter case is a change")
            << QVariant(QStringLiteral("anna@x")) << QVariant(QStringLiteral("Anna@x"))
            << QVariant(QStringLiteral("anna@x")) << Prefer::Neither
            << QVariant(QStringLiteral("Anna@x")) << true << false;
    }

    void settlesEachColumn() {
        QFETCH(QVariant, synced);
        QFETCH(QVariant, local);
        QFETCH(QVariant, remote);
        QFETCH(Prefer, prefer);
        QFETCH(QVariant, expected);
        QFETCH(bool, push);
        QFETCH(bool, pull);
        const column_merge::Merged merged = column_merge::merge(
            withPhone(synced), withPhone(local), withPhone(synced), withPhone(remote), prefer);
        const bool conflict = !merged.conflicts.isEmpty();
        QCOMPARE(conflict, QByteArray(QTest::currentDataTag()) == "conflict");
        if (conflict) {
            QCOMPARE(merged.conflicts.first().column, Column::Phone);
            QCOMPARE(merged.conflicts.first().local, local);
            QCOMPARE(merged.conflicts.first().remote, remote);
            return;
        }
        QCOMPARE(merged.values[Column::Phone], expected);
        QCOMPARE(merged.values[Column::Name], QVariant(QStringLiteral("Anna")));
        QCOMPARE(merged.pushNeeded, push);
        QCOMPARE(merged.pullNeeded, pull);
    }

    // Two sides never synced: a value on one side only fills the other; two values are a
    // conflict; our dates stay when the card has none.
    void pairsWithoutLosingAValue() {
        RowValues local = withPhone(QStringLiteral("1"));
        local[Column::Email] = QStringLiteral("anna@example.org");
        local[Column::CreatedOn] = QStringLiteral("01/02/2020");
        RowValues remote = withPhone(QVariant());
        remote[Column::Url] = QStringLiteral("https://anna.example.org");
        remote[Column::Email] = QStringLiteral("anna@example.net");
        const column_merge::Ground ground = column_merge::pairingGround(local, remote);
        const column_merge::Merged merged =
            column_merge::merge(ground.synced, local, ground.remoteBefore, remote, Prefer::Remote);
        QVERIFY(merged.conflicts.isEmpty());
        QCOMPARE(merged.values[Column::Phone], local[Column::Phone]);
        QCOMPARE(merged.values[Column::Url], remote[Column::Url]);
        QCOMPARE(merged.values[Column::Email], remote[Column::Email]);
        QCOMPARE(merged.values[Column::CreatedOn], local[Column::CreatedOn]);
        QVERIFY(merged.pushNeeded && merged.pullNeeded);

        const column_merge::Merged unsettled =
            column_merge::merge(ground.synced, local, ground.remoteBefore, remote, Prefer::Neither);
        QCOMPARE(unsettled.conflicts.size(), 1);
        QCOMPARE(unsettled.conflicts.first().column, Column::Email);
    }
};

QTEST_APPLESS_MAIN(TestColumnMerge)
#include "test_column_merge.moc"
