#pragma once
// Reads one tag from a text: where it ends (past quoted parts and embedded PHP
// blocks), its name, whether it closes or closes itself, and its attributes. The
// HTML check and the document structure read tags alike through it.

#include "html/TagInstance.h"

#include <QString>
#include <QStringView>
#include <functional>
#include <memory>
#include <vector>

/// One tag as positions in its text, for readers that need no copies of its parts.
/// A scan may be reused: every read sets all of it.
struct TagScan {
    struct Attribute {
        kit::Range name;
        kit::Range value;
    };
    /// The whole tag, "<" to ">" inclusive.
    kit::Range location;
    /// The name as written.
    kit::Range nameRange;
    bool isCloseTag = false;
    /// A tag written with "/" before its ">".
    bool isXHTMLCloseTag = false;
    /// In text order; a name may occur more than once.
    std::vector<Attribute> attributes;
};

class TagReader {
public:
    /// Hears of each attribute read, with the range of its value in the text.
    using AttributeRead = std::function<void(const QString& name, kit::Range value)>;

    /// Reads the tag at the "<" at `start`, reading no further than `last`. Answers the
    /// index of the last character it consumed; `complete` (may be null) is set only
    /// when the tag's ">" was found and the tag filled in.
    static qsizetype readTag(qsizetype start, qsizetype last, TagInstance& tag, const QString& text, bool* complete,
        const AttributeRead& attributeRead = {});
    /// The same read as readTag, answering positions only; `scan` is filled in only when
    /// `complete` is set.
    static qsizetype scanTag(qsizetype start, qsizetype last, const QString& text, TagScan& scan, bool* complete);
    /// Sets the tag from a complete scan as readTag would, with the given lower-case name.
    static void fillTag(const TagScan& scan, const QString& lowerCaseName, const QString& text, TagInstance& tag);
    /// One tag over exactly the range, which must start with "<" and end with ">".
    static std::shared_ptr<TagInstance> tagInRange(kit::Range range, const QString& text);
    /// The index just after the first "?>" in [from, last]; last + 1 without one.
    static qsizetype indexAfterPHPClose(qsizetype from, qsizetype last, const QString& text);

    /// The name in lower case. Names met before are shared rather than made again: a page
    /// names the same few elements and attributes thousands of times.
    static QString lowerCaseName(QStringView name);
};

/// A name in lower case, in a buffer of its own when it is short ASCII (no allocation).
/// The view is valid while this object lives.
class LowerCaseView {
public:
    explicit LowerCaseView(QStringView name);
    LowerCaseView(const LowerCaseView&) = delete;
    LowerCaseView& operator=(const LowerCaseView&) = delete;
    QStringView view() const { return m_view; }
    /// Whether the name was short ASCII, lower-cased in place.
    bool isShortASCII() const { return m_shortASCII; }

private:
    static constexpr qsizetype Capacity = 64;
    char16_t m_buffer[Capacity];
    QString m_string;
    QStringView m_view;
    bool m_shortASCII = true;
};
