// libFuzzer target for the component templates and their expression language.
// Text that starts with "<" is a template: a whole definition file, or else the
// body of one insert template; it is pre-processed, read as XML, built into tags
// and rendered. Any other text is one expression, parsed and evaluated against a
// small data source.
#include "components/KELComponentDefinition.h"
#include "components/KELComponentInsertLogicTag.h"
#include "components/KELExpressionEvaluator.h"
#include "support/KELXMLDocument.h"

#include <QCoreApplication>

#include <libxml/xmlerror.h>

#include <cstddef>
#include <cstdint>

namespace {

void ignoreXmlMessage(void*, const char*, ...) { }

// Stores go to a table; names read from it, and "items" is a short list.
class Resolver : public KELComponentResolver {
public:
    QVariant evaluateVariable(const QString& keyPath) override
    {
        if (keyPath == QLatin1String("items"))
            return QVariantList { qlonglong(1), QStringLiteral("two"), 3.5 };
        return values.value(keyPath);
    }
    void setValueForVariable(const QVariant& value, const QString& keyPath) override
    {
        if (values.size() < 1000)
            values.insert(keyPath, value);
    }
    std::optional<QString> uniqueIdForVariable(const QString& keyPath) override { return keyPath; }
    QHash<QString, QVariant> values;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int argc = 1;
    static char name[] = "component_template_fuzz";
    static char* argv[] = { name, nullptr };
    static QCoreApplication app(argc, argv);
    static const bool quiet = [] {
        xmlSetGenericErrorFunc(nullptr, ignoreXmlMessage);
        return true;
    }();
    (void)quiet;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    Resolver resolver;
    if (!text.startsWith(QLatin1Char('<'))) {
        if (const auto expression = KELExpressionEvaluator::sharedInstance().parse(text)) {
            KELComponentExpressionDataSource source(resolver);
            (void)KELExpression::stringValue(expression->evaluateWithDataSource(source));
        }
        return 0;
    }
    const auto read = [](QString definition) {
        KELComponentDefinition::preProcessTcml(definition);
        return KELXMLDocument::fromContents(definition);
    };
    std::optional<KELXMLDocument> document = read(text);
    if (!document)
        document = read(QStringLiteral("<c:component xmlns:c=\"urn:fuzz\"><c:insert>") + text + QStringLiteral("</c:insert></c:component>"));
    const std::optional<KELXMLNode> root = document ? document->rootNode() : std::nullopt;
    if (!root)
        return 0;
    for (const KELXMLNode& child : root->childNodes()) {
        if (child.nodeName() != QLatin1String("insert"))
            continue;
        const auto insert = KELComponentInsertPrimary::logicTagWithNode(child);
        QString out;
        insert->appendContentToString(out, resolver);
    }
    return 0;
}
