#include "syntax/DocumentColoringManager.h"

#include "support/KELSyntaxCheckError.h"
#include "kit/NotificationCenter.h"
#include "kit/text/TextStorage.h"

using kit::Range;

namespace {
// Posted by the document controller with the document as object.
const QString documentDidBecomeActive = QStringLiteral("Document Did Become Active");
const QString documentDidResignActive = QStringLiteral("Document Did Resign Active");
} // namespace

DocumentColoringManager::DocumentColoringManager(
    KELSyntaxTextView* view, std::function<SyntaxType*()> syntaxType, const void* document, QObject* parent)
    : KELHTMLViewColoringManager(parent)
    , m_syntaxTypeProvider(std::move(syntaxType))
    , m_structure(std::make_unique<KELDocumentStructure>(view ? view->textStorage() : nullptr, m_syntaxTypeProvider))
{
    m_structure->setTextView(view);
    // A fold asked for before the chain got to its end colours on to it first.
    m_structure->setColorThrough([this](qsizetype index) {
        colorThroughIndex(index);
        return correctColoringIndex();
    });
    if (document) {
        kit::NotificationCenter::defaultCenter().addObserver(
            documentDidBecomeActive, document,
            [this](const kit::Notification&) {
                if (KELCompletionPanel* panel = KELCompletionPanel::shared())
                    panel->setDataSource(this);
                colorSegmentFromTimer();
            },
            this);
        kit::NotificationCenter::defaultCenter().addObserver(
            documentDidResignActive, document,
            [this](const kit::Notification&) {
                if (KELCompletionPanel* panel = KELCompletionPanel::shared())
                    panel->unsetDataSource(this);
            },
            this);
    }
    addTextView(view);
}

DocumentColoringManager::~DocumentColoringManager()
{
    invalidateTimers();
    kit::NotificationCenter::defaultCenter().removeObservers(this);
}

SyntaxType* DocumentColoringManager::syntaxType() const
{
    return m_syntaxTypeProvider ? m_syntaxTypeProvider() : KELHTMLViewColoringManager::syntaxType();
}

Range DocumentColoringManager::shiftedMarkerRange(Range marker, Range editedRange, qsizetype d)
{
    if (marker.location == kit::NotFound)
        return marker;
    const qsizetype l = editedRange.location;
    const qsizetype oldEnd = l + editedRange.length - d;
    // Text typed just before an error pushes it along (Return at the top of the page);
    // text typed just after it does not join it.
    auto moveStart = [&](qsizetype p) {
        if (p < l)
            return p;
        if (p >= oldEnd)
            return p + d;
        return l;
    };
    auto moveEnd = [&](qsizetype p) {
        if (p <= l)
            return p;
        if (p >= oldEnd)
            return p + d;
        return l;
    };
    const qsizetype start = moveStart(marker.location);
    const qsizetype end = std::max(start, moveEnd(marker.end()));
    return Range(start, std::max<qsizetype>(0, end - start));
}

Range DocumentColoringManager::rangeToColorAfterEditWithRange(Range editedRange, qsizetype changeInLength)
{
    if (m_errorMarkers)
        if (QList<KELSyntaxCheckError>* errors = m_errorMarkers())
            for (KELSyntaxCheckError& error : *errors)
                error.setTextRange(shiftedMarkerRange(error.textRange(), editedRange, changeInLength));
    return m_structure->invalidateStructureForEditInRange(editedRange, changeInLength);
}

void DocumentColoringManager::updateAfterEdit()
{
    kit::TextStorage* storage = textStorage();
    const bool characters = storage && (storage->editedMask() & kit::TextStorageEditedCharacters);
    const Range edited = characters ? storage->editedRange() : Range(kit::NotFound, 0);
    KELHTMLViewColoringManager::updateAfterEdit();
    if (characters && m_editValidator)
        m_editValidator(edited);
}
