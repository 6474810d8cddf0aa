#pragma once

#include "shell/layout.h"

#include <span>

class QWidget;

// Checks a live window against the layout table it was built from: each control is found by its
// design name, stands at its place (twips / 15, in pixels), shows the table's caption where the
// table gives one (a text box is named by it for screen readers), and the controls that take the
// focus follow one another in tab-index order. Fails the running test through QtTest; the caller
// stops when QTest::currentTestFailed().
void compareWithLayout(QWidget* window, std::span<const ControlLayout> table);
