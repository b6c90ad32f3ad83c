#pragma once
// One entry of the completion list: vocabulary words and code clips alike.

#include "kit/Types.h"
#include "syntax/StyledText.h"

#include <QString>
#include <QUrl>

class KELCompletion
{
public:
    virtual ~KELCompletion() = default;

    /// Text used for sorting.
    virtual QString name() const = 0;
    /// Text to insert; a null string means the entry inserts nothing.
    virtual QString value() const = 0;
    virtual QString typeName() const = 0;
    virtual StyledText displayName() const = 0;
    virtual StyledText displayDescription() const = 0;
    /// A web address with more information; empty when there is none.
    virtual QUrl infoURL() const = 0;
    /// List order: negative, zero or positive (KELCompletionUtils::compare).
    virtual int compare(const KELCompletion& other) const;
    /// The characters that inserting the entry replaces.
    virtual kit::Range range() const = 0;
    /// Code-clip entries sort after every other entry.
    virtual bool isCodeClipCompletion() const { return false; }
};
