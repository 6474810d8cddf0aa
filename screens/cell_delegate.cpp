#include "screens/cell_delegate.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <limits>

CellDelegate::CellDelegate(GridKeys gridKeys, QObject* parent)
    : QStyledItemDelegate(parent), gridKeys_(std::move(gridKeys)) {}

QWidget* CellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        // A text of any length: Qt's default cap would cut a long value as the cell opens, and
        // leaving the row would store it cut.
        line->setMaxLength(std::numeric_limits<int>::max());
        // What is typed belongs to the row at once, so its record selector shows the change.
        auto* self = const_cast<CellDelegate*>(this);
        connect(line, &QLineEdit::textEdited, self, [self, line] { emit self->commitData(line); });
    }
    return editor;
}

void CellDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    if (option->text.size() <= kDrawnCharacters)
        return;
    qsizetype cut = kDrawnCharacters;
    if (option->text.at(cut - 1).isHighSurrogate())
        --cut;
    option->text.truncate(cut);
}

// Seen before the editor, and before the delegate's own handling, which would move Tab to the
// next cell and Enter nowhere.
bool CellDelegate::eventFilter(QObject* watched, QEvent* event) {
    auto* editor = qobject_cast<QLineEdit*>(watched);
    if (editor && event->type() == QEvent::KeyPress && gridKeys_ &&
        gridKeys_(editor, static_cast<QKeyEvent*>(event)))
        return true;
    return QStyledItemDelegate::eventFilter(watched, event);
}
