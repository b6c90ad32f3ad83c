#pragma once
// A private temporary folder for the running process, so that two running
// instances never delete each other's files.

#include <QString>

namespace kit {

/// The process's own temporary folder (made on first use, removed at exit).
/// Empty when it cannot be made (logged).
QString temporaryFolder();

/// A new, not yet existing path inside the temporary folder, ending with suffix.
QString uniqueTemporaryPath(const QString& suffix = {});

/// Deletes the folder with everything in it now (at quit); errors are ignored.
/// A later temporaryFolder() makes a new one.
void removeTemporaryFolder();

} // namespace kit
