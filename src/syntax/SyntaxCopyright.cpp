#include "syntax/SyntaxCopyright.h"

#include "syntax/SyntaxXML.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>

SyntaxCopyright::SyntaxCopyright(const SyntaxXMLNode& node)
{
    m_copyrightId = node.valueForAttribute("id");
    m_htmlValue = node.contents();
}

void SyntaxCopyright::setHtmlValue(const QString& html)
{
    m_htmlValue = html;
    m_value.reset();
}

StyledText SyntaxCopyright::value() const
{
    if (m_value)
        return *m_value;
    StyledText out;
    if (!m_htmlValue.trimmed().isEmpty()) {
        // Read as Unicode HTML: notices with non-ASCII characters keep them.
        QTextDocument doc;
        doc.setHtml(m_htmlValue);
        for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
            if (block != doc.begin())
                out.append(QStringLiteral("\n"), block.charFormat());
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextFragment f = it.fragment();
                if (f.isValid())
                    out.append(f.text(), f.charFormat());
            }
        }
    }
    m_value = out;
    return out;
}
