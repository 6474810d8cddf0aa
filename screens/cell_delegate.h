#pragma once

#include <QStyledItemDelegate>
#include <functional>

class QKeyEvent;
class QLineEdit;

// How the results grid's cells show and edit their texts. An open cell hands each change to the
// model as it is typed, and keys that act on the grid rather than on the cell's text go to the
// grid first.
class CellDelegate final : public QStyledItemDelegate {
    Q_OBJECT
  public:
    // Takes a key typed into an open cell; true when the grid acted on it.
    using GridKeys = std::function<bool(QLineEdit* editor, QKeyEvent* key)>;

    CellDelegate(GridKeys gridKeys, QObject* parent);

    // A cell shows one line of a few hundred characters at most, so only the start of a very
    // long text is laid out when it is drawn; laying out all of it on every paint would stall
    // the grid.
    static constexpr qsizetype kDrawnCharacters = 1000;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    // A cell's text as drawn: a line break in it is drawn as a sign of its own.
    QString displayText(const QVariant& value, const QLocale& locale) const override;

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    GridKeys gridKeys_;
};
