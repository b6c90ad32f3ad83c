#pragma once
// The page of a check run made by the preview generator: PHP run by the
// interpreter with its errors wrapped in <kelphperror> elements, includes resolved.

#include "checker/KELSyntaxCheckDocument.h"

#include <memory>

class KELPreviewDocument;
class KELPreviewGenerator;

class KELSyntaxCheckGeneratorPreview : public KELSyntaxCheckPreview {
public:
    explicit KELSyntaxCheckGeneratorPreview(KELPreviewDocument* document);
    ~KELSyntaxCheckGeneratorPreview() override;
    void generate(Callback callback) override;
    void terminate() override;

private:
    std::unique_ptr<KELPreviewGenerator> m_generator;
};
