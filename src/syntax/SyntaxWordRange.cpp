#include "syntax/SyntaxWordRange.h"

#include "kit/Log.h"
#include "syntax/KELCompletionUtils.h"
#include "syntax/SyntaxCopyright.h"
#include "syntax/SyntaxWord.h"

#include <QStringList>

SyntaxWordRange::SyntaxWordRange(
    const SyntaxWord* word, kit::Range range, const SyntaxCopyright* copyright, const QString& typeName)
    : m_word(word)
    , m_range(range)
    , m_copyright(copyright)
    , m_typeName(typeName)
{
    if (!word)
        kit::log(QStringLiteral("Error: Word range with no word"));
}

QString SyntaxWordRange::name() const { return m_word ? m_word->insertValue() : QString(); }

QString SyntaxWordRange::value() const { return m_word ? m_word->insertValue() : QString(); }

StyledText SyntaxWordRange::displayName() const { return m_word ? m_word->displayValue() : StyledText(); }

StyledText SyntaxWordRange::displayDescription() const
{
    const QTextCharFormat& format = KELCompletionUtils::sharedInstance().descriptionAttributes();
    StyledText out;
    if (m_word && !m_word->description().isEmpty()) {
        QString text = m_word->description();
        if (!m_word->standard().isEmpty())
            text += QStringLiteral(" (%1)").arg(m_word->standard());
        text += QStringLiteral("\n\n");
        out.append(text, format);
    }
    if (m_copyright) {
        StyledText notice = m_copyright->value();
        // Keep the notice's own weight and slant, in the description's font.
        for (auto& r : notice.formats) {
            r.format.setFontFamilies(QStringList { format.font().family() });
            r.format.setFontPointSize(format.font().pointSizeF());
        }
        out.append(notice);
    }
    return out;
}

QUrl SyntaxWordRange::infoURL() const
{
    if (!m_word || m_word->infoUrl().isEmpty())
        return QUrl();
    return QUrl(m_word->infoUrl());
}

bool SyntaxWordRange::isEqual(const KELCompletion& other) const
{
    const auto* o = dynamic_cast<const SyntaxWordRange*>(&other);
    return o && o->m_word == m_word;
}

QString SyntaxWordRange::description() const
{
    return QStringLiteral("Word:%1 Range:(%2,%3)")
        .arg(m_word ? m_word->value() : QString())
        .arg(m_range.location)
        .arg(m_range.length);
}
