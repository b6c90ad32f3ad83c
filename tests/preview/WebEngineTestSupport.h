#pragma once
// Web engine helpers: the document URL scheme is registered before the
// QApplication exists (at static initialisation of the test binary), and pages
// are read back with JavaScript.

#include "PreviewTestSupport.h"

#include <QVariant>
#include <QWebEnginePage>

/// Runs a script in the page and waits for its value.
inline QVariant evaluate(QWebEnginePage& page, const QString& script, int milliseconds = 10000)
{
    bool done = false;
    QVariant value;
    page.runJavaScript(script, [&](const QVariant& result) {
        value = result;
        done = true;
    });
    waitUntil([&] { return done; }, milliseconds);
    return value;
}
