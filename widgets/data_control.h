#pragma once

#include "store/contact_columns.h"
#include "store/recordset.h"
#include "widgets/box_binder.h"
#include "widgets/step_runner.h"

#include <QHash>
#include <QString>
#include <QVariant>
#include <QWidget>
#include <array>
#include <functional>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QToolButton;

// The bound data control: a database file, a record source, the recordset fetched from them and
// the text boxes bound to it. When visible it is a navigation strip: its caption between first,
// previous, next and last arrows.
class DataControl : public QWidget {
    Q_OBJECT
  public:
    explicit DataControl(QWidget* parent = nullptr);
    ~DataControl() override;

    QString databaseName() const { return databaseName_; }
    void setDatabaseName(const QString& path) { databaseName_ = path; }
    QString connectString() const { return connect_; }
    void setConnectString(const QString& connect) { connect_ = connect; }
    QString recordSource() const { return recordSource_; }
    void setRecordSource(const QString& recordSource) { recordSource_ = recordSource; }
    QString caption() const { return caption_; }
    void setCaption(const QString& caption);

    // A relative DatabaseName is resolved against this folder (the application directory),
    // never against the current directory.
    void setBaseDirectory(const QString& directory) { baseDirectory_ = directory; }

    // How long a write waits for a file that another program has locked before it fails.
    static constexpr int kDefaultBusyTimeoutMs = Recordset::kDefaultBusyTimeoutMs;
    void setBusyTimeout(int milliseconds) { recordset_.setBusyTimeout(milliseconds); }
    int busyTimeout() const { return recordset_.busyTimeout(); }

    // Drops the open recordset and edit buffer, opens the file afresh, fetches the rows of the
    // record source, makes the first row current and fills the bound boxes. On failure nothing
    // changes and StoreError is thrown.
    void refresh();

    Recordset& recordset() { return recordset_; }
    const Recordset& recordset() const { return recordset_; }

    // Moves as the arrows do: the changed bound texts of the row being left are stored first.
    void moveFirst() { recordset_.moveFirst(); }
    void movePrevious() { recordset_.movePrevious(); }
    void moveNext() { recordset_.moveNext(); }
    void moveLast() { recordset_.moveLast(); }
    void moveTo(qsizetype row) { recordset_.moveTo(row); }

    // Binding: the box shows `column` of the current row (NULL as empty text); its text is what
    // Update stores once it has been set since the last fill.
    void bind(QLineEdit* box, contact_table::Column column);
    void bind(QPlainTextEdit* box, contact_table::Column column);

    // Whether a bound box holds text set since the control last filled it: any box, or this one.
    bool boxesChanged() const { return !binder_.changedValues().isEmpty(); }
    bool isChanged(const QWidget* box) const { return binder_.isChanged(box); }

    // The recordset's rows for a grid (see Recordset).
    QStringList fieldNames() const { return recordset_.fieldNames(); }
    const QVariant& fieldValue(qsizetype row, int column) {
        return recordset_.fieldValue(row, column);
    }
    void rereadRows() { recordset_.rereadRows(); }
    void storeRow(qsizetype row, const QHash<int, QVariant>& changes) {
        recordset_.storeRow(row, changes);
    }
    qsizetype appendRow(const QHash<int, QVariant>& values) { return recordset_.appendRow(values); }

    // How clicks on the arrows run, so that their failures are reported where every other
    // failure is. Without a runner a failed click only emits stepFailed.
    void setStepRunner(StepRunner runner) { runner_ = std::move(runner); }

  signals:
    // The recordset's own signals, passed on (see Recordset).
    void refreshed();
    void currentRowChanged(qsizetype row);
    void rowStored(qsizetype row);
    void rowAppended(qsizetype row);
    void rowAboutToBeStored();
    void stepFailed(const QString& description); // an arrow click failed and no runner is set

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void buildStrip();
    QToolButton* addArrow(std::size_t kind);
    void runStep(void (DataControl::*move)());
    void followRecordset();
    void updateArrows();
    void bindBox(QWidget* box, contact_table::Column column);
    QString resolvedPath() const;

    QString databaseName_;
    QString connect_ = QStringLiteral("Access");
    QString recordSource_ = QLatin1String(contact_table::kTable);
    QString caption_ = QStringLiteral("Data1");
    QString baseDirectory_;
    StepRunner runner_;
    BoxBinder binder_;
    Recordset recordset_;
    QLabel* captionLabel_ = nullptr;
    std::array<QToolButton*, 4> arrows_{};
};
