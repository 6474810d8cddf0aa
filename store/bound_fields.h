#pragma once

#include "store/table_row.h"

#include <QHash>
#include <QVariant>

// The controls bound to a recordset's columns, as the recordset sees them: it fills them with the
// current row and takes from them what was set since.
class BoundFields {
  public:
    virtual ~BoundFields() = default;
    // Shows `values` (a missing value as empty text); nothing counts as changed afterwards.
    virtual void fill(const RowValues& values) = 0;
    // What was set since the last fill, by column index.
    virtual QHash<int, QVariant> changedValues() const = 0;
};
