#include "kit/KeyValueObject.h"

#include <gtest/gtest.h>

namespace {

using kit::KeyValueChange;
using kit::KeyValueObject;
using kit::KeyValueObjectPtr;

KeyValueObjectPtr makeObject()
{
    return std::make_shared<KeyValueObject>();
}

// A computed key: "fullName" from "first" and "last".
class Person : public KeyValueObject {
public:
    Person() { setKeyPathsAffectingKey(QStringLiteral("fullName"), { QStringLiteral("first"), QStringLiteral("last") }); }
    QVariant value(const QString& key) const override
    {
        if (key == QLatin1String("fullName"))
            return KeyValueObject::value(QStringLiteral("first")).toString() + QLatin1Char(' ')
                + KeyValueObject::value(QStringLiteral("last")).toString();
        return KeyValueObject::value(key);
    }
};

} // namespace

TEST(KeyValueObjectTest, KeyPathsReadThroughObjectsAndGiveNilOtherwise)
{
    auto root = makeObject();
    auto child = makeObject();
    auto grandchild = makeObject();
    grandchild->setValue(QStringLiteral("value"), QStringLiteral("deep"));
    child->setValue(QStringLiteral("inner"), KeyValueObject::fromObject(grandchild));
    child->setValue(QStringLiteral("text"), QStringLiteral("plain"));
    root->setValue(QStringLiteral("child"), KeyValueObject::fromObject(child));

    EXPECT_EQ(root->valueForKeyPath(QStringLiteral("child.inner.value")).toString(), QStringLiteral("deep"));
    EXPECT_EQ(root->valueForKeyPath(QStringLiteral("child.text")).toString(), QStringLiteral("plain"));
    // Unknown keys, and steps through a string or through nothing, read as nil.
    for (const char* path : { "missing", "child.missing", "child.text.length", "missing.value", "child.inner.value.x" })
        EXPECT_FALSE(root->valueForKeyPath(QString::fromLatin1(path)).isValid()) << path;

    root->setValueForKeyPath(QStringLiteral("child.inner.value"), 7);
    EXPECT_EQ(grandchild->value(QStringLiteral("value")).toInt(), 7);
    // A path through a non-object stores nothing anywhere.
    root->setValueForKeyPath(QStringLiteral("child.text.x"), 1);
    EXPECT_EQ(child->value(QStringLiteral("text")).toString(), QStringLiteral("plain"));
}

TEST(KeyValueObjectTest, ObserversHearOldAndNewValuesAndCanBeRemoved)
{
    auto object = makeObject();
    object->setValue(QStringLiteral("a"), 1);
    QList<KeyValueChange> seen;
    const int token = object->addObserver(QStringLiteral("a"), [&](const KeyValueChange& change) { seen.append(change); });
    object->setValue(QStringLiteral("a"), 2);
    object->setValue(QStringLiteral("b"), 3);
    ASSERT_EQ(seen.size(), 1);
    EXPECT_EQ(seen[0].keyPath, QStringLiteral("a"));
    EXPECT_EQ(seen[0].oldValue.toInt(), 1);
    EXPECT_EQ(seen[0].newValue.toInt(), 2);
    object->removeObserver(token);
    object->setValue(QStringLiteral("a"), 4);
    EXPECT_EQ(seen.size(), 1);
}

TEST(KeyValueObjectTest, PathObserversFollowTheObjectTheFirstKeyHolds)
{
    auto root = makeObject();
    auto first = makeObject();
    auto second = makeObject();
    first->setValue(QStringLiteral("value"), QStringLiteral("one"));
    second->setValue(QStringLiteral("value"), QStringLiteral("two"));
    root->setValue(QStringLiteral("item"), KeyValueObject::fromObject(first));

    QList<KeyValueChange> seen;
    root->addObserver(QStringLiteral("item.value"), [&](const KeyValueChange& change) { seen.append(change); });
    first->setValue(QStringLiteral("value"), QStringLiteral("uno"));
    root->setValue(QStringLiteral("item"), KeyValueObject::fromObject(second));
    // The old object no longer reaches the observer; the new one does.
    first->setValue(QStringLiteral("value"), QStringLiteral("ignored"));
    second->setValue(QStringLiteral("value"), QStringLiteral("dos"));

    ASSERT_EQ(seen.size(), 3);
    EXPECT_EQ(seen[0].oldValue.toString(), QStringLiteral("one"));
    EXPECT_EQ(seen[0].newValue.toString(), QStringLiteral("uno"));
    EXPECT_EQ(seen[1].oldValue.toString(), QStringLiteral("uno"));
    EXPECT_EQ(seen[1].newValue.toString(), QStringLiteral("two"));
    EXPECT_EQ(seen[2].newValue.toString(), QStringLiteral("dos"));
    for (const KeyValueChange& change : seen)
        EXPECT_EQ(change.keyPath, QStringLiteral("item.value"));
}

TEST(KeyValueObjectTest, DependentKeysReportTheirOwnOldAndNewValues)
{
    auto person = std::make_shared<Person>();
    person->setValue(QStringLiteral("first"), QStringLiteral("Ada"));
    person->setValue(QStringLiteral("last"), QStringLiteral("King"));
    QList<KeyValueChange> seen;
    person->addObserver(QStringLiteral("fullName"), [&](const KeyValueChange& change) { seen.append(change); });
    person->setValue(QStringLiteral("last"), QStringLiteral("Lovelace"));
    ASSERT_EQ(seen.size(), 1);
    EXPECT_EQ(seen[0].oldValue.toString(), QStringLiteral("Ada King"));
    EXPECT_EQ(seen[0].newValue.toString(), QStringLiteral("Ada Lovelace"));
}

TEST(KeyValueObjectTest, ListMutationsNameTheirIndexes)
{
    auto object = makeObject();
    object->setValue(QStringLiteral("items"), QVariantList { QStringLiteral("a"), QStringLiteral("c") });
    QList<KeyValueChange> seen;
    object->addObserver(QStringLiteral("items"), [&](const KeyValueChange& change) { seen.append(change); });

    object->insertValue(QStringLiteral("items"), 1, QStringLiteral("b"));
    object->replaceValue(QStringLiteral("items"), 2, QStringLiteral("d"));
    object->removeValue(QStringLiteral("items"), 0);
    object->removeValue(QStringLiteral("items"), 9); // out of range: no change, no notice

    EXPECT_EQ(object->value(QStringLiteral("items")).toStringList(), (QStringList { QStringLiteral("b"), QStringLiteral("d") }));
    ASSERT_EQ(seen.size(), 3);
    EXPECT_EQ(seen[0].kind, KeyValueChange::Insertion);
    EXPECT_EQ(seen[0].indexes, QList<qsizetype> { 1 });
    EXPECT_EQ(seen[1].kind, KeyValueChange::Replacement);
    EXPECT_EQ(seen[1].oldValue.toList().value(0).toString(), QStringLiteral("c"));
    EXPECT_EQ(seen[2].kind, KeyValueChange::Removal);
    EXPECT_EQ(seen[2].indexes, QList<qsizetype> { 0 });
}

TEST(KeyValueObjectTest, AnObserverMayRemoveItselfAndObjectsOutliveNoWatch)
{
    auto root = makeObject();
    int calls = 0;
    int token = 0;
    token = root->addObserver(QStringLiteral("a"), [&](const KeyValueChange&) {
        ++calls;
        root->removeObserver(token);
    });
    root->setValue(QStringLiteral("a"), 1);
    root->setValue(QStringLiteral("a"), 2);
    EXPECT_EQ(calls, 1);

    // A watched object that outlives its observer's owner stays safe to change.
    auto child = makeObject();
    {
        auto owner = makeObject();
        owner->setValue(QStringLiteral("child"), KeyValueObject::fromObject(child));
        owner->addObserver(QStringLiteral("child.value"), [](const KeyValueChange&) { });
    }
    child->setValue(QStringLiteral("value"), 3);
    EXPECT_EQ(child->value(QStringLiteral("value")).toInt(), 3);
}
