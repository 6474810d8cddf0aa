#pragma once

#include "shell/window_model.h"

class MainMenu;
class AddWindow;
class FindWindow;
class DetailsWindow;
class AboutWindow;

// The window model of the whole program: each window kind registered with the class that builds
// it. The windows reach one another through their kinds; start-up and the tests reach them here.
class ProgramWindows : public WindowModel {
  public:
    explicit ProgramWindows(Services services);

    // Each touches its window, which loads it first if it is not loaded.
    MainMenu& menu();
    AddWindow& add();
    FindWindow& find();
    DetailsWindow& details();
    AboutWindow& about();
};
