#include "kit/Log.h"

#include <QMutex>
#include <cstdio>

namespace kit {

namespace {
QMutex g_logMutex;
LogCapture* g_capture = nullptr;
}

void log(const QString& line)
{
    QMutexLocker lock(&g_logMutex);
    if (g_capture)
        g_capture->m_lines.append(line);
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
}

LogCapture::LogCapture()
{
    QMutexLocker lock(&g_logMutex);
    m_previous = g_capture;
    g_capture = this;
}

LogCapture::~LogCapture()
{
    QMutexLocker lock(&g_logMutex);
    g_capture = m_previous;
}

bool LogCapture::contains(const QString& fragment) const
{
    for (const QString& l : m_lines)
        if (l.contains(fragment))
            return true;
    return false;
}

} // namespace kit
