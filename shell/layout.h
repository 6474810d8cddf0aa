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

// One row of a window's layout table: the control's design name (its objectName), its place,
// its turn in the tab order and, where the table fixes it, its caption (for a text box, the
// caption of the label that names it).
struct ControlLayout {
    const char* name;
    TwipsRect place;
    int tabIndex;
    const char* caption = nullptr;
};

int twipsToPixels(int twips);
QRect toPixels(const TwipsRect& rect);
void place(QWidget* control, const TwipsRect& rect);

// &H00BBGGRR, or with the high bit set one of the desktop's system colours.
QColor layoutColour(quint32 value, const QPalette& palette = QPalette());

// The layouts were made for a small dialog font of 8.25 points, 11 pixels at 96 DPI.
inline constexpr qreal kDialogPointSize = 8.25;

// The one font of every window: the font shipped with the program, drawn alike whatever the
// machine's own fonts and font settings are. Where it cannot be loaded, the nearest sans-serif of
// the same widths.
QFont dialogFont(qreal pointSize = kDialogPointSize);
