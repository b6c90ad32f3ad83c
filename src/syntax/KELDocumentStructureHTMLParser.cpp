#include "syntax/KELDocumentStructureHTMLParser.h"

#include "html/TagReader.h"
#include "html/KELHTML5TagChecker.h"
#include "html/TagInstance.h"
#include "syntax/KELDocumentStructureHTMLElementItem.h"

using kit::Range;

namespace {

// A link's text names it when it is this close to the tag.
constexpr qsizetype LinkTextReach = 100;
// Text not ended by "</a>" names the link only when it is longer than this.
constexpr qsizetype LooseLinkTextMinimum = 15;

struct LinkedElement
{
    const char* element;
    const char* attribute;
    const char* prefix;
};

const LinkedElement linkedElements[] = {
    { "a", "href", "" },
    { "link", "href", "Style: " },
    { "script", "src", "Script: " },
    { "img", "src", "Image: " },
    { "base", "href", "Base: " },
};

} // namespace

std::shared_ptr<KELDocumentStructureParser> KELDocumentStructureHTMLParser::parser()
{
    return std::make_shared<KELDocumentStructureHTMLParser>();
}

KELDocumentStructureItemRef KELDocumentStructureHTMLParser::parseSyntaxStructure(
    const QString& structureName, const QString& text, Range range, Range* actualRange)
{
    if (structureName == QLatin1String("comment"))
        return parseMultiLineCommentInText(text, range, actualRange);
    if (structureName != QLatin1String("startTag") && structureName != QLatin1String("endTag"))
        return nullptr;
    if (range.location < 0 || range.length <= 0 || range.end() > text.size())
        return nullptr;
    const std::shared_ptr<TagInstance> tag = TagReader::tagInRange(range, text);
    if (!tag)
        return nullptr;

    auto item = std::make_shared<KELDocumentStructureHTMLElementItem>(typeName());
    item->setName(tag->name());
    item->setElementName(tag->name());
    item->setDocStructureLength(range.length);
    if (tag->isCloseTag())
        item->setSegmentType(KELDocumentStructureItem::ClosesSegment);
    else if (!tag->isXHTMLCloseTag())
        item->setSegmentType(KELDocumentStructureItem::OpensSegment);

    const std::optional<QString> id = tag->isCloseTag() ? std::nullopt : tag->valueForAttribute(QStringLiteral("id"));
    if (id) {
        item->setName(*id);
        item->setAppearsInOutline(!id->isEmpty());
    } else {
        item->setAppearsInOutline(false);
    }
    if (item->appearsInOutline())
        item->setImageName(QStringLiteral("NavElement"));
    if (tag->isCloseTag())
        return item;

    for (const LinkedElement& linked : linkedElements) {
        if (tag->name() != QLatin1String(linked.element))
            continue;
        const bool isLink = updateIfLinked(
            *item, *tag, QString::fromLatin1(linked.attribute), QString::fromLatin1(linked.prefix));
        if (isLink && tag->name() == QLatin1String("a")) {
            // The link's text names it when it is short and closed, or long enough to mean something.
            const qsizetype start = range.end();
            const qsizetype limit = std::min<qsizetype>(start + LinkTextReach, text.size());
            qsizetype lt = start;
            while (lt < limit && text.at(lt) != u'<')
                ++lt;
            const QString linkText = text.mid(start, lt - start);
            const bool closedByEndTag = lt < limit && lt + 4 <= text.size()
                && QStringView(text).mid(lt, 4).compare(QLatin1String("</a>"), Qt::CaseInsensitive) == 0;
            if (!linkText.isEmpty() && (closedByEndTag || linkText.size() > LooseLinkTextMinimum)) {
                item->setName(linkText);
                item->setDocStructureLength(item->docStructureLength() + linkText.size());
            }
        }
        break;
    }
    return item;
}

bool KELDocumentStructureHTMLParser::updateIfLinked(KELDocumentStructureHTMLElementItem& item, const TagInstance& tag,
    const QString& linkedAttribute, const QString& namePrefix)
{
    const std::optional<QString> value = tag.valueForAttribute(linkedAttribute);
    if (!value)
        return false;
    const qsizetype colon = value->indexOf(u':');
    if (colon >= 0) {
        const QStringView scheme = QStringView(*value).left(colon);
        if (scheme.compare(QLatin1String("http"), Qt::CaseInsensitive) != 0
            && scheme.compare(QLatin1String("https"), Qt::CaseInsensitive) != 0)
            return false;
    }
    item.setImageName(QStringLiteral("NavLink"));
    item.setLinkedPath(*value);
    item.setAppearsInOutline(true);
    item.setName(namePrefix + *value);
    return true;
}

bool KELDocumentStructureHTMLParser::itemClosesItem(
    const KELDocumentStructureItem& closingItem, const KELDocumentStructureItem& openItem, bool* matched)
{
    const auto* closing = dynamic_cast<const KELDocumentStructureHTMLElementItem*>(&closingItem);
    const auto* open = dynamic_cast<const KELDocumentStructureHTMLElementItem*>(&openItem);
    if (!closing || !open) {
        if (matched)
            *matched = false;
        return false;
    }
    if (matched)
        *matched = closing->elementName() == open->elementName();
    return true;
}

bool KELDocumentStructureHTMLParser::itemIsSuggestedCodeFold(const KELDocumentStructureItem& openItem)
{
    if (const auto* element = dynamic_cast<const KELDocumentStructureHTMLElementItem*>(&openItem))
        return !KELHTML5TagChecker::sharedInstance().singleTags().contains(element->elementName().toLower());
    return KELDocumentStructureParser::itemIsSuggestedCodeFold(openItem);
}
