#include "screens/grid_lines.h"

#include <QApplication>
#include <QProxyStyle>
#include <QTableView>

namespace {

// The application's style, except for the colour of a table's grid lines.
class DarkGridLineStyle final : public QProxyStyle {
  public:
    using QProxyStyle::QProxyStyle;

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_Table_GridLineColor)
            return int(QColor(Qt::darkGray).rgba());
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

void useDarkGridLines(QTableView* table) {
    auto* style = new DarkGridLineStyle(QApplication::style()->name());
    style->setParent(table);
    table->setStyle(style);
}
