#pragma once

#include "shell/window_model.h"

class QGroupBox;
class QPushButton;

// The main menu: the hub from which the other windows are opened and the program ends.
class Form1 : public Window {
    Q_OBJECT
  public:
    explicit Form1(WindowModel& model);

    QGroupBox* Frame1;
    QPushButton* Command1; // "Add New"
    QPushButton* Command2; // "View/Edit"
    QPushButton* Command4; // "Exit"
    QPushButton* Command3; // "About"

    void Form_Load() override;

  protected:
    void closedThroughFrame() override;

  private:
    void makeFrame();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
};
