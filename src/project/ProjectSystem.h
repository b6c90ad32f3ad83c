#pragma once
// Start-up of the project side: project windows and viewers become what a
// folder, an image or a PDF file opens as; the lower parts of the program learn
// the project folders (previews, links of the document structure, batch find,
// Get Info, Reveal in Document Tree); saved project and viewer windows can be
// restored. Call once after the shared document controller exists and before
// the document system restores windows.

#include <QString>

void KELInstallProjectServices();

class ProjectDocumentController;
/// The open project window whose folder is or holds the path (exact components).
ProjectDocumentController* KELProjectContainingPath(const QString& path);
/// Every open project window refreshes the nodes on the way to the path.
void KELProjectsUpdateItemsOnPath(const QString& path);
/// Selects the path in the tree of the project window that is the given window.
bool KELRevealInDocumentTree(class QWidget* window, const QString& path);
