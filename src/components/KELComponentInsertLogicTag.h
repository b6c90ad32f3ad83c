#pragma once
// The template tags of a component's insert templates. Reading turns an element
// of the definition file into a tree of tags and literal texts; rendering walks
// the tree and appends text, asking the resolver for values.
//
// The tag classes are small and only meaningful together, so they share this header.

#include "components/KELComponentExpression.h"
#include "components/KELComponentResolver.h"
#include "support/KELXMLNode.h"

#include <QHash>
#include <QSet>
#include <QSizeF>
#include <QString>
#include <QUrl>
#include <memory>
#include <vector>

class KELComponentInsertLogicTag {
public:
    virtual ~KELComponentInsertLogicTag();

    /// A tag of the named class (a name of the tag registry) made from the element;
    /// null for an unknown class name.
    static std::unique_ptr<KELComponentInsertLogicTag> logicTagWithNode(const QString& className, const KELXMLNode& node);

    /// Renders the tag: its content into a fresh text, blank lines removed when
    /// asked, then appended to the target.
    void appendContentToString(QString& target, KELComponentResolver& resolver) const;

    const std::vector<std::unique_ptr<KELComponentInsertLogicTag>>& children() const { return m_children; }
    bool removeBlankLines() const { return m_removeBlankLines; }

    /// nil false; a number by its value; a non-empty text true ("false" and "0"
    /// included); any other value true.
    static bool booleanValue(const QVariant& value);
    /// Deletes the lines that hold only blanks and tabs, with their line breaks;
    /// a last line without a break stays.
    static void removeBlankLinesFromString(QString& text);

    /// Most rounds one loop may run, and all loops of one rendering together.
    static constexpr qint64 MaximumLoopRounds = 10000;
    static constexpr qint64 MaximumRenderRounds = 100000;
    /// Longest text one rendering may produce; loops stop beyond it.
    static constexpr qsizetype MaximumOutputLength = 16 * 1024 * 1024;

protected:
    KELComponentInsertLogicTag() = default;
    /// Reads the children and "removeBlankLines", then the class's own attributes.
    void initWithNode(const KELXMLNode& node);
    virtual void readAttributes(const KELXMLNode&) { }
    /// The tag's own rendering; the base renders the children in order.
    virtual void render(QString& target, KELComponentResolver& resolver) const;
    void renderChildren(QString& target, KELComponentResolver& resolver) const;

    std::vector<std::unique_ptr<KELComponentInsertLogicTag>> m_children;
    bool m_removeBlankLines = false;

    friend class KELComponentChooseTag;
};

class KELComponentInsertText : public KELComponentInsertLogicTag {
public:
    explicit KELComponentInsertText(QString text) : m_text(std::move(text)) { }
    const QString& text() const { return m_text; }

protected:
    void render(QString& target, KELComponentResolver&) const override { target += m_text; }

private:
    QString m_text;
};

/// The root of one insert template.
class KELComponentInsertPrimary : public KELComponentInsertLogicTag {
public:
    enum InsertType { Body = 0, Head = 1 };
    static std::unique_ptr<KELComponentInsertPrimary> logicTagWithNode(const KELXMLNode& node);
    InsertType insertType() const { return m_insertType; }

protected:
    void readAttributes(const KELXMLNode& node) override;
    void render(QString& target, KELComponentResolver& resolver) const override;

private:
    InsertType m_insertType = Body;
};

class KELComponentIfTag : public KELComponentInsertLogicTag {
protected:
    void readAttributes(const KELXMLNode& node) override;
    void render(QString& target, KELComponentResolver& resolver) const override;
    std::unique_ptr<KELComponentExpression> m_condition;
    friend class KELComponentChooseTag;
};

class KELComponentWhenTag : public KELComponentIfTag { };
class KELComponentOtherwiseTag : public KELComponentInsertLogicTag { };

class KELComponentChooseTag : public KELComponentInsertLogicTag {
protected:
    void render(QString& target, KELComponentResolver& resolver) const override;
};

class KELComponentIsSetTag : public KELComponentInsertLogicTag {
protected:
    void readAttributes(const KELXMLNode& node) override;
    void render(QString& target, KELComponentResolver& resolver) const override;
    QString m_var;
};

class KELComponentForLoopTag : public KELComponentInsertLogicTag {
protected:
    void readAttributes(const KELXMLNode& node) override;
    void render(QString& target, KELComponentResolver& resolver) const override;
    std::unique_ptr<KELComponentExpression> m_init;
    std::unique_ptr<KELComponentExpression> m_test;
    std::unique_ptr<KELComponentExpression> m_count;
};

class KELComponentSetTag : public KELComponentInsertLogicTag {
protected:
    void readAttributes(const KELXMLNode& node) override;
    void render(QString& target, KELComponentResolver& resolver) const override;
    QString m_var;
};

class KELComponentEvaluateTag : public KELComponentInsertLogicTag {
protected:
    void readAttributes(const KELXMLNode& node) override;
    void render(QString& target, KELComponentResolver& resolver) const override;
    std::unique_ptr<KELComponentExpression> m_value;
};

class KELComponentPrintTag : public KELComponentInsertLogicTag {
public:
    enum NewLineEncoding { NewLineNone = 0, NewLineSpace = 1, NewLineScript = 2, NewLineHTML = 3 };
    /// The text as the tag writes it: newlines by the mode, then either a backslash
    /// before each escaped character or the HTML encoding of " & ' < >.
    static QString encodeString(const QString& text, NewLineEncoding newLines, const std::optional<QSet<QChar>>& escapeChars);

protected:
    void readAttributes(const KELXMLNode& node) override;
    void render(QString& target, KELComponentResolver& resolver) const override;
    /// The value as text; none when there is nothing to print.
    virtual std::optional<QString> convertToString(const QVariant& value, KELComponentResolver& resolver) const;

    std::unique_ptr<KELComponentExpression> m_value;
    std::optional<QSet<QChar>> m_escapeChars;
    bool m_encode = true;
    NewLineEncoding m_newLineEncoding = NewLineSpace;
};

class KELComponentURLTag : public KELComponentPrintTag {
protected:
    void readAttributes(const KELXMLNode& node) override;
    std::optional<QString> convertToString(const QVariant& value, KELComponentResolver& resolver) const override;
    std::unique_ptr<KELComponentExpression> m_relativeToPath;
};

class KELComponentUniqueTag : public KELComponentInsertLogicTag {
protected:
    void readAttributes(const KELXMLNode& node) override;
    void render(QString& target, KELComponentResolver& resolver) const override;
    QString m_var;
};

class KELComponentSelectionTag : public KELComponentInsertLogicTag {
protected:
    void render(QString& target, KELComponentResolver& resolver) const override;
};

class KELComponentCenterPreviewTag : public KELComponentInsertLogicTag {
protected:
    void render(QString& target, KELComponentResolver& resolver) const override;
};

class KELComponentRandomImageTag : public KELComponentInsertLogicTag {
public:
    struct ImageInfo {
        QUrl url;
        QSizeF size;
    };

protected:
    void readAttributes(const KELXMLNode& node) override;
    void render(QString& target, KELComponentResolver& resolver) const override;
    std::unique_ptr<KELComponentExpression> m_maxWidth;
    std::unique_ptr<KELComponentExpression> m_maxHeight;
    std::unique_ptr<KELComponentExpression> m_index;
    // The same index shows the same picture on every regeneration.
    mutable QHash<qint64, ImageInfo> m_randomImageUrls;
};
