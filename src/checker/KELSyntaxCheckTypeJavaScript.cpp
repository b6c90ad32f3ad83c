#include "checker/KELSyntaxCheckTypeJavaScript.h"

#include "support/StringAdditions.h"

#include <JavaScriptCore/JavaScript.h>
#include <jsc/jsc.h>

KELSyntaxCheckTypeJavaScript& KELSyntaxCheckTypeJavaScript::sharedInstance()
{
    static KELSyntaxCheckTypeJavaScript instance;
    return instance;
}

namespace {

QString fromJSString(JSStringRef s)
{
    if (!s)
        return {};
    return QString(reinterpret_cast<const QChar*>(JSStringGetCharactersPtr(s)), qsizetype(JSStringGetLength(s)));
}

// One engine context for every check of the main thread: making one costs far more
// than a check, and a syntax check runs nothing, so checks cannot affect each other.
JSGlobalContextRef classicContext()
{
    static JSGlobalContextRef context = JSGlobalContextCreate(nullptr);
    return context;
}

JSCContext* moduleContext()
{
    static JSCContext* context = jsc_context_new();
    return context;
}

std::optional<KELSyntaxCheckTypeJavaScript::SyntaxError> checkClassicScript(const QString& script)
{
    JSGlobalContextRef context = classicContext();
    JSStringRef source = JSStringCreateWithCharacters(reinterpret_cast<const JSChar*>(script.utf16()), size_t(script.size()));
    JSValueRef exception = nullptr;
    const bool valid = JSCheckScriptSyntax(context, source, nullptr, 0, &exception);
    std::optional<KELSyntaxCheckTypeJavaScript::SyntaxError> error;
    if (!valid && exception) {
        JSValueRef conversionException = nullptr;
        JSStringRef message = JSValueToStringCopy(context, exception, &conversionException);
        if (message && !conversionException) {
            KELSyntaxCheckTypeJavaScript::SyntaxError e;
            e.message = fromJSString(message);
            JSObjectRef object = JSValueToObject(context, exception, nullptr);
            if (object) {
                JSStringRef lineName = JSStringCreateWithUTF8CString("line");
                JSValueRef lineValue = JSObjectGetProperty(context, object, lineName, nullptr);
                JSStringRelease(lineName);
                if (lineValue && !JSValueIsUndefined(context, lineValue)) {
                    JSStringRef lineText = JSValueToStringCopy(context, lineValue, nullptr);
                    e.line = fromJSString(lineText).toLongLong();
                    if (lineText)
                        JSStringRelease(lineText);
                }
            }
            error = e;
        }
        if (message)
            JSStringRelease(message);
    }
    JSStringRelease(source);
    return error;
}

std::optional<KELSyntaxCheckTypeJavaScript::SyntaxError> checkModuleScript(const QString& script)
{
    JSCContext* context = moduleContext();
    const QByteArray utf8 = script.toUtf8();
    JSCException* exception = nullptr;
    const JSCCheckSyntaxResult verdict
        = jsc_context_check_syntax(context, utf8.constData(), utf8.size(), JSC_CHECK_SYNTAX_MODE_MODULE, nullptr, 1, &exception);
    std::optional<KELSyntaxCheckTypeJavaScript::SyntaxError> error;
    if (verdict != JSC_CHECK_SYNTAX_RESULT_SUCCESS && exception) {
        KELSyntaxCheckTypeJavaScript::SyntaxError e;
        const char* name = jsc_exception_get_name(exception);
        const char* message = jsc_exception_get_message(exception);
        e.message = name && *name ? QString::fromUtf8(name) + QStringLiteral(": ") + QString::fromUtf8(message) : QString::fromUtf8(message);
        e.line = jsc_exception_get_line_number(exception);
        error = e;
    }
    if (exception)
        g_object_unref(exception);
    jsc_context_clear_exception(context);
    return error;
}

} // namespace

std::optional<KELSyntaxCheckTypeJavaScript::SyntaxError> KELSyntaxCheckTypeJavaScript::checkSyntax(const QString& script, bool module)
{
    return module ? checkModuleScript(script) : checkClassicScript(script);
}

void KELSyntaxCheckTypeJavaScript::checkForErrors(KELSyntaxCheckResult& result, const QString& text, kit::Range range, bool generatedSource)
{
    check(result, text, range, generatedSource, false);
}

void KELSyntaxCheckTypeJavaScript::checkModuleForErrors(KELSyntaxCheckResult& result, const QString& text, kit::Range range,
    bool generatedSource)
{
    check(result, text, range, generatedSource, true);
}

void KELSyntaxCheckTypeJavaScript::check(KELSyntaxCheckResult& result, const QString& text, kit::Range range, bool generatedSource,
    bool module)
{
    result.establishType(typeName(), generatedSource);
    const qsizetype start = qBound<qsizetype>(0, range.location, text.size());
    const qsizetype length = qBound<qsizetype>(0, range.length, text.size() - start);
    const QString script = text.mid(start, length);
    const std::optional<SyntaxError> verdict = checkSyntax(script, module);
    if (!verdict)
        return;
    KELSyntaxCheckError error = KELSyntaxCheckError::error();
    error.setTitle(QStringLiteral("JavaScript Error"));
    error.setDescription(verdict->message);
    if (verdict->line > 0) {
        const kit::Range line = rangeForLineNumber(script, verdict->line);
        if (!line.isNotFound())
            error.setTextRange(kit::Range(line.location + start, line.length));
        else // the empty line after the last line break: the script ended too early
            error.setTextRange(kit::Range(start + length, 0));
    }
    result.addError(error, typeName());
}
