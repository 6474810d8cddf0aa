#pragma once

class QApplication;

// Starts the program: the main menu is loaded (its load step runs) and shown.
int runTessaline(QApplication& application);
