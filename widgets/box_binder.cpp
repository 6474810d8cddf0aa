#include "widgets/box_binder.h"

#include "store/box_text.h"

#include <QLineEdit>
#include <QPlainTextEdit>

bool Binding::holds(const QWidget* box) const {
    return line == box || plain == box;
}

QString Binding::shown() const {
    return line ? line->text() : plain ? plain->toPlainText() : QString();
}

void Binding::fill(const QVariant& stored) {
    if (line)
        line->setText(stored.toString());
    else if (plain)
        plain->setPlainText(stored.toString());
    value = stored.toString();
    lastText = shown();
    changed = false;
}

void Binding::noticeEdit() {
    const QString now = shown();
    if (now == lastText)
        return;
    if (plain)
        value = box_text::storedAfterEdit(value, lastText, now);
    lastText = now;
    changed = true;
}

void BoxBinder::addBinding(QWidget* box, int column) {
    Binding& binding = bindings_.emplace_back();
    binding.line = qobject_cast<QLineEdit*>(box);
    binding.plain = qobject_cast<QPlainTextEdit*>(box);
    binding.column = column;
    binding.lastText = binding.shown();
    binding.value = binding.lastText;
}

void BoxBinder::noticeEdit(const QWidget* box) {
    for (Binding& binding : bindings_)
        if (binding.holds(box))
            binding.noticeEdit();
}

bool BoxBinder::isChanged(const QWidget* box) const {
    for (const Binding& binding : bindings_)
        if (binding.holds(box) && binding.changed)
            return true;
    return false;
}

void BoxBinder::fill(const RowValues& values) {
    for (Binding& binding : bindings_)
        binding.fill(values[std::size_t(binding.column)]);
}

QHash<int, QVariant> BoxBinder::changedValues() const {
    QHash<int, QVariant> changes;
    for (const Binding& binding : bindings_)
        if (binding.alive() && binding.changed)
            changes.insert(binding.column, binding.text());
    return changes;
}
