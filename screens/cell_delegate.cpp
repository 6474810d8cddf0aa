#include "screens/cell_delegate.h"

#include "shell/one_line.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>
#include <limits>

namespace {

// A cell is one line: a line break in a stored value is drawn as a sign of its own, so that it
// is seen rather than drawn as a blank or as a second line cut off by the row.
// Qt has already turned each LF into U+2028 by then, so a CR LF arrives as CR U+2028.
QString withLineBreaksShown(QString text) {
    static const QRegularExpression lineBreak(
        QStringLiteral("\\r[\\n\\x{2028}]|[\\r\\n\\x{2028}\\x{2029}]"));
    static const QString sign = QStringLiteral("\u21B5");
    return text.replace(lineBreak, sign);
}

} // namespace

CellDelegate::CellDelegate(GridKeys gridKeys, QObject* parent)
    : QStyledItemDelegate(parent), gridKeys_(std::move(gridKeys)) {}

QWidget* CellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        // A text of any length: Qt's default cap would cut a long value as the cell opens, and
        // leaving the row would store it cut.
        line->setMaxLength(std::numeric_limits<int>::max());
        // Before the hand-over below, so that a pasted line break has become a blank by then.
        keepToOneLine(line);
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

QString CellDelegate::displayText(const QVariant& value, const QLocale& locale) const {
    return withLineBreaksShown(QStyledItemDelegate::displayText(value, locale));
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
