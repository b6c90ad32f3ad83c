#pragma once
// A copyright notice shown under the descriptions of the words it covers.

#include "syntax/StyledText.h"

#include <QString>
#include <memory>
#include <optional>

class SyntaxXMLNode;

class SyntaxCopyright
{
public:
    SyntaxCopyright() = default;
    explicit SyntaxCopyright(const SyntaxXMLNode& node);
    static std::unique_ptr<SyntaxCopyright> copyrightWithNode(const SyntaxXMLNode& node)
    {
        return std::make_unique<SyntaxCopyright>(node);
    }

    const QString& copyrightId() const { return m_copyrightId; }
    void setCopyrightId(const QString& id) { m_copyrightId = id; }
    const QString& htmlValue() const { return m_htmlValue; }
    /// Also remakes value().
    void setHtmlValue(const QString& html);
    /// The notice as styled text; empty when there is no HTML. Any Unicode
    /// text is kept (not only ASCII).
    StyledText value() const;

private:
    QString m_copyrightId;
    QString m_htmlValue;
    mutable std::optional<StyledText> m_value;
};
