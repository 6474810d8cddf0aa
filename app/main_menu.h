#pragma once

#include "shell/window_model.h"

#include <array>

class QGroupBox;
class QPushButton;

// The main menu's controls, front to back: the buttons are drawn over the frame.
namespace main_menu_layout {
constexpr ControlLayout kFrame{"Frame1", {120, 240, 3975, 3255}, 0, "Choose Mode"};
constexpr ControlLayout kAddNew{"Command1", {240, 600, 3735, 495}, 1, "Add New"};
constexpr ControlLayout kViewEdit{"Command2", {240, 1320, 3735, 495}, 2, "View/Edit"};
constexpr ControlLayout kExit{"Command4", {240, 2040, 3735, 495}, 3, "Exit"};
constexpr ControlLayout kAbout{"Command3", {240, 2760, 3735, 495}, 4, "About"};
inline constexpr std::array kControls{kFrame, kAddNew, kViewEdit, kExit, kAbout};
} // namespace main_menu_layout

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
