#pragma once
// Display formats of completion entries and the one sort order of the list.

#include <QTextCharFormat>

class KELCompletion;

class KELCompletionUtils
{
public:
    static const KELCompletionUtils& sharedInstance();

    /// The fixed-width font at 10 points.
    const QTextCharFormat& displayValueAttributes() const { return m_standardAttributes; }
    /// The same in grey (white 0.4).
    const QTextCharFormat& displayValueGreyAttributes() const { return m_greyAttributes; }
    /// The same, slanted.
    const QTextCharFormat& displayValueItalicAttributes() const { return m_italicAttributes; }
    /// The small system font of the description pane.
    const QTextCharFormat& descriptionAttributes() const { return m_descriptionAttributes; }

    /// Negative when a sorts before b, positive after, 0 only for the same entry.
    static int compare(const KELCompletion& a, const KELCompletion& b);
    /// The name comparison alone (tests; entries of "LaTeX" use the LaTeX rules).
    static int compareNames(const QString& a, const QString& b, bool latex);

    static bool isStandardNameCharacter(QChar c);
    static bool isLatexNameCharacter(QChar c);

private:
    KELCompletionUtils();
    QTextCharFormat m_standardAttributes;
    QTextCharFormat m_italicAttributes;
    QTextCharFormat m_greyAttributes;
    QTextCharFormat m_descriptionAttributes;
};
