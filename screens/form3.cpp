#include "screens/form3.h"

#include "data_control.h"

Form3::Form3(WindowModel& model) : Window(model, QStringLiteral("Form3")) {
    Data1 = new DataControl(this);
    Data1->setObjectName(QStringLiteral("Data1"));
}
