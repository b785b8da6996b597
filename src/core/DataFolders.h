#pragma once

#include <QString>
#include <QStringList>

// Where the program's own read-only files (icon, release notes) are found, whether it runs
// installed, from a moved prefix, or straight from its build folder.
namespace DataFolders {

// In order: <binary>/../share/brimfold, the folder the build installs to, the system's data
// folders, then the source tree's data folder; each once.
QStringList all();
// The paths `name` would have in each folder of all(), in the same order.
QStringList candidates(const QString &name);
// The first of candidates() that is a file; empty when none is.
QString find(const QString &name);

} // namespace DataFolders
