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

/// The quit request: asks about each unsaved document (Save, Don't Save, Cancel;
/// several first offer to review or discard them all) while every window stays
/// open. When all agreed: saves the open windows for the next start (left out:
/// what the user discarded and cannot be restored), keeps that list from then
/// on, closes every window and document without asking again, and done hears
/// true. A Cancel closes nothing and done hears false.
void KELStopDocumentSystem(std::function<void(bool shouldTerminate)> done, const QString& restorationPath = QString());

/// Saves the open windows for restoration without asking anything (to the store
/// named at start-up when none is given). Does nothing once quitting is agreed.
bool KELSaveWindowsForRestoration(const QString& restorationPath = QString());

/// Closes every document window and document; their questions were asked.
void KELCloseAllDocumentsWithoutAsking();

/// Tests and a quit that did not end the process: the window list is saved again.
void KELResumeSavingWindowsForRestoration();
