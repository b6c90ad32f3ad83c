#pragma once
// What templates and expressions ask of the code generator: the values of
// variables by key path, stores of their own values, and unique HTML ids.

#include <QString>
#include <QVariant>
#include <optional>

class KELComponentResolver {
public:
    virtual ~KELComponentResolver() = default;
    /// The value at a key path, or nil.
    virtual QVariant evaluateVariable(const QString& keyPath) = 0;
    /// Stores a value for the rest of the run.
    virtual void setValueForVariable(const QVariant& value, const QString& keyPath) = 0;
    /// An HTML id made from the variable's value, not yet used in the page; none
    /// when the variable has no text value.
    virtual std::optional<QString> uniqueIdForVariable(const QString& keyPath) = 0;
    /// A file of the program's own component folders that the page links to (a stock
    /// picture) would break once the site is published: the resolver may copy it
    /// beside the page's other included files and answer the copy's path. None: link
    /// the file where it is.
    virtual std::optional<QString> copyOfLinkedFile(const QString&) { return std::nullopt; }
};
