#pragma once

#include "tool/command_line.h"

#include <QTextStream>

// tessaline-db sync: the book kept in step with an address book on a CardDAV server.
namespace sync_command {

extern const char* const kUsage;
extern const QStringList kOptions;

// Returns the exit code: 0 when both sides hold the same, 1 when anything is left undone, 2 when
// the URL names several address books (they are listed). Throws StoreError and UsageError.
int run(const CommandLine& invocation, QTextStream& out, QTextStream& err);

} // namespace sync_command
