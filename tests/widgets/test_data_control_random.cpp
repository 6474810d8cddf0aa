#include "bound_form.h"
#include "store/contact_table.h"
#include "store/lookup_statement.h"
#include "store/store_error.h"
#include "support/test_book.h"
#include "widgets/data_control.h"

#include <QRandomGenerator>
#include <QtTest>
#include <array>
#include <memory>
#include <vector>

// Thousands of random operations on three data controls over one file, each checked against a
// plain in-memory model of the table and of what every control and its boxes should hold.
// TESSALINE_RANDOM_SEED repeats a run; a failure names the seed and the operations before it.

namespace {

constexpr int kColumns = contact_table::kColumnCount;
using Values = std::array<QVariant, kColumns>;
using Mode = Recordset::EditMode;

// Texts that the lookups tell apart only by case, blanks and quotes.
const QStringList kTexts = {"Ann",    "ANN",    "ann ",    "Müller",  "MÜLLER", " müller",
                            "Élodie", "élodie", "O'Brien", "o'brien", "",       "x"};

struct ModelControl {
    bool open = false;
    std::vector<int> rows; // indices into the model table
    int current = -1;
    Mode mode = Mode::None;
    std::array<QString, kColumns> box;
    std::array<bool, kColumns> changed{};
};

class Model {
  public:
    std::vector<Values> table;
    std::array<ModelControl, 3> controls;

    void fill(ModelControl& c) {
        for (int i = 0; i < kColumns; ++i) {
            c.box[size_t(i)] = c.current < 0
                                   ? QString()
                                   : table[size_t(c.rows[size_t(c.current)])][size_t(i)].toString();
            c.changed[size_t(i)] = false;
        }
    }
    static bool changesAreValid(const ModelControl& c) {
        for (int i = 0; i < kColumns; ++i)
            if (c.changed[size_t(i)] && !c.box[size_t(i)].isValidUtf16())
                return false;
        return true;
    }
    void apply(const ModelControl& c, Values& values) {
        for (int i = 0; i < kColumns; ++i)
            if (c.changed[size_t(i)])
                values[size_t(i)] = c.box[size_t(i)];
    }
    // Returns false where the control must refuse.
    bool update(ModelControl& c) {
        if (!c.open || c.mode == Mode::None || !changesAreValid(c))
            return false;
        if (c.mode == Mode::Adding) {
            Values values;
            apply(c, values);
            table.push_back(values);
            c.rows.push_back(int(table.size()) - 1);
        } else {
            apply(c, table[size_t(c.rows[size_t(c.current)])]);
        }
        c.mode = Mode::None;
        fill(c);
        return true;
    }
    bool move(ModelControl& c, int kind) {
        if (!c.open)
            return false;
        if (c.mode != Mode::None) {
            if (!update(c))
                return false;
        } else if (c.current >= 0 &&
                   std::find(c.changed.begin(), c.changed.end(), true) != c.changed.end()) {
            if (!changesAreValid(c))
                return false;
            apply(c, table[size_t(c.rows[size_t(c.current)])]);
        }
        const int count = int(c.rows.size());
        if (count == 0)
            return true;
        switch (kind) {
        case 0:
            c.current = 0;
            break;
        case 1:
            c.current = std::max(c.current - 1, 0);
            break;
        case 2:
            c.current = std::min(c.current + 1, count - 1);
            break;
        default:
            c.current = count - 1;
        }
        fill(c);
        return true;
    }
    void refresh(ModelControl& c, int column, const QString& sought) {
        c.rows.clear();
        for (int i = 0; i < int(table.size()); ++i) {
            if (column >= 0) {
                const QVariant& value = table[size_t(i)][size_t(column)];
                if (value.isNull() || value.toString().compare(sought, Qt::CaseInsensitive) != 0)
                    continue;
            }
            c.rows.push_back(i);
        }
        c.open = true;
        c.current = c.rows.empty() ? -1 : 0;
        c.mode = Mode::None;
        fill(c);
    }
};

int storedColumn(LookupColumn column) {
    return contact_table::columnIndex(QString::fromLatin1(lookupColumnName(column)));
}

QString describe(const std::array<QString, kColumns>& texts) {
    QStringList quoted;
    for (const QString& text : texts)
        quoted << '"' + text + '"';
    return quoted.join(", ");
}

} // namespace

class TestDataControlRandom : public QObject {
    Q_OBJECT

  private slots:
    void randomOperationsOnThreeControlsMatchAPlainModel() {
        const QByteArray fromEnvironment = qgetenv("TESSALINE_RANDOM_SEED");
        const quint32 seed = fromEnvironment.isEmpty() ? QRandomGenerator::global()->generate()
                                                       : fromEnvironment.toUInt();
        const int operations = qEnvironmentVariableIsSet("TESSALINE_RANDOM_OPERATIONS")
                                   ? qEnvironmentVariableIntValue("TESSALINE_RANDOM_OPERATIONS")
                                   : 3000;
        QRandomGenerator random(seed);
        const auto pick = [&random](int bound) { return int(random.bounded(bound)); };

        TestBook book;
        Model model;
        std::array<std::unique_ptr<BoundForm>, 3> forms;
        for (auto& form : forms)
            form = std::make_unique<BoundForm>(book.applicationDirectory());
        // Some boxes are hidden, as on the windows; they still belong to the edit buffer.
        forms[0]->window.show();
        forms[0]->boxes[3]->hide();
        forms[0]->boxes[8]->hide();

        QStringList log;
        for (int step = 0; step < operations; ++step) {
            const int which = pick(3);
            BoundForm& form = *forms[size_t(which)];
            ModelControl& expected = model.controls[size_t(which)];
            Recordset& rs = form.recordset();
            bool expectSuccess = true;
            bool stores = false;
            QString op;
            std::function<void()> action;

            switch (pick(14)) {
            case 0:
            case 1: {
                const int lookup = pick(5);
                QString sought;
                if (lookup == 4) {
                    form.data->setRecordSource(QStringLiteral("address"));
                    op = "refresh(address)";
                    model.refresh(expected, -1, {});
                } else {
                    sought = kTexts[pick(int(kTexts.size()))];
                    const auto column = LookupColumn(lookup);
                    form.data->setRecordSource(lookupStatement(column, sought));
                    op = "refresh(" + lookupStatement(column, sought) + ")";
                    model.refresh(expected, storedColumn(column), sought);
                }
                action = [&] { form.data->refresh(); };
                break;
            }
            case 2:
                op = "AddNew";
                action = [&] { rs.addNew(); };
                expectSuccess = expected.open;
                if (expectSuccess) {
                    expected.mode = Mode::Adding;
                    for (int i = 0; i < kColumns; ++i) {
                        expected.box[size_t(i)].clear();
                        expected.changed[size_t(i)] = false;
                    }
                }
                break;
            case 3:
                op = "Edit";
                action = [&] { rs.edit(); };
                expectSuccess = expected.open && expected.current >= 0;
                if (expectSuccess)
                    expected.mode = Mode::Editing;
                break;
            case 4:
            case 5:
            case 6:
            case 7: {
                const int column = pick(kColumns);
                QString text = kTexts[pick(int(kTexts.size()))];
                if (pick(40) == 0)
                    text += QChar(0xD800); // not valid Unicode: refused when stored
                op = QStringLiteral("type %1 into column %2").arg(text).arg(column);
                action = [&form, column, text] { form.setText(column, text); };
                if (expected.box[size_t(column)] != text) {
                    expected.box[size_t(column)] = text;
                    expected.changed[size_t(column)] = true;
                }
                break;
            }
            case 8:
            case 9:
                op = "Update";
                action = [&] { rs.update(); };
                expectSuccess = model.update(expected);
                stores = expectSuccess;
                break;
            case 10:
                op = "CancelUpdate";
                action = [&] { rs.cancelUpdate(); };
                expectSuccess = expected.open && expected.mode != Mode::None;
                if (expectSuccess) {
                    expected.mode = Mode::None;
                    model.fill(expected);
                }
                break;
            case 11:
                op = "Close";
                action = [&] { rs.close(); };
                expectSuccess = expected.open;
                if (expectSuccess) {
                    expected.open = false;
                    expected.rows.clear();
                    expected.current = -1;
                    expected.mode = Mode::None;
                }
                break;
            default: {
                const int kind = pick(4);
                op = QStringList{"MoveFirst", "MovePrevious", "MoveNext", "MoveLast"}[kind];
                const std::array<void (DataControl::*)(), 4> moves = {
                    &DataControl::moveFirst, &DataControl::movePrevious, &DataControl::moveNext,
                    &DataControl::moveLast};
                action = [&form, move = moves[size_t(kind)]] { (form.data->*move)(); };
                const ModelControl before = expected;
                expectSuccess = model.move(expected, kind);
                if (!expectSuccess)
                    expected = before;
                stores = expectSuccess;
                break;
            }
            }
            log << QStringLiteral("%1: control %2 %3").arg(step).arg(which).arg(op);
            if (log.size() > 12)
                log.removeFirst();

            QString failure;
            try {
                action();
            } catch (const StoreError& error) {
                failure = error.description();
            }
            const QString context = QStringLiteral("seed %1 (set TESSALINE_RANDOM_SEED=%1 to "
                                                   "repeat); last operations:\n%2\n")
                                        .arg(seed)
                                        .arg(log.join('\n'));
            QVERIFY2(failure.isEmpty() == expectSuccess,
                     qPrintable(context + (expectSuccess ? "unexpected failure: " + failure
                                                         : QString("expected a failure"))));
            QVERIFY2(rs.isOpen() == expected.open, qPrintable(context + "open"));
            QVERIFY2(rs.recordCount() == qsizetype(expected.rows.size()),
                     qPrintable(context + QStringLiteral("RecordCount %1, expected %2")
                                              .arg(rs.recordCount())
                                              .arg(expected.rows.size())));
            QVERIFY2(rs.absolutePosition() == expected.current,
                     qPrintable(context + QStringLiteral("AbsolutePosition %1, expected %2")
                                              .arg(rs.absolutePosition())
                                              .arg(expected.current)));
            QVERIFY2(rs.editMode() == expected.mode, qPrintable(context + "edit mode"));
            std::array<QString, kColumns> shown;
            for (int i = 0; i < kColumns; ++i)
                shown[size_t(i)] = form.text(i);
            QVERIFY2(shown == expected.box, qPrintable(context + "boxes show " + describe(shown) +
                                                       "\nexpected " + describe(expected.box)));
            if (stores) {
                const QList<StoredRow> stored = book.storedRows();
                QList<StoredRow> wanted;
                for (const Values& values : model.table)
                    wanted << StoredRow(values.begin(), values.end());
                QVERIFY2(stored == wanted, qPrintable(context + "stored rows differ"));
            }
        }
    }
};

QTEST_MAIN(TestDataControlRandom)
#include "test_data_control_random.moc"
