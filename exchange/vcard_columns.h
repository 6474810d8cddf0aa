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
    // The TYPE the writer gives it and that tells it from the property's other kinds (a fax TEL
    // from a voice one); none when the property has one kind only.
    const char* type;
    // Whether the reader takes the preferred one (PREF=n, TYPE=pref) before the first one.
    bool byPreference;
    // What a further one of them is called among the notes' "Label: value" lines.
    const char* label;
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
