#pragma once
// The checker window of one document: the checked languages with their counts,
// the errors of the chosen language and, for a language checked on the generated
// page (PHP output, resolved includes), that page below the list. Choosing an
// error selects its text. The errors in the document's own text go to the
// document for its gutter, and are taken back when the window closes.

#include "checker/KELSyntaxCheck.h"

#include <QPointer>
#include <QVariantAnimation>
#include <QWidget>

class KELErrorCheckerRefreshView;
class KELErrorCheckerTableView;
class KELErrorCheckerTypeListView;
class KELErrorListModel;
class QProgressBar;
class QPushButton;
class QSplitter;
class QTimer;
class KELHTMLView;
class KELHTMLViewColoringManager;
class KELLineNumberView;

namespace kit {
class ScrollView;
class TextView;
}

class KELErrorChecker : public QWidget {
    Q_OBJECT
public:
    /// The open checker of a document, or null.
    static KELErrorChecker* existingErrorCheckerWithDocument(const KELSyntaxCheckDocument* document);
    static void removeExistingErrorCheckerWithDocument(const KELSyntaxCheckDocument* document);
    /// The open checker, or a new one, shown, that starts a run.
    static KELErrorChecker* errorCheckerWithDocument(KELSyntaxCheckDocument* document);
    /// The document's Check Document command: an open checker comes forward and checks
    /// again; otherwise a new one opens.
    static KELErrorChecker* showErrorChecker(KELSyntaxCheckDocument* document);

    ~KELErrorChecker() override;

    KELSyntaxCheckDocument* document() const { return m_document; }
    KELSyntaxCheck* syntaxCheck() const { return m_syntaxCheck; }
    /// Starts a new run.
    void refresh();
    /// The error shown in a row of the error list.
    const KELSyntaxCheckError* errorForRow(int row) const;
    /// The document is being destroyed: the window goes without touching it.
    void documentWillBeDestroyed();
    /// What the generated-text view's gutter marks.
    const QList<KELSyntaxCheckError>& sourceErrors() const { return m_sourceErrors; }

    KELErrorCheckerTypeListView* typeListView() const { return m_typeListView; }
    KELErrorCheckerTableView* errorListTableView() const { return m_errorListTableView; }
    KELHTMLView* sourceTextView() const { return m_sourceTextView; }
    QPushButton* refreshButton() const { return m_refreshButton; }
    QProgressBar* progressIndicator() const { return m_progressIndicator; }
    /// Whether the generated text is shown below the error list.
    bool isSourcePaneShown() const;
    /// Whether the panes are moving to show or hide the generated text.
    bool isAnimatingPanes() const { return m_splitViewAnimation != nullptr; }

Q_SIGNALS:
    /// A run's result is on screen.
    void resultShown();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    explicit KELErrorChecker(KELSyntaxCheckDocument* document);
    void syntaxCheckCompleted(std::shared_ptr<KELSyntaxCheckResult> result);
    void fireProgressTimer();
    void updateErrorsFilter();
    void updateSplitView(bool animate);
    void splitViewAnimationDidEnd();
    void selectedTypeResultChanged();
    void chooseError();
    void documentDidClose();

    KELSyntaxCheckDocument* m_document;
    QPointer<KELSyntaxCheck> m_syntaxCheck;
    std::shared_ptr<KELSyntaxCheckResult> m_result;
    QList<KELSyntaxCheckError> m_sourceErrors;
    KELErrorCheckerTypeListView* m_typeListView = nullptr;
    KELErrorCheckerRefreshView* m_refreshView = nullptr;
    QPushButton* m_refreshButton = nullptr;
    QProgressBar* m_progressIndicator = nullptr;
    QSplitter* m_sourceSplitView = nullptr;
    KELErrorCheckerTableView* m_errorListTableView = nullptr;
    KELErrorListModel* m_errorList = nullptr;
    QWidget* m_sourceView = nullptr;
    kit::ScrollView* m_sourceScrollView = nullptr;
    KELHTMLView* m_sourceTextView = nullptr;
    KELLineNumberView* m_sourceGutter = nullptr;
    KELHTMLViewColoringManager* m_coloringManager = nullptr;
    QTimer* m_progressTimer = nullptr;
    QPointer<QVariantAnimation> m_splitViewAnimation;
    quint64 m_closeObserver = 0;
    bool m_closed = false;
};
