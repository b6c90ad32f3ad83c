#include "components/KELComponent.h"

#include "kit/Log.h"
#include "support/KELXMLDocument.h"

#include <QStringList>

KELComponentSupportedBrowser::KELComponentSupportedBrowser(const KELXMLNode& node)
{
    m_minVersion = node.valueForAttribute(QStringLiteral("version")).value_or(QString());
    const std::optional<QString> id = node.valueForAttribute(QStringLiteral("id"));
    if (id == QStringLiteral("ie"))
        m_browser = InternetExplorer;
    else if (id == QStringLiteral("firefox"))
        m_browser = Firefox;
    else
        m_browser = Safari;
}

QString KELComponentSupportedBrowser::displayDescription() const
{
    static const char* const names[] = { "IE", "Firefox", "Safari" };
    return QStringLiteral("%1 %2+").arg(QLatin1String(names[m_browser]), m_minVersion);
}

std::shared_ptr<KELComponent> KELComponent::componentWithDirectoryPath(const QString& path)
{
    std::shared_ptr<KELComponent> component(new KELComponent(path));
    const std::optional<KELXMLDocument> document = KELXMLDocument::fromPath(path + QStringLiteral("/Component.xml"));
    const std::optional<KELXMLNode> root = document ? document->rootNode() : std::nullopt;
    if (!root || !component->readComponent(*root)) {
        kit::log(QStringLiteral("Component could not be created: %1").arg(path));
        return nullptr;
    }
    return component;
}

bool KELComponent::readComponent(const KELXMLNode& root)
{
    const auto text = [&root](const char* name) -> std::optional<QString> {
        const std::optional<KELXMLNode> node = root.childNodeWithName(QString::fromLatin1(name));
        if (!node)
            return std::nullopt;
        return node->contents().value_or(QString());
    };
    m_name = text("name");
    m_desc = text("description");
    m_group = text("group");
    // A component without a preview image has no image path (not a path to nothing).
    if (const std::optional<QString> image = root.valueForAttribute(QStringLiteral("image")); image && !image->isEmpty())
        m_imagePath = m_path + QLatin1Char('/') + *image;
    if (const std::optional<KELXMLNode> list = root.childNodeWithName(QStringLiteral("compatibility"))) {
        for (const KELXMLNode& entry : list->childNodes()) {
            if (!entry.isTextNode())
                m_browsers.append(KELComponentSupportedBrowser(entry));
        }
    }
    std::stable_sort(m_browsers.begin(), m_browsers.end());
    return true;
}

int KELComponent::compare(const KELComponent& other) const
{
    return m_name.value_or(QString()).compare(other.m_name.value_or(QString()), Qt::CaseInsensitive);
}

QString KELComponent::displayDescription() const
{
    QStringList browsers;
    for (const KELComponentSupportedBrowser& browser : m_browsers)
        browsers.append(browser.displayDescription());
    return QStringLiteral("%1 %2").arg(m_desc.value_or(QString()), browsers.join(QStringLiteral(", ")));
}

QString KELComponent::searchIndexString() const
{
    return QStringLiteral("%1 %2 %3").arg(m_name.value_or(QString()), m_group.value_or(QString()), m_desc.value_or(QString()));
}
