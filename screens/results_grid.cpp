#include "screens/results_grid.h"

#include "screens/grid_cells.h"
#include "screens/grid_lines.h"
#include "screens/results_model.h"
#include "shell/layout.h"
#include "store/recordset_model.h"
#include "widgets/data_control.h"

#include <QAbstractButton>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

ResultsGrid::ResultsGrid(DataControl* dataSource, StepRunner runner, QWidget* parent)
    : QFrame(parent), data_(dataSource) {
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setFont(dialogFont());
    setAccessibleName(QStringLiteral("Results"));

    caption_ = new QLabel(QStringLiteral("Results"), this);
    caption_->setObjectName(QStringLiteral("Caption"));
    caption_->setAlignment(Qt::AlignCenter);
    caption_->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    caption_->setBackgroundRole(QPalette::Button);
    caption_->setAutoFillBackground(true);

    model_ = new ResultsModel(dataSource, new RecordsetModel(&dataSource->recordset(), this), this);
    cells_ = new GridCells(model_, std::move(runner), this);
    cells_->setAccessibleName(QStringLiteral("Results"));
    useDarkGridLines(cells_);
    setUpHeaders();
    storeRowWhenFocusLeaves();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(caption_);
    layout->addWidget(cells_);
    setFocusPolicy(Qt::StrongFocus);
    setFocusProxy(cells_);
}

void ResultsGrid::setUpHeaders() {
    const QFontMetrics metrics(font());
    QHeaderView* rowsHeader = cells_->verticalHeader();
    rowsHeader->setSectionResizeMode(QHeaderView::Interactive);
    rowsHeader->setHighlightSections(false);
    rowsHeader->setMinimumSectionSize(metrics.height());
    rowsHeader->setDefaultSectionSize(metrics.height() + 4);
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
}

// A button of the window stores the row itself, as the first step of its click.
void ResultsGrid::storeRowWhenFocusLeaves() {
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        const auto inside = [this](QWidget* widget) { return widget && isAncestorOf(widget); };
        if (inside(old) && now && !inside(now) && now->window() == window() &&
            !qobject_cast<QAbstractButton*>(now))
            cells_->storeCurrentRow();
    });
}

QString ResultsGrid::caption() const {
    return caption_->text();
}

void ResultsGrid::refresh() {
    model_->reload();
    cells_->viewport()->update();
    cells_->verticalHeader()->viewport()->update();
}

void ResultsGrid::storePendingRow() {
    cells_->storeTypedValues();
}

// The markers are drawn from a fallback font, whose loading costs more than the rest of the
// grid; measuring them when the grid is first shown keeps that out of the program's start-up.
void ResultsGrid::fitRecordSelectors() {
    const QString widest = ResultsModel::kCurrentMarker + ResultsModel::kNewLineMarker;
    cells_->verticalHeader()->setFixedWidth(QFontMetrics(font()).horizontalAdvance(widest) + 8);
}

void ResultsGrid::showEvent(QShowEvent* event) {
    fitRecordSelectors();
    data_->rereadRows();
    model_->reload();
    QFrame::showEvent(event);
}

QTableView* ResultsGrid::cells() const {
    return cells_;
}
