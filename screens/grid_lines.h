#pragma once

class QTableView;

// Draws the lines between a table's rows and columns in dark grey, whatever colour the style
// would choose for them.
void useDarkGridLines(QTableView* table);
