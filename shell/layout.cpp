#include "shell/layout.h"

#include "assets/assets.h"

#include <QPalette>
#include <cmath>

int twipsToPixels(int twips) {
    return int(std::lround(double(twips) / kTwipsPerPixel));
}

QRect toPixels(const TwipsRect& rect) {
    return QRect(twipsToPixels(rect.left), twipsToPixels(rect.top), twipsToPixels(rect.width),
                 twipsToPixels(rect.height));
}

void place(QWidget* control, const TwipsRect& rect) {
    control->setGeometry(toPixels(rect));
}

QColor layoutColour(quint32 value, const QPalette& palette) {
    if (value & 0x80000000u) {
        switch (value & 0xFFu) {
        case 0x05:
            return palette.color(QPalette::Base);
        case 0x08:
            return palette.color(QPalette::WindowText);
        case 0x0F:
            return palette.color(QPalette::Button);
        case 0x12:
            return palette.color(QPalette::ButtonText);
        default:
            return palette.color(QPalette::WindowText);
        }
    }
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

QFont dialogFont(qreal pointSize) {
    QFont font;
    QStringList families = {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                            QStringLiteral("Arial"), QStringLiteral("Helvetica")};
    const QString shipped = assets::dialogFontFamily();
    if (!shipped.isEmpty())
        families.prepend(shipped);
    font.setFamilies(families);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    font.setWeight(QFont::Normal);
    // Hinting and smoothing are fixed here rather than taken from the machine's font settings,
    // so that captions have the same widths and pixels everywhere.
    font.setHintingPreference(QFont::PreferVerticalHinting);
    font.setStyleStrategy(QFont::NoSubpixelAntialias);
    return font;
}
