#pragma once
// Reports the structures of a small document the way a colouring pass names
// them, so the outline parsers can be tested apart from the grammars: tags and
// comments of HTML; words, braces, comments and region marks of PHP and
// JavaScript; selectors, at-rules and comments of CSS.

#include "kit/Types.h"

#include <QList>
#include <QString>

namespace syntaxtest {

struct Report
{
    QString name;
    kit::Range range;
};

inline QList<Report> reportStructures(const QString& language, const QString& text)
{
    QList<Report> out;
    const qsizetype n = text.size();
    auto startsAt = [&](qsizetype p, const char* s) { return QStringView(text).mid(p).startsWith(QLatin1String(s)); };
    auto until = [&](qsizetype from, const char* s) {
        const qsizetype at = text.indexOf(QLatin1String(s), from);
        return at < 0 ? n : at + qsizetype(qstrlen(s));
    };
    qsizetype p = 0;
    if (language == QLatin1String("HTML")) {
        while (p < n) {
            if (startsAt(p, "<!--")) {
                const qsizetype e = until(p + 4, "-->");
                out.append({ QStringLiteral("comment"), kit::Range(p, e - p) });
                p = e;
            } else if (startsAt(p, "</") || (text.at(p) == u'<' && p + 1 < n && text.at(p + 1).isLetter())) {
                const qsizetype e = until(p, ">");
                out.append({ startsAt(p, "</") ? QStringLiteral("endTag") : QStringLiteral("startTag"),
                    kit::Range(p, e - p) });
                p = e;
            } else {
                ++p;
            }
        }
        return out;
    }
    if (language == QLatin1String("CSS")) {
        while (p < n) {
            if (text.at(p).isSpace()) {
                ++p;
            } else if (startsAt(p, "/*")) {
                const qsizetype e = until(p + 2, "*/");
                out.append({ QStringLiteral("commentBlock"), kit::Range(p, e - p) });
                p = e;
            } else if (text.at(p) == u'@') {
                qsizetype e = p;
                while (e < n && text.at(e) != u';' && text.at(e) != u'{')
                    ++e;
                out.append({ QStringLiteral("atRule"), kit::Range(p, e - p) });
                p = e < n && text.at(e) == u';' ? e + 1 : e;
            } else if (text.at(p) == u'{') {
                p = until(p, "}");
            } else {
                const qsizetype e = text.indexOf(u'{', p) < 0 ? n : text.indexOf(u'{', p);
                out.append({ QStringLiteral("selector"), kit::Range(p, e - p) });
                p = e;
            }
        }
        return out;
    }
    // PHP and JavaScript.
    const bool php = language == QLatin1String("PHP");
    static const QStringList phpWords { QStringLiteral("function"), QStringLiteral("class"),
        QStringLiteral("require"), QStringLiteral("include"), QStringLiteral("require_once"),
        QStringLiteral("include_once") };
    while (p < n) {
        const QChar c = text.at(p);
        if (php && startsAt(p, "<?php")) {
            out.append({ QStringLiteral("typeStart"), kit::Range(p, 5) });
            p += 5;
        } else if (php && startsAt(p, "?>")) {
            out.append({ QStringLiteral("typeEnd"), kit::Range(p, 2) });
            p += 2;
        } else if (startsAt(p, "//")) {
            const qsizetype e = text.indexOf(u'\n', p) < 0 ? n : text.indexOf(u'\n', p);
            out.append({ QStringLiteral("commentLine"), kit::Range(p, e - p) });
            p = e;
        } else if (startsAt(p, "/*")) {
            const qsizetype e = until(p + 2, "*/");
            out.append({ QStringLiteral("commentBlock"), kit::Range(p, e - p) });
            p = e;
        } else if (c == u'"' || c == u'\'') {
            qsizetype e = p + 1;
            while (e < n && text.at(e) != c)
                e += text.at(e) == u'\\' ? 2 : 1;
            p = e + 1;
        } else if (c == u'{' || c == u'}') {
            out.append({ QStringLiteral("brace"), kit::Range(p, 1) });
            ++p;
        } else if (c.isLetter() || c == u'_' || c == u'$') {
            qsizetype e = p + 1;
            while (e < n && (text.at(e).isLetterOrNumber() || text.at(e) == u'_' || text.at(e) == u'$'))
                ++e;
            const QString word = text.mid(p, e - p);
            if (!php)
                out.append({ QStringLiteral("variable"), kit::Range(p, e - p) });
            else if (phpWords.contains(word.toLower()))
                out.append({ QStringLiteral("function"), kit::Range(p, e - p) });
            p = e;
        } else {
            ++p;
        }
    }
    return out;
}

} // namespace syntaxtest
