#pragma once
// Identity of one token (placeholder or fold): runs of the same object form one token.

#include <QMetaType>
#include <memory>

class KELTokenId {
public:
    KELTokenId(quint64 length, quint64 newLines) : m_length(length), m_newLines(newLines) {}
    static std::shared_ptr<const KELTokenId> tokenIdWithLength(quint64 length, quint64 newLines)
    {
        return std::make_shared<const KELTokenId>(length, newLines);
    }
    quint64 length() const { return m_length; }
    quint64 newLines() const { return m_newLines; }

private:
    quint64 m_length;
    quint64 m_newLines;
};

/// Token ids are stored as shared pointers; QVariant compares them by identity.
using KELTokenIdRef = std::shared_ptr<const KELTokenId>;
Q_DECLARE_METATYPE(KELTokenIdRef)
