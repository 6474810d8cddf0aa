#pragma once

#include <QCursor>
#include <QIcon>
#include <QPixmap>

// Our own drawings, kept as SVG and rendered at the sizes the windows ask for, and the font the
// windows are drawn with.
namespace assets {

enum class Pointer {
    BookWithQuill, // "Add New" on the main menu, 48 x 48
    OpenBook,      // "View/Edit", 32 x 32
    ExitCross,     // "Exit", 32 x 32
    WindowPanes,   // "About", 48 x 48
    ShadowArrow,   // the add window's surface, 32 x 32, hot spot 3,1
};

QPixmap render(const QString& name, QSize size);
QCursor pointer(Pointer which);
QIcon pencilIcon();     // the main menu's window icon, 32 x 32
QIcon aboutIcon();      // the about window's icon, 32 x 32
QPixmap aboutPicture(); // 261 x 168, on black

// The family of the font shipped with the program (Liberation Sans), registered with the font
// database on first use; empty when it could not be loaded.
QString dialogFontFamily();

} // namespace assets
