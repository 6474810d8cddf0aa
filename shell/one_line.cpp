#include "shell/one_line.h"

#include "store/box_text.h"

#include <QLineEdit>

namespace {

class OneLine final : public QObject {
  public:
    explicit OneLine(QLineEdit* box) : QObject(box), box_(box), before_(box->text()) {
        connect(box, &QLineEdit::textEdited, this, &OneLine::edited);
        // The box's own text, not the signal's: a change made while the signal is on its way
        // has already been seen.
        connect(box, &QLineEdit::textChanged, this, [this] { before_ = box_->text(); });
    }

  private:
    void edited(const QString& text) {
        const QString kept = box_text::newLineBreaksAsBlanks(before_, text);
        if (kept == text)
            return;
        const int cursor = box_->cursorPosition() - int(text.size() - kept.size());
        box_->setText(kept);
        box_->setCursorPosition(cursor);
    }

    QLineEdit* box_;
    QString before_;
};

} // namespace

void keepToOneLine(QLineEdit* box) {
    new OneLine(box);
}
