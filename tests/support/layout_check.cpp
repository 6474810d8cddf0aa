#include "support/layout_check.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QtTest>
#include <algorithm>
#include <vector>

namespace {

QString captionOf(const QWidget* control) {
    if (auto* button = qobject_cast<const QAbstractButton*>(control))
        return button->text();
    if (auto* label = qobject_cast<const QLabel*>(control))
        return label->text();
    if (auto* frame = qobject_cast<const QGroupBox*>(control))
        return frame->title();
    // A text box shows no caption of its own; the table's is the name a screen reader says.
    if (qobject_cast<const QLineEdit*>(control) || qobject_cast<const QPlainTextEdit*>(control))
        return control->accessibleName();
    return {};
}

void compareControl(QWidget* window, const ControlLayout& row) {
    auto* control = window->findChild<QWidget*>(QString::fromUtf8(row.name));
    QVERIFY2(control, row.name);
    QCOMPARE(control->geometry(), toPixels(row.place));
    if (row.caption)
        QCOMPARE(captionOf(control), QString::fromUtf8(row.caption));
}

// The next control of the table that the focus chain reaches from `from`.
QWidget* nextInTable(QWidget* from, const std::vector<QWidget*>& controls) {
    for (QWidget* next = from->nextInFocusChain(); next && next != from;
         next = next->nextInFocusChain())
        if (std::find(controls.begin(), controls.end(), next) != controls.end())
            return next;
    return nullptr;
}

void compareTabOrder(QWidget* window, std::span<const ControlLayout> table) {
    std::vector<ControlLayout> rows(table.begin(), table.end());
    std::stable_sort(rows.begin(), rows.end(),
                     [](const auto& a, const auto& b) { return a.tabIndex < b.tabIndex; });
    std::vector<QWidget*> focusable;
    for (const ControlLayout& row : rows) {
        auto* control = window->findChild<QWidget*>(QString::fromUtf8(row.name));
        if (control->focusPolicy() & Qt::TabFocus)
            focusable.push_back(control);
    }
    for (std::size_t i = 1; i < focusable.size(); ++i)
        QCOMPARE(nextInTable(focusable[i - 1], focusable), focusable[i]);
}

} // namespace

void compareWithLayout(QWidget* window, std::span<const ControlLayout> table) {
    for (const ControlLayout& row : table) {
        compareControl(window, row);
        if (QTest::currentTestFailed())
            return;
    }
    compareTabOrder(window, table);
}
