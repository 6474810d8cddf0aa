#pragma once

#include <QStringList>

class QWidget;

// The title bar of a top-level window as the window system shows it: Qt adds the application's
// display name to every title when the program has set one.
QString titleAsShown(QWidget* window);

// The names of the window's visible labels and buttons whose captions are not drawn whole: a
// one-line caption wider than the part of its control that no control drawn over it hides, or
// clipped by the window's edge. Captions of the buttons named in `wrapped` are laid out in lines
// at word boundaries and must fit the button's face in both directions.
QStringList captionsNotWhole(QWidget* window, const QStringList& wrapped = {});
