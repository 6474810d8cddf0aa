#pragma once

#include "store/contact_table.h"
#include "store/sqlite_db.h"
#include "support/stored_rows.h"
#include "widgets/data_control.h"

#include <QLineEdit>
#include <QList>
#include <QPlainTextEdit>
#include <QVariant>
#include <QWidget>
#include <array>

// A window with a data control and one bound box per column, as the contact windows have them:
// the two long columns in multi-line boxes, the others in one-line boxes.
class BoundForm {
  public:
    explicit BoundForm(const QString& applicationDirectory) {
        data = new DataControl(&window);
        data->setObjectName(QStringLiteral("Data1"));
        data->setBaseDirectory(applicationDirectory);
        data->setDatabaseName(QString::fromLatin1(contact_table::kFileName));
        using contact_table::Column;
        for (const contact_table::ColumnDescription& description : contact_table::kSchema) {
            const Column column = description.column;
            const std::size_t at = contact_table::position(column);
            if (column == Column::Address || column == Column::Other) {
                auto* box = new QPlainTextEdit(&window);
                data->bind(box, column);
                boxes[at] = box;
            } else {
                auto* box = new QLineEdit(&window);
                data->bind(box, column);
                boxes[at] = box;
            }
        }
    }

    QString text(int column) const {
        QWidget* box = boxes[size_t(column)];
        if (auto* line = qobject_cast<QLineEdit*>(box))
            return line->text();
        return static_cast<QPlainTextEdit*>(box)->toPlainText();
    }
    // Sets a box's text by code, as a window's handler does.
    void setText(int column, const QString& text) {
        QWidget* box = boxes[size_t(column)];
        if (auto* line = qobject_cast<QLineEdit*>(box))
            line->setText(text);
        else
            static_cast<QPlainTextEdit*>(box)->setPlainText(text);
    }
    QStringList texts() const {
        QStringList all;
        for (int column = 0; column < contact_table::kColumnCount; ++column)
            all << text(column);
        return all;
    }
    Recordset& recordset() { return data->recordset(); }

    QWidget window;
    DataControl* data;
    std::array<QWidget*, contact_table::kColumnCount> boxes{};
};
