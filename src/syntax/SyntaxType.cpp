#include "syntax/SyntaxType.h"

#include "kit/Log.h"
#include "kit/UserDefaults.h"
#include "kit/text/TextStorage.h"
#include "syntax/SyntaxManager.h"
#include "syntax/SyntaxXML.h"

#include <QSet>
#include <limits>

SyntaxType::SyntaxType()
    : m_words(std::make_unique<SyntaxWordDictionary>())
{
}
SyntaxType::~SyntaxType() = default;

void SyntaxType::setTypeName(const QString& name)
{
    m_typeName = name;
    m_typeAttribute = QStringLiteral("SyntaxType:") + name;
    m_typeKey = kit::attributeKey(m_typeAttribute, kit::AttributeValues::Shared);
    m_stackValueIds.clear();
    m_valueStacks.clear();
}

namespace {
constexpr kit::AttributeValueId UnknownValue = std::numeric_limits<kit::AttributeValueId>::max();
}

kit::AttributeValueId SyntaxType::stackValueId(const SyntaxStructureStack& stack) const
{
    const size_t id = size_t(stack.id());
    if (id >= m_stackValueIds.size())
        m_stackValueIds.resize(id + 1, UnknownValue);
    kit::AttributeValueId& value = m_stackValueIds[id];
    if (value == UnknownValue)
        value = kit::sharedAttributeValueId(m_typeKey, QVariant(stack.stackString()));
    return value;
}

const SyntaxStructureStack& SyntaxType::stackForValueId(kit::AttributeValueId id) const
{
    if (id >= m_valueStacks.size())
        m_valueStacks.resize(size_t(id) + 1);
    std::optional<SyntaxStructureStack>& stack = m_valueStacks[id];
    if (!stack) {
        stack.emplace(kit::sharedAttributeValue(m_typeKey, id).toString());
    }
    return *stack;
}

std::unique_ptr<SyntaxType> SyntaxType::emptyType(const QString& name)
{
    auto type = std::make_unique<SyntaxType>();
    type->setTypeName(name);
    return type;
}

std::unique_ptr<SyntaxType> SyntaxType::typeWithPath(const QString& path, QString* problem)
{
    SyntaxXMLDocument doc(path);
    if (!doc.isValid()) {
        kit::log(QStringLiteral("Document could not be created: %1").arg(path));
        if (problem)
            *problem = doc.errorString();
        return nullptr;
    }
    auto type = std::make_unique<SyntaxType>();
    QString why;
    if (!type->read(doc.rootNode(), &why)) {
        if (problem)
            *problem = why;
        return nullptr;
    }
    return type;
}

bool SyntaxType::read(const SyntaxXMLNode& root, QString* problem)
{
    m_maxStartEndLength = 1;
    const QString name = root.valueForAttribute("name");
    if (name.isEmpty()) {
        *problem = QStringLiteral("the root element has no \"name\"");
        return false;
    }
    const QList<SyntaxXMLNode> parts = root.childNodes();
    if (parts.size() < 7) {
        *problem = QStringLiteral("the root element has %1 children instead of 7").arg(parts.size());
        return false;
    }
    setTypeName(name);
    m_mimeType = root.valueForAttribute("mimeType");
    m_parentTypeName = root.valueForAttribute("parentType");
    m_deferToTypeName = root.valueForAttribute("deferToType");
    m_isDefaultType = root.valueForAttribute("default") == QLatin1String("true");
    m_usesPreviewFile = root.valueForAttribute("previewFile") == QLatin1String("true");

    // 1: default extensions.
    for (const SyntaxXMLNode& e : parts.at(0).childNodes())
        if (e.hasAttribute("value"))
            m_defaultExtensions.append(e.valueForAttribute("value"));

    // 2: named structures; the first of a name stays.
    for (const SyntaxXMLNode& n : parts.at(1).childNodes()) {
        auto s = std::make_unique<SyntaxStructure>(n);
        if (m_structures.contains(s->name())) {
            kit::log(QStringLiteral("Error: structure with name %1 already exists").arg(s->name()));
            continue;
        }
        m_structures.insert(s->name(), s.get());
        m_ownedStructures.push_back(std::move(s));
    }

    // 3: the grammar's root structures.
    for (const SyntaxXMLNode& n : parts.at(2).childNodes()) {
        auto s = std::make_unique<SyntaxStructure>(n);
        SyntaxStructure* raw = s.get();
        m_rootStructures.append(raw);
        if (raw->start())
            m_structuresWithStart.append(raw);
        if (raw->startStructureMatch())
            m_structureValids.emplace_back(raw);
        m_structures.insert(raw->name(), raw);
        m_maxStartEndLength = std::max(m_maxStartEndLength, raw->maxStartEndLength());
        m_ownedStructures.push_back(std::move(s));
    }

    // 4: colouring styles.
    QStringList problems;
    for (const SyntaxXMLNode& n : parts.at(3).childNodes())
        m_coloringStyles.push_back(std::make_unique<SyntaxColoringStyle>(n, &problems));
    if (!problems.isEmpty()) {
        *problem = problems.join(QStringLiteral("; "));
        return false;
    }

    // 5: completions.
    for (const SyntaxXMLNode& n : parts.at(4).childNodes())
        if (n.isElement())
            m_syntaxCompletions.push_back(SyntaxCompletion::completionWithNode(n));

    // 6: words, from a vocabulary file (read when first needed) or inline.
    const SyntaxXMLNode words = parts.at(5);
    const QString ref = words.valueForAttribute("ref");
    if (!ref.isEmpty())
        m_words = std::make_unique<SyntaxWordDictionary>(ref);
    else
        m_words = std::make_unique<SyntaxWordDictionary>(words);

    // 7: copyright notices.
    for (const SyntaxXMLNode& n : parts.at(6).childNodes()) {
        if (!n.isElement())
            continue;
        auto c = SyntaxCopyright::copyrightWithNode(n);
        const QString id = c->copyrightId();
        m_copyrights[id] = std::move(c);
    }

    resolveInterrupts();
    return true;
}

void SyntaxType::resolveInterrupts()
{
    for (SyntaxStructure* s : std::as_const(m_rootStructures)) {
        QSet<const SyntaxStructure*> set;
        for (const SyntaxStructureInterrupt& i : s->interrupts()) {
            SyntaxStructure* target = m_structures.value(i.structureName());
            if (!target) {
                // Bad data: the interrupt is left out rather than guessed.
                kit::log(
                    QStringLiteral("Error: structure %1 of syntax type %2 names an unknown structure %3 to interrupt")
                        .arg(s->name(), m_typeName, i.structureName()));
                continue;
            }
            set.insert(target);
        }
        s->setInterruptStructures(set);
    }
}

const SyntaxCopyright* SyntaxType::copyrightWithId(const QString& id) const
{
    const auto it = m_copyrights.find(id);
    return it == m_copyrights.end() ? nullptr : it->second.get();
}

QStringList SyntaxType::copyrightIds() const
{
    QStringList ids;
    for (const auto& [id, c] : m_copyrights)
        ids.append(id);
    return ids;
}

int SyntaxType::compare(const SyntaxType& other) const
{
    const int c = m_typeName.compare(other.m_typeName, Qt::CaseInsensitive);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

SyntaxManager* SyntaxType::manager() const { return m_manager ? m_manager : &SyntaxManager::sharedInstance(); }

const SyntaxType* SyntaxType::typeNamed(const QString& name) const
{
    if (name.isEmpty())
        return nullptr;
    if (name == m_typeName)
        return this;
    return manager()->typeForName(name);
}

bool SyntaxType::hasParentCycle(QStringList* chain) const
{
    QSet<const SyntaxType*> seen { this };
    QStringList names { m_typeName };
    const SyntaxType* t = this;
    while (!t->m_parentTypeName.isEmpty()) {
        const SyntaxType* parent = typeNamed(t->m_parentTypeName);
        if (!parent)
            return false;
        names.append(parent->m_typeName);
        if (seen.contains(parent)) {
            if (chain)
                *chain = names;
            return true;
        }
        seen.insert(parent);
        t = parent;
    }
    return false;
}

bool SyntaxType::hasDeferralCycle(QStringList* chain) const
{
    const SyntaxType* t = ancestorType();
    QSet<const SyntaxType*> seen { t };
    QStringList names { t->m_typeName };
    while (!t->m_deferToTypeName.isEmpty()) {
        const SyntaxType* next = typeNamed(t->m_deferToTypeName);
        if (!next)
            return false;
        next = next->ancestorType();
        names.append(next->m_typeName);
        if (seen.contains(next)) {
            if (chain)
                *chain = names;
            return true;
        }
        seen.insert(next);
        t = next;
    }
    return false;
}

const SyntaxType* SyntaxType::ancestorType() const
{
    if (m_parentTypeName.isEmpty())
        return this;
    QSet<const SyntaxType*> seen { this };
    const SyntaxType* t = this;
    while (!t->m_parentTypeName.isEmpty()) {
        const SyntaxType* parent = typeNamed(t->m_parentTypeName);
        if (!parent)
            return t; // a parent that names no type: its own root
        if (seen.contains(parent))
            return this; // a loop: the type is its own root
        seen.insert(parent);
        t = parent;
    }
    return t;
}

SyntaxType* SyntaxType::ancestorType() { return const_cast<SyntaxType*>(std::as_const(*this).ancestorType()); }

SyntaxType* SyntaxType::rootType()
{
    SyntaxType* ancestor = ancestorType();
    QSet<const SyntaxType*> seen { ancestor };
    const SyntaxType* t = ancestor;
    while (!t->m_deferToTypeName.isEmpty()) {
        const SyntaxType* next = typeNamed(t->m_deferToTypeName);
        if (!next)
            break;
        next = next->ancestorType();
        if (seen.contains(next))
            return ancestor; // a loop: stop deferring
        seen.insert(next);
        t = next;
    }
    return const_cast<SyntaxType*>(t);
}

// Settings.

QString SyntaxType::currentStyleUserDefaultsKey() const
{
    return QStringLiteral("CurrentStyle:") + ancestorType()->typeName();
}

QString SyntaxType::currentStyleName() const
{
    return kit::UserDefaults::standard().stringValue(currentStyleUserDefaultsKey());
}

void SyntaxType::setCurrentStyleName(const QString& name)
{
    kit::UserDefaults::standard().setValue(currentStyleUserDefaultsKey(), name);
}

const SyntaxColoringStyle* SyntaxType::styleWithName(const QString& name) const
{
    for (const auto& s : m_coloringStyles)
        if (s->name() == name)
            return s.get();
    return nullptr;
}

const SyntaxColoringStyle* SyntaxType::defaultStyle() const
{
    for (const auto& s : m_coloringStyles)
        if (s->defaultStyle())
            return s.get();
    return m_coloringStyles.empty() ? nullptr : m_coloringStyles.front().get();
}

const SyntaxColoringStyle* SyntaxType::currentStyle() const
{
    const QString name = currentStyleName();
    if (!name.isEmpty())
        if (const SyntaxColoringStyle* s = styleWithName(name))
            return s;
    return defaultStyle();
}

QString SyntaxType::coloringEnabledUserDefaultsKey() const
{
    return QStringLiteral("ColoringEnabled:") + ancestorType()->typeName();
}

bool SyntaxType::coloringEnabled() const
{
    const QVariant v = kit::UserDefaults::standard().value(coloringEnabledUserDefaultsKey());
    return v.isValid() ? v.toBool() : true;
}

void SyntaxType::setColoringEnabled(bool enabled)
{
    kit::UserDefaults::standard().setValue(coloringEnabledUserDefaultsKey(), enabled);
}

QString SyntaxType::completionTypeUserDefaultsKey() const
{
    return QStringLiteral("CompletionType:") + ancestorType()->typeName();
}

bool SyntaxType::usesAutoCompletion() const
{
    return kit::UserDefaults::standard().stringValue(completionTypeUserDefaultsKey()) == QLatin1String("Auto");
}

void SyntaxType::setUsesAutoCompletion(bool automatic)
{
    if (automatic)
        kit::UserDefaults::standard().setValue(completionTypeUserDefaultsKey(), QStringLiteral("Auto"));
    else
        kit::UserDefaults::standard().removeValue(completionTypeUserDefaultsKey());
}
