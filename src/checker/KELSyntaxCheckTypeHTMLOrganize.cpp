// Organize Tags and the character-entity table of the HTML checker.

#include "checker/KELSyntaxCheckTypeHTML.h"

#include "html/TagChecker.h"
#include "kit/Log.h"
#include "kit/Resources.h"
#include "kit/UndoManager.h"
#include "kit/text/TextStorage.h"
#include "kit/text/TextView.h"
#include "support/KELXMLDocument.h"
#include "support/KELXMLNode.h"
#include "support/UtilityFunctions.h"

#include <QPointer>
#include <QSet>
#include <QTextBoundaryFinder>

#include <algorithm>

namespace {

bool isLineTerminator(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar(0x85) || c == QChar(0x2028) || c == QChar(0x2029);
}

// Elements whose content is shown as written: re-indenting would change the page.
bool keepsItsText(const QString& name)
{
    return name.compare(QLatin1String("pre"), Qt::CaseInsensitive) == 0
        || name.compare(QLatin1String("script"), Qt::CaseInsensitive) == 0
        || name.compare(QLatin1String("textarea"), Qt::CaseInsensitive) == 0;
}

// One replacement of an Organize Tags step, with the attributed text it puts in.
struct Replacement {
    qsizetype location;
    qsizetype length;
    kit::AttributedString text;
};

// Makes the replacements, in their order; answers their inverses (put before those
// given) in the order that undoes them. Replacements ordered from the end of the text
// backwards keep every position one of the text before them; their inverses then run
// from the start on.
QList<Replacement> replace(kit::TextStorage* storage, const QList<Replacement>& replacements, QList<Replacement> inverses = {})
{
    for (const Replacement& r : replacements) {
        const kit::Range range(r.location, r.length);
        inverses.prepend({ r.location, r.text.string.size(), storage->attributedSubstring(range) });
        // New text takes the attributes around it; text put back takes its own again.
        if (r.text.attributes.isEmpty())
            storage->replaceCharacters(range, r.text.string);
        else
            storage->replaceCharacters(range, r.text);
    }
    return inverses;
}

// Undo and redo make the pieces again rather than put back the whole text, so that what
// lies between them (error marks, folds, the selection) stays where it is.
void registerUndoOfReplacements(kit::TextView* view, const QList<Replacement>& inverses)
{
    QPointer<kit::TextView> guard(view);
    if (kit::UndoManager* undo = view->undoManager())
        undo->registerUndo([guard, inverses] {
            if (!guard)
                return;
            kit::TextStorage* storage = guard->textStorage();
            storage->beginEditing();
            const QList<Replacement> again = replace(storage, inverses);
            storage->endEditing();
            registerUndoOfReplacements(guard, again);
        });
}

} // namespace

void KELSyntaxCheckTypeHTML::spaceTagWithRange(kit::Range range, QList<Edit>& edits, const QString& text, qint64 level)
{
    // Indentation stops deepening at a fixed depth: a page nested thousands deep would
    // otherwise grow with the square of its size.
    constexpr qint64 deepestIndent = 256;
    QString spacing = QStringLiteral("\n");
    if (level > 0)
        spacing += m_indentUnit.repeated(std::min(level, deepestIndent));
    qsizetype start = range.location;
    while (start > 0 && text.at(start - 1).isSpace())
        --start;
    edits.append(Edit { start, range.location - start, spacing });
}

// The decisions for one element, and the edit before its children (its closing tag).
struct KELSyntaxCheckTypeHTML::SpacingFrame {
    const TagEnclosure* node;
    qint64 level;
    size_t nextChild; // children still to space, from the last one back
    bool spaceOpen;
};

KELSyntaxCheckTypeHTML::SpacingFrame KELSyntaxCheckTypeHTML::beginSpacing(const TagEnclosure& enclosure, QList<Edit>& edits,
    const QString& text, qint64 level, const QSet<QString>& nonStructural)
{
    const std::shared_ptr<TagInstance>& open = enclosure.tag();
    const size_t children = enclosure.enclosed().size();
    if (open && keepsItsText(open->name()))
        return { &enclosure, level, 0, false };
    if (!open)
        return { &enclosure, level, children, false };

    const kit::Range openRange = open->location();
    const bool structural = open->name().isEmpty() || !nonStructural.contains(open->name());
    bool openOnOwnLine = structural;
    if (!structural) {
        qsizetype k = openRange.location - 1;
        while (k >= 0 && (text.at(k) == u' ' || text.at(k) == u'\t'))
            --k;
        openOnOwnLine = k >= 1 && isLineTerminator(text.at(k));
    }

    const std::shared_ptr<TagInstance>& close = enclosure.closeTag();
    if (!close)
        return { &enclosure, level, children, openOnOwnLine };

    const qsizetype contentStart = openRange.end();
    const qsizetype contentEnd = close->location().location;
    bool closeOnOwnLine = false;
    bool descend = false;
    if (structural && contentEnd - contentStart >= 100) {
        closeOnOwnLine = descend = true;
    } else {
        bool lineBreak = false;
        for (qsizetype k = contentStart; k < contentEnd && !lineBreak; ++k)
            lineBreak = isLineTerminator(text.at(k));
        if (lineBreak) {
            descend = true;
            closeOnOwnLine = structural || (contentEnd > 0 && text.at(contentEnd - 1).isSpace());
        }
    }
    if (closeOnOwnLine)
        spaceTagWithRange(close->location(), edits, text, level);
    return { &enclosure, level, descend ? children : 0, openOnOwnLine };
}

void KELSyntaxCheckTypeHTML::spaceTagsInEnclosure(const TagEnclosure& enclosure, QList<Edit>& edits, const QString& text, qint64 level,
    const TagChecker& vocabulary)
{
    QSet<QString> nonStructural;
    for (const QString& name : vocabulary.nonStructuralTags())
        nonStructural.insert(name);
    // An explicit stack: pages nest deeper than the call stack would allow.
    std::vector<SpacingFrame> stack;
    stack.push_back(beginSpacing(enclosure, edits, text, level, nonStructural));
    while (!stack.empty()) {
        SpacingFrame& top = stack.back();
        if (top.nextChild > 0) {
            --top.nextChild;
            const TagEnclosure& child = *top.node->enclosed()[top.nextChild];
            const qint64 childLevel = top.level + 1;
            stack.push_back(beginSpacing(child, edits, text, childLevel, nonStructural));
            continue;
        }
        if (top.spaceOpen)
            spaceTagWithRange(top.node->tag()->location(), edits, text, top.level);
        stack.pop_back();
    }
}

QList<KELSyntaxCheckTypeHTML::Edit> KELSyntaxCheckTypeHTML::organizeEdits(const QString& text)
{
    QList<Edit> edits;
    m_indentUnit = UtilityFunctions::indentSpacerSpring();
    std::unique_ptr<TagEnclosure> root = parseText(text, kit::Range(0, text.size()), nullptr, false, true);
    spaceTagsInEnclosure(*root, edits, text, -1, TagChecker::currentTagChecker());
    releaseTree(std::move(root));
    return edits;
}

QString KELSyntaxCheckTypeHTML::organizedText(const QString& text)
{
    // The edits come from the end backwards; put the text together from the front.
    const QList<Edit> edits = organizeEdits(text);
    QString out;
    out.reserve(text.size() + text.size() / 4);
    qsizetype from = 0;
    for (auto it = edits.crbegin(); it != edits.crend(); ++it) {
        out += QStringView(text).mid(from, it->location - from);
        out += it->text;
        from = it->location + it->length;
    }
    out += QStringView(text).mid(from);
    if (!out.isEmpty() && isLineTerminator(out.at(0)))
        out.remove(0, 1);
    return out;
}

void KELSyntaxCheckTypeHTML::organizeTags(kit::TextView* textView)
{
    if (!textView || !textView->textStorage())
        return;
    kit::TextStorage* storage = textView->textStorage();
    const QString text = storage->string();
    const QList<Edit> edits = organizeEdits(text);

    // Edits run from the end of the text backwards, so every position still to be
    // used is one of the text as parsed.
    QList<Replacement> replacements;
    replacements.reserve(edits.size());
    for (const Edit& edit : edits)
        replacements.append({ edit.location, edit.length, kit::AttributedString(edit.text) });
    storage->beginEditing();
    QList<Replacement> inverses = replace(storage, replacements);
    // No line break before everything.
    if (storage->length() > 0 && isLineTerminator(storage->characterAt(0)))
        inverses = replace(storage, { { 0, 1, kit::AttributedString() } }, inverses);
    storage->endEditing();
    registerUndoOfReplacements(textView, inverses);
    if (kit::UndoManager* undo = textView->undoManager())
        undo->setActionName(QStringLiteral("Organize Tags"));
}

void KELSyntaxCheckTypeHTML::setCharacterRefPathForTesting(const QString& path)
{
    m_characterRefPath = path;
    m_characterRefDict.clear();
    m_characterRefDictLoaded = false;
}

void KELSyntaxCheckTypeHTML::loadCharacterRefDict()
{
    if (m_characterRefDictLoaded)
        return;
    m_characterRefDictLoaded = true;
    const QString path = m_characterRefPath.isEmpty() ? kit::resourcePath(QStringLiteral("htmlcharrefs.xml")) : m_characterRefPath;
    const std::optional<KELXMLDocument> document = KELXMLDocument::fromPath(path);
    if (!document)
        return;
    const std::optional<KELXMLNode> root = document->rootNode();
    if (!root)
        return;
    for (const KELXMLNode& node : root->childNodes()) {
        const std::optional<QString> character = node.valueForAttribute(QStringLiteral("character"));
        const std::optional<QString> ref = node.valueForAttribute(QStringLiteral("ref"));
        if (character && ref)
            m_characterRefDict.insert(*character, *ref);
        else
            kit::log(QStringLiteral("Error loading htmlcharrefs.xml: %1 %2").arg(character.value_or(QStringLiteral("(null)")),
                ref.value_or(QStringLiteral("(null)"))));
    }
}

std::optional<QString> KELSyntaxCheckTypeHTML::entityReferenceForCharacter(const QString& character)
{
    if (character.isEmpty()) {
        kit::log(QStringLiteral("Error: entityReferenceForCharacter, character is empty"));
        return std::nullopt;
    }
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, character);
    const qsizetype firstEnd = finder.toNextBoundary();
    if (firstEnd >= 0 && firstEnd < character.size()) {
        kit::log(QStringLiteral("Error: entityReferenceForCharacter, character has multiple characters: %1").arg(character));
        return std::nullopt;
    }
    loadCharacterRefDict();
    auto it = m_characterRefDict.constFind(character);
    if (it == m_characterRefDict.constEnd())
        return std::nullopt;
    return *it;
}
