#include "preview/KELPreviewGeneratorResult.h"

KELPreviewGeneratorResult KELPreviewGeneratorResult::resultWithContents(const QString& contents)
{
    KELPreviewGeneratorResult result;
    result.m_contents = contents;
    return result;
}

KELPreviewGeneratorResult KELPreviewGeneratorResult::resultWithLocation(
    const QString& path, kit::StringEncoding encoding)
{
    KELPreviewGeneratorResult result;
    result.m_location = path;
    result.m_textEncoding = encoding;
    return result;
}

KELPreviewGeneratorResult KELPreviewGeneratorResult::resultWithData(
    const QByteArray& data, kit::StringEncoding encoding)
{
    KELPreviewGeneratorResult result;
    result.m_data = data;
    result.m_textEncoding = encoding;
    return result;
}
