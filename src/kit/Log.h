#pragma once
// One place through which the system's log lines pass, so tests can read them.

#include <QString>
#include <QStringList>
#include <functional>

namespace kit {

/// Writes one log line (to standard error, and to the capture when one is set).
void log(const QString& line);

/// Tests: collect log lines instead of (as well as) printing them.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;
    const QStringList& lines() const { return m_lines; }
    bool contains(const QString& fragment) const;
    void clear() { m_lines.clear(); }

private:
    friend void log(const QString& line);
    QStringList m_lines;
    LogCapture* m_previous = nullptr;
};

} // namespace kit
