#include "syntax/SyntaxInfo.h"

#include "support/UtilityFunctions.h"

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

qint64 SyntaxInfo::processorClockSpeedInMHz() { return qint64(UtilityFunctions::processorClockSpeedInMHz()); }
