#pragma once
// The range and options of one colouring pass.

#include "kit/Types.h"

class SyntaxStructureObserver;

class SyntaxInfo
{
public:
    explicit SyntaxInfo(kit::Range colorRange);
    static SyntaxInfo syntaxInfoWithColorRange(kit::Range colorRange) { return SyntaxInfo(colorRange); }

    /// How much one pass colours before it may hand the rest to later passes,
    /// fixed once per process from the processor's speed.
    static qint64 defaultColoringLength();
    /// The table behind defaultColoringLength(), by clock speed in MHz.
    static qint64 defaultColoringLengthForClockSpeed(qint64 mhz);
    /// The processor's maximum clock speed in MHz; 2000 when it cannot be read.
    static qint64 processorClockSpeedInMHz();

    qsizetype cursorIndex() const { return m_cursorIndex; }
    void setCursorIndex(qsizetype i) { m_cursorIndex = i; }
    kit::Range colorRange() const { return m_colorRange; }
    qsizetype switchIndex() const { return m_switchIndex; }
    void setSwitchIndex(qsizetype i) { m_switchIndex = i; }
    quint64 maxColoringLength() const { return m_maxColoringLength; }
    void setMaxColoringLength(quint64 v) { m_maxColoringLength = v; }
    quint64 finalColoringIndex() const { return m_finalColoringIndex; }
    void setFinalColoringIndex(quint64 v) { m_finalColoringIndex = v; }
    bool brokeEarly() const { return m_brokeEarly; }
    void setBrokeEarly(bool v) { m_brokeEarly = v; }
    /// Not owned: the caller keeps the observer alive for the pass.
    SyntaxStructureObserver* observer() const { return m_observer; }
    void setObserver(SyntaxStructureObserver* o) { m_observer = o; }

private:
    qsizetype m_cursorIndex = kit::NotFound;
    kit::Range m_colorRange;
    qsizetype m_switchIndex = 0;
    quint64 m_maxColoringLength = 300000;
    quint64 m_finalColoringIndex = 0;
    bool m_brokeEarly = false;
    SyntaxStructureObserver* m_observer = nullptr;
};
