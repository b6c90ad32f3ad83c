// Comment toggling and bookmark comments, shared by the language parsers.

#include "syntax/KELSyntaxTextView.h"
#include "kit/UndoManager.h"
#include "kit/text/TextStorage.h"
#include "syntax/KELDocumentStructureParser.h"
#include "syntax/SyntaxManager.h"
#include "syntax/SyntaxType.h"

#include <QCoreApplication>
#include <algorithm>

using kit::Range;

namespace {

// A bookmark comment looks no further than this for its start and its text.
constexpr qsizetype BookmarkReach = 150;
constexpr qsizetype BookmarkNameLimit = 100;

bool isLineBreak(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar(0x2028) || c == QChar(0x2029) || c == QChar(0x85);
}

// The line holding the index, its terminator included.
Range lineRangeAt(const QString& text, qsizetype index)
{
    qsizetype start = std::clamp<qsizetype>(index, 0, text.size());
    while (start > 0 && !isLineBreak(text.at(start - 1)))
        --start;
    // "\r\n" is one terminator: a start between its two halves belongs to the line before.
    if (start > 0 && start < text.size() && text.at(start - 1) == u'\r' && text.at(start) == u'\n')
        return Range(start, 1);
    qsizetype end = start;
    while (end < text.size() && !isLineBreak(text.at(end)))
        ++end;
    if (end < text.size()) {
        if (text.at(end) == u'\r' && end + 1 < text.size() && text.at(end + 1) == u'\n')
            end += 2;
        else
            ++end;
    }
    return Range(start, end - start);
}

bool containsAt(const QString& text, qsizetype index, const QString& what)
{
    return !what.isEmpty() && index >= 0 && index + what.size() <= text.size()
        && QStringView(text).mid(index, what.size()) == what;
}

// A name cut to its first characters when it runs long.
QString bookmarkName(const QString& raw)
{
    QString name = raw.trimmed();
    if (name.size() > BookmarkNameLimit)
        name.truncate(BookmarkNameLimit);
    return name;
}

struct CommentEdit
{
    Range range;
    QString replacement;
};

// The line-comment insertion points: the range's own location, then the start of
// each following line that begins inside the range.
QList<std::pair<qsizetype, Range>> insertionPoints(const QString& text, Range range)
{
    QList<std::pair<qsizetype, Range>> points;
    qsizetype position = std::clamp<qsizetype>(range.location, 0, text.size());
    Range line = lineRangeAt(text, position);
    points.append({ position, line });
    while (line.end() < range.end() && line.end() < text.size() && line.length > 0) {
        position = line.end();
        line = lineRangeAt(text, position);
        points.append({ position, line });
    }
    return points;
}

// Applies edits collected in text order, last first, as one undoable change.
Range applyEdits(KELSyntaxTextView* view, Range range, const QList<CommentEdit>& edits, bool adding,
    qsizetype* changeInLength)
{
    if (edits.isEmpty() || !view || !view->textStorage())
        return range;
    kit::TextStorage* storage = view->textStorage();
    for (const CommentEdit& edit : edits)
        if (edit.range.location < 0 || edit.range.end() > storage->length())
            return range;
    if (!view->isEditable())
        return range;
    QList<Range> ranges;
    QStringList replacements;
    for (const CommentEdit& edit : edits) {
        ranges.append(edit.range);
        replacements.append(edit.replacement);
    }
    kit::UndoManager* undo = view->undoManager();
    if (undo)
        undo->beginUndoGrouping();
    // All lines or none: a change refused for one of them leaves the text as it was.
    if (!view->shouldChangeTextInRanges(ranges, replacements)) {
        if (undo)
            undo->endUndoGrouping();
        return range;
    }
    storage->beginEditing();
    for (qsizetype i = edits.size() - 1; i >= 0; --i) {
        const CommentEdit& edit = edits[i];
        storage->replaceCharacters(edit.range, edit.replacement);
        if (changeInLength)
            *changeInLength += edit.replacement.size() - edit.range.length;
    }
    storage->endEditing();
    if (undo) {
        undo->setActionName(adding ? QCoreApplication::translate("KELDocumentStructureParser", "Comment Text")
                                   : QCoreApplication::translate("KELDocumentStructureParser", "Uncomment Text"));
        undo->endUndoGrouping();
    }
    view->didChangeText();

    if (adding) {
        qsizetype inserted = 0;
        for (const CommentEdit& edit : edits)
            inserted += edit.replacement.size();
        return Range(range.location, range.length + inserted);
    }
    // Removing: each end point moves back by what was deleted before it; a point
    // inside a deletion lands at the deletion's start.
    auto map = [&edits](qsizetype position) {
        qsizetype shift = 0;
        for (const CommentEdit& edit : edits) {
            if (edit.range.end() <= position)
                shift += edit.range.length;
            else if (edit.range.location < position)
                shift += position - edit.range.location;
        }
        return position - shift;
    };
    const qsizetype start = map(range.location);
    const qsizetype end = map(range.end());
    return Range(start, std::max<qsizetype>(0, end - start));
}

} // namespace

qsizetype KELDocumentStructureParser::effectiveCommentLocationInText(const QString& text, Range lineRange) const
{
    const QString escape = commentEscape();
    const QString comment = lineCommentString();
    const qsizetype end = std::min<qsizetype>(lineRange.end(), text.size());
    for (qsizetype p = std::max<qsizetype>(0, lineRange.location); p < end; ++p) {
        if (containsAt(text, p, escape))
            p += escape.size(); // the escape and the character after it
        else if (containsAt(text, p, comment))
            return p;
    }
    return kit::NotFound;
}

bool KELDocumentStructureParser::isCommented(KELSyntaxTextView* view, Range range)
{
    if (!view || !view->textStorage())
        return false;
    const kit::TextStorage* storage = view->textStorage();
    const qsizetype n = storage->length();
    if (!usesMultiLineComments()) {
        // Menu validation asks after every keystroke: read only the selection's lines
        // (and a character either side), not the whole text.
        const qsizetype location = std::clamp<qsizetype>(range.location, 0, n);
        const Range clipped(location, std::clamp<qsizetype>(range.length, 0, n - location));
        const Range lines = storage->lineRange(clipped);
        const qsizetype from = std::max<qsizetype>(0, lines.location - 1);
        const QString text = storage->substring(Range(from, lines.end() + 1 - from));
        for (const auto& [position, line] : insertionPoints(text, Range(clipped.location - from, clipped.length))) {
            const qsizetype at = effectiveCommentLocationInText(text, line);
            if (at == kit::NotFound || at > position)
                return false;
        }
        return true;
    }
    Range tested = range;
    if (tested.length == 0) {
        if (tested.location <= 0 || tested.location >= n)
            return false;
        tested = Range(tested.location - 1, 2);
    }
    const QString structureName = commentStructureName();
    SyntaxType* type = SyntaxManager::sharedInstance().typeForName(typeName());
    if (!type || structureName.isEmpty())
        return false;
    Range effective(kit::NotFound, 0);
    if (!type->textViewHasStructure(view->textStorage(), structureName, tested.location, &effective))
        return false;
    return effective.location != kit::NotFound && effective.location <= tested.location
        && tested.end() <= effective.end();
}

Range KELDocumentStructureParser::addComments(KELSyntaxTextView* view, Range range, qsizetype* changeInLength)
{
    if (!view || !view->textStorage())
        return range;
    const QString text = view->textStorage()->string();
    if (range.location < 0 || range.location > text.size())
        return range;
    range.length = std::clamp<qsizetype>(range.length, 0, text.size() - range.location);
    QList<CommentEdit> edits;

    if (!usesMultiLineComments()) {
        const QString comment = lineCommentString();
        for (const auto& [position, line] : insertionPoints(text, range)) {
            const qsizetype at = effectiveCommentLocationInText(text, line);
            if (at == kit::NotFound || at > position)
                edits.append({ Range(position, 0), comment });
        }
        return applyEdits(view, range, edits, true, changeInLength);
    }

    const QString S = multiLineCommentStartString();
    const QString E = multiLineCommentEndString();
    const qsizetype e = range.end();
    bool inComment = range.length > 0 && isCommented(view, Range(range.location, 1));
    qsizetype p = range.location;
    for (;;) {
        if (inComment) {
            const qsizetype close = text.indexOf(E, p);
            if (close < 0 || close + E.size() > e)
                break;
            p = close + E.size();
            inComment = false;
            if (p >= e)
                break;
        }
        // Open a new comment at p and run to the next existing comment mark.
        edits.append({ Range(p, 0), S });
        const qsizetype opened = p;
        bool closed = false;
        bool reopen = false;
        while (p < e) {
            if (containsAt(text, p, S)) {
                // Close ours before the existing comment; go on after it.
                if (p == opened)
                    edits.removeLast(); // nothing to comment before it
                else
                    edits.append({ Range(p, 0), E });
                p += S.size();
                inComment = true;
                reopen = true;
                break;
            }
            if (containsAt(text, p, E)) {
                // An existing end closes ours.
                if (p == opened)
                    edits.removeLast();
                p += E.size();
                closed = true;
                break;
            }
            ++p;
        }
        if (reopen)
            continue;
        if (closed) {
            if (p < e)
                continue;
            break;
        }
        edits.append({ Range(e, 0), E });
        break;
    }
    return applyEdits(view, range, edits, true, changeInLength);
}

Range KELDocumentStructureParser::removeComments(KELSyntaxTextView* view, Range range, qsizetype* changeInLength)
{
    if (!view || !view->textStorage())
        return range;
    const QString text = view->textStorage()->string();
    if (range.location < 0 || range.location > text.size())
        return range;
    range.length = std::clamp<qsizetype>(range.length, 0, text.size() - range.location);
    QList<CommentEdit> edits;

    if (!usesMultiLineComments()) {
        const QString comment = lineCommentString();
        for (const auto& [position, line] : insertionPoints(text, range)) {
            const qsizetype at = effectiveCommentLocationInText(text, line);
            if (at != kit::NotFound && at <= position)
                edits.append({ Range(at, comment.size()), QString() });
        }
        return applyEdits(view, range, edits, false, changeInLength);
    }

    const QString S = multiLineCommentStartString();
    const QString E = multiLineCommentEndString();
    bool inComment = false;
    qsizetype p = range.location;
    if (range.location < text.size() && isCommented(view, Range(range.location, 1))) {
        const qsizetype from = std::min<qsizetype>(range.location + S.size(), text.size()) - S.size();
        const qsizetype start = from < 0 ? -1 : text.lastIndexOf(S, from);
        if (start >= 0) {
            p = start;
            inComment = true;
        }
    }
    // A comment that starts inside the range is followed to its end.
    while ((p < range.end() || inComment) && p < text.size()) {
        if (containsAt(text, p, S)) {
            edits.append({ Range(p, S.size()), QString() });
            p += S.size();
            inComment = true;
        } else if (containsAt(text, p, E)) {
            edits.append({ Range(p, E.size()), QString() });
            p += E.size();
            inComment = false;
        } else {
            ++p;
        }
    }
    return applyEdits(view, range, edits, false, changeInLength);
}

KELDocumentStructureItemRef KELDocumentStructureParser::parseLineCommentInText(
    const QString& text, Range range, Range* actualRange)
{
    const QString comment = lineCommentString();
    const qsizetype x = range.location;
    if (comment.isEmpty() || x < 0 || x > text.size())
        return nullptr;
    const Range line = lineRangeAt(text, x);
    const qsizetype from = std::max(x - BookmarkReach, line.location);
    qsizetype c = kit::NotFound;
    for (qsizetype at = from; at <= x; ++at)
        if (containsAt(text, at, comment)) {
            c = at;
            break;
        }
    if (c == kit::NotFound)
        return nullptr;
    const qsizetype m = std::min<qsizetype>(c + BookmarkReach, text.size());
    qsizetype p = c + comment.size();
    while (p < m && (text.at(p) == u' ' || text.at(p) == u'\t'))
        ++p;
    if (p >= m || text.at(p) != u'!' || p + 1 >= m)
        return nullptr;
    // The item ends with the line's text: the line break after it belongs to the
    // text that follows, which a colouring pass clears separately.
    qsizetype lineEnd = line.end();
    while (lineEnd > line.location && isLineBreak(text.at(lineEnd - 1)))
        --lineEnd;
    const QString name = bookmarkName(text.mid(p + 1, std::min<qsizetype>(BookmarkReach, lineEnd - (p + 1))));
    if (name.isEmpty())
        return nullptr;
    auto item = KELDocumentStructureItem::itemWithTypeName(typeName());
    item->setName(name);
    item->setImageName(QStringLiteral("NavBookmark"));
    item->setDocStructureLength(lineEnd - c);
    if (actualRange)
        *actualRange = Range(c, lineEnd - c);
    return item;
}

KELDocumentStructureItemRef KELDocumentStructureParser::parseMultiLineCommentInText(
    const QString& text, Range range, Range* actualRange)
{
    const QString S = multiLineCommentStartString();
    const QString E = multiLineCommentEndString();
    const qsizetype x = std::min<qsizetype>(range.location, text.size());
    if (S.isEmpty() || x < 0)
        return nullptr;
    qsizetype c = kit::NotFound;
    for (qsizetype at = x; at >= std::max<qsizetype>(0, x - BookmarkReach); --at)
        if (containsAt(text, at, S)) {
            c = at;
            break;
        }
    if (c == kit::NotFound)
        return nullptr;
    const qsizetype m = std::min<qsizetype>(c + BookmarkReach, text.size());
    qsizetype p = c + S.size();
    while (p < m && text.at(p).isSpace())
        ++p;
    if (p >= m || text.at(p) != u'!' || p + 1 >= m)
        return nullptr;
    qsizetype textEnd = m;
    qsizetype e = m;
    for (qsizetype at = p + 1; at < m; ++at)
        if (containsAt(text, at, E)) {
            textEnd = at;
            e = at + E.size();
            break;
        }
    const QString name = bookmarkName(text.mid(p + 1, textEnd - (p + 1)));
    if (name.isEmpty())
        return nullptr;
    auto item = KELDocumentStructureItem::itemWithTypeName(typeName());
    item->setName(name);
    item->setImageName(QStringLiteral("NavBookmark"));
    item->setDocStructureLength(e - c);
    if (actualRange)
        *actualRange = Range(c, e - c);
    return item;
}
