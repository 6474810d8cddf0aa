#include "screens/grid_cells.h"

#include "screens/cell_delegate.h"
#include "screens/results_model.h"

#include <QApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <optional>
#include <utility>

namespace {

// The current cell leaves its row only once what was typed into that row could be stored.
class RowLeavingSelection final : public QItemSelectionModel {
  public:
    RowLeavingSelection(QAbstractItemModel* model, std::function<bool()> mayLeaveRow,
                        QObject* parent)
        : QItemSelectionModel(model, parent), mayLeaveRow_(std::move(mayLeaveRow)) {}

    void setCurrentIndex(const QModelIndex& index,
                         QItemSelectionModel::SelectionFlags command) override {
        const QModelIndex current = currentIndex();
        if (current.isValid() && index.row() != current.row() && !mayLeaveRow_())
            return;
        QItemSelectionModel::setCurrentIndex(index, command);
    }

  private:
    std::function<bool()> mayLeaveRow_;
};

// Shift, Ctrl and the like, pressed on their own on the way to a combination.
bool isModifierKey(int key) {
    return (key >= Qt::Key_Shift && key <= Qt::Key_ScrollLock) || key == Qt::Key_AltGr ||
           key == Qt::Key_Super_L || key == Qt::Key_Super_R || key == Qt::Key_Hyper_L ||
           key == Qt::Key_Hyper_R;
}

bool takesTabFocus(const QWidget* widget) {
    return !widget->isWindow() && (widget->focusPolicy() & Qt::TabFocus) == Qt::TabFocus &&
           widget->isEnabled() && widget->isVisibleTo(widget->window()) && !widget->focusProxy();
}

} // namespace

GridCells::GridCells(ResultsModel* model, StepRunner runner, QWidget* grid)
    : QTableView(grid), grid_(grid), model_(model), runner_(std::move(runner)) {
    setObjectName(QStringLiteral("Split0"));
    setItemDelegate(new CellDelegate(
        [this](QLineEdit* editor, QKeyEvent* key) { return editorKey(editor, key); }, this));
    // Nothing is selected but a whole row, by its record selector.
    setSelectionMode(QAbstractItemView::NoSelection);
    // The current cell opens by itself whenever the grid has the focus.
    setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::DoubleClicked);
    setTabKeyNavigation(false);
    setFrameShape(QFrame::NoFrame);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setContextMenuPolicy(Qt::NoContextMenu);
}

void GridCells::storeTypedValues() {
    const QModelIndex current = currentIndex();
    if (!current.isValid() || !model_->hasTypedValues(current.row()))
        return;
    const bool reopen = cellHasFocus();
    closeOpenEditor();
    const auto reopenEditor = qScopeGuard([this, reopen] {
        if (reopen)
            openCurrentEditor();
    });
    model_->storeRow(current.row());
}

bool GridCells::storeCurrentRow() {
    bool stored = false;
    runner_([&] {
        storeTypedValues();
        stored = true;
    });
    return stored;
}

void GridCells::showEvent(QShowEvent* event) {
    if (!model())
        showRows();
    QTableView::showEvent(event);
}

void GridCells::showRows() {
    setModel(model_);
    QItemSelectionModel* unused = selectionModel();
    setSelectionModel(new RowLeavingSelection(
        model_, [this] { return storeCurrentRow(); }, this));
    delete unused;
    connect(model_, &QAbstractItemModel::modelReset, this, &GridCells::showNewFetch);
    // The view has made the row current by the time this runs.
    connect(verticalHeader(), &QHeaderView::sectionPressed, this, &GridCells::selectRow);
    showNewFetch();
}

// A new fetch shows its first row as the current one, in columns wide enough for their names.
void GridCells::showNewFetch() {
    const int least = fontMetrics().averageCharWidth() * 12;
    QHeaderView* columns = horizontalHeader();
    for (int column = 0; column < columns->count(); ++column)
        columns->resizeSection(column, std::max(least, columns->sectionSizeHint(column)));
    if (model_->rowCount() > 0)
        setCurrentIndex(model_->index(0, 0));
}

bool GridCells::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    // What the cell held as it opened, before a key that opens it is typed into it.
    const QString opened = index.data(Qt::EditRole).toString();
    if (!QTableView::edit(index, trigger, event))
        return false;
    QWidget* editor = indexWidget(index);
    if (editor != openedEditor_) {
        openedEditor_ = editor;
        textWhenOpened_ = opened;
    }
    return true;
}

void GridCells::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    if (current.row() != previous.row())
        unselectRow();
    QTableView::currentChanged(current, previous);
    runner_([&] { model_->setCurrentRow(current.isValid() ? current.row() : -1); });
    if (cellHasFocus())
        openCurrentEditor();
}

void GridCells::focusInEvent(QFocusEvent* event) {
    QTableView::focusInEvent(event);
    openCurrentEditor();
}

void GridCells::mousePressEvent(QMouseEvent* event) {
    unselectRow();
    QTableView::mousePressEvent(event);
}

bool GridCells::focusNextPrevChild(bool next) {
    leaveGrid(next);
    return true;
}

void GridCells::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        storeCurrentRow();
        return;
    case Qt::Key_Escape:
        revertCurrentRow();
        return;
    case Qt::Key_Delete:
        // Rows are never deleted from the grid.
        return;
    case Qt::Key_Backspace:
        if (selectionModel()->hasSelection())
            return;
        [[fallthrough]];
    default:
        // Any other key but a modifier works on the current cell again, which opens for typing.
        if (!isModifierKey(event->key()))
            unselectRow();
        QTableView::keyPressEvent(event);
    }
}

// A record selector pressed: the whole row is selected, with no cell open for typing, so that
// Delete on it reaches the grid, which deletes nothing, rather than a cell's text.
void GridCells::selectRow(int row) {
    if (currentIndex().row() != row)
        return; // the row being left could not be stored
    closeOpenEditor();
    {
        QScopedValueRollback<bool> hold(holdEditor_, true);
        setFocus(Qt::MouseFocusReason);
    }
    selectionModel()->select(model_->index(row, 0),
                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void GridCells::unselectRow() {
    if (selectionModel() && selectionModel()->hasSelection())
        selectionModel()->clearSelection();
}

// Moves the focus to the window's next (or previous) control, outside the grid.
void GridCells::leaveGrid(bool forward) {
    QWidget* widget = this;
    do {
        widget = forward ? widget->nextInFocusChain() : widget->previousInFocusChain();
    } while (widget != this &&
             (widget == grid_ || grid_->isAncestorOf(widget) || !takesTabFocus(widget)));
    if (widget != this)
        widget->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
}

bool GridCells::cellHasFocus() const {
    const QWidget* focus = QApplication::focusWidget();
    return focus && (focus == this || isAncestorOf(focus));
}

void GridCells::openCurrentEditor() {
    const QModelIndex current = currentIndex();
    if (holdEditor_ || selectionModel()->hasSelection() || !current.isValid() ||
        indexWidget(current))
        return;
    edit(current);
}

void GridCells::closeOpenEditor() {
    const QModelIndex current = currentIndex();
    QWidget* editor = current.isValid() ? indexWidget(current) : nullptr;
    if (!editor)
        return;
    QScopedValueRollback<bool> hold(holdEditor_, true);
    commitData(editor);
    QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void GridCells::revertCurrentRow() {
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        return;
    const bool reopen = cellHasFocus();
    {
        QScopedValueRollback<bool> hold(holdEditor_, true);
        if (QWidget* editor = indexWidget(current))
            QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
    model_->revertRow(current.row());
    if (reopen)
        openCurrentEditor();
}

// Keys typed into the open cell that act on the grid rather than on the cell's text.
bool GridCells::editorKey(QLineEdit* editor, QKeyEvent* key) {
    switch (key->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        commitData(editor);
        leaveGrid(key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier));
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        storeCurrentRow();
        return true;
    case Qt::Key_Escape:
        // The first Esc takes back what was typed into this cell, the next the whole row.
        if (editor->text() != textWhenOpened_) {
            editor->setText(textWhenOpened_);
            editor->selectAll();
            commitData(editor);
        } else {
            revertCurrentRow();
        }
        return true;
    default:
        return editorMove(editor, key);
    }
}

// The arrows and page keys move the current cell; Left and Right only from the ends of the text
// once typing has begun, and Home and End only with Ctrl.
bool GridCells::editorMove(QLineEdit* editor, QKeyEvent* key) {
    static constexpr std::pair<int, CursorAction> kMoves[] = {
        {Qt::Key_Up, MoveUp},
        {Qt::Key_Down, MoveDown},
        {Qt::Key_PageUp, MovePageUp},
        {Qt::Key_PageDown, MovePageDown},
    };
    // A cell just opened has all its text selected: the arrows still move between cells.
    const bool untouched = editor->selectedText() == editor->text();
    const bool atStart = editor->cursorPosition() == 0 && !editor->hasSelectedText();
    const bool atEnd =
        editor->cursorPosition() == editor->text().size() && !editor->hasSelectedText();
    const bool control = key->modifiers() & Qt::ControlModifier;
    std::optional<CursorAction> action;
    for (const auto& [moveKey, move] : kMoves)
        if (key->key() == moveKey)
            action = move;
    if (control && (key->key() == Qt::Key_Home || key->key() == Qt::Key_End))
        action = key->key() == Qt::Key_Home ? MoveHome : MoveEnd;
    if (key->key() == Qt::Key_Left && (untouched || atStart))
        action = MoveLeft;
    if (key->key() == Qt::Key_Right && (untouched || atEnd))
        action = MoveRight;
    if (!action)
        return false;
    moveFromEditor(*action, key->modifiers());
    return true;
}

void GridCells::moveFromEditor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    const QModelIndex next = moveCursor(action, modifiers);
    if (next.isValid() && next != currentIndex())
        selectionModel()->setCurrentIndex(next, QItemSelectionModel::NoUpdate);
}
