#pragma once
// Start and end of the document side of the application: the registries the
// documents rely on, window restoration, and the review of unsaved documents
// at quit.

#include <QString>
#include <functional>

/// Call once the shared MyDocumentController exists and before any file is
/// opened. Installs the syntax registry as the file-type registry's source, the
/// per-file encodings for reading, the component-library checksum check, the
/// document views of the tabbed editor, and the restorer of standalone windows;
/// then restores the windows saved at the last quit. Answers how many windows
/// came back (the caller makes no untitled document when any did).
int KELStartDocumentSystem(const QString& restorationPath = QString());

/// The quit request: saves the open windows for the next start, then asks about
/// each unsaved document (Save, Don't Save, Cancel). done hears whether the
/// application may quit; false when the user cancelled (nothing is closed then
/// beyond the documents already saved or discarded).
void KELStopDocumentSystem(std::function<void(bool shouldTerminate)> done, const QString& restorationPath = QString());

/// Saves the open windows for restoration without asking anything.
bool KELSaveWindowsForRestoration(const QString& restorationPath = QString());
