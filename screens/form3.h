#pragma once

#include "shell/window_model.h"

class DataControl;

class Form3 : public Window {
    Q_OBJECT
  public:
    explicit Form3(WindowModel& model);

    DataControl* Data1;
};
