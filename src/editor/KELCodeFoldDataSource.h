#pragma once
// How the gutter learns where the text can be folded: the document answers the
// candidates of a range, each a region of the document's structure.

#include "kit/Types.h"

#include <QList>
#include <memory>

class KELCodeFoldOpportunity
{
public:
    virtual ~KELCodeFoldOpportunity() = default;
    /// Where the foldable contents begin (just after the opening element).
    virtual qsizetype contentsLocation() const = 0;
    /// What folding hides; empty when there is nothing to fold.
    virtual kit::Range contentsRange() const = 0;
};

using KELCodeFoldOpportunityRef = std::shared_ptr<KELCodeFoldOpportunity>;

class KELCodeFoldDataSource
{
public:
    virtual ~KELCodeFoldDataSource() = default;
    virtual QList<KELCodeFoldOpportunityRef> foldOpportunitiesInRange(kit::Range range) = 0;
};
