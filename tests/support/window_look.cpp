#include "support/window_look.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QWindow>

namespace {

// Whether the program gave the application a display name of its own; without one Qt derives
// it from the application name.
bool hasOwnDisplayName() {
    const QString name = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(name + QStringLiteral("-probe"));
    const bool own =
        QGuiApplication::applicationDisplayName() != QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(name);
    return own;
}

// The part of `area` (in the control's coordinates) that the controls stacked above it leave
// visible along its middle row, from its left edge on, within the window.
QRect visiblePart(QWidget* control, QRect area) {
    const QPoint offset = control->pos();
    area &= control->parentWidget()->rect().translated(-offset);
    const int middle = area.center().y();
    const QObjectList& siblings = control->parentWidget()->children();
    for (qsizetype i = siblings.indexOf(control) + 1; i < siblings.size(); ++i) {
        auto* above = qobject_cast<QWidget*>(siblings[i]);
        if (!above || !above->isVisible())
            continue;
        const QRect cover = above->geometry().translated(-offset);
        if (cover.top() <= middle && cover.bottom() >= middle && cover.right() >= area.left() &&
            cover.left() <= area.right())
            area.setRight(std::max(area.left(), cover.left()) - 1);
    }
    return area;
}

bool labelWhole(QLabel* label) {
    const QFontMetrics metrics = label->fontMetrics();
    if (label->height() >= 2 * metrics.lineSpacing())
        return true; // a text of several lines
    const int indent = label->indent() > 0 ? label->indent() : 0;
    const QSize text(metrics.horizontalAdvance(label->text()) + indent, metrics.height());
    const QRect contents = label->contentsRect();
    const QRect drawn =
        QStyle::alignedRect(label->layoutDirection(), label->alignment(), text, contents);
    return visiblePart(label, contents).contains(drawn);
}

bool buttonWhole(QPushButton* button, bool wrapped) {
    QStyleOptionButton option;
    option.initFrom(button);
    if (button->autoDefault())
        option.features |= QStyleOptionButton::AutoDefaultButton;
    const QRect face = visiblePart(
        button, button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button));
    const QString caption = QString(button->text()).remove(QLatin1Char('&'));
    const int flags = Qt::AlignCenter | (wrapped ? Qt::TextWordWrap : 0);
    const QRect needed = button->fontMetrics().boundingRect(face, flags, caption);
    return face.contains(needed);
}

} // namespace

QString titleAsShown(QWidget* window) {
    window->winId(); // the window system's window, made if the window was never shown
    const QString title = window->windowHandle()->title();
    const QString displayName = QGuiApplication::applicationDisplayName();
    if (!hasOwnDisplayName() || title.endsWith(displayName))
        return title;
    return title + QStringLiteral(" \u2014 ") + displayName;
}

QStringList captionsNotWhole(QWidget* window, const QStringList& wrapped) {
    QStringList cut;
    for (QLabel* label : window->findChildren<QLabel*>())
        if (label->isVisible() && !labelWhole(label))
            cut << label->objectName();
    for (QPushButton* button : window->findChildren<QPushButton*>())
        if (button->isVisible() && !buttonWhole(button, wrapped.contains(button->objectName())))
            cut << button->objectName();
    return cut;
}
