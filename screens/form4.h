#pragma once

#include "shell/window_model.h"

class DataControl;

class Form4 : public Window {
    Q_OBJECT
  public:
    explicit Form4(WindowModel& model);

    DataControl* Data1;
};
