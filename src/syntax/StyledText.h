#pragma once
// Text with character formats over ranges: what the completion list and its
// description pane draw.

#include <QList>
#include <QString>
#include <QTextCharFormat>
#include <QTextLayout>

struct StyledText
{
    QString string;
    QList<QTextLayout::FormatRange> formats;

    void append(const QString& text, const QTextCharFormat& format)
    {
        if (text.isEmpty())
            return;
        QTextLayout::FormatRange r;
        r.start = int(string.size());
        r.length = int(text.size());
        r.format = format;
        string += text;
        formats.append(r);
    }
    void append(const StyledText& other)
    {
        const int offset = int(string.size());
        string += other.string;
        for (QTextLayout::FormatRange r : other.formats) {
            r.start += offset;
            formats.append(r);
        }
    }
    /// The format at a character (the last range that covers it wins).
    QTextCharFormat formatAt(qsizetype index) const
    {
        QTextCharFormat f;
        for (const auto& r : formats)
            if (index >= r.start && index < r.start + r.length)
                f = r.format;
        return f;
    }
    bool isEmpty() const { return string.isEmpty(); }
};
