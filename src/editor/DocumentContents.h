#pragma once
// What every holder of a file's text answers, whether the file is open in an
// editor (an open document) or not (a placeholder of the file).

#include "kit/Types.h"

#include <QString>
#include <QUrl>
#include <optional>

class DocumentContents {
public:
    virtual ~DocumentContents() = default;

    virtual QString displayName() const = 0;
    /// Empty when there is no file.
    virtual QUrl fileURL() const = 0;
    /// The text; none when it cannot be had.
    virtual std::optional<QString> docContents() = 0;
    /// The text encoding (NoEncoding = none chosen; 0 = not known yet).
    virtual kit::StringEncoding encoding() = 0;

    /// Open documents are equal only to themselves; placeholders by file.
    virtual bool isEqualToContents(const DocumentContents& other) const { return this == &other; }
    virtual size_t contentsHash() const { return std::hash<const void*>()(this); }
};
