#include "screens/form4.h"

#include "data_control.h"

Form4::Form4(WindowModel& model) : Window(model, QStringLiteral("Form4")) {
    Data1 = new DataControl(this);
    Data1->setObjectName(QStringLiteral("Data1"));
}
