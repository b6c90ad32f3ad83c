#pragma once
// Base of the value nodes that combine others.

#include "css/KELCSSPropertyValueDefinition.h"

#include <memory>
#include <vector>

/// Base of the nodes with a list of components (not owned).
class KELCSSPropertyComplexValueDefinition : public KELCSSPropertyValueDefinition {
public:
    explicit KELCSSPropertyComplexValueDefinition(QList<const KELCSSPropertyValueDefinition*> components)
        : m_components(std::move(components)) {}
    const QList<const KELCSSPropertyValueDefinition*>& componentValueDefs() const { return m_components; }

protected:
    QList<const KELCSSPropertyValueDefinition*> m_components;
    /// Parts a composite grammar builds for itself.
    template <class T, class... A>
    T* own(A&&... args)
    {
        auto p = std::make_unique<T>(std::forward<A>(args)...);
        T* raw = p.get();
        m_owned.push_back(std::move(p));
        return raw;
    }

private:
    std::vector<std::unique_ptr<KELCSSPropertyValueDefinition>> m_owned;
};
