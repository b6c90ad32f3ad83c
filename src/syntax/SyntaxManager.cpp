#include "syntax/SyntaxManager.h"

#include "kit/Log.h"
#include "kit/Resources.h"
#include "kit/UserDefaults.h"
#include "support/KELFileTypeManager.h"

#include <QDir>
#include <QSet>
#include <QUrl>

namespace {

std::unique_ptr<SyntaxManager>& sharedSlot()
{
    static std::unique_ptr<SyntaxManager> instance;
    return instance;
}

SyntaxManager::TypeNameForPath& pathResolver()
{
    static SyntaxManager::TypeNameForPath r;
    return r;
}

SyntaxManager::TypeNameForDocument& documentResolver()
{
    static SyntaxManager::TypeNameForDocument r;
    return r;
}

} // namespace

SyntaxManager& SyntaxManager::sharedInstance()
{
    std::unique_ptr<SyntaxManager>& slot = sharedSlot();
    if (!slot)
        slot = std::make_unique<SyntaxManager>(kit::resourcesPath() + QStringLiteral("/Syntax"));
    return *slot;
}

void SyntaxManager::resetSharedInstanceForTesting() { sharedSlot().reset(); }

SyntaxManager::SyntaxManager(const QString& syntaxFolder) { load(syntaxFolder); }

SyntaxManager::~SyntaxManager() = default;

void SyntaxManager::load(const QString& folder)
{
    QDir dir(folder);
    const QStringList files = dir.entryList(QStringList { QStringLiteral("*.xml") }, QDir::Files, QDir::Name);
    for (const QString& file : files) {
        const QString path = dir.filePath(file);
        QString problem;
        std::unique_ptr<SyntaxType> type = SyntaxType::typeWithPath(path, &problem);
        if (!type) {
            kit::log(QStringLiteral("Syntax definition \"%1\" skipped: %2").arg(path, problem));
            continue;
        }
        type->setManager(this);
        const QString name = type->typeName();
        m_syntaxTypes[name] = std::move(type); // a later file of the same name wins
    }
    if (!m_syntaxTypes.count(plainTextTypeName())) {
        // Documents always need a type to fall back on.
        kit::log(QStringLiteral("No syntax definition named \"%1\"; using an empty one").arg(plainTextTypeName()));
        auto plain = SyntaxType::emptyType(plainTextTypeName());
        plain->setDefaultExtensions(QStringList { QStringLiteral("txt") });
        plain->setManager(this);
        m_syntaxTypes[plainTextTypeName()] = std::move(plain);
    }
    checkChains();
    buildColoringGroups();
}

void SyntaxManager::checkChains()
{
    for (const auto& [name, type] : m_syntaxTypes) {
        QStringList chain;
        if (type->hasParentCycle(&chain))
            kit::log(QStringLiteral(
                "Error: the parent types of syntax type %1 form a cycle (%2); it is treated as its own root")
                         .arg(name, chain.join(QStringLiteral(" -> "))));
        else if (!type->parentTypeName().isEmpty() && !typeForName(type->parentTypeName()))
            kit::log(
                QStringLiteral("Error: syntax type %1 names an unknown parent type %2; it is treated as its own root")
                    .arg(name, type->parentTypeName()));
        chain.clear();
        if (type->hasDeferralCycle(&chain))
            kit::log(QStringLiteral("Error: the types syntax type %1 defers to form a cycle (%2); it does not defer")
                         .arg(name, chain.join(QStringLiteral(" -> "))));
    }
}

void SyntaxManager::buildColoringGroups()
{
    // Group the rules of every type under its root type, the root's own rules first.
    QList<SyntaxType*> types = allTypes();
    std::stable_sort(types.begin(), types.end(), [](SyntaxType* a, SyntaxType* b) {
        const bool rootA = a->ancestorType() == a, rootB = b->ancestorType() == b;
        return rootA && !rootB;
    });
    for (SyntaxType* type : std::as_const(types)) {
        SyntaxType* root = type->ancestorType();
        for (const auto& style : type->coloringStyles()) {
            const QString listKey = root->typeName() + QLatin1Char(':') + style->name();
            QList<ColoringGroup*>& list = m_styleColoringGroups[listKey];
            for (const auto& rule : style->rules()) {
                const QString key = root->typeName() + QLatin1Char(':') + rule->name();
                auto it = m_ruleColoringGroup.find(key);
                ColoringGroup* group;
                if (it == m_ruleColoringGroup.end()) {
                    auto made = ColoringGroup::colorGroupWithRule(rule.get(), root);
                    group = made.get();
                    m_ruleColoringGroup[key] = std::move(made);
                } else {
                    group = it->second.get();
                    group->addRule(rule.get());
                }
                if (rule->name() != QLatin1String("Text") && !list.contains(group))
                    list.append(group);
            }
        }
    }
    for (QList<ColoringGroup*>& list : m_styleColoringGroups)
        std::stable_sort(
            list.begin(), list.end(), [](ColoringGroup* a, ColoringGroup* b) { return a->compare(*b) < 0; });
}

SyntaxType* SyntaxManager::typeForName(const QString& name) const
{
    if (name.isEmpty())
        return nullptr;
    const auto it = m_syntaxTypes.find(name);
    return it == m_syntaxTypes.end() ? nullptr : it->second.get();
}

SyntaxType* SyntaxManager::typeForPath(const QString& path) const { return typeForName(fileTypeNameForPath(path)); }

SyntaxType* SyntaxManager::typeForDocument(const Document& document) const
{
    if (SyntaxType* t = typeForName(fileTypeNameForDocument(document)))
        return t;
    return typeForName(plainTextTypeName());
}

QList<SyntaxType*> SyntaxManager::allTypes() const
{
    QList<SyntaxType*> list;
    for (const auto& [name, type] : m_syntaxTypes)
        list.append(type.get());
    std::stable_sort(list.begin(), list.end(), [](SyntaxType* a, SyntaxType* b) { return a->compare(*b) < 0; });
    return list;
}

QList<SyntaxType*> SyntaxManager::rootTypes() const
{
    QList<SyntaxType*> list;
    for (SyntaxType* t : allTypes())
        if (t->parentTypeName().isEmpty())
            list.append(t);
    return list;
}

SyntaxType* SyntaxManager::defaultType() const
{
    for (SyntaxType* t : rootTypes())
        if (t->isDefaultType())
            return t;
    return nullptr;
}

QList<ColoringGroup*> SyntaxManager::sortedColoringGroupsForStyle(
    const SyntaxColoringStyle* style, const SyntaxType* type) const
{
    if (!style || !type)
        return {};
    return m_styleColoringGroups.value(type->ancestorType()->typeName() + QLatin1Char(':') + style->name());
}

ColoringGroup* SyntaxManager::coloringGroupForRule(const SyntaxColoringRule* rule, const SyntaxType* type) const
{
    if (!rule || !type)
        return nullptr;
    const auto it = m_ruleColoringGroup.find(type->ancestorType()->typeName() + QLatin1Char(':') + rule->name());
    return it == m_ruleColoringGroup.end() ? nullptr : it->second.get();
}

void SyntaxManager::resetToDefaults(SyntaxType* type)
{
    if (!type)
        return;
    type->setColoringEnabled(true);
    if (const SyntaxColoringStyle* def = type->defaultStyle())
        type->setCurrentStyleName(def->name());
    for (const auto& style : type->coloringStyles())
        for (ColoringGroup* group : sortedColoringGroupsForStyle(style.get(), type))
            group->setColor(group->defaultColor());
}

void SyntaxManager::setFileTypeResolvers(TypeNameForPath forPath, TypeNameForDocument forDocument)
{
    pathResolver() = std::move(forPath);
    documentResolver() = std::move(forDocument);
}

QString SyntaxManager::fileTypeNameForPath(const QString& path) const
{
    if (pathResolver())
        return pathResolver()(path);
    return KELFileTypeManager::sharedInstance().typeNameForPath(path);
}

QString SyntaxManager::fileTypeNameForDocument(const Document& document) const
{
    if (documentResolver())
        return documentResolver()(document);
    // Untitled documents take the default file type.
    const QString path = document.fileURLPath();
    return KELFileTypeManager::sharedInstance().typeNameForDocumentURL(
        path.isEmpty() ? QUrl() : QUrl::fromLocalFile(path));
}

void SyntaxManager::installAsFileTypeProvider()
{
    KELFileTypeManager::setSyntaxTypesProvider([] {
        QList<KELFileTypeSyntaxInfo> types;
        for (const SyntaxType* t : SyntaxManager::sharedInstance().allTypes())
            types.append({ t->typeName(), t->parentTypeName(), t->deferToTypeName(), t->defaultExtensions(),
                t->isDefaultType() });
        return types;
    });
}
