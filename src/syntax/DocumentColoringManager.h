#pragma once
// The colouring manager of one document: it also keeps the document's outline
// in step with edits and moves the document's error markers.

#include "syntax/KELDocumentStructure.h"
#include "syntax/KELHTMLViewColoringManager.h"

#include <QList>
#include <functional>
#include <memory>

class KELSyntaxCheckError;

class DocumentColoringManager : public KELHTMLViewColoringManager
{
    Q_OBJECT
public:
    /// `view` shows the document's text storage; `syntaxType` answers the
    /// document's current language; `document` is the object the document posts
    /// "Document Did Become Active" with (may be null).
    DocumentColoringManager(KELSyntaxTextView* view, std::function<SyntaxType*()> syntaxType, const void* document = nullptr,
        QObject* parent = nullptr);
    ~DocumentColoringManager() override;

    KELDocumentStructure* structure() const { return m_structure.get(); }
    SyntaxType* syntaxType() const override;
    SyntaxStructureObserver* observer() const override { return m_structure.get(); }
    bool resumeColoringWhenWindowBecomesKey() const override { return false; }

    /// The document's error markers, moved with every edit.
    void setErrorMarkers(std::function<QList<KELSyntaxCheckError>*()> markers) { m_errorMarkers = std::move(markers); }
    /// Told the range of every edit once it is coloured (the document checks the
    /// new text against its encoding).
    void setEditValidator(std::function<void(kit::Range)> validator) { m_editValidator = std::move(validator); }

    kit::Range rangeToColorAfterEditWithRange(kit::Range editedRange, qsizetype changeInLength) override;
    void updateAfterEdit() override;

    /// Moves a marker's end points for an edit of (l, k) that changed the length
    /// by d. A marker without a location stays as it is.
    static kit::Range shiftedMarkerRange(kit::Range marker, kit::Range editedRange, qsizetype changeInLength);

private:
    std::function<SyntaxType*()> m_syntaxTypeProvider;
    std::unique_ptr<KELDocumentStructure> m_structure;
    std::function<QList<KELSyntaxCheckError>*()> m_errorMarkers;
    std::function<void(kit::Range)> m_editValidator;
};
