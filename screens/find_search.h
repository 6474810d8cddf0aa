#pragma once

#include "store/lookup_statement.h"

#include <QString>

// What the find window offers the details window: the texts of its four search boxes, one per
// lookup column. The details window reaches it through the window model, never its widgets.
class FindSearch {
  public:
    // The search box of `column` as typed, blanks included.
    virtual QString searchText(LookupColumn column) const = 0;
    // Empties the four search boxes: given name, surname, phone and e-mail, in that order.
    virtual void clearSearch() = 0;

  protected:
    virtual ~FindSearch() = default;
};
