#pragma once

#include "shell/window_model.h"

#include <cstdint>

class QLabel;
class QPushButton;

// A straight line drawn across a window's surface, below its controls: never clicked, never
// focused. Ends in twips; the pixel at the right end is not drawn.
class LineShape : public QWidget {
    Q_OBJECT
  public:
    LineShape(QWidget* parent, const QString& name, int leftTwips, int rightTwips, int yTwips,
              const QColor& colour, int widthPixels);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QColor colour_;
};

// The about window: the program's title and version on black, its maker, a picture, and a way to
// the operating system's system-information tool.
class frmAbout : public Window {
    Q_OBJECT
  public:
    explicit frmAbout(WindowModel& model);

    QLabel* Picture1;
    QPushButton* cmdOK;
    QPushButton* cmdSysInfo;
    QLabel* Label5; // the development tool
    QLabel* Label4; // the country of creation
    QLabel* Label3;
    QLabel* Label2;
    QLabel* Label1;
    QLabel* lblDescription;
    QLabel* lblTitle;
    QLabel* lblVersion;
    QLabel* lblDisclaimer;
    LineShape* Line1[2]; // an etched separator: white below grey

    void Form_Load() override;

    // Finds the system-information tool through the registry and starts it; every failure ends
    // in one message to the user.
    void StartSysInfo();
    // Reads the value SubKeyRef of the key KeyName under KeyRoot as text into KeyVal. False, with
    // KeyVal empty, when the key cannot be opened or the value cannot be read; for a type that
    // is neither a string nor a number KeyVal keeps what the caller passed. Other errors pass to
    // the caller. The key is closed on every way out.
    bool GetKeyValue(std::uint32_t KeyRoot, const QString& KeyName, const QString& SubKeyRef,
                     QString& KeyVal);

  protected:
    void closedThroughFrame() override;

  private:
    void makePicture();
    void makeLabels();
    void makeLines();
    void stackControls();
    QLabel* textLabel(const QString& name, const QString& caption, TwipsRect place, int tabIndex);
    bool launchSysInfo();
    void cmdOK_Click();
    void cmdSysInfo_Click();
};
