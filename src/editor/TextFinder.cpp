#include "editor/TextFinder.h"

#include "support/DefaultsKeys.h"
#include "checker/KELSyntaxCheckTypeHTML.h"
#include "editor/EditorDocument.h"
#include "editor/KELHTMLView.h"
#include "kit/Alert.h"
#include "kit/Log.h"
#include "kit/UserDefaults.h"
#include "support/PreferenceController2.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QPushButton>
#include <QRadioButton>
#include <QTextBoundaryFinder>

namespace {

// The search text shared by the find panel and batch find (this platform has no
// system-wide find pasteboard).
QString& findPasteboard()
{
    static QString text;
    return text;
}

qint64 findRegexType()
{
    return kit::UserDefaults::standard().integerValue(KELFindRegexTypeKey);
}

} // namespace

void showInvalidRegularExpressionAlert(qint64 regexType, bool fileExpression)
{
    kit::Alert alert;
    alert.setMessageText(QStringLiteral("Invalid Regular Expression"));
    alert.setInformativeText(
        (fileExpression
                ? QStringLiteral("The specified file expression is invalid for the selected regular expression language (%1).")
                : QStringLiteral("The specified find expression is invalid for the selected regular expression language (%1)."))
            .arg(PreferenceController2::nameForRegexType(regexType)));
    alert.addButton(QStringLiteral("OK"));
    alert.runModal();
}

TextFinder& TextFinder::sharedInstance()
{
    static TextFinder* finder = new TextFinder; // lives for the process
    return *finder;
}

TextFinder::TextFinder()
{
    loadFindStringFromPasteboard();
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            loadFindStringFromPasteboard();
    });
}

// ------------------------------------------------------------------------------ searching

kit::Range TextFinder::findString(const QString& search, const QString& text, kit::Range selectedRange,
    bool forwards, OgreOption options, bool wrap, qint64 regexType)
{
    return findInText(search, text, selectedRange, forwards, options, wrap, regexType, 0, nullptr);
}

namespace {
// While a bounded search runs the windows keep painting; what the user types
// waits, since it could change the text being searched.
void keepWindowsPainted()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}
} // namespace

kit::Range TextFinder::findInText(const QString& search, const QString& text, kit::Range selectedRange,
    bool forwards, OgreOption options, bool wrap, qint64 regexType, int timeLimit, bool* tooLong)
{
    if (tooLong)
        *tooLong = false;
    const FindParameters parameters(search, std::nullopt, options, regexType, regexType);
    const std::optional<OGRegularExpression> expression = parameters.findExpression();
    if (!expression) {
        showInvalidRegularExpressionAlert(regexType, false);
        return kit::Range(0, 0);
    }
    const qsizetype length = text.size();
    const qsizetype start = qBound<qsizetype>(0, selectedRange.location, length);
    const qsizetype end = qBound<qsizetype>(start, selectedRange.location + selectedRange.length, length);
    QElapsedTimer clock;
    clock.start();
    bool stopped = false;
    // Up to `count` matches (0: all) in [from, to); a bounded search shares one
    // time limit between its two halves.
    auto matches = [&](qsizetype from, qsizetype to, qsizetype count) -> QList<OGRegularExpressionMatch> {
        if (to < from || stopped)
            return {};
        kit::Error error;
        QList<OGRegularExpressionMatch> found;
        if (timeLimit > 0) {
            const int left = int(qMax<qint64>(1, timeLimit - clock.elapsed()));
            found = expression->matchesInStringWithTimeLimit(text, options, kit::Range(from, to - from), count, left,
                                  keepWindowsPainted, &error)
                        .value_or(QList<OGRegularExpressionMatch>());
        } else if (count == 1) {
            if (auto match = expression->matchInString(text, options, kit::Range(from, to - from), &error))
                found.append(*match);
        } else {
            found = expression->allMatchesInString(text, options, kit::Range(from, to - from), &error);
        }
        if (isSearchTookTooLongError(error)) {
            stopped = true;
            return {};
        }
        return found;
    };
    auto first = [&](qsizetype from, qsizetype to) -> std::optional<kit::Range> {
        const QList<OGRegularExpressionMatch> found = matches(from, to, 1);
        if (found.isEmpty())
            return std::nullopt;
        return found.first().rangeOfMatchedString();
    };
    auto last = [&](qsizetype from, qsizetype to) -> std::optional<kit::Range> {
        const QList<OGRegularExpressionMatch> all = matches(from, to, 0);
        if (all.isEmpty())
            return std::nullopt;
        return all.last().rangeOfMatchedString();
    };
    std::optional<kit::Range> found;
    if (forwards) {
        found = first(end, length);
        if (!found && wrap)
            found = first(0, start);
    } else {
        found = last(0, start);
        if (!found && wrap)
            found = last(end, length);
    }
    if (tooLong)
        *tooLong = stopped;
    return found.value_or(kit::Range(0, 0));
}

void TextFinder::reportSearchTookTooLong()
{
    QApplication::beep();
    setStatus(tr("Search took too long"));
    if (m_panel && m_panel->isVisible())
        return;
    kit::Alert alert;
    alert.setMessageText(QStringLiteral("Search took too long"));
    alert.setInformativeText(QStringLiteral("The search was stopped after %1 seconds. Try a simpler regular expression.")
                                 .arg(m_searchTimeLimit / 1000.0));
    alert.addButton(QStringLiteral("OK"));
    alert.runModal();
}

kit::Range TextFinder::findString(const QString& search, kit::Range selectedRange, bool forwards, OgreOption options,
    bool wrap)
{
    KELHTMLView* view = textObjectToSearchIn();
    if (!view)
        return kit::Range(0, 0);
    return findString(search, view->string(), selectedRange, forwards, options, wrap, findRegexType());
}

kit::Range TextFinder::findString(const QString& search, kit::Range range, bool forwards, OgreOption options)
{
    KELHTMLView* view = textObjectToSearchIn();
    if (!view)
        return kit::Range(0, 0);
    const qint64 kind = findRegexType();
    const FindParameters parameters(search, std::nullopt, options, kind, kind);
    const std::optional<OGRegularExpression> expression = parameters.findExpression();
    if (!expression) {
        showInvalidRegularExpressionAlert(kind, false);
        return kit::Range(0, 0);
    }
    const QString text = view->string();
    const qsizetype from = qBound<qsizetype>(0, range.location, text.size());
    const qsizetype to = qBound<qsizetype>(from, range.location + range.length, text.size());
    const QList<OGRegularExpressionMatch> all = expression->allMatchesInString(text, options, kit::Range(from, to - from));
    if (all.isEmpty())
        return kit::Range(0, 0);
    return (forwards ? all.first() : all.last()).rangeOfMatchedString();
}

// ------------------------------------------------------------------------------ search text

void TextFinder::setFindString(const QString& string, bool writeToPasteboard)
{
    if (string == m_findString)
        return;
    m_findString = string;
    if (m_findField) {
        m_findField->setText(string);
        m_findField->selectAll();
    }
    if (writeToPasteboard)
        loadFindStringToPasteboard();
}

void TextFinder::loadFindStringFromPasteboard()
{
    if (!findPasteboard().isEmpty())
        setFindString(findPasteboard(), false);
}

void TextFinder::loadFindStringToPasteboard()
{
    findPasteboard() = m_findString;
}

// ------------------------------------------------------------------------------ panel

QDialog* TextFinder::findPanel()
{
    if (!m_panel)
        loadUI();
    return m_panel;
}

void TextFinder::loadUI()
{
    auto* panel = new QDialog(nullptr, Qt::Tool);
    panel->setObjectName(QStringLiteral("Find"));
    panel->setWindowTitle(tr("Find"));
    panel->setModal(false);
    auto* grid = new QGridLayout(panel);
    m_findField = new QLineEdit(panel);
    m_findField->setObjectName(QStringLiteral("findTextField"));
    m_findField->setAccessibleName(tr("Find"));
    m_replaceField = new QLineEdit(panel);
    m_replaceField->setObjectName(QStringLiteral("replaceTextField"));
    m_replaceField->setAccessibleName(tr("Replace with"));
    grid->addWidget(new QLabel(tr("Find:"), panel), 0, 0);
    grid->addWidget(m_findField, 0, 1, 1, 4);
    grid->addWidget(new QLabel(tr("Replace with:"), panel), 1, 0);
    grid->addWidget(m_replaceField, 1, 1, 1, 4);
    m_ignoreCase = new QCheckBox(tr("Ignore case"), panel);
    m_ignoreCase->setObjectName(QStringLiteral("ignoreCaseButton"));
    grid->addWidget(m_ignoreCase, 2, 1);
    m_scope = new QButtonGroup(panel);
    auto* whole = new QRadioButton(tr("Entire text"), panel);
    auto* selection = new QRadioButton(tr("Selection"), panel);
    whole->setChecked(true);
    m_scope->addButton(whole, ReplaceAllScopeEntireText);
    m_scope->addButton(selection, ReplaceAllScopeSelection);
    grid->addWidget(new QLabel(tr("Replace All scope:"), panel), 3, 0);
    grid->addWidget(whole, 3, 1);
    grid->addWidget(selection, 3, 2);
    m_status = new QLabel(panel);
    m_status->setObjectName(QStringLiteral("statusField"));
    grid->addWidget(m_status, 4, 0, 1, 5);
    auto* buttons = new QHBoxLayout;
    auto addButton = [&](const QString& title, const QString& name, void (TextFinder::*action)()) {
        auto* button = new QPushButton(title, panel);
        button->setObjectName(name);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, action);
        buttons->addWidget(button);
        return button;
    };
    addButton(tr("Replace All"), QStringLiteral("replaceAll"), &TextFinder::replaceAll);
    addButton(tr("Replace"), QStringLiteral("replace"), &TextFinder::replace);
    addButton(tr("Replace && Find"), QStringLiteral("replaceAndFind"), &TextFinder::replaceAndFind);
    addButton(tr("Previous"), QStringLiteral("findPrevious"), &TextFinder::findPrevious);
    m_findNextButton = addButton(tr("Next"), QStringLiteral("findNext"), &TextFinder::findNext);
    // Return in the find field finds and puts the panel away (no default button, so
    // the key is not taken twice).
    grid->addLayout(buttons, 5, 0, 1, 5);
    m_findField->setText(m_findString);
    connect(m_findField, &QLineEdit::returnPressed, this, &TextFinder::findNextAndOrderFindPanelOut);
    // The Find Next and Find Previous keys work in the panel too (it has no menu bar).
    for (const auto& [keys, method] : {std::pair{QKeySequence::FindNext, &TextFinder::findNext},
                                       std::pair{QKeySequence::FindPrevious, &TextFinder::findPrevious}}) {
        auto* shortcut = new QShortcut(keys, panel);
        connect(shortcut, &QShortcut::activated, this, method);
    }
    m_panel = panel;
}

void TextFinder::orderFrontFindPanel()
{
    QDialog* panel = findPanel();
    m_findField->selectAll();
    panel->show();
    panel->raise();
    panel->activateWindow();
    m_findField->setFocus();
}

void TextFinder::setStatus(const QString& text)
{
    if (m_status)
        m_status->setText(text);
}

OgreOption TextFinder::panelOptions() const
{
    OgreOption options = OgreMultilineOption;
    if (m_ignoreCase && m_ignoreCase->isChecked())
        options |= OgreIgnoreCaseOption;
    return options;
}

// ------------------------------------------------------------------------------ commands

void TextFinder::setTextViewProviderForTesting(std::function<KELHTMLView*()> provider)
{
    m_viewProvider = std::move(provider);
}

void TextFinder::setEntityLookupForTesting(std::function<std::optional<QString>(const QString&)> lookup)
{
    m_entityLookup = std::move(lookup);
}

KELHTMLView* TextFinder::textObjectToSearchIn() const
{
    if (m_viewProvider)
        return m_viewProvider();
    EditorDocumentSource* documents = EditorDocumentSource::available();
    EditorDocument* document = documents ? documents->activeDocument() : nullptr;
    return document ? document->textView() : nullptr;
}

void TextFinder::performFindPanelAction(int tag)
{
    switch (tag) {
    case 1:
        orderFrontFindPanel();
        break;
    case 2:
    case 3:
        // What the panel's field shows now is what the keys find.
        if (m_findField)
            setFindString(m_findField->text());
        find(tag == 2);
        break;
    case 7:
        takeFindStringFromSelection();
        break;
    default:
        QApplication::beep();
        break;
    }
}

bool TextFinder::validateFindPanelAction(const QString&) const
{
    // Viewing mode does not exist here, so every command needs only an editor.
    return textObjectToSearchIn() != nullptr;
}

void TextFinder::findNext()
{
    findPanel();
    setFindString(m_findField->text());
    find(true);
}

void TextFinder::findPrevious()
{
    findPanel();
    setFindString(m_findField->text());
    find(false);
}

bool TextFinder::find(bool forwards)
{
    m_lastFindWasSuccessful = false;
    if (m_searching) {
        QApplication::beep();
        return false;
    }
    KELHTMLView* view = textObjectToSearchIn();
    if (view && !view->string().isEmpty() && !m_findString.isEmpty()) {
        bool tooLong = false;
        m_searching = true;
        const QPointer<KELHTMLView> searched(view);
        const QString text = view->string();
        const kit::Range found = findInText(m_findString, text, view->selectedRange(), forwards, panelOptions(), true,
            findRegexType(), m_searchTimeLimit, &tooLong);
        m_searching = false;
        if (tooLong) {
            reportSearchTookTooLong();
            return false;
        }
        // The editor may have gone or changed while the search ran.
        if (!searched || searched->string() != text)
            return false;
        if (found.length > 0) {
            view->setSelectedRange(found);
            view->scrollRangeToVisible(found);
            view->showFindIndicatorForRange(found);
            m_lastFindWasSuccessful = true;
            setStatus(QString());
            return true;
        }
    }
    QApplication::beep();
    setStatus(tr("Not found"));
    return false;
}

void TextFinder::findNextAndOrderFindPanelOut()
{
    findNext();
    if (m_lastFindWasSuccessful)
        m_panel->hide();
    else
        m_findField->selectAll();
}

void TextFinder::replace()
{
    findPanel();
    KELHTMLView* view = textObjectToSearchIn();
    if (!view || !view->isEditable()) {
        QApplication::beep();
        setStatus(QString());
        return;
    }
    const kit::Range selected = view->selectedRange();
    const QString replacement = m_replaceField->text();
    view->replaceCharactersWithUndoInRange(selected, replacement, kit::Range(selected.location, replacement.size()),
        selected, QStringLiteral("Replace"));
    setStatus(QString());
}

void TextFinder::replaceAndFind()
{
    replace();
    findNext();
}

void TextFinder::replaceAll()
{
    findPanel();
    KELHTMLView* view = textObjectToSearchIn();
    if (!view || !view->isEditable()) {
        setStatus(QString());
        QApplication::beep();
        return;
    }
    const QString text = view->string();
    kit::Range scope(0, text.size());
    if (m_scope->checkedId() != ReplaceAllScopeEntireText) {
        const kit::Range selected = view->selectedRange();
        scope.location = qBound<qsizetype>(0, selected.location, text.size());
        scope.length = qBound<qsizetype>(0, selected.length, text.size() - scope.location);
    }
    setFindString(m_findField->text());
    const qint64 kind = findRegexType();
    const OgreOption options = panelOptions();
    const FindParameters parameters(m_findString, std::nullopt, options, kind, kind);
    const std::optional<OGRegularExpression> expression = m_findString.isEmpty() ? std::nullopt : parameters.findExpression();
    if (!expression) {
        if (!m_findString.isEmpty())
            showInvalidRegularExpressionAlert(kind, false);
        QApplication::beep();
        setStatus(tr("Not found"));
        return;
    }
    const QString replacement = m_replaceField->text();
    if (m_searching) {
        QApplication::beep();
        return;
    }
    kit::Error error;
    m_searching = true;
    const QPointer<KELHTMLView> searched(view);
    const std::optional<QList<OGRegularExpressionMatch>> matches = expression->matchesInStringWithTimeLimit(
        text, options, scope, 0, m_searchTimeLimit, keepWindowsPainted, &error);
    m_searching = false;
    if (isSearchTookTooLongError(error)) {
        reportSearchTookTooLong();
        return;
    }
    if (!searched || searched->string() != text)
        return;
    QString rebuilt;
    qsizetype position = scope.location;
    qsizetype spanStart = kit::NotFound;
    qsizetype count = 0;
    for (const OGRegularExpressionMatch& match : matches.value_or(QList<OGRegularExpressionMatch>())) {
        const kit::Range r = match.rangeOfMatchedString();
        if (r.length == 0)
            break; // a pattern that matches nothing would never advance
        if (spanStart == kit::NotFound) {
            spanStart = r.location;
            position = r.location;
        }
        rebuilt += QStringView(text).mid(position, r.location - position);
        rebuilt += replacement;
        position = r.location + r.length;
        ++count;
    }
    if (count == 0) {
        QApplication::beep();
        setStatus(tr("Not found"));
        return;
    }
    const kit::Range span(spanStart, position - spanStart);
    const kit::Range before = view->selectedRange();
    // Nothing stays selected: a selection over the whole span would be replaced
    // by the next key. The caret goes after the last replacement.
    view->replaceCharactersWithUndoInRange(span, rebuilt, kit::Range(span.location + rebuilt.size(), 0), before,
        QStringLiteral("Replace All"));
    setStatus(tr("%1 replaced").arg(count));
}

void TextFinder::takeFindStringFromSelection()
{
    KELHTMLView* view = textObjectToSearchIn();
    if (!view)
        return;
    const kit::Range selected = view->selectedRange();
    setFindString(view->string().mid(selected.location, selected.length));
}

void TextFinder::jumpToSelection()
{
    KELHTMLView* view = textObjectToSearchIn();
    if (!view)
        return;
    view->scrollRangeToVisible(view->selectedRange());
    view->showFindIndicatorForRange(view->selectedRange());
}

void TextFinder::findNonAscii()
{
    KELHTMLView* view = textObjectToSearchIn();
    if (!view) {
        QApplication::beep();
        return;
    }
    const kit::Range found = findString(QStringLiteral("[[:^ascii:]]"), view->string(), view->selectedRange(), true,
        OgreNoneOption, true, FindRegexTypeAdvanced);
    if (found.length == 0) {
        QApplication::beep();
        return;
    }
    view->setSelectedRange(found);
    view->scrollRangeToVisible(found);
    view->showFindIndicatorForRange(found);
}

std::optional<QString> TextFinder::entityReference(const QString& character) const
{
    if (m_entityLookup)
        return m_entityLookup(character);
    return KELSyntaxCheckTypeHTML::sharedInstance().entityReferenceForCharacter(character);
}

void TextFinder::replaceWithHTMLCode()
{
    KELHTMLView* view = textObjectToSearchIn();
    if (!view)
        return;
    QList<kit::Range> ranges = view->selectedRanges();
    std::sort(ranges.begin(), ranges.end(), [](kit::Range a, kit::Range b) { return a.location > b.location; });
    for (const kit::Range range : ranges) {
        if (range.length == 0)
            continue;
        const QString selected = view->string().mid(range.location, range.length);
        QString coded;
        QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, selected);
        qsizetype start = 0;
        while (start < selected.size()) {
            qsizetype next = graphemes.toNextBoundary();
            if (next <= start)
                next = selected.size();
            const QString character = selected.mid(start, next - start);
            if (std::optional<QString> entity = entityReference(character)) {
                coded += *entity;
            } else {
                const QList<uint> codePoints = character.toUcs4();
                if (codePoints.size() > 1)
                    kit::log(QStringLiteral("Error getting utf32 code for character: %1").arg(character));
                // A sequence of several code points keeps every one of them.
                for (uint codePoint : codePoints)
                    coded += QStringLiteral("&#x%1;").arg(codePoint, 0, 16);
            }
            start = next;
        }
        if (!view->isEditable()) {
            kit::log(QStringLiteral("Couldn't change text in replaceWithHTMLCode"));
            continue;
        }
        view->replaceCharactersWithUndoInRange(range, coded, kit::Range(range.location, coded.size()), range,
            QStringLiteral("Replace with HTML Code"));
    }
}
