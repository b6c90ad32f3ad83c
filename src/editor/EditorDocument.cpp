#include "editor/EditorDocument.h"

namespace {
EditorDocumentSource*& sharedSource()
{
    static EditorDocumentSource* source = nullptr;
    return source;
}
} // namespace

EditorDocumentSource* EditorDocumentSource::shared()
{
    return sharedSource();
}

EditorDocumentSource* EditorDocumentSource::available()
{
    EditorDocumentSource* source = sharedSource();
    return source && source->hasDocuments() ? source : nullptr;
}

void EditorDocumentSource::setShared(EditorDocumentSource* source)
{
    sharedSource() = source;
}
