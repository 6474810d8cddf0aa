#pragma once

#include <QColor>
#include <QRect>
#include <QWidget>

// Layout tables give positions and sizes in twips relative to a window's inner area.
inline constexpr int kTwipsPerPixel = 15;

struct TwipsRect {
    int left;
    int top;
    int width;
    int height;
};

int twipsToPixels(int twips);
QRect toPixels(const TwipsRect& rect);
void place(QWidget* control, const TwipsRect& rect);

// &H00BBGGRR, or with the high bit set one of the desktop's system colours.
QColor layoutColour(quint32 value, const QPalette& palette = QPalette());

// The font named by a layout where it is installed, otherwise the nearest sans-serif.
QFont layoutFont(const QString& family, qreal pointSize);
