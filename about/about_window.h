#pragma once

#include "shell/window_model.h"

#include <array>
#include <cstdint>

class QLabel;
class QPushButton;

// The about window's controls, front to back.
namespace about_window_layout {
constexpr ControlLayout kPicture{"Picture1", {5640, 360, 3945, 2535}, 8};
constexpr ControlLayout kOk{"cmdOK", {4245, 2625, 1260, 345}, 0, "OK"};
constexpr ControlLayout kSysInfo{"cmdSysInfo", {4260, 3075, 1245, 345}, 1, "&System Info..."};
constexpr ControlLayout kTool{"Label5", {8400, 0, 1215, 255}, 11, "Qt 6 and C++"};
constexpr ControlLayout kCountry{"Label4", {8280, 2880, 1215, 255}, 10, "Made in Chile"};
constexpr ControlLayout kSourceCode{
    "Label3", {6600, 3240, 2895, 255}, 9, "Contact Quorvane for Source Codes."};
constexpr ControlLayout kContact{
    "Label2", {960, 2040, 3975, 255}, 7, "Contact Quorvane at quorvane@example.com"};
constexpr ControlLayout kMaker{"Label1", {360, 0, 1695, 255}, 6, "Quorvane"};
constexpr ControlLayout kDescription{
    "lblDescription",
    {1050, 1125, 3885, 1170},
    2,
    "This is a software that helps enable  you organise your contacts better.Remember this is "
    "not the full release.this is still under subject to testing"};
constexpr ControlLayout kTitle{"lblTitle", {1050, 240, 3885, 480}, 4, "Tessaline"};
// Gives way to the program's version at load.
constexpr ControlLayout kVersion{"lblVersion", {1050, 780, 3885, 225}, 5, "Version:"};
constexpr ControlLayout kDisclaimer{"lblDisclaimer", {255, 2625, 3870, 825}, 3};
// An etched separator, white below grey, one and two pixels thick. Lines take no turn in the tab
// order.
constexpr ControlLayout kGreyLine{"Line1(1)", {90, 2445, 5564, 15}, -1};
constexpr ControlLayout kWhiteLine{"Line1(0)", {105, 2460, 5549, 30}, -1};
// The labels front to back: where two overlap, the earlier is drawn over the later.
inline constexpr std::array kLabels{kTool,        kCountry, kSourceCode, kContact,   kMaker,
                                    kDescription, kTitle,   kVersion,    kDisclaimer};
inline constexpr std::array kControls{kPicture,    kOk,         kSysInfo,  kTool,        kCountry,
                                      kSourceCode, kContact,    kMaker,    kDescription, kTitle,
                                      kVersion,    kDisclaimer, kGreyLine, kWhiteLine};
} // namespace about_window_layout

// A straight line drawn across a window's surface, below its controls: never clicked, never
// focused.
class LineShape : public QWidget {
    Q_OBJECT
  public:
    LineShape(QWidget* parent, const ControlLayout& row, const QColor& colour);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QColor colour_;
};

// The about window: the program's title and version on black, its maker, a picture, and a way to
// the operating system's system-information tool.
class AboutWindow : public Window {
    Q_OBJECT
  public:
    explicit AboutWindow(WindowModel& model);

    QLabel* picture;
    QPushButton* okButton;
    QPushButton* sysInfoButton;
    std::array<QLabel*, about_window_layout::kLabels.size()> labels; // as kLabels lists them
    QLabel* titleLabel;
    QLabel* versionLabel;
    LineShape* etchedLine[2]; // an etched separator: white below grey

    void onLoad() override;

    // Finds the system-information tool through the registry and starts it; every failure ends
    // in one message to the user.
    void startSysInfo();
    // Reads the value valueName of the key keyName under root as text into `value`. False, with
    // value empty, when the key cannot be opened or the value cannot be read; for a type that
    // is neither a string nor a number value keeps what the caller passed. Other errors pass to
    // the caller. The key is closed on every way out.
    bool keyValue(std::uint32_t root, const QString& keyName, const QString& valueName,
                  QString& value);

  protected:
    void closedThroughFrame() override;

  private:
    void makePicture();
    void makeLabels();
    void makeLines();
    void stackControls();
    QLabel* textLabel(const ControlLayout& row);
    bool launchSysInfo();
    void onOk();
    void onSysInfo();
};
