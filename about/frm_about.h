#pragma once

#include "shell/window_model.h"

// The about window.
class frmAbout : public Window {
    Q_OBJECT
  public:
    explicit frmAbout(WindowModel& model);
};
