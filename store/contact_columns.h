#pragma once

#include <array>
#include <cstddef>

// The columns of the contact table, each described once. The table's statements, the book check,
// the lookups, the windows' bindings and the exchange formats all take their names from here.
namespace contact_table {

inline constexpr const char* kTable = "address";

// The columns in the table's order; the value is the column's position in a row.
enum class Column { Name, Surname, Phone, Fax, Address, Email, Url, Other, CreatedOn, ModifiedOn };

struct ColumnDescription {
    Column column;
    const char* storedName; // exactly as stored, case and blanks included; grid headers show it
    const char* title;      // the caption beside its box, which also names the box
    bool indexed;           // has an index that compares with our collation
    bool lookedUp;          // the windows search by it
};

inline constexpr std::array<ColumnDescription, 10> kSchema = {{
    {Column::Name, "Name", "Name", true, true},
    {Column::Surname, "Surname", "Surname", true, true},
    {Column::Phone, "phone", "Phone", true, true},
    {Column::Fax, "fax", "Fax", false, false},
    {Column::Address, "address", "Address", false, false},
    {Column::Email, "email", "E-Mail", true, true},
    {Column::Url, "url", "URL", false, false},
    {Column::Other, "other", "Notes", false, false},
    {Column::CreatedOn, "created on", "Created On", false, false},
    {Column::ModifiedOn, "modified on", "Modified On", false, false},
}};

inline constexpr int kColumnCount = int(kSchema.size());

constexpr std::size_t position(Column column) {
    return std::size_t(column);
}

constexpr const char* storedName(Column column) {
    return kSchema[position(column)].storedName;
}

constexpr const char* title(Column column) {
    return kSchema[position(column)].title;
}

// Each row of kSchema stands at its column's position.
constexpr bool inTableOrder() {
    for (std::size_t i = 0; i < kSchema.size(); ++i)
        if (position(kSchema[i].column) != i)
            return false;
    return true;
}
static_assert(inTableOrder(), "kSchema must list the columns in the table's order");

} // namespace contact_table
