#pragma once

#include "store/bound_fields.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QString>
#include <vector>

// A text box bound to a column. `lastText` is the text the binder last saw in it, so that a
// signal that did not really change the text does not count as a change. A multi-line box shows
// line breaks and non-breaking spaces in its own way, so its value is kept apart, in its stored
// form, and each edit is carried over to it.
struct Binding {
    QPointer<QLineEdit> line;
    QPointer<QPlainTextEdit> plain;
    int column = 0;
    bool changed = false;
    QString lastText;
    QString value; // a multi-line box's text as it is stored

    bool alive() const { return line || plain; }
    bool holds(const QWidget* box) const;
    QString shown() const;
    QString text() const { return plain ? value : shown(); }
    void fill(const QVariant& stored);
    void noticeEdit();
};

// The text boxes bound to a recordset's columns: each shows its column of the current row, and
// its text is what an update stores once it has been set since the last fill.
class BoxBinder : public BoundFields {
  public:
    // `box` is a QLineEdit or a QPlainTextEdit; its text changes reach noticeEdit().
    void addBinding(QWidget* box, int column);
    void noticeEdit(const QWidget* box);
    bool isChanged(const QWidget* box) const;

    void fill(const RowValues& values) override;
    // The texts of changed boxes, by column; a later box bound to the same column wins.
    QHash<int, QVariant> changedValues() const override;

  private:
    std::vector<Binding> bindings_;
};
