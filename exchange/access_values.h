#pragma once

#include <QString>
#include <cstddef>
#include <optional>

// glib first: mdbtools.h includes it inside its extern "C" block, where glib's C++ parts may not
// stand.
#include <glib.h>
#include <mdbtools.h>

// The values of an old Access table as text, and which of them libmdb can be trusted to read.
namespace access_import {

// Types whose values become text: yes/no, numbers, moments, text and memo.
bool isConvertible(int type);
// Pictures and other binary data, which have no text.
bool isBinary(int type);

// libmdb reads as many bytes as a value's type takes from wherever the row says the value lies,
// and follows memo lengths as they are. A value is read only when it lies inside its row
// (rowStart, rowSize on the current page), has the width its type takes, and, for a moment, is a
// day Access can hold.
bool isReadable(MdbHandle* mdb, const MdbColumn& column, const MdbField& field, int rowStart,
                std::size_t rowSize);

// The value of a field on the current page as text; nothing for NULL.
std::optional<QString> valueText(MdbHandle* mdb, const MdbColumn& column, const MdbField& field);

} // namespace access_import
