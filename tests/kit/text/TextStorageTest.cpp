#include "kit/text/TextStorage.h"

#include <QColor>
#include <gtest/gtest.h>
#include <memory>

using kit::Range;
using kit::TextStorage;

namespace {
struct Recorder : kit::TextStorageDelegate {
    QStringList events;
    TextStorage* storage = nullptr;
    bool colourOnProcess = false;
    void textStorageDidProcessEditing(TextStorage* ts) override
    {
        events << QStringLiteral("delegate %1 %2 %3 %4").arg(ts->editedMask()).arg(ts->editedRange().location).arg(ts->editedRange().length).arg(ts->changeInLength());
        if (colourOnProcess)
            ts->addAttribute(QStringLiteral("k"), 7, Range(0, 1));
    }
};
} // namespace

TEST(TextStorageTest, InsertedTextInheritsAttributes)
{
    TextStorage ts(QStringLiteral("abcdef"));
    ts.addAttribute(QStringLiteral("k"), 1, Range(0, 3));
    ts.addAttribute(QStringLiteral("k"), 2, Range(3, 3));
    struct Case {
        Range range;
        QString text;
        qsizetype probe;
        int expected;
    } cases[] = {
        {Range(3, 0), QStringLiteral("X"), 3, 1},  // insertion takes the preceding character's value
        {Range(0, 0), QStringLiteral("X"), 0, 1},  // at the start, the following one's
        {Range(3, 2), QStringLiteral("XY"), 3, 2}, // a replacement takes the first replaced character's
        {Range(1, 3), QStringLiteral("Q"), 1, 1},
    };
    for (const Case& c : cases) {
        TextStorage t(ts.string());
        t.addAttribute(QStringLiteral("k"), 1, Range(0, 3));
        t.addAttribute(QStringLiteral("k"), 2, Range(3, 3));
        t.replaceCharacters(c.range, c.text);
        EXPECT_EQ(t.attribute(QStringLiteral("k"), c.probe).toInt(), c.expected) << c.range.location << " " << c.text.toStdString();
        // Every character still carries a value: nothing lost at the run boundaries.
        for (qsizetype i = 0; i < t.length(); ++i)
            EXPECT_TRUE(t.attribute(QStringLiteral("k"), i).isValid());
    }
}

TEST(TextStorageTest, RunsMergeOnlyForEqualValuesAndIdentity)
{
    TextStorage ts(QStringLiteral("aaaabbbb"));
    auto a = std::make_shared<int>(1);
    auto b = std::make_shared<int>(1); // equal value, other object
    ts.addAttribute(QStringLiteral("id"), QVariant::fromValue(a), Range(0, 4));
    ts.addAttribute(QStringLiteral("id"), QVariant::fromValue(b), Range(4, 4));
    Range r;
    ts.attribute(QStringLiteral("id"), 0, &r);
    EXPECT_EQ(r, Range(0, 4));
    ts.addAttribute(QStringLiteral("n"), 5, Range(0, 4));
    ts.addAttribute(QStringLiteral("n"), 5, Range(4, 4));
    ts.attribute(QStringLiteral("n"), 2, &r);
    EXPECT_EQ(r, Range(0, 8));
    ts.attribute(QStringLiteral("n"), 2, &r, Range(1, 3));
    EXPECT_EQ(r, Range(1, 3));
    ts.removeAttribute(QStringLiteral("n"), Range(2, 2));
    EXPECT_FALSE(ts.attribute(QStringLiteral("n"), 3).isValid());
    EXPECT_EQ(ts.valueRuns(QStringLiteral("n"), Range(0, 8)).size(), 2);
}

TEST(TextStorageTest, BatchesProcessOnceInOrderWithDelegateEditsFolded)
{
    TextStorage ts(QStringLiteral("hello"));
    Recorder rec;
    rec.colourOnProcess = true;
    ts.setDelegate(&rec);
    QStringList notices;
    QObject::connect(&ts, &TextStorage::didProcessEditing, [&] {
        notices << QStringLiteral("did %1 %2 %3").arg(ts.editedMask()).arg(ts.editedRange().location).arg(ts.editedRange().length);
    });
    ts.beginEditing();
    ts.replaceCharacters(Range(0, 0), QStringLiteral("ab"));
    ts.beginEditing();
    ts.replaceCharacters(Range(7, 0), QStringLiteral("!"));
    ts.endEditing();
    EXPECT_TRUE(rec.events.isEmpty());
    ts.endEditing();
    ASSERT_EQ(rec.events.size(), 1);
    EXPECT_EQ(rec.events.first(), QStringLiteral("delegate 3 0 8 3"));
    ASSERT_EQ(notices.size(), 1); // the delegate's attribute change belongs to the same edit
    EXPECT_EQ(notices.first(), QStringLiteral("did 3 0 8"));
    ts.setDelegate(nullptr);
}

TEST(TextStorageTest, LineRangesOverEveryTerminator)
{
    const QString text = QStringLiteral("a\nb\rc\r\nd") + QChar(0x2028) + QStringLiteral("e") + QChar(0x2029) + QStringLiteral("f")
                         + QChar(0x0085) + QStringLiteral("g");
    TextStorage ts(text);
    struct Case {
        qsizetype index;
        Range line;
    } cases[] = {{0, Range(0, 2)}, {1, Range(0, 2)}, {2, Range(2, 2)}, {4, Range(4, 3)}, {6, Range(4, 3)}, {5, Range(4, 3)},
                 {7, Range(7, 2)}, {9, Range(9, 2)}, {11, Range(11, 2)}, {13, Range(13, 1)}, {14, Range(13, 1)}};
    for (const Case& c : cases)
        EXPECT_EQ(ts.lineRange(Range(c.index, 0)), c.line) << c.index;
    qsizetype s, e, ce;
    ts.getLineStart(&s, &e, &ce, Range(4, 0));
    EXPECT_EQ(ce, 5);
    EXPECT_EQ(e, 7);
    // U+2028 does not end a paragraph.
    EXPECT_EQ(ts.paragraphRange(Range(7, 0)), Range(7, 4));
    // A surrogate pair is one composed character.
    TextStorage emoji(QStringLiteral("x") + QString::fromUcs4(U"\U0001F600") + QStringLiteral("y"));
    EXPECT_EQ(emoji.composedCharacterRange(2), Range(1, 2));
}

TEST(TextStorageTest, BadInputKeepsEveryCharacter)
{
    QString text = QStringLiteral("a") + QChar(0) + QStringLiteral("b") + QChar(0xD800) + QStringLiteral("c") + QChar(0xDC00);
    TextStorage ts(text);
    ts.replaceCharacters(Range(1, 0), QString(QChar(0)));
    ts.replaceCharacters(Range(100, 5), QStringLiteral("z")); // beyond the end: appended at the end
    ts.replaceCharacters(Range(kit::NotFound, 0), QStringLiteral("never"));
    EXPECT_EQ(ts.string(), QStringLiteral("a") + QChar(0) + QChar(0) + QStringLiteral("b") + QChar(0xD800) + QStringLiteral("c") + QChar(0xDC00) + QStringLiteral("z"));
    EXPECT_EQ(ts.composedCharacterRange(4).length, 1);
}

TEST(TextStorageTest, RandomEditsMatchAPlainString)
{
    // The typing gap must be invisible: every read agrees with a plain string edited alike,
    // whether the whole string is read between edits (edits then go into the closed string,
    // moving the shorter side) or not (edits go through the gap).
    TextStorage ts(QStringLiteral("seed\ntext\r\nhere"));
    QString model = ts.string();
    quint32 seed = 12345;
    auto next = [&](quint32 bound) {
        seed = seed * 1103515245u + 12345u;
        return bound == 0 ? 0u : (seed >> 8) % bound;
    };
    const QString alphabet = QStringLiteral("ab \n\r<#>") + QChar(0x2028);
    for (int step = 0; step < 3000; ++step) {
        const qsizetype loc = next(quint32(model.size() + 1));
        const qsizetype len = next(quint32(std::min<qsizetype>(4, model.size() - loc) + 1));
        QString text;
        const int kind = int(next(10));
        const int count = kind == 0 ? 5000 : int(next(3));
        for (int k = 0; k < count; ++k)
            text += alphabet.at(next(quint32(alphabet.size())));
        ts.replaceCharacters(Range(loc, len), text);
        model.replace(loc, len, text);
        ASSERT_EQ(ts.length(), model.size());
        const qsizetype probe = next(quint32(model.size() + 1));
        ASSERT_EQ(ts.characterAt(probe), probe < model.size() ? model.at(probe) : QChar());
        ASSERT_EQ(ts.substring(Range(probe, 7)), model.mid(probe, 7));
        ASSERT_EQ(ts.nextLineTerminator(probe), TextStorage::nextLineTerminator(model, probe));
        TextStorage plain(model);
        ASSERT_EQ(ts.lineRange(Range(probe, 0)), plain.lineRange(Range(probe, 0)));
        if (next(3) == 0)
            ASSERT_EQ(ts.string(), model);
    }
    EXPECT_EQ(ts.string(), model);
}

TEST(TextStorageTest, AttributeRunsMatchPerCharacterValuesOverRandomEdits)
{
    // Tiny blocks so the runs spread over many of them.
    kit::AttributeRunList::setBlockSizeForTesting(3);
    TextStorage ts(QString(50, QLatin1Char('x')));
    std::vector<int> model(50, 0); // 0: no value
    quint32 seed = 777;
    auto next = [&](quint32 bound) {
        seed = seed * 1664525u + 1013904223u;
        return bound == 0 ? 0u : (seed >> 8) % bound;
    };
    const QString key = QStringLiteral("k");
    const kit::AttributeKey keyId = kit::attributeKey(key);
    for (int step = 0; step < 6000; ++step) {
        const qsizetype n = qsizetype(model.size());
        const qsizetype loc = next(quint32(n + 1));
        const qsizetype len = next(quint32(std::min<qsizetype>(8, n - loc) + 1));
        switch (next(5)) {
        case 0: { // set a value
            const int v = int(next(3)) + 1;
            ts.addAttribute(key, v, Range(loc, len));
            for (qsizetype i = loc; i < loc + len; ++i)
                model[size_t(i)] = v;
            break;
        }
        case 4: { // set a value (or none) by id, told whether anything changed
            const int v = int(next(4));
            const kit::AttributeValueId id = v == 0 ? 0 : ts.valueId(keyId, v);
            bool changes = false;
            for (qsizetype i = loc; i < loc + len; ++i) {
                changes = changes || model[size_t(i)] != v;
                model[size_t(i)] = v;
            }
            ASSERT_EQ(ts.setValueId(keyId, id, Range(loc, len)), changes) << "step " << step;
            break;
        }
        case 1:
            ts.removeAttribute(key, Range(loc, len));
            for (qsizetype i = loc; i < loc + len; ++i)
                model[size_t(i)] = 0;
            break;
        default: { // replace characters: new ones inherit
            const qsizetype count = next(4);
            int inherited = 0;
            if (len > 0)
                inherited = model[size_t(loc)];
            else if (loc > 0)
                inherited = model[size_t(loc - 1)];
            else if (n > 0)
                inherited = model[0];
            ts.replaceCharacters(Range(loc, len), QString(count, QLatin1Char('y')));
            model.erase(model.begin() + loc, model.begin() + loc + len);
            model.insert(model.begin() + loc, size_t(count), inherited);
            if (model.empty())
                model.clear();
            break;
        }
        }
        ASSERT_EQ(ts.length(), qsizetype(model.size()));
        // Every value and every run boundary agrees with the model.
        for (qsizetype i = 0; i < ts.length(); ++i) {
            Range r;
            const QVariant v = ts.attribute(key, i, &r);
            ASSERT_EQ(v.isValid() ? v.toInt() : 0, model[size_t(i)]) << "step " << step << " index " << i;
            ASSERT_TRUE(r.contains(i));
            if (r.location > 0)
                ASSERT_NE(model[size_t(r.location - 1)], model[size_t(i)]);
            if (r.end() < ts.length())
                ASSERT_NE(model[size_t(r.end())], model[size_t(i)]);
        }
        if (model.size() < 5) { // keep the text from dying out
            ts.replaceCharacters(Range(0, 0), QStringLiteral("zzzzzzzzzz"));
            model.insert(model.begin(), 10, model.empty() ? 0 : model[0]);
        }
    }
    kit::AttributeRunList::setBlockSizeForTesting(512);
}

TEST(TextStorageTest, KeysAndValueIdsReadAndWriteWithoutNames)
{
    // A shared key: one id per value for the whole process, whatever the storage.
    const kit::AttributeKey colour = kit::ForegroundColorKey;
    EXPECT_EQ(kit::attributeKey(kit::ForegroundColorAttributeName), colour);
    EXPECT_EQ(kit::attributeKeyName(colour), kit::ForegroundColorAttributeName);
    const kit::AttributeValueId red = kit::sharedAttributeValueId(colour, QColor(Qt::red));
    EXPECT_EQ(kit::sharedAttributeValueId(colour, QColor(255, 0, 0)), red);
    EXPECT_NE(kit::sharedAttributeValueId(colour, QColor(Qt::blue)), red);
    EXPECT_EQ(kit::sharedAttributeValueId(colour, QVariant()), 0u);

    TextStorage one(QStringLiteral("abcdefgh"));
    TextStorage two(QStringLiteral("abcdefgh"));
    one.addAttribute(kit::ForegroundColorAttributeName, QColor(Qt::red), Range(2, 3));
    two.setValueId(colour, red, Range(2, 3));
    for (TextStorage* ts : { &one, &two }) {
        Range run;
        EXPECT_EQ(ts->valueIdAt(colour, 3, &run), red);
        EXPECT_EQ(run, Range(2, 3));
        EXPECT_EQ(ts->valueIdAt(colour, 0, &run), 0u);
        EXPECT_EQ(run, Range(0, 2));
        EXPECT_EQ(ts->attribute(kit::ForegroundColorAttributeName, 4).value<QColor>(), QColor(Qt::red));
        EXPECT_TRUE(ts->holdsValueId(colour, red, Range(2, 3)));
        EXPECT_FALSE(ts->holdsValueId(colour, red, Range(1, 3)));
        EXPECT_TRUE(ts->holdsValueId(colour, 0, Range(5, 3)));
        QList<std::pair<Range, kit::AttributeValueId>> runs;
        ts->forEachRun(colour, Range(1, 6), [&](qsizetype s, qsizetype l, kit::AttributeValueId id) {
            runs.append({ Range(s, l), id });
            return true;
        });
        const QList<std::pair<Range, kit::AttributeValueId>> expected { { Range(1, 1), 0u }, { Range(2, 3), red },
            { Range(5, 2), 0u } };
        EXPECT_EQ(runs, expected);
    }

    // A write by id is an attribute edit of that key, named for observers.
    TextStorage ts(QStringLiteral("abc"));
    QSet<QString> seen;
    QObject::connect(&ts, &TextStorage::didProcessEditing, [&] { seen = ts.editedAttributeKeys(); });
    ts.setValueId(colour, red, Range(0, 2));
    EXPECT_EQ(seen, QSet<QString> { kit::ForegroundColorAttributeName });
    EXPECT_EQ(ts.attributeKeys(), QStringList { kit::ForegroundColorAttributeName });
    // Nothing to remove from a key never set: no edit.
    seen.clear();
    ts.setValueId(kit::BackgroundColorKey, 0, Range(0, 2));
    EXPECT_TRUE(seen.isEmpty());
    // A conditional write of what the text already holds is no edit either.
    EXPECT_FALSE(ts.setValueId(colour, red, Range(1, 1)));
    EXPECT_FALSE(ts.setValueId(kit::BackgroundColorKey, 0, Range(0, 3)));
    EXPECT_TRUE(seen.isEmpty());
    EXPECT_TRUE(ts.setValueId(colour, red, Range(1, 2)));
    EXPECT_EQ(seen, QSet<QString> { kit::ForegroundColorAttributeName });
    EXPECT_TRUE(ts.holdsValueId(colour, red, Range(0, 3)));
}

TEST(TextStorageTest, PerStorageValuesNoRunHoldsAreDroppedAndTheRestStayIntact)
{
    // Identity values (a new object per write, as tokens are) would pile up in the
    // storage's table; the ones no run holds go, and the remaining runs keep theirs.
    TextStorage ts(QString(400, QLatin1Char('x')));
    const QString key = QStringLiteral("identity");
    std::weak_ptr<int> first;
    {
        auto value = std::make_shared<int>(-1);
        first = value;
        ts.addAttribute(key, QVariant::fromValue(value), Range(0, 400));
    }
    std::vector<std::shared_ptr<int>> model(400);
    quint32 seed = 99;
    auto next = [&](quint32 bound) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % bound;
    };
    for (int step = 0; step < 3000; ++step) {
        const qsizetype loc = next(400);
        const qsizetype len = std::min<qsizetype>(next(30) + 1, 400 - loc);
        auto value = std::make_shared<int>(step);
        ts.addAttribute(key, QVariant::fromValue(value), Range(loc, len));
        for (qsizetype i = loc; i < loc + len; ++i)
            model[size_t(i)] = value;
    }
    for (qsizetype i = 0; i < 400; ++i) {
        const auto held = ts.attribute(key, i).value<std::shared_ptr<int>>();
        ASSERT_EQ(held, model[size_t(i)] ? model[size_t(i)] : first.lock()) << i;
    }
    // Cover the first value everywhere, then write on: it is let go.
    auto last = std::make_shared<int>(-2);
    ts.addAttribute(key, QVariant::fromValue(last), Range(0, 400));
    for (int step = 0; step < 1000; ++step)
        ts.addAttribute(key, QVariant::fromValue(std::make_shared<int>(step)), Range(0, 1));
    EXPECT_TRUE(first.expired());
    EXPECT_EQ(ts.attribute(key, 1).value<std::shared_ptr<int>>(), last);
    Range run;
    ts.attribute(key, 200, &run);
    EXPECT_EQ(run, Range(1, 399));
}
