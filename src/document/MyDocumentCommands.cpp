#include "document/MyDocumentCommands.h"

#include "document/DocumentWindowController.h"

#include "support/DefaultsKeys.h"
#include "support/Notifications.h"
#include "document/MyDocument.h"
#include "kit/document/DocumentController.h"
#include "kit/ActionRouter.h"
#include "kit/NotificationCenter.h"
#include "kit/UserDefaults.h"
#include "kit/text/TextStorage.h"
#include "support/KELFileTypeManager.h"
#include "support/StringAdditions.h"
#include "support/UtilityFunctions.h"

#include <QAction>
#include <QApplication>
#include <QRegularExpression>

using kit::NotFound;
using kit::Range;

MyDocumentCommands::Services& MyDocumentCommands::services()
{
    static Services s = defaultServices();
    return s;
}

MyDocumentCommands::MyDocumentCommands(MyDocument* document, KELHTMLView* editor, QObject* parent)
    : QObject(parent)
    , m_document(document)
    , m_editor(editor)
{
    if (editor) {
        editor->setDocument(this);
        editor->updateWordWrapForChange(false);
    }
    registerCommands();

    // The preferences' broadcasts this document's editor follows.
    auto& center = kit::NotificationCenter::defaultCenter();
    center.addObserver(
        KELWordWrapNotification, nullptr,
        [this](const kit::Notification&) {
            if (m_editor)
                m_editor->updateWordWrapForChange(true);
        },
        this);
    center.addObserver(
        KELSetFontNotification, nullptr,
        [this](const kit::Notification& n) {
            const QVariant font = n.userInfo.value(QStringLiteral("font"));
            if (m_editor && font.canConvert<QFont>())
                m_editor->setFont(font.value<QFont>());
        },
        this);
    center.addObserver(
        QStringLiteral("KELColorTags"), nullptr,
        [this](const kit::Notification&) {
            colorViewableTags();
            if (m_editor)
                m_editor->update();
        },
        this);
}

MyDocumentCommands::~MyDocumentCommands()
{
    kit::NotificationCenter::defaultCenter().removeObservers(this);
    if (m_editor && m_editor->document() == this)
        m_editor->setDocument(nullptr);
    dropPrintView();
}

QString MyDocumentCommands::syntaxTypeName() const { return m_document ? m_document->syntaxTypeName() : QString(); }

void MyDocumentCommands::registerCommands()
{
    // The chosen item names the tags: its data when it carries a title, else its text.
    auto senderTitle = [](QObject* sender) {
        if (auto* a = qobject_cast<QAction*>(sender)) {
            const QString data = a->data().toString();
            return data.isEmpty() ? a->text().remove(QLatin1Char('&')) : data;
        }
        return sender ? sender->property("title").toString() : QString();
    };
    registerAction(QStringLiteral("formatTags:"), [this, senderTitle](QObject* s) { formatTags(senderTitle(s)); });
    registerAction(QStringLiteral("showInFinder:"), [this](QObject*) { showInFinder(); }, [this](QAction*) {
        return m_document && !m_document->filePath().isEmpty() && bool(services().showInFileManager);
    });
    registerAction(QStringLiteral("revealInDocumentTree:"), [this](QObject*) { revealInDocumentTree(); }, [this](QAction*) {
        DocumentWindowController* window = m_document ? m_document->windowController() : nullptr;
        return window && window->isProjectWindow() && !m_document->filePath().isEmpty()
            && bool(services().revealInDocumentTree);
    });
    registerAction(QStringLiteral("linkSelectionToUrl:"), [this](QObject*) { linkSelectionToUrl(); });
    registerAction(QStringLiteral("quickInsert:"), [this](QObject* s) {
        if (auto* a = qobject_cast<QAction*>(s))
            quickInsert(a->data().toString());
    });
    registerAction(QStringLiteral("selectNextPlaceholder:"), [this](QObject*) { selectNextPlaceholder(); });
    registerAction(QStringLiteral("toggleComments:"), [this](QObject*) { toggleComments(); });
    registerAction(QStringLiteral("organizeTags:"), [this](QObject*) { organizeTags(); });
    registerAction(QStringLiteral("shiftLeft:"), [this](QObject*) { shiftLeft(); });
    registerAction(QStringLiteral("shiftRight:"), [this](QObject*) { shiftRight(); });
    registerAction(QStringLiteral("showErrorChecker:"), [this](QObject*) { showErrorChecker(); });
    registerAction(QStringLiteral("getInfo:"), [this](QObject*) { getInfo(); });
    registerAction(QStringLiteral("export:"), [](QObject*) {});
    registerAction(QStringLiteral("suggestCompletion:"), [this](QObject*) {
        if (services().suggestCompletion && m_editor)
            services().suggestCompletion(m_document, m_editor);
    });
    for (const QString& action : { QStringLiteral("updateAllColors:"), QStringLiteral("colorAllTags:") }) {
        registerAction(action, [this](QObject*) {
            if (services().colorAllTags && m_editor)
                services().colorAllTags(m_document, m_editor);
        });
    }
    registerAction(QStringLiteral("colorViewableTags:"), [this](QObject*) { colorViewableTags(); });
    registerAction(
        QStringLiteral("printDocument:"), [this](QObject*) { printDocument(m_editor ? m_editor->window() : nullptr); });
    registerAction(QStringLiteral("preview:"), [this](QObject* sender) {
        // An item of an installed browser names it; every other sender means the default one.
        QString browser;
        if (const auto* item = qobject_cast<const QAction*>(sender);
            item && kit::ActionRouter::actionOf(item) == QLatin1String("previewInSelectedBrowser:"))
            browser = item->data().toString();
        if (services().previewInBrowser)
            services().previewInBrowser(m_document, browser);
    });
    registerAction(QStringLiteral("quickPreview:"), [this](QObject*) {
        if (services().toggleLivePreview)
            services().toggleLivePreview(m_document);
    });
    registerAction(QStringLiteral("refreshLivePreview:"), [this](QObject*) {
        if (services().refreshLivePreview)
            services().refreshLivePreview(m_document);
    });
}

bool MyDocumentCommands::validateAction(const QString& action, QAction* item)
{
    if (action == QLatin1String("getInfo:"))
        return m_document && !m_document->filePath().isEmpty() && bool(services().showGetInfo);
    if (action == QLatin1String("linkSelectionToUrl:")) {
        const QString t = syntaxTypeName();
        return t == QLatin1String("HTML") || t == QLatin1String("PHP");
    }
    if (action == QLatin1String("toggleComments:")) {
        bool commented = false;
        const bool can = services().canAddOrRemoveCommentsForSelection
            && services().canAddOrRemoveCommentsForSelection(*this, &commented);
        if (item)
            item->setText(commented ? tr("Uncomment Selection") : tr("Comment Selection"));
        return can;
    }
    if (action == QLatin1String("showErrorChecker:"))
        return services().isSyntaxCheckAvailable && services().isSyntaxCheckAvailable(syntaxTypeName());
    if (action == QLatin1String("organizeTags:"))
        return bool(services().organizeTags);
    if (action == QLatin1String("suggestCompletion:"))
        return bool(services().suggestCompletion);
    if (action == QLatin1String("updateAllColors:") || action == QLatin1String("colorAllTags:"))
        return bool(services().colorAllTags);
    if (action == QLatin1String("colorViewableTags:"))
        return bool(services().colorViewableTags);
    if (action == QLatin1String("preview:") || action == QLatin1String("quickPreview:")
        || action == QLatin1String("refreshLivePreview:")) {
        return action == QLatin1String("preview:")     ? bool(services().previewInBrowser)
            : action == QLatin1String("quickPreview:") ? bool(services().toggleLivePreview)
                                                       : bool(services().refreshLivePreview);
    }
    if (action == QLatin1String("export:"))
        return true;
    return kit::Responder::validateAction(action, item);
}

// ---------------------------------------------------------------------------------------------
// Commands

void MyDocumentCommands::formatTags(const QString& title)
{
    if (!m_editor)
        return;
    struct Pair
    {
        const char* title;
        const char* opening;
        const char* closing;
    };
    static const Pair pairs[] = {
        { "Bold", "<b>", "</b>" },
        { "Italic", "<i>", "</i>" },
        { "Strikethrough", "<s>", "</s>" },
        { "Underline", "<u>", "</u>" },
        { "Subscript", "<sub>", "</sub>" },
        { "Superscript", "<sup>", "</sup>" },
        { "Big", "<big>", "</big>" },
        { "Small", "<small>", "</small>" },
        { "Center Align", "<center>", "</center>" },
        { "Horizontal Rule", "<hr>", "" },
        { "Line Break", "<br>", "" },
        { "Paragraph", "<p>", "</p>" },
    };
    if (title == QLatin1String("Link to URL")) {
        linkSelectionToUrl();
        return;
    }
    for (const Pair& p : pairs) {
        if (title != QLatin1String(p.title))
            continue;
        const QString opening = stringWithTagNameCase(QString::fromLatin1(p.opening));
        const QString closing = stringWithTagNameCase(QString::fromLatin1(p.closing));
        const Range sel = m_editor->selectedRange();
        QString text;
        if (kit::UserDefaults::standard().integerValue(KELShouldWrapInsertedTagsAroundSelectedTextKey) == 0)
            text = opening + m_editor->textStorage()->string().mid(sel.location, sel.length) + closing;
        else
            text = opening + closing;
        m_editor->insertUntypedString(text, tr("Format Tag"));
        return;
    }
}

void MyDocumentCommands::linkSelectionToUrl()
{
    if (!m_editor)
        return;
    const Range sel = m_editor->selectedRange();
    const bool wrap = kit::UserDefaults::standard().integerValue(KELShouldWrapInsertedTagsAroundSelectedTextKey) == 0;
    const QString inner = sel.length > 0 && wrap ? m_editor->textStorage()->string().mid(sel.location, sel.length)
                                                 : QStringLiteral("<#text#>");
    m_editor->insertUntypedString(
        QStringLiteral("<a href=\"http://\">") + inner + QStringLiteral("</a>"), tr("Add Link"));
    m_editor->setSelectedRange(Range(sel.location + 9, 7));
}

void MyDocumentCommands::quickInsert(const QString& symbol)
{
    if (!m_editor || symbol.isEmpty())
        return;
    const Range sel = m_editor->selectedRange();
    m_editor->replaceCharactersWithUndoInRange(
        sel, symbol, Range(sel.location + symbol.size(), 0), sel, tr("Insert Symbol"));
}

bool MyDocumentCommands::selectNextPlaceholder()
{
    if (!m_editor)
        return false;
    static const QRegularExpression pattern(QStringLiteral("<#[^\\n]*?#>"));
    const QString& s = m_editor->textStorage()->string();
    QRegularExpressionMatch m = pattern.match(s, m_editor->selectedRange().end());
    if (!m.hasMatch())
        m = pattern.match(s, 0);
    if (!m.hasMatch() || m.capturedLength() == 0) {
        QApplication::beep();
        return false;
    }
    const Range r(m.capturedStart(), m.capturedLength());
    m_editor->setSelectedRange(r);
    m_editor->scrollRangeToVisible(r);
    return true;
}

void MyDocumentCommands::toggleComments()
{
    Services& s = services();
    if (!s.isSelectionCommented || !s.addCommentsForSelection || !s.removeCommentsForSelection)
        return;
    if (s.isSelectionCommented(*this))
        s.removeCommentsForSelection(*this);
    else
        s.addCommentsForSelection(*this);
}

void MyDocumentCommands::organizeTags()
{
    if (services().organizeTags && m_editor)
        services().organizeTags(m_editor);
}

void MyDocumentCommands::shiftLeft()
{
    if (m_editor)
        m_editor->shiftWithDirection(0);
}

void MyDocumentCommands::shiftRight()
{
    if (m_editor)
        m_editor->shiftWithDirection(1);
}

bool MyDocumentCommands::showLineNumber(qint64 n)
{
    if (!m_editor)
        return false;
    kit::TextStorage* storage = m_editor->textStorage();
    const QString& s = storage->string();
    if (s.isEmpty() || n < 1)
        return false;
    qint64 line = 0;
    qsizetype pos = 0;
    while (pos < s.size()) {
        const Range r = storage->lineRange(Range(pos, 0));
        ++line;
        if (line == n) {
            m_editor->setSelectedRange(r);
            m_editor->scrollRangeToVisible(r);
            return true;
        }
        if (r.end() <= pos)
            break;
        pos = r.end();
    }
    if (line == n - 1 && UtilityFunctions::isNewLineCharacter(s.back())) {
        m_editor->setSelectedRange(Range(s.size(), 0));
        m_editor->scrollRangeToVisible(Range(s.size(), 0));
        return true;
    }
    return false;
}

void MyDocumentCommands::getInfo()
{
    if (!m_document || m_document->filePath().isEmpty() || !services().showGetInfo) {
        QApplication::beep();
        return;
    }
    services().showGetInfo(m_document->filePath());
}

void MyDocumentCommands::showInFinder()
{
    if (m_document && !m_document->filePath().isEmpty() && services().showInFileManager)
        services().showInFileManager(m_document->filePath());
}

void MyDocumentCommands::revealInDocumentTree()
{
    if (m_document && !m_document->filePath().isEmpty() && services().revealInDocumentTree)
        services().revealInDocumentTree(m_document->filePath());
}

void MyDocumentCommands::colorViewableTags()
{
    if (services().colorViewableTags && m_editor)
        services().colorViewableTags(m_document, m_editor);
}

void MyDocumentCommands::showErrorChecker()
{
    // A check of a large site can take a while: side files first.
    if (kit::DocumentController* controller = kit::DocumentController::existingSharedDocumentController())
        controller->writeSideFilesNow();
    if (services().showErrorChecker && m_document)
        services().showErrorChecker(m_document);
}

// ---------------------------------------------------------------------------------------------
// Decisions for the editor

kit::UndoManager* MyDocumentCommands::documentUndoManager() { return m_document ? m_document->undoManager() : nullptr; }

bool MyDocumentCommands::isTextEncodableForDocumentEncoding(const QString& text)
{
    return m_document ? m_document->isTextEncodableForDocumentEncoding(text) : true;
}

int MyDocumentCommands::textViewShouldSetSpellingState(KELHTMLView* view, int state, Range range)
{
    if (state == 0)
        return 0;
    const QString type = syntaxTypeName();
    if (type == QLatin1String("CSS") || type == QLatin1String("JavaScript"))
        return 0;
    if (services().isTextInRange && !services().isTextInRange(view, range))
        return 0;
    if (KELFileTypeManager::sharedInstance().typeNameIsKindOfType(type, QStringLiteral("HTML")) && range.length <= 9) {
        const kit::TextStorage* s = view->textStorage();
        // An entity name such as the "amp" of &amp; is markup, not a word.
        if (range.location > 0 && range.end() < s->length() && s->characterAt(range.location - 1) == QLatin1Char('&')
            && s->characterAt(range.end()) == QLatin1Char(';'))
            return 0;
    }
    return state;
}

Range MyDocumentCommands::textViewSelectionRangeForProposedRange(
    KELHTMLView* view, Range proposed, kit::SelectionGranularity granularity)
{
    if (view != m_editor || granularity != kit::SelectionGranularity::Word || !services().isTextInRange)
        return Range(NotFound, 0);
    auto isMarkup = [&](Range r) { return !services().isTextInRange(view, r); };
    if (!isMarkup(proposed))
        return Range(NotFound, 0);
    const QString& s = view->textStorage()->string();
    auto nameChar = [](QChar c) { return c == QLatin1Char('-') || c == QLatin1Char('_') || c.isLetterOrNumber(); };
    qsizetype start = std::clamp<qsizetype>(proposed.location, 0, s.size());
    qsizetype end = std::clamp<qsizetype>(proposed.end(), start, s.size());
    if (end < s.size() && isMarkup(Range(end, 1))) {
        while (end < s.size() && nameChar(s.at(end)))
            ++end;
    }
    if (end > start && start > 0 && isMarkup(Range(start - 1, 1))) {
        while (start > 0 && nameChar(s.at(start - 1)))
            --start;
    }
    if (end <= start)
        return Range(NotFound, 0);
    return Range(start, end - start);
}
