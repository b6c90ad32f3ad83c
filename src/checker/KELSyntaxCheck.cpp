#include "checker/KELSyntaxCheck.h"

#include "checker/KELSyntaxCheckType.h"

#include <QPointer>
#include <QTimer>

KELSyntaxCheck::KELSyntaxCheck(KELSyntaxCheckDocument* document, QObject* parent)
    : QObject(parent)
    , m_document(document)
{
}

KELSyntaxCheck::~KELSyntaxCheck()
{
    stopCheck();
}

bool KELSyntaxCheck::isSyntaxCheckAvailableForTypeName(const QString& typeName)
{
    if (typeName.isEmpty())
        return false;
    if (typeName == QLatin1String("PHP") || typeName == QLatin1String("SHTML"))
        return true;
    return KELSyntaxCheckType::typeCheckerForType(typeName) != nullptr;
}

std::shared_ptr<KELSyntaxCheckResult> KELSyntaxCheck::performCheck()
{
    stopCheck();
    m_running = true;
    const quint64 run = ++m_run;
    m_result = std::make_shared<KELSyntaxCheckResult>();
    std::shared_ptr<KELSyntaxCheckResult> result = m_result;
    // The text is taken before the page is asked for: a generator may answer at once.
    m_documentText = m_document->syntaxCheckText();
    m_preview = m_document->makeSyntaxCheckPreview();
    if (!m_preview) {
        failWithPreviewError(run);
        return result;
    }
    QPointer<KELSyntaxCheck> guard(this);
    m_preview->generate([guard, run](bool success, const std::optional<QString>& page) {
        if (guard)
            guard->didCompletePreview(run, success, page);
    });
    return result;
}

void KELSyntaxCheck::stopCheck()
{
    m_running = false;
    m_documentText.clear();
    m_result.reset();
    if (std::unique_ptr<KELSyntaxCheckPreview> preview = std::move(m_preview))
        preview->terminate();
}

void KELSyntaxCheck::didCompletePreview(quint64 run, bool success, const std::optional<QString>& page)
{
    if (!m_running || run != m_run)
        return;
    // Never inside the generator's call: the analysis, or the failure, comes on the next turn.
    if (success) {
        const QString text = page.value_or(QString());
        QTimer::singleShot(0, this, [this, run, text] { checkForErrors(run, text); });
    } else {
        QTimer::singleShot(0, this, [this, run] { failWithPreviewError(run); });
    }
}

void KELSyntaxCheck::failWithPreviewError(quint64 run)
{
    if (!m_running || run != m_run)
        return;
    KELSyntaxCheckError error = KELSyntaxCheckError::error();
    error.setTitle(QStringLiteral("Could Not Perform Syntax Check"));
    error.setDescription(QStringLiteral(
        "The syntax check could not be performed because an error occurred while processing the source document."));
    error.setTextRange(kit::Range(0, 0));
    m_result->addError(error, m_document->syntaxCheckFileTypeName());
    m_result->populateLocations(m_documentText);
    finish();
}

void KELSyntaxCheck::checkForErrors(quint64 run, const QString& page)
{
    if (!m_running || run != m_run)
        return;
    const QString fileType = m_document->syntaxCheckFileTypeName();
    QString checkType = fileType;
    bool generated = false;
    if (fileType == QLatin1String("SHTML")) {
        checkType = QStringLiteral("HTML");
        generated = true;
    } else if (fileType == QLatin1String("PHP")) {
        m_result->establishType(QStringLiteral("PHP"), false);
        checkType = QStringLiteral("HTML");
        generated = true;
    }
    m_result->setGeneratedSourceText(page);
    if (KELSyntaxCheckType* checker = KELSyntaxCheckType::typeCheckerForType(checkType))
        checker->checkForErrors(*m_result, page, generated);
    m_result->populateLocations(m_documentText);
    finish();
}

void KELSyntaxCheck::finish()
{
    // Stopped before the handler hears of it, so that the handler may start the next run.
    std::shared_ptr<KELSyntaxCheckResult> result = m_result;
    stopCheck();
    if (m_completion)
        m_completion(this, result);
}
