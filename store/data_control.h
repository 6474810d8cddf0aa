#pragma once

#include "sqlite_db.h"

#include <QHash>
#include <QString>
#include <QVariant>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QToolButton;
class DataControl;

// The rows a data control fetched at its last Refresh, its current row and its edit buffer.
// Reached as Data1->Recordset(); every operation that cannot be carried out throws StoreError.
class Recordset {
  public:
    enum class EditMode { None, Adding, Editing };

    void AddNew();       // starts a new empty row; bound boxes are emptied
    void Edit();         // starts an edit of the current row; bound boxes keep their texts
    void Update();       // stores the changed bound boxes (new row or over the current one)
    void CancelUpdate(); // drops the edit buffer; bound boxes show the current row again
    void Close();        // no rows and no current row until the next Refresh

    bool isOpen() const;
    EditMode editMode() const;
    qsizetype RecordCount() const;      // rows fetched (and added through this recordset)
    qsizetype AbsolutePosition() const; // the current row, -1 when there is none

  private:
    friend class DataControl;
    explicit Recordset(DataControl& control) : control_(control) {}
    DataControl& control_;
};

// The bound data control: a database file, a record source, the fetched rows and the text boxes
// bound to them. When visible it is a navigation strip: its caption between first, previous,
// next and last arrows.
class DataControl : public QWidget {
    Q_OBJECT
  public:
    using StepRunner = std::function<void(const std::function<void()>&)>;

    explicit DataControl(QWidget* parent = nullptr);
    ~DataControl() override;

    QString DatabaseName() const;
    void setDatabaseName(const QString& path);
    QString Connect() const;
    void setConnect(const QString& connect);
    QString RecordSource() const;
    void setRecordSource(const QString& recordSource);
    QString Caption() const;
    void setCaption(const QString& caption);

    // A relative DatabaseName is resolved against this folder (the application directory),
    // never against the current directory.
    void setBaseDirectory(const QString& directory);

    // How long a write waits for a file that another program has locked before it fails.
    static constexpr int kDefaultBusyTimeoutMs = 5000;
    void setBusyTimeout(int milliseconds);
    int busyTimeout() const;

    // Drops the open recordset and edit buffer, opens the file afresh, fetches the rows of the
    // record source, makes the first row current and fills the bound boxes. On failure nothing
    // changes and StoreError is thrown.
    void Refresh();

    class Recordset& Recordset() {
        return recordset_;
    }
    const class Recordset& Recordset() const { return recordset_; }

    // Moves as the arrows do: the changed bound texts of the row being left are stored first.
    void MoveFirst();
    void MovePrevious();
    void MoveNext();
    void MoveLast();
    void moveTo(qsizetype row);

    // Binding: the box shows `column` of the current row (NULL as empty text); its text is what
    // Update stores once it has been set since the last fill.
    void bind(QLineEdit* box, const QString& column);
    void bind(QPlainTextEdit* box, const QString& column);

    // Whether a bound box holds text set since the control last filled it: any box, or this one.
    bool boxesChanged() const;
    bool isChanged(const QWidget* box) const;

    // Rows for a grid, read as they are needed. Values are NULL (invalid QVariant) or text.
    QStringList fieldNames() const;
    QVariant fieldValue(qsizetype row, int column);
    // Values already read are read again from the file when next asked for; the fetched rows
    // stay the same rows.
    void rereadRows();
    // Stores the given columns over an existing row in one transaction.
    void storeRow(qsizetype row, const QHash<int, QVariant>& changes);
    // Inserts a new row with the given columns (the others stay NULL); it joins this recordset
    // as its last row. Returns that row's position.
    qsizetype appendRow(const QHash<int, QVariant>& values);

    // How clicks on the arrows run, so that their failures are reported where every other
    // failure is. Without a runner a failed click only emits stepFailed.
    void setStepRunner(StepRunner runner);

  signals:
    void refreshed();                      // new rows fetched (or the recordset closed)
    void currentRowChanged(qsizetype row); // -1 when there is no current row
    void rowStored(qsizetype row);         // a row's stored values changed
    void rowAppended(qsizetype row);
    // The bound boxes' texts are about to be stored (by Update or by a move); a window may still
    // set a box, and what it sets is stored with the rest.
    void rowAboutToBeStored();
    void stepFailed(const QString& description); // an arrow click failed and no runner is set

  private:
    friend class Recordset;
    // Stores what was typed into the row being left, then makes target(current, count) current.
    void step(const std::function<qsizetype(qsizetype, qsizetype)>& target);
    void storeLeftRow();
    void updateArrows();
    qsizetype joinAppended(std::int64_t rowid); // a row inserted through this control
    void bindBox(QWidget* box, const QString& column);

    struct State;
    std::unique_ptr<State> d;
    class Recordset recordset_ {
        *this
    };
};
