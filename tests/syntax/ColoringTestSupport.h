#pragma once
// Helpers of the colouring tests: the shipped languages, whole-text colouring,
// colours by rule name, and snapshots of what a pass leaves in the text.

#include "kit/text/TextStorage.h"
#include "syntax/ColoringGroup.h"
#include "syntax/SyntaxInfo.h"
#include "syntax/SyntaxManager.h"
#include "syntax/SyntaxType.h"

#include <QColor>
#include <QDeadlineTimer>
#include <QFile>
#include <QString>
#include <QTest>

#include <ostream>
#include "KelpPaths.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace kit {
inline void PrintTo(const Range& r, std::ostream* os) { *os << "(" << r.location << ", " << r.length << ")"; }
} // namespace kit

namespace syntaxtest {

/// Runs the event loop until the condition holds; false when the time ran out first.
template<typename Condition> bool waitUntil(Condition condition, int milliseconds = 30000)
{
    QDeadlineTimer deadline(milliseconds);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(5);
    }
    return true;
}

inline QString fixture(const QString& name)
{
    QFile f(QStringLiteral(KELP_TEST_FIXTURES "/syntax/") + name);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.readAll());
}

inline SyntaxType* shippedType(const QString& name) { return SyntaxManager::sharedInstance().typeForName(name); }

/// Colours the whole text in one request, as the Colour All command does.
inline void colorAll(SyntaxType* type, kit::TextStorage* storage, SyntaxStructureObserver* observer = nullptr)
{
    SyntaxInfo info(kit::Range(0, storage->length()));
    info.setSwitchIndex(storage->length());
    info.setMaxColoringLength(quint64(storage->length()));
    info.setObserver(observer);
    type->colorHTMLView(storage, info, false, nullptr);
}

/// The colour the current style gives rules of that name in that type.
inline QColor ruleColor(SyntaxType* type, const QString& ruleName)
{
    const SyntaxColoringStyle* style = type->currentStyle();
    if (!style)
        return QColor();
    for (const auto& rule : style->rules())
        if (rule->name() == ruleName)
            if (ColoringGroup* group = SyntaxManager::sharedInstance().coloringGroupForRule(rule.get(), type))
                return group->color();
    // Plain text without a group of its own takes the editor's text colour.
    return ruleName == QLatin1String("Text") ? ColoringGroup::textColor() : QColor();
}

inline QColor colorAt(const kit::TextStorage* storage, qsizetype index)
{
    return storage->attribute(kit::ForegroundColorAttributeName, index).value<QColor>();
}

inline QString stateAt(const kit::TextStorage* storage, const QString& typeName, qsizetype index)
{
    return storage->attribute(QStringLiteral("SyntaxType:") + typeName, index).toString();
}

/// Every run of the colour and of every parse-state attribute, as text.
inline QStringList snapshot(const kit::TextStorage* storage)
{
    QStringList out;
    QStringList keys = storage->attributeKeys();
    keys.sort();
    for (const QString& key : std::as_const(keys)) {
        if (key != kit::ForegroundColorAttributeName && !key.startsWith(QLatin1String("SyntaxType:")))
            continue;
        for (const kit::AttributeRun& run : storage->valueRuns(key, kit::Range(0, storage->length()))) {
            const QString value = run.value.canConvert<QColor>() && key == kit::ForegroundColorAttributeName
                ? run.value.value<QColor>().name(QColor::HexArgb)
                : run.value.toString();
            out.append(QStringLiteral("%1 %2+%3 %4").arg(key).arg(run.start).arg(run.length).arg(value));
        }
    }
    return out;
}

/// "" when equal; else the first entry where the snapshots differ.
inline std::string firstDifference(const QStringList& got, const QStringList& want)
{
    if (got == want)
        return std::string();
    qsizetype i = 0;
    while (i < got.size() && i < want.size() && got[i] == want[i])
        ++i;
    return QStringLiteral("got '%1' want '%2'").arg(got.value(i), want.value(i)).toStdString();
}

} // namespace syntaxtest
