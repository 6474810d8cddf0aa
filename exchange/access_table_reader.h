#pragma once

#include "exchange/row_stream.h"

#include <QString>

namespace access_import {

// Reads the table "address" of the Access-format file at path through libmdb and writes what it
// finds to out: notes about its columns, the number of rows the table declares, every row it can
// read (our columns in order) together with each page and value it cannot, and the end. When
// there is no such table to read it writes a failure instead. libmdb can crash on a damaged file,
// so this is meant to run in a child process; the file is never written.
void readAddressTable(const QString& path, row_stream::FrameWriter& out);

} // namespace access_import
