// Stores contacts through a data control as fast as it can and acknowledges each store on
// standard output once Update has returned. The crash-safety test kills it at random moments.
#include "widgets/data_control.h"

#include <QApplication>
#include <QLineEdit>
#include <QRandomGenerator>
#include <cstdio>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 3)
        return 2;
    QWidget window;
    auto* name = new QLineEdit(&window);
    auto* phone = new QLineEdit(&window);
    auto* notes = new QLineEdit(&window);
    DataControl data(&window);
    data.setDatabaseName(arguments[1]);
    data.bind(name, contact_table::Column::Name);
    data.bind(phone, contact_table::Column::Phone);
    data.bind(notes, contact_table::Column::Other);
    QRandomGenerator random(arguments[2].toUInt());
    // A long value makes some rows span overflow pages.
    const QString padding(int(random.bounded(1, 3000)), QLatin1Char('x'));
    try {
        data.refresh();
        for (int sequence = 0;; ++sequence) {
            const qsizetype rows = data.recordset().recordCount();
            const QString value = QStringLiteral("v%1-%2").arg(arguments[2]).arg(sequence);
            if (rows == 0 || random.bounded(3) == 0) {
                const QString newName = QStringLiteral("n%1-%2").arg(arguments[2]).arg(sequence);
                data.recordset().addNew();
                name->setText(newName);
                phone->setText(value);
                notes->setText(padding + value);
                data.recordset().update();
                std::printf("add %s %s %s\n", qPrintable(newName), qPrintable(value),
                            qPrintable(padding + value));
            } else {
                data.moveTo(qsizetype(random.bounded(quint64(rows))));
                data.recordset().edit();
                const QString editedName = name->text();
                phone->setText(value);
                data.recordset().update();
                std::printf("edit %s %s\n", qPrintable(editedName), qPrintable(value));
            }
            std::fflush(stdout);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
}
