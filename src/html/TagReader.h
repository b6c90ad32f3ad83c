#pragma once
// Reads one tag from a text: where it ends (past quoted parts and embedded PHP
// blocks), its name, whether it closes or closes itself, and its attributes. The
// HTML check and the document structure read tags alike through it.

#include "html/TagInstance.h"

#include <QString>
#include <functional>
#include <memory>

class TagReader {
public:
    /// Hears of each attribute read, with the range of its value in the text.
    using AttributeRead = std::function<void(const QString& name, kit::Range value)>;

    /// Reads the tag at the "<" at `start`, reading no further than `last`. Answers the
    /// index of the last character it consumed; `complete` (may be null) is set only
    /// when the tag's ">" was found and the tag filled in.
    static qsizetype readTag(qsizetype start, qsizetype last, TagInstance& tag, const QString& text, bool* complete,
        const AttributeRead& attributeRead = {});
    /// One tag over exactly the range, which must start with "<" and end with ">".
    static std::shared_ptr<TagInstance> tagInRange(kit::Range range, const QString& text);
    /// The index just after the first "?>" in [from, last]; last + 1 without one.
    static qsizetype indexAfterPHPClose(qsizetype from, qsizetype last, const QString& text);
};
