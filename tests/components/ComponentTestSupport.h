#pragma once
// Shared pieces of the component tests and benchmarks: a stand-in for the tree of
// variable editors that holds each variable's default value and answers the same
// names and properties ("value", "count", "fileUrl", "css", "hexValue", "root",
// "parent", "index" ...), and small fixture helpers.

#include "../html/Printers.h"
#include "components/KELComponentDefaultImageManager.h"
#include "components/KELComponentVariable.h"
#include "components/KELExpression.h"
#include "kit/KeyValueObject.h"
#include "kit/Types.h"
#include "support/ColorAdditions.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QUrl>

namespace componenttest {

class FakeController : public kit::KeyValueObject, public KELExpressionIndexed {
public:
    FakeController(const KELComponentVariable* variable, FakeController* root, FakeController* parent, qsizetype index)
        : m_variable(variable), m_root(root ? root : this), m_parent(parent), m_index(index)
    {
    }

    // Made after construction: default expressions may read the controller itself.
    void build()
    {
        if (const auto* group = dynamic_cast<const KELComponentVariableGroup*>(m_variable)) {
            for (const auto& child : group->variables())
                addChild(child.get(), kit::NotFound);
        } else if (const auto* indexed = dynamic_cast<const KELComponentIndexedVariable*>(m_variable)) {
            m_isIndexed = true;
            const qint64 count = indexed->countExpression() ? KELExpression::integerValue(indexed->countExpression()->evaluateWithDataSource(*this)) : 0;
            for (qint64 i = 0; i < std::min<qint64>(count, 100); ++i)
                addChild(indexed->indexedVariable(), i);
        } else {
            setDefaults();
        }
    }

    const QList<std::shared_ptr<FakeController>>& children() const { return m_children; }
    const KELComponentVariable* variable() const { return m_variable; }

    qsizetype count() const override { return m_isIndexed ? m_children.size() : 0; }
    QVariant objectAtIndex(qsizetype index) const override
    {
        return index >= 0 && index < count() ? fromObject(m_children.at(index)) : QVariant();
    }

    QVariant value(const QString& key) const override
    {
        if (key == QLatin1String("root"))
            return fromObject(m_root->shared_from_this());
        if (key == QLatin1String("parent"))
            return m_parent ? fromObject(m_parent->shared_from_this()) : QVariant();
        if (key == QLatin1String("index"))
            return qlonglong(indexOfItem());
        if (key == QLatin1String("displayIndex"))
            return qlonglong(indexOfItem() + 1);
        if (m_isIndexed && key == QLatin1String("count"))
            return qlonglong(m_children.size());
        if (const QVariant child = childNamed(key); child.isValid())
            return child;
        return KeyValueObject::value(key);
    }

private:
    // A variable's name finds its editor; unnamed groups are transparent.
    QVariant childNamed(const QString& key) const
    {
        for (const auto& child : m_children) {
            const std::optional<QString> name = child->m_variable->varName();
            if (name == key)
                return fromObject(child);
            if (!m_isIndexed && !name) {
                if (const QVariant inner = child->childNamed(key); inner.isValid())
                    return inner;
            }
        }
        return QVariant();
    }

    void addChild(const KELComponentVariable* variable, qsizetype index)
    {
        if (!variable)
            return;
        auto child = std::make_shared<FakeController>(variable, m_root, this, index);
        m_children.append(child);
        child->build();
    }

    qsizetype indexOfItem() const
    {
        for (const FakeController* c = this; c; c = c->m_parent) {
            if (c->m_index != kit::NotFound)
                return c->m_index;
        }
        return kit::NotFound;
    }

    QVariant evaluated(const KELComponentExpression* expression)
    {
        return expression ? expression->evaluateWithDataSource(*this) : QVariant();
    }

    void setDefaults()
    {
        const KELComponentVariable* v = m_variable;
        if (const auto* text = dynamic_cast<const KELComponentTextVariable*>(v)) {
            setValue(QStringLiteral("value"), KELExpression::stringValue(evaluated(text->defaultExpression())));
        } else if (const auto* select = dynamic_cast<const KELComponentSelectVariable*>(v)) {
            const KELComponentSelectOption* option = select->defaultOption();
            setValue(QStringLiteral("value"), option ? option->value() : QString());
        } else if (const auto* dimension = dynamic_cast<const KELComponentDimensionCountVariable*>(v)) {
            const KELComponentSelectOption* option = dimension->defaultOption();
            setCount(dimension->defaultCount().value_or(dimension->minCount().value_or(0)));
            setValue(QStringLiteral("unit"), option ? option->value() : QString());
            setValue(QStringLiteral("value"), QString::number(count()) + (option ? option->value() : QString()));
        } else if (const auto* counter = dynamic_cast<const KELComponentCountVariable*>(v)) {
            setCount(counter->defaultCount().value_or(counter->minCount().value_or(0)));
        } else if (const auto* checkbox = dynamic_cast<const KELComponentCheckboxVariable*>(v)) {
            setValue(QStringLiteral("value"), checkbox->defaultValue());
        } else if (const auto* slider = dynamic_cast<const KELComponentSliderVariable*>(v)) {
            setValue(QStringLiteral("value"), qlonglong(slider->defaultValue().value_or(slider->minValue().value_or(0))));
        } else if (const auto* color = dynamic_cast<const KELComponentColorVariable*>(v)) {
            const QVariant value = evaluated(color->defaultValueExpression());
            QColor c = value.metaType().id() == QMetaType::QColor ? value.value<QColor>() : colorWithHtmlHexValue(value.toString());
            setValue(QStringLiteral("value"), c);
            setValue(QStringLiteral("hexValue"), htmlHexValue(c).toLower());
            setValue(QStringLiteral("opacity"), qlonglong(color->defaultOpacity().value_or(100)));
        } else if (const auto* font = dynamic_cast<const KELComponentFontVariable*>(v)) {
            setValue(QStringLiteral("css"), QStringLiteral("font-family: %1; font-size: %2px;")
                                                .arg(font->defaultFontName().value_or(QStringLiteral("sans-serif")))
                                                .arg(font->defaultFontSize().value_or(16)));
        } else if (const auto* image = dynamic_cast<const KELComponentImageFileVariable*>(v)) {
            if (image->useDefaultImage()) {
                const QUrl url = KELComponentDefaultImageManager::sharedInstance().defaultImageForIndex(0);
                const QSize size = QImageReader(url.toLocalFile()).size();
                setValue(QStringLiteral("fileUrl"), url);
                setValue(QStringLiteral("width"), qlonglong(size.width()));
                setValue(QStringLiteral("height"), qlonglong(size.height()));
            }
        }
    }

    void setCount(qint64 n)
    {
        setValue(QStringLiteral("count"), qlonglong(n));
        setValue(QStringLiteral("textValue"), QString::number(n));
    }

    const KELComponentVariable* m_variable;
    FakeController* m_root;
    FakeController* m_parent;
    qsizetype m_index;
    bool m_isIndexed = false;
    QList<std::shared_ptr<FakeController>> m_children;
};

/// The editors' stand-in for a definition's variables, with their defaults.
inline std::shared_ptr<FakeController> makeDefaultValues(const KELComponentVariableGroup* group)
{
    auto root = std::make_shared<FakeController>(group, nullptr, nullptr, kit::NotFound);
    root->build();
    return root;
}

inline bool writeText(const QString& path, const QString& text)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) >= 0;
}

inline QString readText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

/// A bare HTML5 page, as the component window previews into.
inline QString barePage()
{
    return QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>Preview</title>\n</head>\n"
                          "<body></body>\n</html>\n");
}

} // namespace componenttest

#include "components/KELComponent.h"
#include "components/KELComponentDefinition.h"
#include "components/KELComponentResolver.h"

namespace componenttest {

/// A component folder with a description and the given definition; the definition
/// text is wrapped in the root element unless it already has one.
inline std::shared_ptr<KELComponent> makeComponent(const QString& folder, const QString& name, const QString& definition)
{
    writeText(folder + QStringLiteral("/Component.xml"),
        QStringLiteral("<component image=\"preview.png\"><name>%1</name><description>Test</description><group>Tests</group></component>").arg(name));
    const QString text = definition.startsWith(QLatin1String("<c:component")) || definition.startsWith(QLatin1String("<?"))
        ? definition
        : QStringLiteral("<c:component xmlns:c=\"urn:kelp-studio:component\">%1</c:component>").arg(definition);
    writeText(folder + QStringLiteral("/Definition.tcml"), text);
    return KELComponent::componentWithDirectoryPath(folder);
}

/// A resolver over plain stored values: key paths read through objects, stores go
/// under the whole key, and a unique id is the value itself.
class FakeResolver : public KELComponentResolver {
public:
    FakeResolver() : values(std::make_shared<kit::KeyValueObject>()) { }
    QVariant evaluateVariable(const QString& keyPath) override
    {
        if (stored.contains(keyPath))
            return stored.value(keyPath);
        return values->valueForKeyPath(keyPath);
    }
    void setValueForVariable(const QVariant& value, const QString& keyPath) override { stored.insert(keyPath, value); }
    std::optional<QString> uniqueIdForVariable(const QString& keyPath) override
    {
        const QVariant value = evaluateVariable(keyPath);
        if (!value.isValid())
            return std::nullopt;
        return KELExpression::stringValue(value);
    }
    std::shared_ptr<kit::KeyValueObject> values;
    QHash<QString, QVariant> stored;
};

} // namespace componenttest
