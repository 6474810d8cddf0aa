#pragma once

#include <QStringList>
#include <QTextStream>

// The commands of tessaline-db. Returns the process exit code: 0 done, 1 failed, 2 usage.
int runDbTool(const QStringList& arguments, QTextStream& out, QTextStream& err);
