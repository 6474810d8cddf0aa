#pragma once

#include "exchange/vcard_line.h"
#include "store/contact_columns.h"

// Where each column of a contact stands on a card, one row a column: the reader takes the column
// from that property and the writer writes it as that property. Name and Surname are the parts of
// N and FN (vcard_card.h); the dates are properties of our own.
namespace vcard {

struct ColumnProperty {
    contact_table::Column column;
    const char* property;
    const char* type;  // the TYPE written, which tells a fax TEL from a voice one; or none
    bool byPreference; // the reader takes the preferred one (PREF=n, TYPE=pref), else the first
    const char* label; // a further one's label among the notes' "Label: value" lines
};

inline constexpr ColumnProperty kColumnProperties[] = {
    {contact_table::Column::Phone, "TEL", "voice", true, "Phone"},
    {contact_table::Column::Fax, "TEL", "fax", true, "Phone"},
    {contact_table::Column::Address, "ADR", nullptr, true, "Address"},
    {contact_table::Column::Email, "EMAIL", nullptr, true, "E-mail"},
    {contact_table::Column::Url, "URL", nullptr, false, "Web address"},
    {contact_table::Column::Other, "NOTE", nullptr, false, "Note"},
    {contact_table::Column::CreatedOn, kCreatedOn, nullptr, false, nullptr},
    {contact_table::Column::ModifiedOn, kModifiedOn, nullptr, false, nullptr},
};

// The row of a column (not Name or Surname).
constexpr const ColumnProperty& propertyOf(contact_table::Column column) {
    for (const ColumnProperty& row : kColumnProperties)
        if (row.column == column)
            return row;
    return kColumnProperties[0];
}

} // namespace vcard
