#include "widgets/data_control.h"

#include "store/contact_table.h"
#include "store/store_error.h"

#include <QCoreApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStyle>
#include <QToolButton>

namespace {

// The width of each arrow of the navigation strip, in pixels.
constexpr int kArrowWidth = 12;

struct ArrowKind {
    const char* name;
    const char* accessible;
    QStyle::StandardPixmap icon;
    void (DataControl::*move)();
};

constexpr std::array<ArrowKind, 4> kArrowKinds = {{
    {"First", "First row", QStyle::SP_MediaSkipBackward, &DataControl::moveFirst},
    {"Previous", "Previous row", QStyle::SP_MediaPlay, &DataControl::movePrevious},
    {"Next", "Next row", QStyle::SP_MediaPlay, &DataControl::moveNext},
    {"Last", "Last row", QStyle::SP_MediaSkipForward, &DataControl::moveLast},
}};

} // namespace

DataControl::DataControl(QWidget* parent) : QWidget(parent) {
    recordset_.setBoundFields(&binder_);
    followRecordset();
}

// The strip's drawings cost more than the rest of the control, and a control that is never shown
// needs none of them: they are made when the control is first shown.
void DataControl::showEvent(QShowEvent* event) {
    if (!captionLabel_)
        buildStrip();
    QWidget::showEvent(event);
}

void DataControl::buildStrip() {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    captionLabel_ = new QLabel(caption_, this);
    captionLabel_->setObjectName(QStringLiteral("Caption"));
    captionLabel_->setFrameShape(QFrame::Panel);
    captionLabel_->setFrameShadow(QFrame::Sunken);
    captionLabel_->setIndent(2);
    for (std::size_t i = 0; i < kArrowKinds.size(); ++i) {
        arrows_[i] = addArrow(i);
        if (i == 2)
            layout->addWidget(captionLabel_, 1);
        layout->addWidget(arrows_[i]);
    }
    updateArrows();
    // Made while the control is already on screen, the strip is shown and laid out at once.
    captionLabel_->show();
    for (QToolButton* arrow : arrows_)
        arrow->show();
    layout->activate();
}

DataControl::~DataControl() = default;

// The recordset's signals are the control's; the arrows follow whether it is open first.
void DataControl::followRecordset() {
    connect(&recordset_, &Recordset::refreshed, this, [this] {
        updateArrows();
        emit refreshed();
    });
    connect(&recordset_, &Recordset::currentRowChanged, this, &DataControl::currentRowChanged);
    connect(&recordset_, &Recordset::rowStored, this, &DataControl::rowStored);
    connect(&recordset_, &Recordset::rowAppended, this, &DataControl::rowAppended);
    connect(&recordset_, &Recordset::rowAboutToBeStored, this, &DataControl::rowAboutToBeStored);
}

QToolButton* DataControl::addArrow(std::size_t kind) {
    auto* arrow = new QToolButton(this);
    // Narrow arrows leave the caption the rest of the strip; they are clicked, never tabbed to.
    arrow->setFixedWidth(kArrowWidth);
    arrow->setIconSize(QSize(kArrowWidth - 4, kArrowWidth - 4));
    arrow->setFocusPolicy(Qt::NoFocus);
    arrow->setObjectName(QLatin1String(kArrowKinds[kind].name));
    arrow->setAccessibleName(QLatin1String(kArrowKinds[kind].accessible));
    arrow->setToolTip(QLatin1String(kArrowKinds[kind].accessible));
    if (kind == 1)
        arrow->setArrowType(Qt::LeftArrow);
    else if (kind == 2)
        arrow->setArrowType(Qt::RightArrow);
    else
        arrow->setIcon(style()->standardIcon(kArrowKinds[kind].icon));
    const auto move = kArrowKinds[kind].move;
    connect(arrow, &QToolButton::clicked, this, [this, move] { runStep(move); });
    return arrow;
}

void DataControl::runStep(void (DataControl::*move)()) {
    const std::function<void()> step = [this, move] { (this->*move)(); };
    if (runner_) {
        runner_(step);
        return;
    }
    try {
        step();
    } catch (const StoreError& error) {
        emit stepFailed(error.description());
    }
}

void DataControl::updateArrows() {
    for (QToolButton* arrow : arrows_)
        if (arrow)
            arrow->setEnabled(recordset_.isOpen());
}

void DataControl::setCaption(const QString& caption) {
    caption_ = caption;
    if (captionLabel_)
        captionLabel_->setText(caption);
}

QString DataControl::resolvedPath() const {
    // A path from the root needs no QFileInfo to tell it is absolute; every lookup asks.
    if (databaseName_.startsWith(QLatin1Char('/')) || !QDir::isRelativePath(databaseName_))
        return databaseName_;
    const QString base =
        baseDirectory_.isEmpty() ? QCoreApplication::applicationDirPath() : baseDirectory_;
    return QDir(base).filePath(databaseName_);
}

void DataControl::refresh() {
    if (databaseName_.isEmpty())
        throw StoreError(QStringLiteral("Refresh failed: the data control names no database file "
                                        "(its DatabaseName is empty)."));
    recordset_.fetch(resolvedPath(), recordSource_);
}

void DataControl::bind(QLineEdit* box, contact_table::Column column) {
    bindBox(box, column);
    connect(box, &QLineEdit::textChanged, this, [this, box] { binder_.noticeEdit(box); });
}

void DataControl::bind(QPlainTextEdit* box, contact_table::Column column) {
    bindBox(box, column);
    connect(box, &QPlainTextEdit::textChanged, this, [this, box] { binder_.noticeEdit(box); });
}

void DataControl::bindBox(QWidget* box, contact_table::Column column) {
    binder_.addBinding(box, int(contact_table::position(column)));
}
