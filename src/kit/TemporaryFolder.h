#pragma once
// A private temporary folder for the running process.

#include <QString>

namespace kit {

/// The process's own temporary folder (made on first use, removed at exit).
/// Empty when it cannot be made (logged).
QString temporaryFolder();

/// A new, not yet existing path inside the temporary folder, ending with suffix.
QString uniqueTemporaryPath(const QString& suffix = {});

} // namespace kit
