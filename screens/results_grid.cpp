#include "screens/results_grid.h"

#include "store/data_control.h"
#include "store/recordset_model.h"
#include "screens/grid_lines.h"
#include "screens/results_model.h"
#include "shell/layout.h"

#include <QAbstractButton>
#include <QApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>
#include <limits>

namespace {

// Only a row whose typed values could be stored may be left.
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

// How the cells show and edit their texts. The editor takes a text of any length: Qt's default
// cap would cut a long value as the cell opens, and leaving the row would store it cut. A cell
// shows one line of a few hundred characters at most, so only the start of a very long text is
// laid out when it is drawn; laying out all of it on every paint would stall the grid.
class CellDelegate final : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    static constexpr qsizetype kDrawnCharacters = 1000;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* line = qobject_cast<QLineEdit*>(editor))
            line->setMaxLength(std::numeric_limits<int>::max());
        return editor;
    }

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (option->text.size() <= kDrawnCharacters)
            return;
        qsizetype cut = kDrawnCharacters;
        if (option->text.at(cut - 1).isHighSurrogate())
            --cut;
        option->text.truncate(cut);
    }
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

// The grid's single split: the cells with the record selectors at their left.
class GridCells final : public QTableView {
  public:
    GridCells(ResultsModel* model, ResultsGrid::StepRunner runner, QWidget* grid)
        : QTableView(grid), grid_(grid), model_(model), runner_(std::move(runner)) {
        setObjectName(QStringLiteral("Split0"));
        setItemDelegate(new CellDelegate(this));
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

    // Stores the typed values of the current row. A failure throws StoreError and the typed
    // values stay, so the row is still marked as changed and the next store tries again.
    void storeTypedValues() {
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

    // The same, with a failure reported through the runner; true when nothing is left unstored.
    bool storeCurrentRow() {
        bool stored = false;
        runner_([&] {
            storeTypedValues();
            stored = true;
        });
        return stored;
    }

    // Moves the focus to the window's next (or previous) control, outside the grid.
    void leaveGrid(bool forward) {
        QWidget* widget = this;
        do {
            widget = forward ? widget->nextInFocusChain() : widget->previousInFocusChain();
        } while (widget != this &&
                 (widget == grid_ || grid_->isAncestorOf(widget) || !takesTabFocus(widget)));
        if (widget != this)
            widget->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    }

  protected:
    // The cells take up their rows when first shown, not before: laying out a fetch of a million
    // rows takes a while, and the find window is loaded hidden as the program starts.
    void showEvent(QShowEvent* event) override {
        if (!model())
            showRows();
        QTableView::showEvent(event);
    }

    using QTableView::edit;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override {
        // What the cell held as it opened, before a key that opens it is typed into it.
        const QString opened = index.data(Qt::EditRole).toString();
        if (!QTableView::edit(index, trigger, event))
            return false;
        auto* editor = qobject_cast<QLineEdit*>(indexWidget(index));
        if (!editor || editor == wiredEditor_)
            return true;
        wiredEditor_ = editor;
        textWhenOpened_ = opened;
        // Seen before the delegate, which would move Tab to the next cell and Enter nowhere.
        editor->installEventFilter(this);
        // What is typed belongs to the row at once, so its record selector shows the change.
        connect(editor, &QLineEdit::textEdited, this, [this, editor] { commitTyped(editor); });
        return true;
    }

    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override {
        if (current.row() != previous.row())
            unselectRow();
        QTableView::currentChanged(current, previous);
        runner_([&] { model_->setCurrentRow(current.isValid() ? current.row() : -1); });
        if (cellHasFocus())
            openCurrentEditor();
    }

    void focusInEvent(QFocusEvent* event) override {
        QTableView::focusInEvent(event);
        openCurrentEditor();
    }

    void mousePressEvent(QMouseEvent* event) override {
        unselectRow();
        QTableView::mousePressEvent(event);
    }

    bool focusNextPrevChild(bool next) override {
        leaveGrid(next);
        return true;
    }

    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override {
        if (hint == QAbstractItemDelegate::EditNextItem ||
            hint == QAbstractItemDelegate::EditPreviousItem) {
            QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
            leaveGrid(hint == QAbstractItemDelegate::EditNextItem);
            return;
        }
        QTableView::closeEditor(editor, hint);
    }

    void keyPressEvent(QKeyEvent* event) override {
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
            if (rowSelected_)
                return;
            [[fallthrough]];
        default:
            // Any other key but a modifier works on the current cell again, which opens for typing.
            if (!isModifierKey(event->key()))
                unselectRow();
            QTableView::keyPressEvent(event);
        }
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* editor = qobject_cast<QLineEdit*>(watched);
        if (editor && event->type() == QEvent::KeyPress &&
            editorKey(editor, static_cast<QKeyEvent*>(event)))
            return true;
        return QTableView::eventFilter(watched, event);
    }

  private:
    void showRows() {
        setModel(model_);
        setSelectionModel(new RowLeavingSelection(
            model_, [this] { return storeCurrentRow(); }, this));
        connect(model_, &QAbstractItemModel::modelReset, this, &GridCells::showNewFetch);
        // The view has made the row current by the time this runs.
        connect(verticalHeader(), &QHeaderView::sectionPressed, this, &GridCells::selectRow);
        showNewFetch();
    }

    // A record selector pressed: the whole row is selected, with no cell open for typing, so that
    // Delete on it reaches the grid, which deletes nothing, rather than a cell's text.
    void selectRow(int row) {
        if (currentIndex().row() != row)
            return; // the row being left could not be stored
        closeOpenEditor();
        {
            QScopedValueRollback<bool> hold(holdEditor_, true);
            setFocus(Qt::MouseFocusReason);
        }
        rowSelected_ = true;
        selectionModel()->select(model_->index(row, 0),
                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }

    void unselectRow() {
        if (!rowSelected_)
            return;
        rowSelected_ = false;
        selectionModel()->clearSelection();
    }

    void commitTyped(QLineEdit* editor) {
        commitData(editor);
        // Committing puts the delegate's filter in front again; ours goes back before it.
        editor->installEventFilter(this);
    }

    // A new fetch shows its first row as the current one, in columns wide enough for their names.
    void showNewFetch() {
        const QFontMetrics metrics = fontMetrics();
        const int least = metrics.averageCharWidth() * 12;
        QHeaderView* columns = horizontalHeader();
        for (int column = 0; column < columns->count(); ++column)
            columns->resizeSection(column, std::max(least, columns->sectionSizeHint(column)));
        if (model_->rowCount() > 0)
            setCurrentIndex(model_->index(0, 0));
    }

    bool cellHasFocus() const {
        const QWidget* focus = QApplication::focusWidget();
        return focus && (focus == this || isAncestorOf(focus));
    }

    void openCurrentEditor() {
        const QModelIndex current = currentIndex();
        if (holdEditor_ || rowSelected_ || !current.isValid() || indexWidget(current))
            return;
        edit(current);
    }

    void closeOpenEditor() {
        const QModelIndex current = currentIndex();
        QWidget* editor = current.isValid() ? indexWidget(current) : nullptr;
        if (!editor)
            return;
        QScopedValueRollback<bool> hold(holdEditor_, true);
        commitData(editor);
        QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint);
    }

    void revertCurrentRow() {
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

    void moveFromEditor(CursorAction action, Qt::KeyboardModifiers modifiers) {
        const QModelIndex next = moveCursor(action, modifiers);
        if (next.isValid() && next != currentIndex())
            selectionModel()->setCurrentIndex(next, QItemSelectionModel::NoUpdate);
    }

    // Keys typed into the open cell that act on the grid rather than on the cell's text.
    bool editorKey(QLineEdit* editor, QKeyEvent* key) {
        const Qt::KeyboardModifiers modifiers = key->modifiers();
        const bool control = modifiers & Qt::ControlModifier;
        // A cell just opened has all its text selected: the arrows still move between cells.
        const bool untouched = editor->selectedText() == editor->text();
        const bool atStart = editor->cursorPosition() == 0 && !editor->hasSelectedText();
        const bool atEnd =
            editor->cursorPosition() == editor->text().size() && !editor->hasSelectedText();
        switch (key->key()) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            commitData(editor);
            leaveGrid(key->key() == Qt::Key_Tab && !(modifiers & Qt::ShiftModifier));
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
                commitTyped(editor);
            } else {
                revertCurrentRow();
            }
            return true;
        case Qt::Key_Up:
            moveFromEditor(MoveUp, modifiers);
            return true;
        case Qt::Key_Down:
            moveFromEditor(MoveDown, modifiers);
            return true;
        case Qt::Key_PageUp:
            moveFromEditor(MovePageUp, modifiers);
            return true;
        case Qt::Key_PageDown:
            moveFromEditor(MovePageDown, modifiers);
            return true;
        case Qt::Key_Home:
        case Qt::Key_End:
            if (!control)
                return false;
            moveFromEditor(key->key() == Qt::Key_Home ? MoveHome : MoveEnd, modifiers);
            return true;
        case Qt::Key_Left:
            if (!untouched && !atStart)
                return false;
            moveFromEditor(MoveLeft, modifiers);
            return true;
        case Qt::Key_Right:
            if (!untouched && !atEnd)
                return false;
            moveFromEditor(MoveRight, modifiers);
            return true;
        default:
            return false;
        }
    }

    QWidget* grid_;
    ResultsModel* model_;
    ResultsGrid::StepRunner runner_;
    bool holdEditor_ = false;
    bool rowSelected_ = false; // by its record selector; no cell is open meanwhile
    QPointer<QLineEdit> wiredEditor_;
    QString textWhenOpened_;
};

} // namespace

ResultsGrid::ResultsGrid(DataControl* dataSource, StepRunner runner, QWidget* parent)
    : QFrame(parent), data_(dataSource) {
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    const QFont font = dialogFont();
    setFont(font);
    setAccessibleName(QStringLiteral("Results"));

    caption_ = new QLabel(QStringLiteral("Results"), this);
    caption_->setObjectName(QStringLiteral("Caption"));
    caption_->setAlignment(Qt::AlignCenter);
    caption_->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    caption_->setBackgroundRole(QPalette::Button);
    caption_->setAutoFillBackground(true);

    model_ = new ResultsModel(dataSource, new RecordsetModel(dataSource, this), this);
    auto* cells = new GridCells(model_, std::move(runner), this);
    cells_ = cells;
    cells_->setAccessibleName(QStringLiteral("Results"));
    useDarkGridLines(cells_);

    const QFontMetrics metrics(font);
    QHeaderView* rowsHeader = cells_->verticalHeader();
    rowsHeader->setSectionResizeMode(QHeaderView::Interactive);
    rowsHeader->setHighlightSections(false);
    rowsHeader->setMinimumSectionSize(metrics.height());
    rowsHeader->setDefaultSectionSize(metrics.height() + 4);
    rowsHeader->setFixedWidth(
        metrics.horizontalAdvance(ResultsModel::kCurrentMarker + ResultsModel::kNewLineMarker) + 8);
    // Every row has the same height: dragging one row's border sets the height of all. The
    // header would report each of the other rows as resized one by one, so it is kept quiet
    // and the cells are laid out once instead.
    connect(rowsHeader, &QHeaderView::sectionResized, this,
            [this, rowsHeader](int, int, int newSize) {
                if (newSize == rowsHeader->defaultSectionSize())
                    return;
                {
                    const QSignalBlocker quiet(rowsHeader);
                    rowsHeader->setDefaultSectionSize(newSize);
                }
                QMetaObject::invokeMethod(cells_, "updateGeometries");
                cells_->viewport()->update();
            });

    QHeaderView* columnsHeader = cells_->horizontalHeader();
    columnsHeader->setHighlightSections(false);
    columnsHeader->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    columnsHeader->setMaximumHeight(metrics.height() + 8);

    // Leaving the grid for another control of the window leaves the current row too. A button
    // of the window stores the row itself, as the first step of its click.
    connect(qApp, &QApplication::focusChanged, this, [this, cells](QWidget* old, QWidget* now) {
        const auto inside = [this](QWidget* widget) { return widget && isAncestorOf(widget); };
        if (inside(old) && now && !inside(now) && now->window() == window() &&
            !qobject_cast<QAbstractButton*>(now))
            cells->storeCurrentRow();
    });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(caption_);
    layout->addWidget(cells_);
    setFocusPolicy(Qt::StrongFocus);
    setFocusProxy(cells_);
}

QString ResultsGrid::Caption() const {
    return caption_->text();
}

void ResultsGrid::Refresh() {
    model_->reload();
    cells_->viewport()->update();
    cells_->verticalHeader()->viewport()->update();
}

void ResultsGrid::storePendingRow() {
    static_cast<GridCells*>(cells_)->storeTypedValues();
}

void ResultsGrid::showEvent(QShowEvent* event) {
    data_->rereadRows();
    model_->reload();
    QFrame::showEvent(event);
}

QTableView* ResultsGrid::cells() const {
    return cells_;
}
