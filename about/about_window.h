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
class AboutWindow : public Window {
    Q_OBJECT
  public:
    explicit AboutWindow(WindowModel& model);

    QLabel* picture;
    QPushButton* okButton;
    QPushButton* sysInfoButton;
    QLabel* toolLabel;
    QLabel* countryLabel;
    QLabel* sourceCodeLabel;
    QLabel* contactLabel;
    QLabel* makerLabel;
    QLabel* descriptionLabel;
    QLabel* titleLabel;
    QLabel* versionLabel;
    QLabel* disclaimerLabel;
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
    QLabel* textLabel(const QString& name, const QString& caption, TwipsRect place, int tabIndex);
    bool launchSysInfo();
    void onOk();
    void onSysInfo();
};
