#pragma once

class QLineEdit;

// Keeps a one-line box to one line: a line break the user pastes or drops into it becomes a
// blank. Line breaks in a text the program puts there (a stored value) stay as they are. The
// keeper belongs to the box.
void keepToOneLine(QLineEdit* box);
