#pragma once

#include "shell/window_model.h"

class QGroupBox;
class QPushButton;

// The main menu: the hub from which the other windows are opened and the program ends.
class MainMenu : public Window {
    Q_OBJECT
  public:
    explicit MainMenu(WindowModel& model);

    QGroupBox* modeFrame;
    QPushButton* addNewButton;
    QPushButton* viewEditButton;
    QPushButton* exitButton;
    QPushButton* aboutButton;

    void onLoad() override;

  protected:
    void closedThroughFrame() override;

  private:
    void makeFrame();
    void onAddNew();
    void onViewEdit();
    void onAbout();
    void onExit();
};
