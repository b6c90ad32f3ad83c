#pragma once
// Connects the text documents to the error checker: Check Document, its menu
// validation and Organize Tags. Called once at start-up.

class MyDocument;
class KELSyntaxCheckDocumentAdapter;

void KELInstallCheckerServices();

/// The checker's view of an open text document (made on first use, kept as a child
/// of the document): its editor text, file type, page generator and gutter errors.
KELSyntaxCheckDocumentAdapter* KELSyntaxCheckDocumentForDocument(MyDocument* document);
