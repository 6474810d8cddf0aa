#include "screens/form2.h"

#include "data_control.h"

#include <QPushButton>

Form2::Form2(WindowModel& model) : Window(model, QStringLiteral("Form2")) {
    setWindowTitle(QStringLiteral("Add New"));
    setInnerArea(8265, 4290);
    Command1 = button(QStringLiteral("Command1"), QStringLiteral("OK"), {6960, 3240, 1215, 495}, 16);
    Command3 =
        button(QStringLiteral("Command3"), QStringLiteral("Add New"), {6960, 3240, 1215, 495}, 19);
    Data1 = new DataControl(this);
    Data1->setObjectName(QStringLiteral("Data1"));
    Data1->hide();
    applyTabOrder();
}
