#include "syntax/KELCompletionUtils.h"

#include "syntax/KELCompletion.h"

#include <QColor>
#include <QFontDatabase>
#include <functional>

int KELCompletion::compare(const KELCompletion& other) const { return KELCompletionUtils::compare(*this, other); }

const KELCompletionUtils& KELCompletionUtils::sharedInstance()
{
    static const KELCompletionUtils instance;
    return instance;
}

KELCompletionUtils::KELCompletionUtils()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(10);
    m_standardAttributes.setFont(font);
    m_italicAttributes = m_standardAttributes;
    m_italicAttributes.setFontItalic(true);
    m_greyAttributes = m_standardAttributes;
    m_greyAttributes.setForeground(QColor::fromRgbF(0.4f, 0.4f, 0.4f, 1.0f));
    QFont small = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    small.setPointSizeF(std::max<qreal>(small.pointSizeF() - 2, 8));
    m_descriptionAttributes.setFont(small);
}

bool KELCompletionUtils::isStandardNameCharacter(QChar c)
{
    return c.isLetterOrNumber() || c.isMark() || c == QLatin1Char('_');
}

bool KELCompletionUtils::isLatexNameCharacter(QChar c)
{
    return c.isLetterOrNumber() || c.isMark() || c == QLatin1Char('*');
}

int KELCompletionUtils::compareNames(const QString& a, const QString& b, bool latex)
{
    const auto isName = latex ? &isLatexNameCharacter : &isStandardNameCharacter;
    const qsizetype shorter = std::min(a.size(), b.size());
    qsizetype i = 0;
    while (i < shorter) {
        const bool kind = isName(a.at(i));
        qsizetype end = i;
        while (end < shorter && isName(a.at(end)) == kind && isName(b.at(end)) == kind)
            ++end;
        if (end == i)
            return kind ? 1 : -1; // punctuation sorts before names
        if (latex && !kind) {
            static const QString order = QStringLiteral("{[");
            for (qsizetype k = i; k < end; ++k) {
                const QChar ca = a.at(k), cb = b.at(k);
                if (ca == cb)
                    continue;
                if (order.contains(ca) || order.contains(cb)) {
                    const qsizetype ia = order.contains(ca) ? order.indexOf(ca) : order.size();
                    const qsizetype ib = order.contains(cb) ? order.indexOf(cb) : order.size();
                    if (ia != ib)
                        return ia < ib ? -1 : 1;
                }
                break;
            }
        }
        const int c = QStringView(a).mid(i, end - i).compare(QStringView(b).mid(i, end - i), Qt::CaseInsensitive);
        if (c != 0)
            return c < 0 ? -1 : 1;
        i = end;
    }
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return 0;
}

int KELCompletionUtils::compare(const KELCompletion& a, const KELCompletion& b)
{
    const bool clipA = a.isCodeClipCompletion(), clipB = b.isCodeClipCompletion();
    if (clipA != clipB)
        return clipA ? 1 : -1;
    const bool latex = a.typeName() == QLatin1String("LaTeX") && b.typeName() == QLatin1String("LaTeX");
    const int c = compareNames(a.name(), b.name(), latex);
    if (c != 0)
        return c;
    if (&a == &b)
        return 0;
    // Distinct entries are never the same: order them by identity.
    return std::less<const KELCompletion*>()(&a, &b) ? -1 : 1;
}
