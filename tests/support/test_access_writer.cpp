#include "support/access_writer.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace access_writer;

namespace {

const QVariant kNull;

QString text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

const QList<Column> kColumns{{"Name", ColumnType::Text},
                             {"Notes", ColumnType::Memo},
                             {"Visits", ColumnType::LongInteger},
                             {"Since", ColumnType::DateTime},
                             {"E-Mail", ColumnType::Text}};

// Values that need care in either version: code-page-only characters, line breaks, text at the
// length limit, memos in the row and on one or several long-value pages, NULL and empty text.
QList<Row> trickyRows(int count) {
    QList<Row> rows{
        {text("Zoë “Ann” Müller"), text("Preis 5 €\r\nzweite Zeile"), 7,
         QDateTime(QDate(2024, 1, 2), QTime(18, 0)), text("zoe@example.com")},
        {QString(255, QLatin1Char('x')), QString(300, QLatin1Char('m')), kNull, kNull,
         QString(QLatin1String(""))},
        {text("Ærø Œuvre"), QString(5000, QLatin1Char('l')), -3, QDate(1999, 12, 31), kNull},
    };
    for (int i = int(rows.size()); i < count; ++i)
        rows << Row{QStringLiteral("Person %1").arg(i), QStringLiteral("note %1").arg(i), i,
                    QDate(2000, 1, 1).addDays(i), QStringLiteral("p%1@example.net").arg(i)};
    return rows;
}

// What mdb-export prints for a value: numbers bare, the rest quoted; NULL and the empty text
// alike as NULL.
QString exported(const QVariant& value) {
    if (!value.isValid() || (value.typeId() == QMetaType::QString && value.toString().isEmpty()))
        return QStringLiteral("NULL");
    if (value.typeId() == QMetaType::Int)
        return value.toString();
    QString shown = value.toString();
    if (value.typeId() == QMetaType::QDate)
        shown = value.toDate().toString(u"yyyy-MM-dd 00:00:00");
    if (value.typeId() == QMetaType::QDateTime)
        shown = value.toDateTime().toString(u"yyyy-MM-dd HH:mm:ss");
    return QLatin1Char('"') + shown.replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}

QString expectedExport(const QList<Column>& columns, const QList<Row>& rows) {
    QStringList names;
    for (const Column& column : columns)
        names << column.name;
    QString csv = names.join(QLatin1Char(',')) + QLatin1Char('\n');
    for (const Row& row : rows) {
        QStringList values;
        for (const QVariant& value : row)
            values << exported(value);
        csv += values.join(QLatin1Char(',')) + QLatin1Char('\n');
    }
    return csv;
}

QString mdbExport(const QString& path, const QString& table, const QString& jet3Charset = {}) {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("mdb-export"));
    if (tool.isEmpty())
        return QStringLiteral("mdb-export not found (Debian package mdbtools)");
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("MDBICONV"));
    environment.insert(QStringLiteral("MDB_JET3_CHARSET"),
                       jet3Charset.isEmpty() ? QStringLiteral("CP1252") : jet3Charset);
    process.setProcessEnvironment(environment);
    process.start(tool, {"-0", "NULL", "-T", "%Y-%m-%d %H:%M:%S", path, table});
    // libmdb tells of trouble only on standard error, so anything there counts as a failure.
    const bool finished = process.waitForFinished(60000);
    const QByteArray errors = process.readAllStandardError();
    if (!finished || process.exitCode() != 0 || !errors.isEmpty())
        return QStringLiteral("mdb-export failed: ") + QString::fromUtf8(errors);
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

class TestAccessWriter : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

  private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void mdbtoolsReadsWhatWasWritten_data() {
        QTest::addColumn<int>("version");
        QTest::addColumn<bool>("compressText");
        QTest::addColumn<int>("longValuePages");
        QTest::newRow("Jet 3") << int(Version::Jet3) << false << 4;
        QTest::newRow("Jet 4") << int(Version::Jet4) << false << 4;
        // The 300-character memo shrinks into its row; the long one is never compressed.
        QTest::newRow("Jet 4, compressed text") << int(Version::Jet4) << true << 3;
    }

    void mdbtoolsReadsWhatWasWritten() {
        QFETCH(int, version);
        QFETCH(bool, compressText);
        QFETCH(int, longValuePages);
        const QString path =
            dir.filePath(QStringLiteral("people-%1.mdb").arg(QTest::currentDataTag()));
        const QList<Row> rows = trickyRows(300);
        const Layout layout =
            write(path, {"people", kColumns, rows}, {Version(version), compressText});
        QCOMPARE(layout.pageSize, version == int(Version::Jet3) ? 2048 : 4096);
        QVERIFY(layout.tableDataPages.size() > 3);
        QCOMPARE(layout.longValuePages.size(), longValuePages);
        QCOMPARE(mdbExport(path, "people"), expectedExport(kColumns, rows));
    }

    void writesJet3TextInTheCodePage() {
        const Table table{"t", {{"Name", ColumnType::Text}}, {{text("€ “x” é")}}};
        const QByteArray cp1252 = build(table, {Version::Jet3}).bytes;
        QVERIFY(cp1252.contains("\x80 \x93x\x94 \xe9"));
        const Table greek{"t", {{"Name", ColumnType::Text}}, {{text("Αθήνα")}}};
        const QString path = dir.filePath(QStringLiteral("greek.mdb"));
        write(path, greek, {Version::Jet3, false, 1253});
        QCOMPARE(mdbExport(path, "t", "CP1253"), text("Name\n\"Αθήνα\"\n"));
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, build(greek, {Version::Jet3}));
    }

    void compressesJet4TextOnlyWhereItIsShorter() {
        const Table table{"t", {{"Name", ColumnType::Text}}, {{text("MÜLLER")}, {text("日本")}}};
        const QByteArray compressed = build(table, {Version::Jet4, true}).bytes;
        QVERIFY(compressed.contains("\xff\xfeM\xdcLLER"));
        QVERIFY(compressed.contains(QByteArray("\xe5\x65\x2c\x67", 4)));
        QVERIFY(!build(table, {Version::Jet4}).bytes.contains("\xff\xfeM"));
    }

    void refusesWhatTheFormatCannotHold() {
        const QList<Column> text{{"Name", ColumnType::Text}};
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument,
                                 build({"t", text, {{QString(256, QLatin1Char('x'))}}}));
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, build({"t", text, {{1, 2}}}));
        QList<Column> wide;
        Row full;
        for (int i = 0; i < 9; ++i) {
            wide << Column{QStringLiteral("c%1").arg(i)};
            full << QString(255, QChar(0x263A));
        }
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, build({"t", wide, {full}}));
    }

    void tellsWhereTheDamageableBytesAre() {
        const QList<Row> rows = trickyRows(300);
        const File file = build({"people", kColumns, rows}, {Version::Jet4});
        const Layout& layout = file.layout;
        QCOMPARE(layout.columnDescriptors.size(), kColumns.size());
        for (qsizetype i = 0; i < kColumns.size(); ++i)
            QCOMPARE(quint8(file.bytes.at(layout.columnDescriptors[i])), quint8(kColumns[i].type));
        QCOMPARE(file.bytes.at(qint64(layout.tableDefinitionPage) * layout.pageSize), '\x02');
        const RowPlace map = layout.tableUsageMap;
        QCOMPARE(file.bytes.at(map.start), '\0');
        for (const int page : layout.tableDataPages) {
            const char bits = file.bytes.at(map.start + 5 + page / 8);
            QVERIFY(bits & (1 << (page % 8)));
        }
        QCOMPARE(qFromLittleEndian<quint16>(file.bytes.constData() + map.offsetEntry),
                 quint16(map.start % layout.pageSize));
    }
};

QTEST_GUILESS_MAIN(TestAccessWriter)
#include "test_access_writer.moc"
