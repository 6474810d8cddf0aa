#include "bound_form.h"
#include "store/contact_table.h"
#include "store/lookup_statement.h"
#include "store/recordset_model.h"
#include "support/test_book.h"
#include "widgets/data_control.h"

#include <QSignalSpy>
#include <QTableView>
#include <QtTest>

class TestRecordsetModel : public QObject {
    Q_OBJECT

  private slots:
    void showsTheFetchedRowsUnderTheFieldNames() {
        TestBook book;
        QList<StoredRow> rows;
        for (int i = 0; i < 5000; ++i)
            rows << row({QString::number(i), i % 2 ? "Odd" : "Even", QVariant(), ""});
        insertRows(book.databasePath(), rows);
        BoundForm form(book.applicationDirectory());
        RecordsetModel model(&form.data->recordset());
        QTableView view;
        view.setModel(&model);
        view.show();
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);

        QCOMPARE(model.rowCount(), 0); // nothing before the first Refresh
        form.data->refresh();

        QCOMPARE(reset.count(), 1);
        QCOMPARE(model.rowCount(), 5000);
        QCOMPARE(model.columnCount(), 10);
        for (int column = 0; column < 10; ++column)
            QCOMPARE(model.headerData(column, Qt::Horizontal).toString(),
                     contact_table::columnNames()[column]);
        view.scrollToBottom();
        QCOMPARE(model.index(4999, 0).data().toString(), QStringLiteral("4999"));
        QCOMPARE(model.index(4998, 1).data().toString(), QStringLiteral("Even"));
        // A missing value shows as empty text; editing sees it as missing, unlike an empty text.
        QCOMPARE(model.index(7, 2).data().toString(), QString());
        QVERIFY(model.index(7, 2).data(Qt::EditRole).isNull());
        QVERIFY(!model.index(7, 3).data(Qt::EditRole).isNull());
        QVERIFY(model.flags(model.index(0, 0)) & Qt::ItemIsEditable);

        form.data->setRecordSource(lookupStatement(LookupColumn::Name, "42"));
        form.data->refresh();
        QCOMPARE(reset.count(), 2);
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("42"));
    }

    void followsStoredAndAppendedRowsAndClose() {
        TestBook book;
        insertRows(book.databasePath(), {row({"Ann"}), row({"Bob"})});
        BoundForm form(book.applicationDirectory());
        RecordsetModel model(&form.data->recordset());
        form.data->refresh();
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        QCOMPARE(model.index(1, 1).data().toString(), QString());

        form.data->storeRow(1, {{1, "Jones"}});
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).toModelIndex().row(), 1);
        QCOMPARE(model.index(1, 1).data().toString(), QStringLiteral("Jones"));

        form.recordset().addNew();
        form.setText(0, "Cleo");
        form.recordset().update();
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(inserted.at(0).at(1).toInt(), 2);
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.index(2, 0).data().toString(), QStringLiteral("Cleo"));

        form.recordset().close();
        QCOMPARE(reset.count(), 1);
        QCOMPARE(model.rowCount(), 0);
        QVERIFY(!model.index(0, 0).isValid());
    }
};

QTEST_MAIN(TestRecordsetModel)
#include "test_recordset_model.moc"
