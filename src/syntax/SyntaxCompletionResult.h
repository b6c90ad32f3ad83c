#pragma once
// The completion entries a colouring pass collected at the cursor.

#include "kit/Types.h"
#include "syntax/KELCompletion.h"

#include <QList>
#include <memory>

class SyntaxCompletionResult
{
public:
    QList<std::shared_ptr<KELCompletion>>& completions() { return m_completions; }
    const QList<std::shared_ptr<KELCompletion>>& completions() const { return m_completions; }
    kit::Range maxCompletionRange() const { return m_maxCompletionRange; }
    void setMaxCompletionRange(kit::Range r) { m_maxCompletionRange = r; }

private:
    QList<std::shared_ptr<KELCompletion>> m_completions;
    kit::Range m_maxCompletionRange { kit::NotFound, 0 };
};
