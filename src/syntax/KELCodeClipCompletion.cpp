#include "syntax/KELCodeClipCompletion.h"

#include "syntax/KELCompletionUtils.h"

StyledText KELCodeClipCompletion::displayName() const
{
    const KELCompletionUtils& utils = KELCompletionUtils::sharedInstance();
    StyledText out;
    out.append(m_clip.completionName(), utils.displayValueAttributes());
    out.append(QStringLiteral(" (Code Clip)"), utils.displayValueGreyAttributes());
    return out;
}

StyledText KELCodeClipCompletion::displayDescription() const
{
    StyledText out;
    out.append(QStringLiteral("%1 Contents:\n\n").arg(m_clip.name()) + m_clip.content(),
        KELCompletionUtils::sharedInstance().descriptionAttributes());
    return out;
}
