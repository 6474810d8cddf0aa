#pragma once

#include "shell/window_model.h"

class DataControl;
class QPushButton;

// The add-contact window.
class Form2 : public Window {
    Q_OBJECT
  public:
    explicit Form2(WindowModel& model);

    QPushButton* Command1; // "OK"
    QPushButton* Command3; // "Add New"
    DataControl* Data1;
};
