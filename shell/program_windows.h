#pragma once

#include "shell/window_model.h"

class Form1;
class Form2;
class Form3;
class Form4;
class frmAbout;

// The window model of the whole program: each window kind registered with the class that builds
// it. The windows reach one another through their kinds; start-up and the tests reach them here.
class ProgramWindows : public WindowModel {
  public:
    explicit ProgramWindows(Services services);

    // Each touches its window, which loads it first if it is not loaded.
    Form1& form1();
    Form2& form2();
    Form3& form3();
    Form4& form4();
    frmAbout& about();
};
