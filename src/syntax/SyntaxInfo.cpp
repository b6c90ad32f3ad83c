#include "syntax/SyntaxInfo.h"

#include <QFile>
#include <QRegularExpression>

SyntaxInfo::SyntaxInfo(kit::Range colorRange)
    : m_colorRange(colorRange)
    , m_switchIndex(colorRange.location + defaultColoringLength())
{
}

qint64 SyntaxInfo::defaultColoringLengthForClockSpeed(qint64 mhz)
{
    if (mhz >= 1500)
        return 60000;
    if (mhz >= 1000)
        return 40000;
    if (mhz >= 300)
        return 20000;
    return 60000;
}

qint64 SyntaxInfo::defaultColoringLength()
{
    static const qint64 length = defaultColoringLengthForClockSpeed(processorClockSpeedInMHz());
    return length;
}

qint64 SyntaxInfo::processorClockSpeedInMHz()
{
    // The kernel's cpufreq value is in kHz; without it, the "cpu MHz" line.
    QFile freq(QStringLiteral("/sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq"));
    if (freq.open(QIODevice::ReadOnly)) {
        bool ok = false;
        const qint64 khz = freq.readAll().trimmed().toLongLong(&ok);
        if (ok && khz > 0)
            return khz / 1000;
    }
    QFile info(QStringLiteral("/proc/cpuinfo"));
    if (info.open(QIODevice::ReadOnly)) {
        static const QRegularExpression re(
            QStringLiteral("^cpu MHz\\s*:\\s*([0-9.]+)"), QRegularExpression::MultilineOption);
        const auto m = re.match(QString::fromLatin1(info.readAll()));
        if (m.hasMatch()) {
            const double mhz = m.captured(1).toDouble();
            if (mhz > 0)
                return qint64(mhz);
        }
    }
    return 2000;
}
