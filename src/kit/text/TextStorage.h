#pragma once
// The editor's model: a UTF-16 string plus attribute runs, one run list per key.

#include "kit/Types.h"
#include "kit/text/AttributeRunList.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QVariant>
#include <memory>
#include <vector>

namespace kit {

class LayoutManager;
class TextStorage;

/// An attribute key as a small integer, the same for the whole process. Names are
/// interned once (attributeKey()); the engine's paths use the integers.
using AttributeKey = int;

/// The keys the kit itself reads.
enum : AttributeKey {
    ForegroundColorKey = 0,
    BackgroundColorKey,
    FontKey,
    CursorKey,
    UnderlineStyleKey,
};

/// Where a key's values are interned. Shared: one table for the process, so an id
/// means the same value in every storage (for keys with few distinct values, kept
/// for the life of the process: colours, parse states). PerStorage: each storage
/// interns its own and drops the values no longer used (identity objects and the like).
enum class AttributeValues { PerStorage, Shared };

/// The key of a name, registered on first use. `values` counts only then.
AttributeKey attributeKey(const QString& name, AttributeValues values = AttributeValues::PerStorage);
/// The name of a registered key.
QString attributeKeyName(AttributeKey key);
/// The id of a value of a shared key (process-wide; stable).
AttributeValueId sharedAttributeValueId(AttributeKey key, const QVariant& value);
/// The value of an id of a shared key (an invalid value for 0 or an unknown id).
QVariant sharedAttributeValue(AttributeKey key, AttributeValueId id);

inline const QString ForegroundColorAttributeName = QStringLiteral("ForegroundColor");
inline const QString BackgroundColorAttributeName = QStringLiteral("BackgroundColor");
inline const QString FontAttributeName = QStringLiteral("Font");
inline const QString CursorAttributeName = QStringLiteral("Cursor");
inline const QString UnderlineStyleAttributeName = QStringLiteral("UnderlineStyle");

inline const QString TextStorageDidProcessEditingNotification = QStringLiteral("TextStorageDidProcessEditing");
inline const QString TextStorageWillProcessEditingNotification = QStringLiteral("TextStorageWillProcessEditing");

/// Bits of the edited mask.
enum TextStorageEditActions : int { TextStorageEditedAttributes = 1, TextStorageEditedCharacters = 2 };

/// One run of one attribute: [start, start + length) carries value.
struct AttributeRun {
    qsizetype start = 0;
    qsizetype length = 0;
    QVariant value;
};

/// A string with attributes, for attributed reads and replacements.
struct AttributedString {
    QString string;
    /// Only runs with a valid value are listed; ranges are relative to `string`.
    QHash<QString, QList<AttributeRun>> attributes;
    AttributedString() = default;
    explicit AttributedString(const QString& s) : string(s) {}
    void addAttribute(const QString& key, const QVariant& value, Range range);
};

/// Receives the storage's edit processing first (token upkeep and the like).
class TextStorageDelegate {
public:
    virtual ~TextStorageDelegate() = default;
    virtual void textStorageWillProcessEditing(TextStorage*) {}
    virtual void textStorageDidProcessEditing(TextStorage*) {}
};

class TextStorage : public QObject {
    Q_OBJECT
public:
    explicit TextStorage(QObject* parent = nullptr);
    explicit TextStorage(const QString& text, QObject* parent = nullptr);
    ~TextStorage() override;

    /// The whole text. Typing keeps a gap in the buffer at the caret; asking for the whole
    /// string closes it, so code on the typing path reads through the accessors below.
    const QString& string() const;
    qsizetype length() const { return m_buf.size() - m_gapLength; }
    QChar characterAt(qsizetype i) const
    {
        if (i < 0 || i >= length())
            return QChar();
        return m_buf.at(i < m_gapStart ? i : i + m_gapLength);
    }
    /// How many edits were followed by a read of the whole text (string(), or a view
    /// across the typing gap), each of which moves the text after the edit. Typing, and
    /// what runs after each keystroke, should read only around the edit.
    quint64 wholeTextReads() const { return m_wholeTextReads; }
    /// Changes with every change of the characters (not of attributes): what was read
    /// of the text at one version is still the text while the version stays.
    quint64 charactersVersion() const { return m_charactersVersion; }
    /// A copy of part of the text (cheap for short ranges, whatever the gap).
    QString substring(Range range) const;
    /// A copy of the whole text into `into`, reusing its memory when it is large enough
    /// and not shared (a fresh buffer of a large text costs a page fault per page); the
    /// typing gap stays where it is, and this is not a read of the whole text.
    void copyString(QString& into) const;
    /// A view of part of the text; a range across the typing gap closes the gap first.
    QStringView stringView(Range range) const;
    /// The first line terminator at or after from (NotFound when none).
    qsizetype nextLineTerminator(qsizetype from) const;

    // --- Characters. Inserted text inherits the attributes of the first replaced character,
    // or for an insertion those of the preceding character, else of the following one.
    void replaceCharacters(Range range, const QString& text);
    /// Replaces the range with exactly the given attributes (no inheritance).
    void replaceCharacters(Range range, const AttributedString& text);
    void setString(const QString& text);
    void insertString(const QString& text, qsizetype index) { replaceCharacters(Range(index, 0), text); }
    void deleteCharacters(Range range) { replaceCharacters(range, QString()); }
    AttributedString attributedSubstring(Range range) const;

    // --- Attributes. Value equality per key is QVariant equality; identity objects
    // (shared pointers) therefore compare by identity.
    QVariant attribute(const QString& key, qsizetype index, Range* effectiveRange = nullptr) const;
    /// The run of equal values at index, clipped to limit.
    QVariant attribute(const QString& key, qsizetype index, Range* longestEffectiveRange, Range limit) const;
    QHash<QString, QVariant> attributes(qsizetype index, Range* effectiveRange = nullptr) const;
    void addAttribute(const QString& key, const QVariant& value, Range range);
    void addAttributes(const QHash<QString, QVariant>& attrs, Range range);
    void removeAttribute(const QString& key, Range range);
    /// Replaces all attributes over the range.
    void setAttributes(const QHash<QString, QVariant>& attrs, Range range);
    /// The runs of one key that meet the range (absent values included), clipped to it.
    QList<AttributeRun> runs(const QString& key, Range range) const;
    /// Runs with a valid value only.
    QList<AttributeRun> valueRuns(const QString& key, Range range) const;
    bool hasAttribute(const QString& key) const;
    QStringList attributeKeys() const;

    // --- Attributes by key and value id: no string keys, no QVariant per read or write.
    // A value id belongs to the key's table (sharedAttributeValueId() for shared keys,
    // valueId() for either kind).
    AttributeValueId valueId(AttributeKey key, const QVariant& value);
    const QVariant& valueForId(AttributeKey key, AttributeValueId id) const;
    /// The value id at index and its whole run (0 and the clamped index outside the text).
    AttributeValueId valueIdAt(AttributeKey key, qsizetype index, Range* run = nullptr) const;
    /// Whether every character of the range holds the value id (0: no value).
    bool holdsValueId(AttributeKey key, AttributeValueId id, Range range) const;
    /// Sets the value id over the range (0 removes) unless every character already holds
    /// it; answers whether it wrote (only a write is recorded as an edit).
    bool setValueId(AttributeKey key, AttributeValueId id, Range range);
    /// Calls f(start, length, id) for each run of the key meeting range, clipped to it;
    /// stop by returning false. A key never set reads as one run without a value.
    template <class F>
    void forEachRun(AttributeKey key, Range range, F&& f) const
    {
        const KeyRuns* k = keyRuns(key);
        if (!k) {
            range = Range::intersection(range, Range(0, length()));
            if (range.length > 0)
                f(range.location, range.length, AttributeValueId(0));
            return;
        }
        k->runs.forEachRun(range, length(), f);
    }

    // --- Editing batches and edit processing.
    void beginEditing();
    void endEditing();
    int editingLevel() const { return m_editLevel; }
    bool isProcessingEditing() const { return m_processing; }
    /// Records a change: range in the coordinates before the change.
    void edited(int mask, Range range, qsizetype changeInLength);
    int editedMask() const { return m_cur.mask; }
    Range editedRange() const { return m_cur.range; }
    qsizetype changeInLength() const { return m_cur.delta; }
    /// Keys whose values changed in the edit being processed.
    const QSet<QString>& editedAttributeKeys() const { return m_cur.keyNames; }
    const QList<AttributeKey>& editedKeys() const { return m_cur.keys; }

    void setDelegate(TextStorageDelegate* d) { m_delegate = d; }
    TextStorageDelegate* delegate() const { return m_delegate; }
    void addLayoutManager(LayoutManager* lm);
    void removeLayoutManager(LayoutManager* lm);
    const QList<LayoutManager*>& layoutManagers() const { return m_layoutManagers; }

    // --- Lines, paragraphs and composed characters.
    static bool isLineTerminator(QChar c);
    /// Start of the line holding range.location, end past its terminator, contentsEnd before it.
    void getLineStart(qsizetype* start, qsizetype* end, qsizetype* contentsEnd, Range range) const;
    Range lineRange(Range range) const;
    /// As lineRange, but U+2028 does not end a paragraph.
    Range paragraphRange(Range range) const;
    Range composedCharacterRange(qsizetype index) const;
    static void getLineStart(const QString& s, qsizetype* start, qsizetype* end, qsizetype* contentsEnd, Range range);
    /// Index of the first line terminator at or after from (NotFound when none).
    static qsizetype nextLineTerminator(const QString& s, qsizetype from);

Q_SIGNALS:
    /// Just before a replacement of characters (range clamped to the text), while the
    /// text it replaces can still be read.
    void charactersWillBeReplaced(kit::Range range);
    /// Each replacement of characters as it is made, inside a batch too (range in the
    /// coordinates before it), for positions that must follow every piece of a batched
    /// edit: the batch as a whole reports only the union of its pieces.
    void charactersReplaced(kit::Range range, qsizetype changeInLength);
    void willProcessEditing();
    /// After the delegate and the layout managers have seen an edit.
    void didProcessEditing();

private:
    struct KeyRuns {
        bool present = false;
        AttributeRunList runs;
        // Own table of a per-storage key; null for a shared key.
        std::unique_ptr<AttributeValueTable> table;
        qsizetype compactAt = 256;
    };
    const KeyRuns* keyRuns(AttributeKey key) const
    {
        return key >= 0 && size_t(key) < m_keys.size() && m_keys[size_t(key)].present ? &m_keys[size_t(key)] : nullptr;
    }
    KeyRuns& keyRunsForWriting(AttributeKey key);
    void compactValues(KeyRuns& k);
    void replaceRuns(Range range, qsizetype newLength);
    void setRunValue(KeyRuns& list, Range range, AttributeValueId value);
    void noteEditedKey(AttributeKey key);
    void processEditing();

    void moveGapTo(qsizetype position, qsizetype minimumGap);
    /// An edit of the string while it has no gap.
    void replaceInClosedString(Range range, const QString& text);
    void closeGap() const;

    mutable QString m_buf;
    mutable qsizetype m_gapStart = 0;
    mutable qsizetype m_gapLength = 0;
    // Whether the whole string was read since the last edit. Typing in an editor reads
    // the string between keystrokes (colouring): then an edit goes straight into the
    // closed string, one move of the text after it, instead of opening a gap that the
    // next read closes again (two moves).
    mutable bool m_readSinceEdit = false;
    mutable quint64 m_wholeTextReads = 0;
    quint64 m_charactersVersion = 0;
    std::vector<KeyRuns> m_keys; // by key
    int m_editLevel = 0;
    bool m_processing = false;
    struct EditRecord {
        int mask = 0;
        Range range = Range(NotFound, 0);
        qsizetype delta = 0;
        QList<AttributeKey> keys;
        QSet<QString> keyNames; // filled when the edit is processed
        void nameKeys();
        void add(int mask, Range oldRange, qsizetype delta, qsizetype newLength);
    };
    EditRecord m_acc;  // edits not yet processed
    EditRecord m_cur;  // the edit being processed
    TextStorageDelegate* m_delegate = nullptr;
    QList<LayoutManager*> m_layoutManagers;
};

} // namespace kit
