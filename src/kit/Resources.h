#pragma once
// Finds the application bundle's data files.

#include <QString>

namespace kit {

/// The resources folder: KELP_STUDIO_RESOURCES when set, else next to the build
/// tree, else the install prefix (share/kelp-studio).
QString resourcesPath();

/// A file or folder inside the resources folder ("Syntax/HTML.plist" ...);
/// empty when it does not exist.
QString resourcePath(const QString& relativePath);

/// Tests: force the resources folder (empty restores the normal lookup).
void setResourcesPathForTesting(const QString& path);

} // namespace kit
