#include "syntax/SyntaxText.h"

#include <algorithm>

QString SyntaxText::mid(qsizetype from, qsizetype length) const
{
    if (m_storage)
        return m_storage->substring(kit::Range(from, length));
    const qsizetype n = m_string->size();
    from = std::clamp<qsizetype>(from, 0, n);
    return m_string->mid(from, std::clamp<qsizetype>(length, 0, n - from));
}

bool SyntaxText::matchesAt(qsizetype i, QStringView what) const
{
    if (i < 0 || what.size() > size() - i)
        return false;
    if (!m_storage)
        return QStringView(*m_string).mid(i, what.size()) == what;
    for (qsizetype k = 0; k < what.size(); ++k)
        if (m_storage->characterAt(i + k) != what[k])
            return false;
    return true;
}

qsizetype SyntaxText::lastIndexOf(QStringView what, qsizetype from) const
{
    if (!m_storage)
        return QStringView(*m_string).lastIndexOf(what, from);
    if (what.isEmpty())
        return std::min(from, size());
    for (qsizetype i = std::min(from, size() - what.size()); i >= 0; --i)
        if (matchesAt(i, what))
            return i;
    return -1;
}
