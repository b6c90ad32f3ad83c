#include "document/KELErrorChecker.h"
#include "support/InterfaceHelpers.h"
#include "editor/ReadOnlyTextViews.h"

#include "support/DefaultsKeys.h"
#include "document/KELErrorCheckerViews.h"
#include "editor/KELHTMLView.h"
#include "editor/KELLineNumberView.h"
#include "kit/NotificationCenter.h"
#include "kit/UserDefaults.h"
#include "kit/text/ScrollView.h"
#include "kit/text/TextView.h"
#include "syntax/KELHTMLViewColoringManager.h"
#include "syntax/SyntaxManager.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHash>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>
#include <QVariantAnimation>
#include <algorithm>

namespace {

// One checker per document, keyed by the document's identity.
QHash<const KELSyntaxCheckDocument*, KELErrorChecker*>& openCheckers()
{
    static QHash<const KELSyntaxCheckDocument*, KELErrorChecker*> table;
    return table;
}

const QString DocumentDidCloseNotification = QStringLiteral("KELDocumentDidCloseNotification");

} // namespace

KELErrorChecker* KELErrorChecker::existingErrorCheckerWithDocument(const KELSyntaxCheckDocument* document)
{
    return openCheckers().value(document, nullptr);
}

void KELErrorChecker::removeExistingErrorCheckerWithDocument(const KELSyntaxCheckDocument* document)
{
    openCheckers().remove(document);
}

KELErrorChecker* KELErrorChecker::errorCheckerWithDocument(KELSyntaxCheckDocument* document)
{
    if (!document)
        return nullptr;
    if (KELErrorChecker* existing = existingErrorCheckerWithDocument(document))
        return existing;
    return new KELErrorChecker(document);
}

KELErrorChecker* KELErrorChecker::showErrorChecker(KELSyntaxCheckDocument* document)
{
    if (KELErrorChecker* existing = existingErrorCheckerWithDocument(document)) {
        existing->show();
        existing->raise();
        existing->activateWindow();
        existing->refresh();
        return existing;
    }
    return errorCheckerWithDocument(document);
}

KELErrorChecker::KELErrorChecker(KELSyntaxCheckDocument* document)
    : QWidget(nullptr, Qt::Window)
    , m_document(document)
{
    // A document that goes takes its open checker with it; only open checkers care.
    static const bool handlerSet = [] {
        KELSyntaxCheckDocument::setWillBeDestroyedHandler([](const KELSyntaxCheckDocument* gone) {
            if (KELErrorChecker* checker = existingErrorCheckerWithDocument(gone))
                checker->documentWillBeDestroyed();
        });
        return true;
    }();
    Q_UNUSED(handlerSet);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Errors for %1").arg(document->syntaxCheckDisplayName()));
    resize(720, 520);

    m_syntaxCheck = new KELSyntaxCheck(document, this);
    m_syntaxCheck->setCompletionHandler([this](KELSyntaxCheck*, std::shared_ptr<KELSyntaxCheckResult> result) { syntaxCheckCompleted(result); });

    // Left: the languages above the refresh bar. Right: errors above the generated text.
    m_typeListView = new KELErrorCheckerTypeListView;
    m_refreshView = new KELErrorCheckerRefreshView;
    m_refreshButton = new QPushButton(QStringLiteral("Refresh"), m_refreshView);
    m_progressIndicator = makeProgressIndicator(m_refreshView);
    auto* refreshLayout = new QHBoxLayout(m_refreshView);
    refreshLayout->setContentsMargins(8, 6, 8, 6);
    refreshLayout->addWidget(m_refreshButton);
    refreshLayout->addStretch();
    refreshLayout->addWidget(m_progressIndicator);
    auto* left = new QWidget;
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->setSpacing(0);
    leftLayout->addWidget(m_typeListView, 1);
    leftLayout->addWidget(m_refreshView);
    left->setMinimumWidth(160);
    left->setMaximumWidth(240);

    m_errorListTableView = new KELErrorCheckerTableView;
    m_errorList = new KELErrorListModel(this);
    m_errorListTableView->setModel(m_errorList);
    m_sourceView = new QWidget;
    auto* sourceLayout = new QVBoxLayout(m_sourceView);
    sourceLayout->setContentsMargins(0, 0, 0, 0);
    m_sourceScrollView = new kit::ScrollView;
    m_sourceTextView = new KELHTMLView;
    m_sourceTextView->setAccessibleName(QStringLiteral("Checked source"));
    m_sourceGutter = initializeReadOnlyTextView(m_sourceTextView, m_sourceScrollView);
    sourceLayout->addWidget(m_sourceScrollView);
    // The generated text is coloured like the document.
    m_coloringManager = new KELHTMLViewColoringManager(this);
    m_coloringManager->addTextView(m_sourceTextView);
    m_sourceSplitView = new QSplitter(Qt::Vertical);
    m_sourceSplitView->addWidget(m_errorListTableView);
    m_sourceSplitView->addWidget(m_sourceView);
    m_sourceSplitView->setChildrenCollapsible(false);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(left);
    layout->addWidget(m_sourceSplitView, 1);

    m_progressTimer = new QTimer(this);
    m_progressTimer->setSingleShot(true);
    connect(m_progressTimer, &QTimer::timeout, this, &KELErrorChecker::fireProgressTimer);
    connect(m_refreshButton, &QPushButton::clicked, this, &KELErrorChecker::refresh);
    connect(m_typeListView, &KELErrorCheckerTypeListView::selectedTypeResultChanged, this, &KELErrorChecker::selectedTypeResultChanged);
    connect(m_errorListTableView->selectionModel(), &QItemSelectionModel::selectionChanged, this, &KELErrorChecker::chooseError);
    connect(&kit::UserDefaults::standard(), &kit::UserDefaults::valueChanged, this, [this](const QString& key) {
        if (key == KELErrorCheckerShowWarnings)
            updateErrorsFilter();
    });
    m_closeObserver = kit::NotificationCenter::defaultCenter().addObserver(DocumentDidCloseNotification,
        document->syntaxCheckNotificationObject(), [this](const kit::Notification&) { documentDidClose(); }, this);

    openCheckers().insert(document, this);
    updateSplitView(false);
    show();
    refresh();
}

KELErrorChecker::~KELErrorChecker()
{
    if (openCheckers().value(m_document) == this)
        openCheckers().remove(m_document);
    kit::NotificationCenter::defaultCenter().removeObserver(m_closeObserver);
}

bool KELErrorChecker::isSourcePaneShown() const
{
    return m_sourceView->isVisibleTo(const_cast<KELErrorChecker*>(this));
}

void KELErrorChecker::refresh()
{
    if (m_closed || !m_syntaxCheck)
        return;
    m_refreshButton->setEnabled(false);
    setProgressIndicatorAnimating(m_progressIndicator, true);
    m_progressTimer->start(1000);
    m_syntaxCheck->performCheck();
}

void KELErrorChecker::fireProgressTimer()
{
    // The indicator turns at least one second, and until the run has delivered.
    if (!m_syntaxCheck || !m_syntaxCheck->isRunning())
        setProgressIndicatorAnimating(m_progressIndicator, false);
}

void KELErrorChecker::syntaxCheckCompleted(std::shared_ptr<KELSyntaxCheckResult> result)
{
    m_result = result;
    m_coloringManager->setSyntaxType(SyntaxManager::sharedInstance().typeForName(m_document->syntaxCheckSyntaxTypeName()));
    m_sourceTextView->setString(result->generatedSourceText().value_or(QString()));
    m_coloringManager->colorAllTags();
    m_typeListView->setSyntaxCheckResult(result);
    m_document->setDocumentErrors(result->errorsFromSourceText(false));
    m_sourceErrors = result->errorsFromSourceText(true);
    m_sourceGutter->setDocumentErrors(m_sourceErrors);
    m_refreshButton->setEnabled(true);
    if (!m_progressTimer->isActive())
        setProgressIndicatorAnimating(m_progressIndicator, false);
    Q_EMIT resultShown();
}

void KELErrorChecker::updateErrorsFilter()
{
    const KELSyntaxCheckTypeResult* selected = m_typeListView->selectedTypeResult();
    QList<KELSyntaxCheckError> errors;
    if (selected) {
        const bool showWarnings = kit::UserDefaults::standard().boolValue(KELErrorCheckerShowWarnings);
        for (const KELSyntaxCheckError& e : selected->errors())
            if (showWarnings || e.level() != KELSyntaxCheckError::Warning)
                errors.append(e);
        std::stable_sort(errors.begin(), errors.end(), [](const KELSyntaxCheckError& a, const KELSyntaxCheckError& b) {
            return KELSyntaxCheckError::compareByTextLocation(a, b) < 0;
        });
    }
    m_errorList->setErrors(errors);
}

void KELErrorChecker::selectedTypeResultChanged()
{
    const KELSyntaxCheckTypeResult* selected = m_typeListView->selectedTypeResult();
    m_errorListTableView->setTypeName(selected ? selected->typeName() : QString());
    updateErrorsFilter();
    updateSplitView(true);
    // Row heights follow the new list once it is laid out.
    QTimer::singleShot(0, m_errorListTableView, [view = m_errorListTableView] { view->doItemsLayout(); });
}

void KELErrorChecker::updateSplitView(bool animate)
{
    if (m_splitViewAnimation) {
        m_splitViewAnimation->stop();
        m_splitViewAnimation->deleteLater();
        m_splitViewAnimation = nullptr;
    }
    const KELSyntaxCheckTypeResult* selected = m_typeListView->selectedTypeResult();
    const bool generated = selected && selected->usesGeneratedSourceText();
    const int total = qMax(2, m_sourceSplitView->height());
    QList<int> target;
    if (generated) {
        m_refreshView->setDrawSideBorder(true);
        if (!m_sourceView->isVisibleTo(this)) {
            m_sourceView->setVisible(true);
            m_sourceSplitView->setSizes({ total, 0 });
        }
        target = { total / 2, total - total / 2 };
    } else {
        if (!m_sourceView->isVisibleTo(this))
            return;
        target = { total, 0 };
    }
    if (!animate || !isVisible()) {
        m_sourceSplitView->setSizes(target);
        splitViewAnimationDidEnd();
        return;
    }
    // The panes move in half a second; the interface stays live meanwhile.
    auto* animation = new QVariantAnimation(this);
    m_splitViewAnimation = animation;
    const QList<int> from = m_sourceSplitView->sizes();
    animation->setDuration(500);
    animation->setStartValue(0.0);
    animation->setEndValue(1.0);
    connect(animation, &QVariantAnimation::valueChanged, this, [this, from, target](const QVariant& value) {
        const double t = value.toDouble();
        const int upper = int(from.value(0) + (target[0] - from.value(0)) * t);
        m_sourceSplitView->setSizes({ upper, qMax(0, from.value(0) + from.value(1) - upper) });
    });
    connect(animation, &QVariantAnimation::finished, this, [this, animation] {
        if (m_splitViewAnimation != animation)
            return;
        m_splitViewAnimation = nullptr;
        animation->deleteLater();
        splitViewAnimationDidEnd();
    });
    animation->start();
}

void KELErrorChecker::splitViewAnimationDidEnd()
{
    const KELSyntaxCheckTypeResult* selected = m_typeListView->selectedTypeResult();
    const bool generated = selected && selected->usesGeneratedSourceText();
    if (!generated)
        m_sourceView->setVisible(false);
    m_refreshView->setDrawSideBorder(generated);
}

const KELSyntaxCheckError* KELErrorChecker::errorForRow(int row) const
{
    return m_errorList->errorAt(row);
}

void KELErrorChecker::chooseError()
{
    const QModelIndexList rows = m_errorListTableView->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return;
    const KELSyntaxCheckError* error = errorForRow(rows.first().row());
    const KELSyntaxCheckTypeResult* selected = m_typeListView->selectedTypeResult();
    if (!error || !selected)
        return;
    kit::TextView* target = nullptr;
    if (selected->usesGeneratedSourceText()) {
        target = m_sourceTextView;
    } else {
        m_document->syntaxCheckShowDocument();
        target = m_document->syntaxCheckTextView();
        raise();
    }
    if (!target)
        return;
    kit::Range r = error->textRange();
    if (r.isNotFound())
        return;
    const qsizetype length = target->string().size();
    if (r.length == 0) {
        if (r.location >= length)
            r = r.location > 0 && length > 0 ? kit::Range(length - 1, 1) : kit::Range(0, 0);
        else
            r = kit::Range(r.location, 1);
    }
    const kit::Range shown = kit::Range::intersection(r, kit::Range(0, length));
    if (shown.length > 0) {
        target->setSelectedRange(shown);
        target->scrollRangeToVisible(shown);
        target->showFindIndicatorForRange(shown);
    }
}

void KELErrorChecker::documentWillBeDestroyed()
{
    m_closed = true;
    delete m_syntaxCheck.data();
    removeExistingErrorCheckerWithDocument(m_document);
    hide();
    deleteLater();
}

void KELErrorChecker::documentDidClose()
{
    close();
}

void KELErrorChecker::closeEvent(QCloseEvent* event)
{
    if (!m_closed) {
        m_closed = true;
        if (m_syntaxCheck)
            m_syntaxCheck->stopCheck();
        removeExistingErrorCheckerWithDocument(m_document);
        m_document->setDocumentErrors(std::nullopt);
    }
    QWidget::closeEvent(event);
}
