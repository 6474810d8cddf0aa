#pragma once

#include "widgets/step_runner.h"

#include <QFrame>

class DataControl;
class GridCells;
class QLabel;
class QTableView;
class ResultsModel;

// The find window's results grid: a caption bar over a table bound to the window's data control.
// It lists every fetched row, one column per field headed by the field's name, with a record
// selector marking the current row and an empty line at the end for a new contact. The current
// cell is always open for typing while the grid has the focus. A changed row, or the new line,
// is stored through the data control when the user leaves the row, leaves the grid or presses
// Enter; rows stored here get no date stamp. No key, click or menu of the grid deletes a row.
class ResultsGrid : public QFrame {
    Q_OBJECT
  public:
    // `runner` runs each store so that a failure is reported where every other failure is.
    ResultsGrid(DataControl* dataSource, StepRunner runner, QWidget* parent = nullptr);

    QString caption() const;
    // Shows the data control's current rows afresh and repaints; the data control does not fetch.
    void refresh();
    // Stores what was typed into the current row, if anything. A failure throws StoreError and
    // the row stays marked as changed, with what was typed.
    void storePendingRow();

    // The table of cells, the grid's one split.
    QTableView* cells() const;
    ResultsModel* rows() const { return model_; }

  protected:
    // Shown again, the grid shows what the file holds now, except in a row typed into and not
    // yet stored.
    void showEvent(QShowEvent* event) override;

  private:
    void setUpHeaders();
    void fitRecordSelectors();
    // Leaving the grid for another control of the window leaves the current row too.
    void storeRowWhenFocusLeaves();

    DataControl* data_;
    QLabel* caption_;
    ResultsModel* model_;
    GridCells* cells_;
};
