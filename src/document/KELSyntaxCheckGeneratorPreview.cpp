#include "document/KELSyntaxCheckGeneratorPreview.h"

#include "preview/KELPreviewGenerator.h"

KELSyntaxCheckGeneratorPreview::KELSyntaxCheckGeneratorPreview(KELPreviewDocument* document)
    : m_generator(KELPreviewGenerator::generatorWithDocument(document))
{
}

KELSyntaxCheckGeneratorPreview::~KELSyntaxCheckGeneratorPreview() = default;

void KELSyntaxCheckGeneratorPreview::generate(Callback callback)
{
    if (!m_generator) {
        callback(false, std::nullopt);
        return;
    }
    m_generator->generatePreview(
        [callback](KELPreviewGenerator*, bool success, const std::optional<KELPreviewGeneratorResult>& result, void*) {
            if (success && result)
                callback(true, result->previewFileContents());
            else
                callback(false, std::nullopt);
        },
        nullptr, KELPreviewGenerator::StringResult, KELPreviewGenerator::PHPErrorMarkersOption);
}

void KELSyntaxCheckGeneratorPreview::terminate()
{
    if (m_generator)
        m_generator->terminatePreview();
}
