#pragma once

#include "store/book_connection.h"
#include "store/lookup_statement.h"
#include "store/record_source_rows.h"
#include "store/table_row.h"

#include <QHash>
#include <QObject>
#include <QStringList>
#include <QVariant>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class BoundFields;

// The rows a data control fetched at its last Refresh, its current row and its edit buffer.
// Reached as a data control's recordset(); every operation that cannot be carried out throws
// StoreError. The controls bound to it (see BoundFields) show the current row and hand over what
// was typed.
class Recordset : public QObject {
    Q_OBJECT
  public:
    enum class EditMode { None, Adding, Editing };
    static constexpr int kDefaultBusyTimeoutMs = contact_table::kBusyTimeoutMs;

    explicit Recordset(QObject* parent = nullptr);
    ~Recordset() override;

    void setBoundFields(BoundFields* fields);
    void setBusyTimeout(int milliseconds);
    int busyTimeout() const { return busyTimeoutMs_; }

    // Drops the open rows and edit buffer, opens the book at `path` (the open connection is kept
    // while the path still names the same file), fetches the rows of `recordSource`, makes the
    // first row current and fills the bound fields. On failure nothing changes.
    void fetch(const QString& path, const QString& recordSource);

    void addNew();       // starts a new empty row; bound fields are emptied
    void edit();         // starts an edit of the current row; bound fields keep their texts
    void update();       // stores the changed bound fields (new row or over the current one)
    void cancelUpdate(); // drops the edit buffer; bound fields show the current row again
    void close();        // no rows and no current row until the next fetch

    bool isOpen() const { return status_ == Status::Open; }
    EditMode editMode() const { return mode_; }
    // Rows fetched (and added through this recordset). A whole table is counted the first time
    // this is asked, which reads all of a large one: only a caller that shows the count asks.
    qsizetype recordCount() const;
    qsizetype absolutePosition() const; // the current row, -1 when there is none
    // Pages of the book read through this recordset's connection since it opened, to tell how
    // much of the file an operation touched (0 before the first fetch).
    std::int64_t pagesRead() const;

    // Moves the current row; the changed bound fields of the row being left are stored first.
    void moveFirst();
    void movePrevious();
    void moveNext();
    void moveLast();
    void moveTo(qsizetype row);

    // Rows for a grid, read as they are needed. Values are NULL (invalid QVariant) or text; the
    // one returned is the recordset's own, valid until the next read of a row.
    QStringList fieldNames() const;
    const QVariant& fieldValue(qsizetype row, int column);
    // Values already read are read again from the file when next asked for; the fetched rows
    // stay the same rows, unless the book at the path has been replaced (see followReplacedBook).
    void rereadRows();
    // Stores the given columns over an existing row in one transaction.
    void storeRow(qsizetype row, const QHash<int, QVariant>& changes);
    // Inserts a new row with the given columns (the others stay NULL); it joins this recordset
    // as its last row. Returns that row's position.
    qsizetype appendRow(const QHash<int, QVariant>& values);

  signals:
    void refreshed();                      // new rows fetched (or the recordset closed)
    void currentRowChanged(qsizetype row); // -1 when there is no current row
    void rowStored(qsizetype row);         // a row's stored values changed
    void rowAppended(qsizetype row);
    // The bound fields are about to be stored (by Update or by a move); a window may still set
    // one, and what it sets is stored with the rest.
    void rowAboutToBeStored();

  private:
    enum class Status { NeverFetched, Open, Closed };

    std::optional<FetchedRows> fetchThroughKept(const QString& path,
                                                const RecordSourceQuery& query);
    void showFetched(FetchedRows fetched);
    bool followReplacedBook(qsizetype position);
    bool holdsWhatWasSeen(BookConnection& book, qsizetype position) const;
    void keepTypedOrFill();
    void refuseChangesFromReplacedBook() const;
    void step(const std::function<qsizetype(qsizetype)>& target);
    void storeLeftRow();
    void storeNewRow(const QHash<int, QVariant>& values);
    qsizetype joinAppended(std::int64_t rowid);
    void dropEditBuffer();
    // `operation` names what failed, in the message only a failure builds. Inline: a grid asks
    // for every value it shows.
    void requireOpen(const char* operation) const {
        if (status_ != Status::Open)
            refuseNotOpen(operation);
    }
    void requireRow(qsizetype row, const char* operation) const {
        if (!rows_.contains(row))
            refuseMissingRow(row, operation);
    }
    [[noreturn]] void refuseNotOpen(const char* operation) const;
    [[noreturn]] void refuseMissingRow(qsizetype row, const char* operation) const;
    void fill(const RowValues& values);
    void fillFromCurrent();
    QHash<int, QVariant> changedValues() const;
    std::int64_t write(std::optional<std::int64_t> rowid, const QHash<int, QVariant>& columns);
    [[noreturn]] void replacedSinceRead() const;

    std::unique_ptr<BookConnection> connection_;
    RecordSourceQuery query_;
    QString recordSource_; // the text query_ was read from
    RecordSourceRows rows_;
    Status status_ = Status::NeverFetched;
    qsizetype current_ = -1;
    EditMode mode_ = EditMode::None;
    RowValues buffer_;
    RowValues shown_; // the row the bound fields were last filled with
    // The bound fields hold a change typed on a contact of a book that has since been replaced:
    // it is never stored, as it would land on whichever contact now has that row, until the next
    // fetch, CancelUpdate or fill drops it.
    bool changesFromReplacedBook_ = false;
    int busyTimeoutMs_ = kDefaultBusyTimeoutMs;
    BoundFields* fields_ = nullptr;
};
