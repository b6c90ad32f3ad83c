// The editor view's Edit Tag panel, code-clip insertion, paste and drop of clips and
// files, and its context menu.

#include "editor/KELHTMLView.h"
#include "kit/WindowPlacement.h"

#include "editor/EditorDocument.h"
#include "editor/KELCodeClipSource.h"
#include "html/AttributeTableManager.h"
#include "html/Tag.h"
#include "html/TagAttribute.h"
#include "html/TagChecker.h"
#include "kit/ActionRouter.h"
#include "kit/SpellChecker.h"
#include "kit/UndoManager.h"
#include "kit/text/TextStorage.h"
#include "support/KELFileTypeManager.h"
#include "support/StringAdditions.h"
#include "support/UtilityFunctions.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QImageReader>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QMimeData>
#include <QUrl>
#include <QVBoxLayout>

using kit::Range;

namespace {

const QString kEditRangeAttribute = QStringLiteral("Edit Range");
const QString kNoValue = QStringLiteral("KELNoValue");

std::function<QString(const KELHTMLView*)>& filePathProvider()
{
    static std::function<QString(const KELHTMLView*)> provider;
    return provider;
}

bool isTagSpace(QChar c)
{
    return c.isSpace();
}

qsizetype indexOfSpace(const QString& text, qsizetype from)
{
    for (qsizetype i = from; i < text.size(); ++i)
        if (isTagSpace(text.at(i)))
            return i;
    return -1;
}

QStringList localFilePaths(const QMimeData* data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile())
            return {}; // a mixed list is pasted as text
        paths << url.toLocalFile();
    }
    return paths;
}


} // namespace

void KELHTMLView::setupTagEditing()
{
    registerAction(QStringLiteral("startTagEdit:"), [this](QObject*) { startTagEdit(); },
        [this](QAction*) { return isEditable() && canStartTagEdit(); });
    registerAction(QStringLiteral("insertCodeClip:"),
        [this](QObject* sender) {
            auto* action = qobject_cast<QAction*>(sender);
            if (action && action->data().canConvert<QString>())
                insertCodeClipContent(action->data().toString(), false);
        },
        [this](QAction*) { return isEditable(); });
}

// ---------------------------------------------------------------------------------------------
// Finding and reading the tag

Range KELHTMLView::indexLiesInTag(qsizetype i) const
{
    // Read character by character from i outwards to the nearest angle brackets: menu
    // validation asks after every keystroke, and reading the whole text would make the
    // storage close its typing gap.
    const kit::TextStorage* storage = textStorage();
    const qsizetype n = storage->length();
    const Range notFound(kit::NotFound, 0);
    if (i < 0 || i >= n)
        return notFound;
    // The nearest `want` from `from` on in the direction `step`, unless `blocker` or the
    // text's edge comes first.
    auto nearest = [storage, n](qsizetype from, qsizetype step, QChar want, QChar blocker) {
        for (qsizetype q = from; q >= 0 && q < n; q += step) {
            const QChar c = storage->characterAt(q);
            if (c == want)
                return q;
            if (c == blocker)
                break;
        }
        return qsizetype(kit::NotFound);
    };
    // The "<" that opens the tag with no ">" between it and i, and the ">" that closes
    // it with no "<" between.
    const QChar c = storage->characterAt(i);
    const qsizetype lt = c == QLatin1Char('<') ? i : nearest(i - 1, -1, QLatin1Char('<'), QLatin1Char('>'));
    const qsizetype gt = c == QLatin1Char('>') ? i : nearest(i + 1, 1, QLatin1Char('>'), QLatin1Char('<'));
    if (lt == kit::NotFound || gt == kit::NotFound || gt <= lt)
        return notFound;
    const QChar next = storage->characterAt(lt + 1);
    if (next == QLatin1Char('/') || next == QLatin1Char('!') || next == QLatin1Char('?'))
        return notFound;
    return Range(lt, gt - lt + 1);
}

bool KELHTMLView::canStartTagEdit() const
{
    const Range selected = selectedRange();
    return indexLiesInTag(selected.location + selected.length / 2).location != kit::NotFound;
}

QString KELHTMLView::tagStringForTagRange(Range range) const
{
    const QString tagText = textStorage()->substring(range);
    if (tagText.size() < 2)
        return QString();
    const qsizetype space = indexOfSpace(tagText, 1);
    if (space >= 0)
        return tagText.mid(1, space - 1);
    return tagText.mid(1, tagText.size() - 2);
}

qsizetype KELHTMLView::shouldAddString(const QString& name, const Tag& tag)
{
    const QList<TagAttribute>& known = tag.attributes();
    for (qsizetype k = 0; k < known.size(); ++k)
        if (known.at(k).name() == name)
            return k;
    return -1;
}

QList<TagAttribute> KELHTMLView::attributesInRange(Range range, const Tag& tag, bool* selfClosing) const
{
    QList<TagAttribute> list = tag.attributes();
    const QString whole = textStorage()->substring(range);
    if (whole.size() < 2)
        return list;
    const bool closing = whole.at(whole.size() - 2) == QLatin1Char('/');
    if (selfClosing)
        *selfClosing = closing;
    const QString text = whole.left(whole.size() - (closing ? 2 : 1));

    auto store = [&](const QString& name, const QString& value) {
        const QString stored = value.isEmpty() ? kNoValue : value;
        const qsizetype known = shouldAddString(name, tag);
        if (known >= 0) {
            TagAttribute copy = tag.attributes().at(known).tempCopy();
            copy.setValue(stored);
            list[known] = copy;
        } else {
            list.append(TagAttribute(name, 99, stored));
        }
    };

    const qsizetype firstSpace = indexOfSpace(text, 0);
    if (firstSpace < 0)
        return list;
    qsizetype pos = firstSpace + 1;
    const qsizetype length = text.size();
    while (pos < length) {
        const qsizetype eq = text.indexOf(QLatin1Char('='), pos);
        const qsizetype space = indexOfSpace(text, pos);
        if (eq < 0 && space < 0) {
            store(text.mid(pos).toLower(), QString());
            break;
        }
        if (space >= 0 && (eq < 0 || space < eq)) {
            const QString name = text.mid(pos, space - pos);
            const bool stray = name.size() == 1 && !(name.at(0) >= QLatin1Char('a') && name.at(0) <= QLatin1Char('z'));
            if (!name.isEmpty() && !stray)
                store(name.toLower(), QString());
            pos = space + 1;
            continue;
        }
        if (eq == pos) { // a value without a name
            if (space < 0)
                break;
            pos = space + 1;
            continue;
        }
        const QString name = text.mid(pos, eq - pos).toLower();
        const qsizetype valueEnd = space < 0 ? length : space;
        QString value = text.mid(eq + 1, valueEnd - eq - 1);
        qsizetype next = valueEnd + 1;
        const QChar quote = value.isEmpty() ? QChar() : value.at(0);
        if (quote == QLatin1Char('"') || quote == QLatin1Char('\'')) {
            if (value.size() >= 2 && value.endsWith(quote)) {
                value = value.mid(1, value.size() - 2);
            } else {
                // A quoted value with spaces in it: look for its closing quote.
                const qsizetype close = text.indexOf(quote, eq + 2);
                if (close >= 0) {
                    value = text.mid(eq + 2, close - eq - 2);
                    const qsizetype after = text.indexOf(QLatin1Char(' '), close);
                    next = after < 0 ? length : after + 1;
                }
            }
        }
        store(name, value);
        pos = next;
    }
    return list;
}

// ---------------------------------------------------------------------------------------------
// The Edit Tag panel

void KELHTMLView::startTagEdit()
{
    const Range selected = selectedRange();
    startTagEditWithIndex(selected.location + selected.length / 2);
}

void KELHTMLView::startTagEditWithIndex(qsizetype index)
{
    const Range range = indexLiesInTag(index);
    if (range.location == kit::NotFound)
        return;
    if (!m_editTagPanel) {
        auto* panel = new QDialog(this, Qt::Tool);
        panel->setObjectName(QStringLiteral("EditTagPanel"));
        panel->setWindowTitle(tr("Edit Tag"));
        kit::keepWindowFrame(panel, QStringLiteral("EditTagPanel"));
        auto* layout = new QVBoxLayout(panel);
        auto* heading = new QLabel(panel);
        heading->setObjectName(QStringLiteral("editText"));
        layout->addWidget(heading);
        // The attribute table of the tag being edited goes here (made anew for each tag).
        auto* holder = new QVBoxLayout;
        holder->setObjectName(QStringLiteral("attributeTableHolder"));
        layout->addLayout(holder, 1);
        panel->resize(480, 360);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, panel);
        layout->addWidget(buttons);
        connect(buttons, &QDialogButtonBox::accepted, this, &KELHTMLView::editTag);
        connect(buttons, &QDialogButtonBox::rejected, this, &KELHTMLView::endSheet);
        m_editTagPanel = panel;
    }
    m_editTagRange = range;
    setSelectedRange(range);
    ++m_editCount;
    textStorage()->addAttribute(kEditRangeAttribute, m_editCount, range);

    const QString name = tagStringForTagRange(range).toLower();
    m_editTagPanel->findChild<QLabel*>(QStringLiteral("editText"))
        ->setText(QStringLiteral("Edit \"%1\" Tag").arg(name));
    TagChecker& checker = TagChecker::currentTagChecker();
    const Tag* known = checker.tagNames().contains(name) ? checker.tag(name) : nullptr;
    const Tag empty;
    const QList<TagAttribute> attributes = attributesInRange(range, known ? *known : empty, &m_editTagSelfClosing);

    m_editTagPanel->setProperty("tagName", name);
    delete m_editTagPanel->findChild<AttributeTableManager*>();
    auto* manager = new AttributeTableManager(known ? *known : empty, name, attributes, m_editTagPanel);
    m_editTagPanel->findChild<QVBoxLayout*>(QStringLiteral("attributeTableHolder"))->addWidget(manager->tableView());
    m_editTagPanel->show();
    m_editTagPanel->raise();
    m_editTagPanel->activateWindow();
}

void KELHTMLView::endSheet()
{
    if (!m_editTagPanel)
        return;
    if (auto* manager = m_editTagPanel->findChild<AttributeTableManager*>())
        manager->endEditing(); // takes in an edit in progress
    m_editTagPanel->hide();
}

void KELHTMLView::editTag()
{
    if (!m_editTagPanel)
        return;
    endSheet();
    // Find the tag again: the text around it may have changed while the panel was open.
    kit::TextStorage* storage = textStorage();
    const Range all(0, storage->length());
    Range found(kit::NotFound, 0);
    for (const kit::AttributeRun& run : storage->valueRuns(kEditRangeAttribute, all)) {
        if (run.value.toLongLong() == m_editCount) {
            storage->attribute(kEditRangeAttribute, run.start, &found, all);
            break;
        }
    }
    if (found.location == kit::NotFound) {
        // The tag is gone: writing it over whatever is selected now would lose text.
        QApplication::beep();
        return;
    }
    setSelectedRange(found);

    auto* manager = m_editTagPanel->findChild<AttributeTableManager*>();
    if (!manager)
        return;
    const QString tag = manager->insertString(m_editTagSelfClosing);
    insertUntypedString(tag, QStringLiteral("Edit Tag"));
}

// ---------------------------------------------------------------------------------------------
// Code clips, paste and drops

void KELHTMLView::insertCodeClipContent(const std::optional<QString>& content, bool forceSelectionToEnd)
{
    const Range selected = selectedRange();
    QString text = indentedStringForString(content.value_or(QString()), selected.location);
    Range newSelection;
    const qsizetype marker = text.indexOf(QStringLiteral("<##>"));
    if (marker >= 0) {
        text.replace(marker, 4, textStorage()->substring(selected));
        newSelection = forceSelectionToEnd ? Range(selected.location + text.size(), 0)
                                           : Range(selected.location + marker, selected.length);
    } else {
        newSelection = Range(selected.location + text.size(), 0);
    }
    replaceCharactersWithUndoInRange(selected, text, newSelection, selected, QStringLiteral("Insert Code Clip"));
}

bool KELHTMLView::canReadMimeData(const QMimeData* data) const
{
    return (data && data->hasFormat(KELCodeClipsContentPboardType)) || KELTextView::canReadMimeData(data);
}

QString KELHTMLView::documentFilePath() const
{
    if (filePathProvider())
        return filePathProvider()(this);
    EditorDocumentSource* documents = EditorDocumentSource::available();
    return documents ? documents->filePathForTextView(this) : QString();
}

void KELHTMLView::setDocumentFilePathProviderForTesting(std::function<QString(const KELHTMLView*)> provider)
{
    filePathProvider() = std::move(provider);
}

bool KELHTMLView::readSelectionFromMimeData(const QMimeData* data)
{
    if (data && data->hasFormat(KELCodeClipsContentPboardType)) {
        const std::optional<QStringList> clips = codeClipsFromContentData(data->data(KELCodeClipsContentPboardType));
        if (!clips)
            return false;
        const bool several = clips->size() >= 2;
        if (kit::UndoManager* um = editorUndoManager())
            um->beginUndoGrouping();
        for (const QString& clip : *clips)
            insertCodeClipContent(clip, several);
        if (kit::UndoManager* um = editorUndoManager())
            um->endUndoGrouping();
        return true;
    }
    const QStringList paths = localFilePaths(data);
    if (paths.isEmpty())
        return KELTextView::readSelectionFromMimeData(data);
    const QString documentPath = documentFilePath();
    if (documentPath.isEmpty())
        return false; // an untitled document has no folder to be relative to
    const QString folder = QFileInfo(documentPath).absolutePath();
    QString inserted;
    for (const QString& path : paths) {
        const QString relative
            = stringByEncodingURLForInsert(UtilityFunctions::relativePathFromDirectory(folder, path));
        const QString type = KELFileTypeManager::sharedInstance().typeNameForPath(path);
        if (type == QLatin1String("Image")) {
            QSize size = QImageReader(path).size();
            if (!size.isValid())
                size = QSize(0, 0);
            inserted += QStringLiteral("<img src=\"%1\" height=\"%2\" width=\"%3\" border=\"0\"/>")
                            .arg(relative)
                            .arg(size.height())
                            .arg(size.width());
        } else if (type == QLatin1String("CSS")) {
            inserted += QStringLiteral("<link type=\"text/css\" rel=\"stylesheet\" href=\"%1\"/>").arg(relative);
        } else {
            inserted += QStringLiteral("<a href=\"%1\"></a>").arg(relative);
        }
    }
    insertUntypedString(inserted, QString(), Range(selectedRange().location, inserted.size()));
    return true;
}

bool KELHTMLView::performDrop(const QMimeData* data, qsizetype index, bool moveFromSelf)
{
    const bool ours = data && (data->hasFormat(KELCodeClipsContentPboardType) || !localFilePaths(data).isEmpty());
    if (!ours || moveFromSelf || !isEditable())
        return KELTextView::performDrop(data, index, moveFromSelf);
    setSelectedRange(Range(qBound<qsizetype>(0, index, textStorage()->length()), 0));
    return readSelectionFromMimeData(data);
}

void KELHTMLView::addSpellingItems(QMenu* menu, qsizetype index)
{
    // The word under the pointer, when it is misspelled text (not markup): its
    // guesses, Ignore and Learn open the menu.
    const QString& s = textStorage()->string();
    if (index < 0 || index > s.size())
        return;
    auto isWordChar = [&s](qsizetype i) { return s.at(i).isLetter() || s.at(i) == QLatin1Char('\''); };
    qsizetype start = index;
    qsizetype end = index;
    while (start > 0 && isWordChar(start - 1))
        --start;
    while (end < s.size() && isWordChar(end))
        ++end;
    const Range word(start, end - start);
    if (word.length == 0 || !shouldSetSpellingState(word, 1) || checkSpellingOfRange(word).isEmpty())
        return;
    const QString text = s.mid(word.location, word.length);
    kit::SpellChecker& checker = kit::SpellChecker::sharedSpellChecker();
    QList<QAction*> items;
    QPointer<KELHTMLView> self(this);
    const QStringList guesses = checker.guessesForWord(text);
    for (const QString& guess : guesses.mid(0, 8)) {
        auto* item = new QAction(guess, menu);
        connect(item, &QAction::triggered, menu, [self, guess, word] {
            if (!self || !self->isEditable())
                return;
            self->setSelectedRange(word);
            self->insertUntypedString(guess, QObject::tr("Spelling Change"));
        });
        item->setEnabled(isEditable());
        items << item;
    }
    if (guesses.isEmpty()) {
        auto* none = new QAction(tr("No Guesses Found"), menu);
        none->setEnabled(false);
        items << none;
    }
    auto* separator = new QAction(menu);
    separator->setSeparator(true);
    items << separator;
    auto* ignore = new QAction(tr("Ignore Spelling"), menu);
    connect(ignore, &QAction::triggered, menu, [self, text] {
        if (!self)
            return;
        kit::SpellChecker::sharedSpellChecker().ignoreWord(text, self->spellCheckerDocumentTag());
        self->setSpellingState(0, Range(0, self->textStorage()->length()));
        self->update();
    });
    auto* learn = new QAction(tr("Learn Spelling"), menu);
    connect(learn, &QAction::triggered, menu, [self, text] {
        kit::SpellChecker::sharedSpellChecker().learnWord(text);
        if (self) {
            self->setSpellingState(0, Range(0, self->textStorage()->length()));
            self->update();
        }
    });
    ignore->setObjectName(QStringLiteral("ignoreSpelling:"));
    learn->setObjectName(QStringLiteral("learnSpelling:"));
    auto* after = new QAction(menu);
    after->setSeparator(true);
    items << ignore << learn << after;
    QAction* first = menu->actions().value(0);
    menu->insertActions(first, items);
}

QMenu* KELHTMLView::menuForEvent(QContextMenuEvent* event)
{
    QMenu* menu = KELTextView::menuForEvent(event);
    if (!menu)
        return menu;
    if (event)
        addSpellingItems(menu, characterIndexForInsertionAtPoint(viewPointToDocument(event->pos())));
    menu->addSeparator();
    if (isEditable() && canStartTagEdit()) {
        QAction* edit = menu->addAction(tr("Edit Tag…"), this, &KELHTMLView::startTagEdit);
        edit->setObjectName(QStringLiteral("startTagEdit:"));
    }
    // The document's commands, reached along the responder chain from this view.
    auto addRouted = [this, menu](const QString& title, const QString& action) {
        auto* item = new QAction(title, menu);
        item->setObjectName(action);
        kit::Responder* target = kit::ActionRouter::shared().targetForAction(action, this);
        if (!target || !target->validateAction(action, item)) {
            delete item;
            return;
        }
        QPointer<KELHTMLView> self(this);
        connect(item, &QAction::triggered, menu, [self, action, item] {
            if (self)
                kit::ActionRouter::shared().sendAction(action, item, self);
        });
        menu->addAction(item);
    };
    if (isEditable())
        addRouted(tr("Add Link to URL"), QStringLiteral("linkSelectionToUrl:"));
    menu->addSeparator();
    addRouted(tr("Show in File Manager"), QStringLiteral("showInFinder:"));
    addRouted(tr("Reveal in Document Tree"), QStringLiteral("revealInDocumentTree:"));
    if (isEditable()) {
        if (KELCodeClipSource* source = KELCodeClipSource::shared()) {
            auto* clips = new QMenu(tr("Clips"), menu);
            source->menuNeedsUpdate(clips);
            if (!clips->actions().isEmpty()) {
                menu->addSeparator();
                menu->addMenu(clips);
                // Items of group submenus arrive here too.
                connect(clips, &QMenu::triggered, this, [this](QAction* action) {
                    if (action && action->data().canConvert<QString>())
                        insertCodeClipContent(action->data().toString(), false);
                });
            } else {
                delete clips;
            }
        }
    }
    // No separator at either end or twice in a row.
    const QList<QAction*> actions = menu->actions();
    QAction* previous = nullptr;
    for (QAction* action : actions) {
        if (action->isSeparator() && (!previous || previous->isSeparator())) {
            menu->removeAction(action);
            continue;
        }
        previous = action;
    }
    if (!menu->actions().isEmpty() && menu->actions().last()->isSeparator())
        menu->removeAction(menu->actions().last());
    return menu;
}
