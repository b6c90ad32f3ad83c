#include "components/KELComponentCodeGenerator.h"

#include "support/DefaultsKeys.h"
#include "checker/KELSyntaxCheckTypeHTML.h"
#include "components/KELComponentManager.h"
#include "components/KELExpression.h"
#include "document/MyDocument.h"
#include "editor/KELHTMLView.h"
#include "kit/UndoManager.h"
#include "kit/UserDefaults.h"
#include "support/ColorAdditions.h"
#include "support/StringAdditions.h"
#include "support/UtilityFunctions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QUrl>

#include <functional>

using kit::NotFound;
using kit::Range;

namespace {

// The parsed tree of a text, freed without deep recursion.
struct ParsedHtml {
    explicit ParsedHtml(const QString& text) : root(KELSyntaxCheckTypeHTML::sharedInstance().parseText(text)) { }
    ~ParsedHtml() { KELSyntaxCheckTypeHTML::releaseTree(std::move(root)); }
    std::unique_ptr<TagEnclosure> root;

    // Depth first in document order; the visitor answers false to stop.
    void walk(const std::function<bool(const TagEnclosure&)>& visit) const
    {
        if (!root)
            return;
        std::vector<const TagEnclosure*> stack { root.get() };
        while (!stack.empty()) {
            const TagEnclosure* node = stack.back();
            stack.pop_back();
            if (node != root.get() && !visit(*node))
                return;
            const auto& children = node->enclosed();
            for (auto it = children.rbegin(); it != children.rend(); ++it)
                stack.push_back(it->get());
        }
    }

    const TagEnclosure* firstElement(const QString& name) const
    {
        const TagEnclosure* found = nullptr;
        walk([&](const TagEnclosure& node) {
            if (node.tag() && !node.tag()->isCloseTag() && node.tag()->name().compare(name, Qt::CaseInsensitive) == 0) {
                found = &node;
                return false;
            }
            return true;
        });
        return found;
    }
};

bool isInsideElement(const TagEnclosure& node, const TagEnclosure* ancestor)
{
    for (const TagEnclosure* p = node.parent(); p; p = p->parent()) {
        if (p == ancestor)
            return true;
    }
    return false;
}

QByteArray fileBytes(const QString& path, bool* ok)
{
    QFile file(path);
    *ok = file.open(QIODevice::ReadOnly);
    return *ok ? file.readAll() : QByteArray();
}

} // namespace

// --- Result objects

QString KELCodeGeneratorFile::insertedResourceDisplayName() const
{
    return QFileInfo(m_insertedResourceName).fileName();
}

bool KELCodeGeneratorFile::compareWithWarningsFirst(const KELCodeGeneratorFile& other) const
{
    if (m_insertWarning.has_value() != other.m_insertWarning.has_value())
        return m_insertWarning.has_value();
    return insertedResourceDisplayName().compare(other.insertedResourceDisplayName(), Qt::CaseInsensitive) < 0;
}

QString KELCodeGeneratorResult::pathForInclude(const KELCodeGeneratorFile& file) const
{
    const auto type = file.include() ? file.include()->type() : KELComponentInclude::Script;
    return m_paths.pathForType(type) + QLatin1Char('/') + file.insertedResourceName();
}

// --- The generator

KELComponentCodeGenerator::KELComponentCodeGenerator(kit::KeyValueObjectPtr rootController, std::shared_ptr<KELComponentDefinition> definition)
    : m_rootController(std::move(rootController)), m_compDef(std::move(definition))
{
}

KELComponentCodeGenerator::~KELComponentCodeGenerator() = default;

bool KELComponentCodeGenerator::requiresIncludedFiles() const
{
    return m_compDef && !m_compDef->includes().empty();
}

void KELComponentCodeGenerator::resetCustomVariables()
{
    m_customVariables.clear();
    m_htmlIds.clear();
}

QVariant KELComponentCodeGenerator::value(const QString& key) const
{
    const auto found = m_customVariables.constFind(key);
    if (found != m_customVariables.cend())
        return found.value();
    return m_rootController ? m_rootController->value(key) : QVariant();
}

void KELComponentCodeGenerator::setValue(const QString& key, const QVariant& value)
{
    m_customVariables.insert(key, value);
}

QVariant KELComponentCodeGenerator::evaluateVariable(const QString& keyPath)
{
    // A whole key path stored in this run (a uniquified id under "menuId.value")
    // answers before the path is followed into the editors.
    const auto stored = m_customVariables.constFind(keyPath);
    if (stored != m_customVariables.cend())
        return stored.value();
    const qsizetype dot = keyPath.indexOf(QLatin1Char('.'));
    if (dot < 0)
        return value(keyPath);
    const kit::KeyValueObjectPtr object = kit::KeyValueObject::toObject(value(keyPath.left(dot)));
    return object ? object->valueForKeyPath(keyPath.mid(dot + 1)) : QVariant();
}

void KELComponentCodeGenerator::setValueForVariable(const QVariant& value, const QString& keyPath)
{
    setValue(keyPath, value);
}

std::optional<QString> KELComponentCodeGenerator::uniqueIdForVariable(const QString& keyPath)
{
    const auto stored = m_customVariables.constFind(keyPath);
    if (stored != m_customVariables.cend())
        return stored->isValid() ? std::optional<QString>(KELExpression::stringValue(*stored)) : std::nullopt;
    const QVariant current = m_rootController ? m_rootController->valueForKeyPath(keyPath) : QVariant();
    if (current.metaType().id() != QMetaType::QString)
        return std::nullopt;
    const QString base = current.toString();
    QString id = base;
    if (m_htmlIds.contains(id)) {
        for (int number = 2; number <= 999; ++number) {
            const QString candidate = base + QString::number(number);
            if (!m_htmlIds.contains(candidate)) {
                id = candidate;
                break;
            }
        }
    }
    m_htmlIds.insert(id);
    m_customVariables.insert(keyPath, id);
    return id;
}

QString KELComponentCodeGenerator::htmlText(HtmlObject html)
{
    if (QString* const* page = std::get_if<QString*>(&html))
        return **page;
    return std::get<KELHTMLView*>(html)->string();
}

std::optional<Range> KELComponentCodeGenerator::findRangeOfTagContents(const QString& name, const QString& html)
{
    const ParsedHtml parsed(html);
    const TagEnclosure* element = parsed.firstElement(name);
    if (!element || !element->tag() || !element->closeTag())
        return std::nullopt;
    const qsizetype start = element->tag()->location().end();
    const qsizetype end = element->closeTag()->location().location;
    if (start == 0 || end < start)
        return std::nullopt;
    return Range(start, end - start);
}

Range KELComponentCodeGenerator::insertionRange(std::optional<Range> body, Range selection, qsizetype textLength)
{
    if (!body)
        return selection.location == NotFound ? Range(textLength, 0) : selection;
    if (selection.location == NotFound || selection.location >= body->end())
        return Range(body->end(), 0);
    if (selection.end() <= body->location)
        return Range(body->location, 0);
    return Range::intersection(selection, *body);
}

KELCodeGeneratorResult KELComponentCodeGenerator::generateCodeWithHtmlTemplate(QString& page, const QString& htmlLocation,
    const KELComponentCodeGeneratorResourcePaths& resourcesDirectory, KELInsertType insertType)
{
    const std::optional<Range> body = findRangeOfTagContents(QStringLiteral("body"), page);
    return generate(&page, htmlLocation, resourcesDirectory, insertType, body.value_or(Range(page.size(), 0)));
}

KELCodeGeneratorResult KELComponentCodeGenerator::generateCodeInDocument(MyDocument& document,
    const KELComponentCodeGeneratorResourcePaths& resourcesDirectory, KELInsertType insertType)
{
    KELHTMLView* view = document.textView();
    if (!view) {
        KELCodeGeneratorResult result;
        result.setPaths(resourcesDirectory);
        result.problems().append(QStringLiteral("The document has no text to insert into."));
        return result;
    }
    const QString text = view->string();
    const Range range = insertionRange(findRangeOfTagContents(QStringLiteral("body"), text), view->selectedRange(), text.size());
    kit::UndoManager* undo = view->editorUndoManager();
    if (undo)
        undo->beginUndoGrouping();
    KELCodeGeneratorResult result = generate(view, document.fileURLPath(), resourcesDirectory, insertType, range);
    if (undo) {
        undo->setActionName(QStringLiteral("Insert Component"));
        undo->endUndoGrouping();
    }
    return result;
}

KELCodeGeneratorResult KELComponentCodeGenerator::generate(HtmlObject html, const QString& location,
    const KELComponentCodeGeneratorResourcePaths& paths, KELInsertType insertType, Range bodyRange)
{
    resetCustomVariables();
    KELCodeGeneratorResult result;
    result.setPaths(paths);
    if (!m_compDef)
        return result;

    if (insertType == KELInsertType::Preview)
        setValue(QStringLiteral("PREVIEW"), true);
    const QString text = htmlText(html);
    const bool wrap = kit::UserDefaults::standard().integerValue(KELShouldWrapInsertedTagsAroundSelectedTextKey) != 0;
    // Blank space is no selection to wrap (the test page's empty body is just that).
    const QString selected = text.mid(bodyRange.location, bodyRange.length);
    setValue(QStringLiteral("SELECTION"), wrap || selected.trimmed().isEmpty() ? QString() : selected);
    setValue(QStringLiteral("RESOURCESDIR"), paths.scriptsPath());
    setValue(QStringLiteral("COMPONENTS"), KELComponentManager::componentsDirectory());
    if (!location.isEmpty())
        setValue(QStringLiteral("INSERTPATH"), location);

    ParsedHtml(text).walk([this](const TagEnclosure& node) {
        if (node.tag() && !node.tag()->isCloseTag()) {
            if (const std::optional<QString> id = node.tag()->valueForAttribute(QStringLiteral("id")))
                m_htmlIds.insert(*id);
        }
        return true;
    });

    m_run.emplace();
    m_run->paths = paths;
    m_run->insertType = insertType;
    m_run->problems = &result.problems();
    for (const KELCodeGeneratorFile& file : processIncludes(html, location, paths, bodyRange, insertType, &result.problems()))
        result.addInclude(file);

    const QString name = m_compDef->component() ? m_compDef->component()->name().value_or(QString()) : QString();
    for (const auto& insert : m_compDef->insertedContent()) {
        if (!location.isEmpty())
            setValue(QStringLiteral("DOCPATH"), location);
        else
            m_customVariables.remove(QStringLiteral("DOCPATH"));
        QString content;
        insert->appendContentToString(content, *this);
        if (m_compDef->delineateWithComments()) {
            content = QStringLiteral("\n<!-- BEGIN COMPONENT %1 - Kelp Studio -->\n").arg(name) + content
                + QStringLiteral("\n<!-- END COMPONENT %1 - Kelp Studio -->\n").arg(name);
        }
        if (insert->insertType() == KELComponentInsertPrimary::Head) {
            insertHeadContent(content, html, bodyRange);
        } else {
            const Range inserted = insertHTMLText(content, html, bodyRange);
            bodyRange = Range(inserted.end(), 0);
        }
    }
    for (const KELCodeGeneratorFile& file : std::as_const(m_run->files))
        result.addInclude(file);
    m_run.reset();
    return result;
}

std::optional<QString> KELComponentCodeGenerator::copyOfLinkedFile(const QString& path)
{
    if (!m_run || !m_compDef || !m_compDef->component() || m_run->paths.scriptsPath().isEmpty())
        return std::nullopt;
    const QString file = QFileInfo(path).canonicalFilePath();
    if (file.isEmpty())
        return std::nullopt;
    if (const auto done = m_run->copies.constFind(file); done != m_run->copies.cend())
        return *done;
    const KELComponent& component = *m_compDef->component();
    for (const QString& folder : { component.path(), KELComponentManager::componentsSharedResourcesDirectory() }) {
        const QString root = QFileInfo(folder).canonicalFilePath();
        if (root.isEmpty() || !file.startsWith(root + QLatin1Char('/')))
            continue;
        // The file as a resource of the component, found where an include would find it.
        const QString resourceName = file.mid(root.size() + 1);
        const std::optional<QString> source = KELComponentInclude::pathForResourceName(resourceName, component);
        if (!source || QFileInfo(*source).canonicalFilePath() != file)
            continue;
        std::shared_ptr<KELComponentInclude>& include = m_linkedFileIncludes[resourceName];
        if (!include) {
            const bool picture = !QImageReader::imageFormat(file).isEmpty();
            include = KELComponentInclude::includeWithResourceName(resourceName, picture ? KELComponentInclude::Image : KELComponentInclude::Binary);
        }
        const QString directory = m_run->paths.pathForType(include->type());
        const std::optional<QString> written = include->performCopy(component, directory, *this, m_run->insertType, m_run->problems);
        if (!written)
            return std::nullopt;
        m_run->copies.insert(file, *written);
        m_run->files.append(KELCodeGeneratorFile(QDir(directory).relativeFilePath(*written), include.get()));
        return written;
    }
    return std::nullopt;
}

QList<KELCodeGeneratorFile> KELComponentCodeGenerator::processIncludes(HtmlObject html, const QString& location,
    const KELComponentCodeGeneratorResourcePaths& paths, Range& bodyRange, KELInsertType insertType, QStringList* problems)
{
    QList<KELCodeGeneratorFile> files;
    QStringList scripts;
    QStringList styles;
    for (const auto& include : m_compDef->includes()) {
        const QString directory = paths.pathForType(include->type());
        const std::optional<QString> written = include->performCopy(*m_compDef->component(), directory, *this, insertType, problems);
        if (!written)
            continue;
        // A page without a location yet (an untitled document) links by absolute URL.
        QString link = location.isEmpty()
            ? QUrl::fromLocalFile(*written).toString(QUrl::FullyEncoded)
            : stringByEncodingURLForInsert(UtilityFunctions::relativePathFromDirectory(QFileInfo(location).path(), *written));
        if (insertType == KELInsertType::Preview && include->isUnique())
            link += QStringLiteral("?preview=%1").arg(m_previewId++);
        if (include->varName())
            setValue(*include->varName(), QUrl::fromLocalFile(*written));
        if (include->type() == KELComponentInclude::Script)
            scripts.append(link);
        else if (include->type() == KELComponentInclude::Style)
            styles.append(link);
        files.append(KELCodeGeneratorFile(QDir(directory).relativeFilePath(*written), include.get()));
    }
    addScriptTags(scripts, styles, html, bodyRange);
    return files;
}

void KELComponentCodeGenerator::addScriptTags(const QStringList& scripts, const QStringList& styles, HtmlObject html, Range& bodyRange)
{
    if (scripts.isEmpty() && styles.isEmpty())
        return;
    QStringList newScripts = scripts;
    QStringList newStyles = styles;
    {
        const ParsedHtml parsed(htmlText(html));
        if (const TagEnclosure* head = parsed.firstElement(QStringLiteral("head"))) {
            parsed.walk([&](const TagEnclosure& node) {
                if (!node.tag() || node.tag()->isCloseTag() || !isInsideElement(node, head))
                    return true;
                const QString tagName = node.tag()->name().toLower();
                if (tagName == QLatin1String("script"))
                    newScripts.removeAll(node.tag()->valueForAttribute(QStringLiteral("src")).value_or(QString()));
                else if (tagName == QLatin1String("link"))
                    newStyles.removeAll(node.tag()->valueForAttribute(QStringLiteral("href")).value_or(QString()));
                return true;
            });
        }
    }
    newScripts.removeDuplicates();
    newStyles.removeDuplicates();
    if (newScripts.isEmpty() && newStyles.isEmpty())
        return;
    QString links;
    for (const QString& script : std::as_const(newScripts))
        links += QStringLiteral("<script type=\"text/javascript\" src=\"%1\"></script>\n").arg(script);
    for (const QString& style : std::as_const(newStyles))
        links += QStringLiteral("<link rel=\"stylesheet\" type=\"text/css\" href=\"%1\" />\n").arg(style);
    insertHeadContent(links, html, bodyRange);
}

void KELComponentCodeGenerator::insertHeadContent(const QString& content, HtmlObject html, Range& bodyRange)
{
    qsizetype location = NotFound;
    {
        const ParsedHtml parsed(htmlText(html));
        const TagEnclosure* head = parsed.firstElement(QStringLiteral("head"));
        if (head && head->closeTag())
            location = head->closeTag()->location().location;
    }
    QString text = content;
    if (location == NotFound) {
        location = bodyRange.location;
        text = QStringLiteral("<!-- Begin HEAD content. Kelp Studio could not find the HEAD section of your document. Please, add a "
                              "head tag and move this content within the tag. -->\n%1\n<!-- End HEAD content -->")
                   .arg(content);
    }
    const Range inserted = insertHTMLText(text, html, Range(location, 0));
    if (bodyRange.location >= inserted.location)
        bodyRange.location += inserted.length;
    else if (inserted.location < bodyRange.end())
        bodyRange = Range(bodyRange.location, 0);
}

Range KELComponentCodeGenerator::insertHTMLText(const QString& text, HtmlObject html, Range range)
{
    QString insert = text;
    if (kit::UserDefaults::standard().boolValue(KELShouldCapitalizeTagsKey)) {
        QList<Range> names;
        ParsedHtml(insert).walk([&names](const TagEnclosure& node) {
            for (const auto& tag : { node.tag(), node.closeTag() }) {
                if (tag && !tag->name().isEmpty() && tag->nameRange().location != NotFound)
                    names.append(tag->nameRange());
            }
            return true;
        });
        for (const Range& name : std::as_const(names)) {
            if (name.end() <= insert.size())
                insert.replace(name.location, name.length, insert.mid(name.location, name.length).toUpper());
        }
    }

    const QString current = htmlText(html);
    const qsizetype level = baseIndentLevelAtIndex(current, std::min(range.location, current.size()));
    const QString unit = UtilityFunctions::indentSpacerSpring();
    const QString indent = unit.repeated(level);
    QString indented;
    indented.reserve(insert.size() + insert.size() / 4);
    bool atLineStart = false;
    for (qsizetype i = 0; i < insert.size(); ++i) {
        const QChar c = insert.at(i);
        if (atLineStart && c == QLatin1Char('\t')) {
            indented += unit;
            continue;
        }
        atLineStart = false;
        indented += c;
        const bool crBeforeLf = c == QLatin1Char('\r') && i + 1 < insert.size() && insert.at(i + 1) == QLatin1Char('\n');
        if (UtilityFunctions::isNewLineCharacter(c) && !crBeforeLf) {
            indented += indent;
            atLineStart = true;
        }
    }

    if (QString* const* page = std::get_if<QString*>(&html))
        (*page)->replace(range.location, range.length, indented);
    else
        std::get<KELHTMLView*>(html)->replaceCharactersWithUndoInRange(range, indented);
    return Range(range.location, indented.size());
}

void KELComponentCodeGenerator::populateWarningsOnResult(KELCodeGeneratorResult& result,
    const KELComponentCodeGeneratorResourcePaths& insertPaths) const
{
    for (KELCodeGeneratorFile& file : result.includes()) {
        file.setInsertWarning(std::nullopt);
        const KELComponentInclude* include = file.include();
        if (!include || include->isUnique())
            continue;
        const QString source = result.pathForInclude(file);
        const QString target = insertPaths.pathForType(include->type()) + QLatin1Char('/') + file.insertedResourceName();
        if (!QFileInfo::exists(source) || !QFileInfo::exists(target))
            continue;
        bool warn = false;
        switch (include->type()) {
        case KELComponentInclude::Script:
        case KELComponentInclude::Style:
        case KELComponentInclude::Text:
            warn = !KELComponentInclude::verifyChecksumForFile(target);
            break;
        case KELComponentInclude::Image: {
            bool readSource = false;
            bool readTarget = false;
            const QByteArray a = fileBytes(source, &readSource);
            const QByteArray b = fileBytes(target, &readTarget);
            if (!readSource || !readTarget)
                break;
            QImage first = QImage::fromData(a);
            QImage second = QImage::fromData(b);
            if (first.isNull() || second.isNull() || first.size() != second.size()) {
                warn = true;
                break;
            }
            first = first.convertToFormat(QImage::Format_ARGB32);
            second = second.convertToFormat(QImage::Format_ARGB32);
            for (int y = 0; y < first.height() && !warn; ++y) {
                for (int x = 0; x < first.width(); ++x) {
                    if (!isRGBAEqual(first.pixelColor(x, y), second.pixelColor(x, y), 0.01)) {
                        warn = true;
                        break;
                    }
                }
            }
            break;
        }
        case KELComponentInclude::Binary: {
            bool readSource = false;
            bool readTarget = false;
            const QByteArray a = fileBytes(source, &readSource);
            const QByteArray b = fileBytes(target, &readTarget);
            warn = readSource && readTarget && a != b;
            break;
        }
        }
        if (warn)
            file.setInsertWarning(OverwriteWarning);
    }
}
