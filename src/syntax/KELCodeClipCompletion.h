#pragma once
// A code clip offered in the completion list by its completion name.

#include "html/KELCodeClip.h"
#include "syntax/KELCompletion.h"

class KELCodeClipCompletion : public KELCompletion
{
public:
    KELCodeClipCompletion(const KELCodeClip& clip, kit::Range range)
        : m_clip(clip)
        , m_range(range)
    {
    }

    const KELCodeClip& clip() const { return m_clip; }

    QString name() const override { return m_clip.name().isNull() ? QStringLiteral("") : m_clip.name(); }
    QString value() const override { return m_clip.content().isNull() ? QStringLiteral("") : m_clip.content(); }
    QString typeName() const override { return QString(); }
    /// The completion name, then " (Code Clip)" in grey.
    StyledText displayName() const override;
    /// "<name> Contents:" and the content.
    StyledText displayDescription() const override;
    QUrl infoURL() const override { return QUrl(); }
    kit::Range range() const override { return m_range; }
    bool isCodeClipCompletion() const override { return true; }

private:
    KELCodeClip m_clip;
    kit::Range m_range;
};
