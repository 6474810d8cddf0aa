#pragma once

#include "widgets/step_runner.h"

#include <QPointer>
#include <QTableView>
#include <functional>

class QItemSelectionModel;
class QLineEdit;
class ResultsModel;

// The results grid's one split: the cells, with the record selectors at their left. The current
// cell is open for typing whenever the grid has the focus, and what is typed goes to the model at
// once. The view moves the focus and the current cell, stores the row on Enter and takes typing
// back on Esc; a pressed record selector selects its whole row, with no cell open, and no key
// deletes anything.
class GridCells final : public QTableView {
    Q_OBJECT
  public:
    // `grid` is the frame around the cells; `runner` reports the failure of a store.
    GridCells(ResultsModel* model, StepRunner runner, QWidget* grid);

    // Stores the typed values of the current row. A failure throws StoreError and the typed
    // values stay, so the row is still marked as changed and the next store tries again.
    void storeTypedValues();
    // The same, with a failure reported through the runner; true when nothing is left unstored.
    bool storeCurrentRow();

  protected:
    // The cells take up their rows when first shown, not before: laying out a fetch of a million
    // rows takes a while, and the find window is loaded hidden as the program starts.
    void showEvent(QShowEvent* event) override;
    using QTableView::edit;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void focusInEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void showRows();
    void showNewFetch();
    void selectRow(int row);
    void unselectRow();
    void leaveGrid(bool forward);
    bool cellHasFocus() const;
    void openCurrentEditor();
    void closeOpenEditor();
    void revertCurrentRow();
    bool editorKey(QLineEdit* editor, QKeyEvent* key);
    bool editorMove(QLineEdit* editor, QKeyEvent* key);
    void moveFromEditor(CursorAction action, Qt::KeyboardModifiers modifiers);

    QWidget* grid_;
    ResultsModel* model_;
    StepRunner runner_;
    bool holdEditor_ = false;
    QPointer<QWidget> openedEditor_;
    QString textWhenOpened_; // what the open cell held as it opened, for the first Esc
};
